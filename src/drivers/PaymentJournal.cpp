#include "drivers/PaymentJournal.h"

#include <atomic>
#include <cstdio>
#include <exception>

#include "drivers/JournalFormat.h"
#include "drivers/P17CardData.h"
#include "drivers/P17MessageText.h"
#include "drivers/RefundReference.h"
#include "payment/OperationLog.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Guid.h"
#include "platform/JournalFile.h"
#include "platform/Process.h"

namespace {
std::atomic<bool> gSaidUnavailable{false};

std::string Two(int aValue, std::size_t aWidth = 2) {
    return TextToUtf8(ZeroPadded(aValue, aWidth));
}

std::string Stamp(const LocalTimeParts& t, bool aCompact) {
    if (aCompact) {
        return Two(t.Year, 4) + Two(t.Month) + Two(t.Day) + Two(t.Hour) + Two(t.Minute) + Two(t.Second) +
               Two(t.Millisecond, 3);
    }
    return Two(t.Year, 4) + "-" + Two(t.Month) + "-" + Two(t.Day) + " " + Two(t.Hour) + ":" + Two(t.Minute) +
           ":" + Two(t.Second) + ":" + Two(t.Millisecond, 3);
}

// What may stand in a file name of the terminal: letters, digits, "." and "-"; the rest becomes "_".
Text FileNamePart(const Text& aTerminal) {
    Text part;
    for (const char16_t c : aTerminal) {
        const bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                          c == u'.' || c == u'-';
        part += keep ? c : u'_';
    }
    while (!part.empty() && part.front() == u'_') {
        part.erase(0, 1);
    }
    return part.empty() ? Text(u"terminal") : part.substr(0, 100);
}

std::string Utf8(const Text& aText) {
    return TextToUtf8(aText);
}

const char* KindName(zrPaymentAction aAction) {
    switch (aAction) {
    case zrPaymentAction::pa_Refund:
        return "REFUND";
    case zrPaymentAction::pa_Void:
        return "VOID";
    case zrPaymentAction::pa_Pay:
        break;
    }
    return "PAY";
}

// How much of the file's end a new operation reads: far more than the records of its latest operations.
constexpr std::size_t kTailBytes = 64 * 1024;

bool IsDayClose(const JournalOperation& aOperation) {
    const JournalRecord* asked = aOperation.Find("asked");
    return asked != nullptr && asked->Get("kind") == "DAYCLOSE";
}

// The terminal's state after an operation that settled: a verdict's reading, else what its end says.
// Null when no record of it says the state, or it ended without an end record (the host was stopped).
const JournalRecord* StateRecord(const JournalOperation& aOperation) {
    if (const JournalRecord* verdict = aOperation.Find("verdict")) {
        return verdict;
    }
    return aOperation.Find("end");
}

std::string ProcessTag() {
    static const std::string tag = [] {
        Text guid = GuidToText(NewGuid());
        return Utf8(guid.substr(1, 8));
    }();
    return tag;
}
} // namespace

Text JournalFolder(const Text& aLogFile) {
    const auto slash = aLogFile.find_last_of(u"/\\");
    return slash == Text::npos ? Text() : aLogFile.substr(0, slash + 1) + u"Journal";
}

kPaymentJournal::kPaymentJournal(const Text& aFolder, const Text& aTerminal, Text aLogFile)
    : fLogFile(Utf8(aLogFile)), fTerminal(Utf8(aTerminal)) {
    if (aFolder.empty() || !CreatePrivateFolder(aFolder)) {
        Unavailable(u"the folder " + aFolder + u" cannot be created");
        return;
    }
    fPath = aFolder + PathSeparator() + u"P17_" + FileNamePart(aTerminal) + u".journal";
    const auto slash = fLogFile.find_last_of("/\\");
    if (slash != std::string::npos) {
        fLogFile.erase(0, slash + 1);
    }
}

void kPaymentJournal::Unavailable(const Text& aWhy) {
    if (!gSaidUnavailable.exchange(true)) {
        const std::string line = "ZRPA_RIVEVEDEV17_10: the payment journal cannot be written (" + Utf8(aWhy) +
                                 "); payments go on without it.\n";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }
}

void kPaymentJournal::Append(const Text& aStep, std::vector<std::pair<std::string, std::string>> aFields,
                             bool aDurable, const std::string& aOperation) {
    const std::string& operation = aOperation.empty() ? fOperation : aOperation;
    if (fPath.empty() || operation.empty()) {
        return;
    }
    JournalRecord record{Stamp(LocalTimeNow(), false), operation, Utf8(aStep), std::move(aFields)};
    if (!AppendRecord(fPath, FormatJournalRecord(record), aDurable)) {
        Unavailable(u"the file " + fPath + u" cannot be appended to");
    }
}

