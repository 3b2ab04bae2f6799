#pragma once
// How zrpa shows a command's result: a readable summary, the raw document (--xml) or JSON (--json).
#include <string>

#include "ZrpaDocuments.h"

struct ZrpaResult {
    std::string Command;  // "pay", "send PAY", ...
    std::string Export;   // PAY, REPRINT, ...
    int ResultCode = 0;   // what the export returned
    std::string Document; // the result document as returned
    std::string ErrorMessage;
    int ExitStatus = 0;
    std::string Outcome;    // approved, done, declined, failed, outcome unknown, refused
    std::string LogOutcome; // the operation's outcome as its device log tells it ("" when not read)
    std::string LogReason;
    std::string LogFile; // the device log read for LogOutcome
    // A void: the amount its refund reference names, as the device log's result line gives it (the
    // document's amount is the request's); empty otherwise.
    std::string MovedAmount;
    std::string Warning;  // shown before the fields; empty: none
    std::string Hint;     // what to look at after a failure (the serial device looked for); empty: none
    bool Verbose = false; // the library's own texts beside the technician's words
    std::string DayCount; // totals: the day's operations of the terminal in this computer's journal
};

// The outcome word for an exit status; aDeclined: the terminal answered with a refusal.
std::string OutcomeWord(int aExitStatus, bool aCardOperation, bool aDeclined);

// An amount of a document as a receipt shows it, with two decimals at least ("2.5" gives "2.50"),
// followed by aCurrency when given; empty for a zero amount, which is not worth a line.
std::string MoneyText(const std::string& aValue, const std::string& aCurrency);

std::string SummaryText(const ZrpaResult& aResult);
std::string ResultJson(const ZrpaResult& aResult);
