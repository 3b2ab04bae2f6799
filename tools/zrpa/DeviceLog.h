#pragma once
// A device log read back as what happened, operation by operation: the request as the host asked it,
// every frame decoded with the driver's message layouts, acknowledgements, time-outs, disconnections,
// and the outcome with its reason. Reads logs with and without the hex dump, with and without the
// "Request:" and "Result:" lines, and damaged or truncated logs (whatever is left is reported).
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "LogLines.h"

enum class LogOutcome : std::uint8_t { Approved, Declined, Failed, Unknown };
// The reason of a money operation whose record ends before its result while its request may have gone
// out: never "failed", since the terminal may have taken it.
inline constexpr const char* kRecordEnds = "the record ends";
// "approved", "declined", "failed", "outcome unknown".
const char* LogOutcomeName(LogOutcome aOutcome);

using LogFields = std::vector<std::pair<std::string, std::string>>;

struct LogEvent {
    std::string Stamp;
    std::string Kind; // "sent", "received", "ack sent", "ack received", "status", "wait", "time-out",
                      // "disconnect", "error", "note"
    std::string Text; // what it is, in words
    LogFields Fields; // decoded fields of a frame (UTF-8)
    int Count = 1;    // the same event this many times in a row (the driver retries reads)
};

struct LogOperation {
    std::string File;
    std::size_t Line = 0; // line of its banner
    std::string Start, End;
    std::string Name;  // PAY, REFUND, VOID, REPRINT, DAY CLOSE, TOTALS, VERIFY
    LogFields Request; // as the host asked (amount, currency, print, till, reference)
    std::string Connection;
    std::vector<LogEvent> Events;
    LogOutcome Outcome = LogOutcome::Failed;
    std::string Reason;
    std::int64_t ElapsedMs = 0;
    LogFields Answer;                 // the terminal's answer: result, stan, auth_code, card, acquirer, ...
    std::vector<std::string> Receipt; // receipt lines as the cash register prints them (UTF-8)
    bool HasResultLine = false;       // the outcome comes from the driver's own "Result:" line
    std::string Journal;              // what the payment journal says of it; empty when it has no record
};

// The operations of one log's content; aFile names it in the report. Never fails.
std::vector<LogOperation> ReadDeviceLog(std::string_view aContent, const std::string& aFile);
