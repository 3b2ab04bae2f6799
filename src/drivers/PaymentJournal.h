#pragma once
// The journal of one terminal's money operations (payment, refund, void): one record per step that
// matters, appended to LogFiles/Payment/Journal/P17_<terminal>.journal (format: drivers/JournalFormat.h,
// docs/journal.md). The record of the request is on the disk before the request frame goes out, and the
// terminal's answer right after it comes, so a host killed at any moment leaves a journal that says
// whether the terminal may have the payment. A journal that cannot be written never stops a payment:
// it goes on without one, and the host's standard error says so once per process.
#include <optional>
#include <string>

#include "base/Text.h"
#include "drivers/JournalFormat.h"
#include "drivers/OutcomeRecovery.h"
#include "payment/Payment.h"

// The Journal folder beside the device log aLogFile; empty when aLogFile names no folder.
Text JournalFolder(const Text& aLogFile);

class kPaymentJournal {
public:
    // Journal files larger than this are moved aside at the start of an operation (like the device logs);
    // the new file begins with the records of every operation still unresolved.
    static constexpr std::int64_t kRotateBytes = 5000 * 1024;

    // aFolder: the Journal folder (created, for the owner only, when missing); aTerminal: what names the
    // terminal's connection (host:port, or the serial port); aLogFile: the device log the operations are
    // logged in (recorded so that a reader can join the two).
    kPaymentJournal(const Text& aFolder, const Text& aTerminal, Text aLogFile);

    // The file's full path; empty when no journal is kept.
    const Text& Path() const { return fPath; }

    // What the journal holds for the terminal's next money operation or day close.
    struct Tail {
        // The latest operation that may have moved money without a settled outcome: a recovery must look
        // at it first. Older unresolved operations stay listed; the terminal's evidence of them is gone.
        std::optional<JournalOperation> Unresolved;
        // The terminal's state after the latest settled operation (the baseline of the next one); its
        // parts are empty where no record says them.
        TerminalState Baseline;
    };
    // Reads the end of the file (a whole file when it is small): no journal, or none yet, gives an empty
    // Tail.
    Tail ReadTail() const;

    // --- the steps of one operation, in order; each is a no-op when no journal is kept
    // Starts an operation (a new identifier): what the host asked.
    void Asked(zrPaymentAction aAction, const kPaymentReceipt& aReceipt);
    // Starts a day close (it resets the period total the recoveries compare with).
    void AskedDayClose(const Text& aTillCode);
    // The request frame is about to be written, aBefore being the terminal's state as known: on stable
    // storage before this returns.
    void Sent(const TerminalState& aBefore = TerminalState());
    void Acknowledged();
    void NotAcknowledged(const Text& aFault);
    // The terminal's answer, as the raw fields of its layout (aRequestCode: 'X', 'A' or 'Q'): on stable
    // storage before this returns.
    void Answer(char aRequestCode, const Text& aPayload);
    // The answer did not come (aReason): the host is told the outcome is unknown.
    void Lost(const Text& aReason);
    // After the answer: whether the receipt was collected whole (aCut: why it was not).
    void Receipt(bool aCollected, const Text& aCut);
    // What the host is told, and the terminal's state after the operation as far as it is known.
    void End(const _int_PAY_result& aResult, const TerminalState& aAfter = TerminalState());
    void EndDayClose(const _int_DAYCLOSE_result& aResult, const TerminalState& aAfter);
    // A recovery settled aOperation (the running one, or an earlier one when aOperation is given):
    // aAfter is the terminal's state it read. On stable storage before this returns.
    void Verdict(const RecoveryDecision& aDecision, const TerminalState& aAfter,
                 const std::string& aOperation = std::string());

private:
    void Start(const char* aKind, std::vector<std::pair<std::string, std::string>> aFields);
    void Append(const Text& aStep, std::vector<std::pair<std::string, std::string>> aFields, bool aDurable,
                const std::string& aOperation = std::string());
    void RotateWhenDue();
    // Says once per process, on the host's standard error, that payments go on without a journal.
    void Unavailable(const Text& aWhy);

    Text fPath;
    std::string fLogFile;
    std::string fTerminal;
    std::string fOperation; // identifier of the running operation
};

// The fields a record carries for the terminal's state (period_total, last_receipt, terminal_id), and
// back; a part that is not known is left out.
void AddTerminalState(std::vector<std::pair<std::string, std::string>>& aFields, const TerminalState& aState);
TerminalState TerminalStateOf(const JournalRecord& aRecord);

// Records the end of an operation in a journal when it goes out of scope: the result the host is told,
// or, when an error is raising past it, that the operation ended by that error (the terminal's state then
// unknown).
class kJournalEnd {
public:
    // aJournal may be null (nothing is recorded); aResult and aAfter must outlive this object.
    kJournalEnd(kPaymentJournal* aJournal, const _int_PAY_result& aResult, const TerminalState& aAfter);
    ~kJournalEnd();
    kJournalEnd(const kJournalEnd&) = delete;
    kJournalEnd& operator=(const kJournalEnd&) = delete;

private:
    kPaymentJournal* fJournal;
    const _int_PAY_result& fResult;
    const TerminalState& fAfter;
    int fExceptions;
};