void kPaymentJournal::RotateWhenDue() {
    if (FileSize(fPath) <= kRotateBytes) {
        return;
    }
    const Text stem = fPath.substr(0, fPath.size() - Text(u".journal").size());
    const Text rotated = stem + u"_" + Utf8ToText(Stamp(LocalTimeNow(), true)) + u".journal";
    RotateRecordFile(fPath, rotated, [](const std::string& aContent) {
        // The records of every operation still open travel to the new file, so the live file alone holds
        // all that a recovery needs.
        // The latest operation travels too: the terminal's state it ends with is where the next one starts.
        std::string carried;
        const std::vector<JournalOperation> operations = ReadJournal(aContent);
        for (std::size_t i = 0; i < operations.size(); ++i) {
            if (operations[i].Unresolved() || i + 1 == operations.size()) {
                for (const auto& record : operations[i].Records) {
                    carried += FormatJournalRecord(record);
                }
            }
        }
        return carried;
    });
}

void AddTerminalState(std::vector<std::pair<std::string, std::string>>& aFields,
                      const TerminalState& aState) {
    if (aState.TotalKnown) {
        aFields.emplace_back("period_total", std::to_string(aState.TotalCents));
    }
    if (!aState.LastReceipt.empty()) {
        aFields.emplace_back("last_receipt", aState.LastReceipt);
    }
    if (!aState.TerminalId.empty()) {
        aFields.emplace_back("terminal_id", aState.TerminalId);
    }
}

TerminalState TerminalStateOf(const JournalRecord& aRecord) {
    TerminalState state;
    const std::string total = aRecord.Get("period_total");
    if (!total.empty() && total.size() < 19 &&
        total.find_first_not_of("0123456789", total[0] == '-' ? 1 : 0) == std::string::npos && total != "-") {
        state.TotalKnown = true;
        state.TotalCents = std::stoll(total);
    }
    state.LastReceipt = aRecord.Get("last_receipt");
    state.TerminalId = aRecord.Get("terminal_id");
    return state;
}

kPaymentJournal::Tail kPaymentJournal::ReadTail() const {
    Tail tail;
    std::string content;
    if (fPath.empty() || !ReadRecordFile(fPath, content, kTailBytes)) {
        return tail;
    }
    if (content.size() == kTailBytes) {
        // The read began inside a line: its part is no record.
        const std::size_t firstEnd = content.find('\n');
        content.erase(0, firstEnd == std::string::npos ? content.size() : firstEnd + 1);
    }
    const std::vector<JournalOperation> operations = ReadJournal(content);
    // The newest operation that got as far as the terminal decides: an open one is looked at first,
    // a settled one gives the state the next operation starts from.
    for (auto it = operations.rbegin(); it != operations.rend(); ++it) {
        if (it->State() == JournalState::NotSent && it->Find("end") == nullptr) {
            continue; // stopped before its request went out: the terminal never had it
        }
        if (!IsDayClose(*it) && it->Unresolved()) {
            tail.Unresolved = *it;
        } else if (const JournalRecord* state = StateRecord(*it)) {
            tail.Baseline = TerminalStateOf(*state);
        }
        break;
    }
    return tail;
}

void kPaymentJournal::Start(const char* aKind, std::vector<std::pair<std::string, std::string>> aFields) {
    fOperation.clear();
    if (fPath.empty()) {
        return;
    }
    RotateWhenDue();
    static std::atomic<unsigned> counter{0};
    fOperation = Stamp(LocalTimeNow(), true) + "-" + ProcessTag() + "-" + std::to_string(++counter);
    aFields.insert(aFields.begin(), {"kind", aKind});
    Append(u"asked", std::move(aFields), false);
}

void kPaymentJournal::AskedDayClose(const Text& aTillCode) {
    Start("DAYCLOSE", {{"till", Utf8(aTillCode)}, {"terminal", fTerminal}, {"log", fLogFile}});
}

void kPaymentJournal::Asked(zrPaymentAction aAction, const kPaymentReceipt& aReceipt) {
    std::vector<std::pair<std::string, std::string>> fields{
        {"amount", Utf8(aReceipt.fAmount.ToText())},
        {"currency", Utf8(aReceipt.fCurrency)},
        {"till", Utf8(aReceipt.fTillCode)},
        {"print", aReceipt.fPrintLocation == ZrPrintLocation::pl_EFT ? "EFT" : "ECR"},
        {"terminal", fTerminal},
        {"log", fLogFile}};
    if (aAction == zrPaymentAction::pa_Void) {
        fields.emplace_back("refund_reference", Utf8(aReceipt.fRefundReference.PaymentNumber));
    } else {
        fields.emplace_back("reference", Utf8(aReceipt.fReference));
    }
    Start(KindName(aAction), std::move(fields));
}

