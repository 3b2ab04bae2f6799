#pragma once
// The payment journal's records, as the library writes them and as tools read them back. One record is
// one line of UTF-8:
//   ZRJ1 <TAB> time <TAB> operation <TAB> step { <TAB> key=value } <TAB> sum=XXXXXXXX <LF>
// "ZRJ1" names the version of the format; time is local "yyyy-mm-dd hh:mm:ss:zzz" as in the device logs;
// the operation identifier ties the records of one payment together; sum is FNV-1a (32 bits, 8 capital
// hexadecimal digits) over everything before its tab, so a line cut by a crash or damaged on the disk is
// never taken for a record. Values escape "%", tab and every control character as %XX. docs/journal.md
// describes the steps and their fields. Only the standard library is used: tools read journals without
// linking the driver.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::string_view kJournalVersion = "ZRJ1";

struct JournalRecord {
    std::string Time;
    std::string Operation;
    std::string Step; // asked, sent, ack, noack, answer, lost, receipt, end, verdict
    std::vector<std::pair<std::string, std::string>> Fields;

    // The value of aKey; empty when the record has none.
    std::string Get(std::string_view aKey) const;
};

// The line of aRecord, with its check sum and line end.
std::string FormatJournalRecord(const JournalRecord& aRecord);
// False for a line of another version, without its check sum or whose sum does not match.
bool ParseJournalRecord(std::string_view aLine, JournalRecord& aRecord);

// What the journal tells of one money operation.
enum class JournalState {
    NotSent,               // the record ends before the request went out: the terminal never had it
    NotAccepted,           // the terminal did not acknowledge the request (the host was told it failed)
    Approved,              // the terminal's answer approved it
    Declined,              // the terminal's answer refused it
    Unknown,               // acknowledged, and the answer was lost (the host was told "Outcome unknown")
    RecordEnds,            // the record ends after the request may have been sent: outcome unknown
    RecoveredApproved,     // a recovery found that the terminal took it
    RecoveredNotPerformed, // a recovery found that the terminal did not take it
    StaysUnknown,          // a recovery could not decide: unknown for good
};

struct JournalOperation {
    std::string Operation;
    std::vector<JournalRecord> Records;

    // The first record of that step, or null.
    const JournalRecord* Find(std::string_view aStep) const;
    JournalState State() const;
    // The request may have reached the terminal and nothing has settled what it did (no answer, no
    // verdict): a recovery must look at it before the terminal's next money operation.
    bool Unresolved() const;
};

// "not sent", "not acknowledged", "approved", "declined", "outcome unknown", "outcome unknown (the record
// ends)", "approved (recovered)", "not performed (recovered)", "outcome unknown (for good)".
const char* JournalStateName(JournalState aState);

// The operations of a journal's content in the order of their first record; damaged lines are skipped and
// counted in aDamaged when given.
std::vector<JournalOperation> ReadJournal(std::string_view aContent, std::size_t* aDamaged = nullptr);