void kPaymentJournal::Sent(const TerminalState& aBefore) {
    std::vector<std::pair<std::string, std::string>> fields;
    AddTerminalState(fields, aBefore);
    Append(u"sent", std::move(fields), true);
}

void kPaymentJournal::Acknowledged() {
    Append(u"ack", {}, false);
}

void kPaymentJournal::NotAcknowledged(const Text& aFault) {
    Append(u"noack", {{"fault", Utf8(aFault)}}, false);
}

void kPaymentJournal::Answer(char aRequestCode, const Text& aPayload) {
    if (fPath.empty() || fOperation.empty()) {
        return;
    }
    std::vector<std::pair<std::string, std::string>> fields;
    // The fields that the layout reads for this answer's result code, as raw text: a recovery and a
    // technician need what the terminal said even where the driver cannot convert it.
    static constexpr P17Name kKept[] = {"terminal_id", "result", "stan",      "auth_code", "card",
                                        "operation",   "amount", "date_time", "acquirer",  "error_text"};
    if (P17AnswerLayout(aRequestCode) != nullptr) {
        const kP17Answer answer(aRequestCode, aPayload);
        for (const P17Name name : kKept) {
            if (P17FindField(*P17AnswerLayout(aRequestCode), name) == nullptr || !answer.Reads(name)) {
                continue;
            }
            Text value = answer[name];
            while (!value.empty() && value.back() == u' ') {
                value.pop_back();
            }
            // The card field keeps its last four digits; any other text of the terminal may carry a card
            // number or track data too, and is masked as the device log masks it.
            const bool card = name == P17Name("card");
            fields.emplace_back(std::string(name.View()),
                                Utf8(card ? MaskedCardNumber(value) : MaskCardData(value)));
        }
    }
    Append(u"answer", std::move(fields), true);
}

void kPaymentJournal::Lost(const Text& aReason) {
    Append(u"lost", {{"reason", Utf8(aReason)}}, false);
}

void kPaymentJournal::Receipt(bool aCollected, const Text& aCut) {
    std::vector<std::pair<std::string, std::string>> fields{
        {"receipt", aCut.empty() ? (aCollected ? "complete" : "none") : "cut"}};
    if (!aCut.empty()) {
        fields.emplace_back("fault", Utf8(aCut));
    }
    Append(u"receipt", std::move(fields), false);
}

void kPaymentJournal::End(const _int_PAY_result& aResult, const TerminalState& aAfter) {
    std::vector<std::pair<std::string, std::string>> fields{
        {"error", aResult.Error ? "True" : "False"},
        {"amount", Utf8(aResult.PaymentAmount.ToText())},
        {"refund_reference", Utf8(aResult.RefundReference)},
        {"error_text", Utf8(aResult.ErrorText)}};
    AddTerminalState(fields, aAfter);
    Append(u"end", std::move(fields), false);
    fOperation.clear();
}

void kPaymentJournal::EndDayClose(const _int_DAYCLOSE_result& aResult, const TerminalState& aAfter) {
    std::vector<std::pair<std::string, std::string>> fields{{"error", aResult.Error ? "True" : "False"},
                                                            {"amount", Utf8(aResult.TotalAmount.ToText())},
                                                            {"error_text", Utf8(aResult.ErrorText)}};
    AddTerminalState(fields, aAfter);
    Append(u"end", std::move(fields), false);
    fOperation.clear();
}

void kPaymentJournal::Verdict(const RecoveryDecision& aDecision, const TerminalState& aAfter,
                              const std::string& aOperation) {
    std::vector<std::pair<std::string, std::string>> fields{
        {"verdict", RecoveryVerdictName(aDecision.Verdict)}, {"evidence", aDecision.Evidence}};
    AddTerminalState(fields, aAfter);
    Append(u"verdict", std::move(fields), true, aOperation);
}

kJournalEnd::kJournalEnd(kPaymentJournal* aJournal, const _int_PAY_result& aResult,
                         const TerminalState& aAfter)
    : fJournal(aJournal), fResult(aResult), fAfter(aAfter), fExceptions(std::uncaught_exceptions()) {}

kJournalEnd::~kJournalEnd() {
    if (fJournal == nullptr) {
        return;
    }
    try {
        if (std::uncaught_exceptions() > fExceptions) {
            // The host gets the error's text; the device log has it too.
            _int_PAY_result told;
            told.Error = true;
            told.ErrorText = u"the operation ended by an error (the device log has its text)";
            fJournal->End(told, TerminalState());
        } else {
            fJournal->End(fResult, fAfter);
        }
    } catch (...) {
        // A record that cannot be made must not replace the operation's own outcome.
    }
}
