#include "drivers/P17Protocol.h"

#include <chrono>
#include <limits>
#include <map>
#include <mutex>

#include "base/Formatting.h"
#include "base/ZrError.h"
#include "drivers/AcquirerTable.h"
#include "drivers/P17CardData.h"
#include "drivers/P17MessageText.h"
#include "drivers/PaymentJournal.h"
#include "drivers/RefundReference.h"
#include "io/ByteStream.h"
#include "io/IOHandler.h"
#include "payment/CommandOutcome.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "runtime/ApplicationLog.h"

namespace {
bool AllDigits(const Text& aText) {
    for (const char16_t c : aText) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return !aText.empty();
}

Text CodePoint(char16_t c) {
    return u"U+" + IntToHex(c, 4);
}

// A text from the request as it may appear in a log line or an error text: control characters become
// "?" (a line break would forge log lines), and only aMax characters are kept.
Text Printable(const Text& aText, std::size_t aMax) {
    Text shown = aText.substr(0, aMax);
    for (auto& c : shown) {
        if (c < 0x20 || c == 0x7F) {
            c = u'?';
        }
    }
    if (aText.size() > aMax) {
        shown += u"...";
    }
    return shown;
}

Text PrintLocationName(ZrPrintLocation aLocation) {
    switch (aLocation) {
    case ZrPrintLocation::pl_ECR:
        return u"pl_ECR";
    case ZrPrintLocation::pl_EFT:
        return u"pl_EFT";
    }
    return IntToText(static_cast<int>(aLocation));
}

void LogApplicationError(const Text& aMessage) {
    WriteApplicationLog(tZR_MessageType::let_error, aMessage);
}

// What the host's request is called in texts for a person.
Text ActionWord(zrPaymentAction aAction) {
    switch (aAction) {
    case zrPaymentAction::pa_Refund:
        return u"refund";
    case zrPaymentAction::pa_Void:
        return u"void";
    case zrPaymentAction::pa_Pay:
        break;
    }
    return u"payment";
}

// The card fields that the payment, refund and void answers share (one group of their layouts).
struct CardFields {
    Text Pan;
    Text EntryMode;
    Text AuthCode;
};

CardFields ReadCardFields(const kP17Answer& aAnswer) {
    return {aAnswer["card"], aAnswer["entry_mode"], aAnswer["auth_code"]};
}

Text UnknownResult(const Text& aResultCode) {
    return u"Unknown Result: [" + aResultCode + u"]";
}

// The terminal's description of a refusal; an answer cut before it still fails with a text.
Text RefusalText(const kP17Answer& aAnswer, const Text& aResultCode) {
    const Text description = MaskCardData(aAnswer["error_text"]);
    return description.empty()
               ? u"The terminal refused without a description (result code " + aResultCode + u")"
               : description;
}

// An amount as the host writes numbers (its decimal separator), for log lines a person reads.
Text HostNumber(Currency aAmount) {
    Text text = aAmount.ToText();
    const auto point = text.find(u'.');
    return point == Text::npos ? text : text.replace(point, 1, HostDecimalSeparator());
}

// The cents of an answer field as an amount (exact).
Currency FromCents(std::int64_t aCents) {
    return Currency::FromRaw(aCents * 100);
}

// 10^aExponent (at most 18).
std::int64_t PowerOfTen(std::size_t aExponent) {
    std::int64_t p = 1;
    for (std::size_t i = 0; i < aExponent; ++i) {
        p *= 10;
    }
    return p;
}

// aValue / 10^aDecimals as an amount, rounded half away from zero beyond four decimals.
Currency ScaledAmount(std::int64_t aValue, int aDecimals) {
    std::int64_t raw = aValue * Currency::kScale;
    const std::int64_t divisor = PowerOfTen(static_cast<std::size_t>(aDecimals));
    const std::int64_t q = raw / divisor;
    const std::int64_t r = raw % divisor;
    raw = q + (2 * (r < 0 ? -r : r) >= divisor ? (raw < 0 ? -1 : 1) : 0);
    return Currency::FromRaw(raw);
}
} // namespace

kP17Protocol::kP17Protocol(kIOHandler& aChannel, const TextList& aCustomAcquirerList, Text aDeviceDesignation,
                           NowFn aNow, kP17Link::PauseFn aPause)
    : fChannel(aChannel), fCustomAcquirerList(aCustomAcquirerList),
      fDeviceDesignation(std::move(aDeviceDesignation)), fNow(std::move(aNow)),
      fLink(aChannel, std::move(aPause)) {}

TDateTime kP17Protocol::CurrentTime() const {
    return fNow ? fNow() : Now();
}

// --- fields and messages -----------------------------------------------------------------------------

Text kP17Protocol::EcrIdentifier(const Text& aTillCode) {
    const std::size_t width = P17RequestField('X', "ecr").Width;
    const Text none(width, u'0');
    if (!IsNumeric(aTillCode)) {
        return none;
    }
    const Text ecr = FormatNumberFixed(aTillCode, static_cast<int>(width), 0, false, Text());
    // A numeric text that is not a plain whole number (a sign, an infinity) must not reach the frame.
    return ecr.size() == width && AllDigits(ecr) ? ecr : none;
}

bool kP17Protocol::AmountField(Currency aAmount, Text& aField, Text& aError) {
    const std::size_t width = P17RequestField('X', "amount").Width;
    const std::int64_t maxCents = PowerOfTen(width) - 1;
    const std::int64_t cents = aAmount.Cents();
    if (aAmount.Raw() < 0 || cents > maxCents) {
        aError = u"Amount " + aAmount.ToText() + u" invalid. Allowed values are: 0 to " +
                 FromCents(maxCents).ToText() + u".";
        return false;
    }
    aField = ZeroPadded(cents, width);
    return true;
}

bool kP17Protocol::ReferenceField(const Text& aReference, Text& aField, Text& aError) {
    for (std::size_t i = 0; i < aReference.size(); ++i) {
        const char16_t c = aReference[i];
        if (c < 0x20 || c == 0x7F || c > 0xFF) {
            aError = u"Reference [" + CutValue(Printable(aReference, aReference.size())) +
                     u"] invalid: the character " + CodePoint(c) + u" at position " +
                     IntToText(static_cast<std::int64_t>(i + 1)) +
                     u" cannot be sent to the terminal. Allowed are the characters U+0020 to U+00FF except "
                     u"U+007F.";
            return false;
        }
    }
    const std::size_t width = P17RequestField('X', "reference").Width;
    if (aReference.size() > width) {
        aError = u"Reference [" + CutValue(aReference) + u"] invalid: " +
                 IntToText(static_cast<std::int64_t>(aReference.size())) +
                 u" characters. Allowed are at most " + IntToText(static_cast<std::int64_t>(width)) +
                 u" characters.";
        return false;
    }
    aField = Text(width - aReference.size(), u' ') + aReference;
    return true;
}

Text kP17Protocol::PrintLocationMessage(bool aPrintOnEcr) {
    return P17RequestText('E', {{"print_on_ecr", aPrintOnEcr ? u"1" : u"0"}});
}

Text kP17Protocol::PayMessage(const Text& aEcr, const Text& aAmount, const Text& aReferenceField) {
    return P17RequestText('X', {{"ecr", aEcr}, {"amount", aAmount}, {"reference", aReferenceField}});
}

Text kP17Protocol::RefundMessage(const Text& aEcr, const Text& aAmount) {
    return P17RequestText('A', {{"ecr", aEcr}, {"amount", aAmount}});
}

Text kP17Protocol::VoidMessage(const Text& aEcr, const Text& aRefundReference) {
    Text stan, pan, acquirer, amount, authCode, dateTime;
    DecodeRefundReference(aRefundReference, stan, pan, acquirer, amount, authCode, dateTime);
    return P17RequestText('Q', {{"ecr", aEcr},
                                {"stan", stan},
                                {"card", pan},
                                {"acquirer", acquirer},
                                {"amount", amount},
                                {"auth_code", authCode},
                                {"date_time", dateTime}});
}

Text kP17Protocol::ReprintMessage(bool aPrintOnEcr) {
    return P17RequestText('R', {{"print_on_ecr", aPrintOnEcr ? u"1" : u"0"}});
}

Text kP17Protocol::DayCloseMessage(const Text& aEcr) {
    return P17RequestText('C', {{"ecr", aEcr}});
}

Text kP17Protocol::TotalsMessage(const Text& aEcr) {
    return P17RequestText('T', {{"ecr", aEcr}});
}

// --- conversions -------------------------------------------------------------------------------------

std::int64_t kP17Protocol::StrToInt64(const Text& aText) {
    std::size_t i = 0;
    while (i < aText.size() && aText[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < aText.size() && (aText[i] == u'+' || aText[i] == u'-')) {
        negative = aText[i] == u'-';
        ++i;
    }
    const std::size_t firstDigit = i;
    std::uint64_t v = 0;
    // The magnitude of the most negative value is one more than the largest positive one.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1u : 0u);
    bool tooLarge = false;
    for (; i < aText.size() && aText[i] >= u'0' && aText[i] <= u'9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(aText[i] - u'0');
        // Checked before the step, which could otherwise wrap and come back small.
        if (v > (limit - digit) / 10) {
            tooLarge = true;
            break;
        }
        v = v * 10 + digit;
    }
    if (tooLarge || i == firstDigit || i != aText.size()) {
        throw ZrError(u"'" + aText + u"' is not a valid integer value");
    }
    return negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
}

std::int32_t kP17Protocol::StrToInt(const Text& aText) {
    // Twenty digits already overflow 64 bits; the 64-bit reader reports that with the same message.
    const std::int64_t v = StrToInt64(aText);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        throw ZrError(u"'" + aText + u"' is not a valid integer value");
    }
    return static_cast<std::int32_t>(v);
}

TDateTime kP17Protocol::DecodeTerminalDateTime(const Text& aText, TDateTime aNow) {
    const auto parts = P17DayTimeParts();
    const std::int32_t day = StrToInt(P17FieldText(aText, parts[0]));
    const std::int32_t hour = StrToInt(P17FieldText(aText, parts[1]));
    const std::int32_t minute = StrToInt(P17FieldText(aText, parts[2]));
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) {
        throw ZrError(u"Invalid argument to time encode");
    }
    const int year = DecodeDateTime(aNow).Year;
    TDateTime result = EncodeDateTime(year, 1, 1) + (day - 1) + (hour * 60 + minute) / 1440.0;
    constexpr double kYearAhead = 8736.0 / 24.0;
    if (result > aNow + kYearAhead) {
        // The same day and time twelve months earlier, the day kept within its month.
        DateTimeParts p = DecodeDateTime(result);
        p.Year -= 1;
        while (!IsValidDate(p.Year, p.Month, p.Day) && p.Day > 28) {
            --p.Day;
        }
        TryEncodeDateTime(p, result);
    }
    return result;
}

// --- the exchange ----------------------------------------------------------------------------------------

bool kP17Protocol::Exchange(Text& aErrorText, const std::function<bool()>& aBody) {
    fRequestSent = false;
    fCancelled = false;
    fConnectFailed = false;
    try {
        return ExchangeSteps(aErrorText, aBody);
    } catch (const tZR_Cancelled& e) {
        fCancelled = true;
        aErrorText = fRequestSent && fUnanswered ? fUnanswered(e.Message()) : NotPerformedText(e.Message());
        fChannel.Debug(tZR_MessageType::let_error, aErrorText);
        return false;
    }
}

bool kP17Protocol::SendRequest(const Text& aMessage) {
    fRequestSent = true;
    return fLink.SendFrame(BuildFrame(aMessage));
}

bool kP17Protocol::ExchangeSteps(Text& aErrorText, const std::function<bool()>& aBody) {
    if (!fChannel.Connect()) {
        aErrorText = u"Unable to connect to device " + fDeviceDesignation;
        fConnectFailed = true;
        return false;
    }
    bool success = false;
    try {
        if (kByteStream* stream = fChannel.ByteStream()) {
            stream->ClearBuffers();
        }
        success = aBody();
    } catch (...) {
        // The device log tells what ended the exchange, as the host's error text does.
        try {
            throw;
        } catch (const std::exception& e) {
            fChannel.Debug(tZR_MessageType::let_error, u"The exchange ended: " + ExceptionMessage(e));
        } catch (...) {
            fChannel.Debug(tZR_MessageType::let_error, u"The exchange ended by an unknown error");
        }
        try {
            fChannel.Disconnect();
        } catch (...) {
            // The first error is the one the caller must see.
        }
        throw;
    }
    try {
        fChannel.Disconnect();
    } catch (const std::exception& e) {
        // The outcome is settled by now: a connection that does not close cleanly cannot change it.
        fChannel.Debug(tZR_MessageType::let_error, u"Disconnect failed: " + ExceptionMessage(e));
    }
    return success;
}

Text kP17Protocol::OutcomeUnknownText(zrPaymentAction aAction, const Text& aReason) {
    Text what;
    Text again;
    switch (aAction) {
    case zrPaymentAction::pa_Refund:
        what = u"may have paid the refund";
        again = u"refunding again";
        break;
    case zrPaymentAction::pa_Void:
        what = u"may have voided the payment";
        again = u"voiding again";
        break;
    case zrPaymentAction::pa_Pay:
        what = u"may have approved it";
        again = u"charging again";
        break;
    }
    return u"Outcome unknown: the terminal accepted the " + ActionWord(aAction) +
           u" request but no answer came (" + aReason + u"). The terminal " + what +
           u": check the terminal (its last receipt, or REPRINT) before " + again + u".";
}

Text kP17Protocol::NotPerformedAfterLossText(zrPaymentAction aAction, const Text& aReason) {
    return Text(kNotPerformedWords) + u" the answer to the " + ActionWord(aAction) + u" request was lost (" +
           aReason + u"), and the terminal's period total and last receipt show that it did not take it. " +
           u"It is safe to try again.";
}

Text kP17Protocol::NotAcknowledged(const Text& aWhat) const {
    const Text text = u"The terminal did not acknowledge the " + aWhat + u" request (" + fLink.Fault() + u")";
    fChannel.Debug(tZR_MessageType::let_error, text);
    return text;
}

Text kP17Protocol::NoAnswer(const Text& aWhat) const {
    const Text text = UnansweredText(aWhat, fLink.Fault());
    fChannel.Debug(tZR_MessageType::let_error, text);
    return text;
}

Text kP17Protocol::UnansweredText(const Text& aWhat, const Text& aReason) {
    return u"The terminal accepted the " + aWhat + u" request but no answer came (" + aReason + u")";
}

Text kP17Protocol::NoRefundReferenceText(const Text& aWhy) {
    return u"Approved without a refund reference: " + aWhy +
           u". A void of this payment must be made on the terminal.";
}

void kP17Protocol::NoteAfterAnswer(const Text& aNote) {
    fOperationNote = aNote;
    fChannel.Debug(tZR_MessageType::let_error,
                   u"After the answer: " + aNote + u"; the result is the answer's");
}

Text kP17Protocol::ReceiptAfterAnswer(bool aCollect) {
    if (!fLink.AckFault().empty()) {
        // A terminal whose answer was not acknowledged sends no receipt; the answer itself stands.
        NoteAfterAnswer((aCollect ? u"receipt cut short: " : u"answer not acknowledged: ") +
                        fLink.AckFault());
        return Text();
    }
    if (!aCollect) {
        return Text();
    }
    Text receipt = fLink.ReadReceiptText();
    if (!fLink.ReceiptFault().empty()) {
        NoteAfterAnswer(u"receipt cut short: " + fLink.ReceiptFault());
    }
    return receipt;
}

void kP17Protocol::Refuse(Text& aErrorText, const Text& aMessage) {
    aErrorText = aMessage;
    fChannel.Debug(tZR_MessageType::let_error, aMessage);
}

bool kP17Protocol::SetPrintLocation(ZrPrintLocation aLocation) {
    bool printOnEcr = false;
    switch (aLocation) {
    case ZrPrintLocation::pl_ECR:
        printOnEcr = true;
        break;
    case ZrPrintLocation::pl_EFT:
        break;
    default:
        LogApplicationError(u"SetPrintLocation: value not managed [" + PrintLocationName(aLocation) + u"]");
        break;
    }
    return fLink.SendFrame(BuildFrame(PrintLocationMessage(printOnEcr)));
}

namespace {
std::string TrimmedId(const Text& aId) {
    Text id = aId;
    while (!id.empty() && id.back() == u' ') {
        id.pop_back();
    }
    return TextToUtf8(id);
}

// What an approved operation moves the period total by, and the amount its receipt names: a void the
// amount its reference names (the terminal voids that, whatever the request says), refunds and voids
// out, payments in. False when the amount is not known.
bool OperationEffect(zrPaymentAction aAction, const Currency& aAmount, const Text& aRefundReference,
                     std::int64_t& aEffect, std::int64_t& aNamed) {
    Currency amount = aAmount;
    if (aAction == zrPaymentAction::pa_Void && !RefundReferenceAmount(aRefundReference, amount)) {
        return false;
    }
    aNamed = amount.Cents();
    aEffect = aAction == zrPaymentAction::pa_Pay ? aNamed : -aNamed;
    return true;
}

// Terminals (by journal) whose total could not be read, and when: a terminal that does not answer the
// reading is not asked again before every payment, only every half hour.
std::mutex gUnreadLock;
std::map<Text, std::chrono::steady_clock::time_point> gUnread;
constexpr auto kUnreadPause = std::chrono::minutes(30);

bool BaselineReadingDue(const Text& aJournal) {
    const std::lock_guard<std::mutex> lock(gUnreadLock);
    const auto it = gUnread.find(aJournal);
    return it == gUnread.end() || std::chrono::steady_clock::now() - it->second >= kUnreadPause;
}

void BaselineReadingFailed(const Text& aJournal) {
    const std::lock_guard<std::mutex> lock(gUnreadLock);
    gUnread[aJournal] = std::chrono::steady_clock::now();
}

Text RecoveryLine(const RecoveryDecision& aDecision) {
    return u"Outcome recovered: " + Utf8ToText(RecoveryVerdictName(aDecision.Verdict)) + u" (" +
           Utf8ToText(aDecision.Evidence) + u")";
}
} // namespace

kP17Protocol::StateReading kP17Protocol::ReadTerminalState(const Text& aTillCode, int aConnectAttempts,
                                                           TerminalState& aState, Text& aReceipt,
                                                           Text& aWhy) {
    aState = TerminalState();
    aReceipt.clear();
    // The checks are the library's own: the operation's note is not theirs to change.
    const Text note = fOperationNote;
    _int_REPRINT_result copy;
    bool printed = false;
    for (int attempt = 1; attempt <= aConnectAttempts; ++attempt) {
        copy = _int_REPRINT_result();
        try {
            printed = Reprint(ZrPrintLocation::pl_ECR, kRecoveryAnswerTimeout, copy);
        } catch (const std::exception& e) {
            // A damaged answer only leaves the receipt unread; the check must not end the operation.
            printed = false;
            copy.ErrorText = ExceptionMessage(e);
        }
        if (!fConnectFailed || fCancelled || attempt == aConnectAttempts) {
            break;
        }
        fLink.Pause(kRecoveryConnectPause);
    }
    if (fConnectFailed || fCancelled) {
        aWhy = copy.ErrorText;
        fOperationNote = note;
        return StateReading::NotReached;
    }
    const bool receiptWhole = printed && !copy.ReceiptText.empty() && fOperationNote.empty();
    if (receiptWhole) {
        aReceipt = copy.ReceiptText;
        aState.LastReceipt = ReceiptDigest(aReceipt);
    }
    _int_GETTOTALS_result totals;
    bool totalled = false;
    try {
        totalled = ServiceOperation(TotalsMessage(EcrIdentifier(aTillCode)), u"totals",
                                    &kP17Protocol::ParseTotalsResponse, totals, kRecoveryAnswerTimeout);
    } catch (const std::exception& e) {
        totals.ErrorText = ExceptionMessage(e);
    }
    if (totalled) {
        aState.TotalKnown = true;
        aState.TotalCents = totals.TotalAmount.Cents();
        aState.TerminalId = TrimmedId(totals.DeviceId);
    }
    fOperationNote = note;
    if (fCancelled) {
        aWhy = totals.ErrorText;
        return StateReading::NotReached;
    }
    if (!receiptWhole || !totalled) {
        aWhy = !receiptWhole ? u"no whole last receipt came" +
                                   (copy.ErrorText.empty() ? Text() : u" (" + copy.ErrorText + u")")
                             : u"no period total came (" + totals.ErrorText + u")";
        return StateReading::Incomplete;
    }
    return StateReading::Read;
}

TerminalState kP17Protocol::SettleJournal(const Text& aTillCode) {
    const kPaymentJournal::Tail tail = fJournal->ReadTail();
    TerminalState baseline = tail.Baseline;
    if (tail.Unresolved) {
        const JournalOperation& open = *tail.Unresolved;
        const JournalRecord* asked = open.Find("asked");
        const JournalRecord* sent = open.Find("sent");
        const std::string kind = asked != nullptr ? asked->Get("kind") : std::string();
        fChannel.Debug(tZR_MessageType::let_info,
                       u"The journal holds a " + Utf8ToText(kind) + u" of " +
                           Utf8ToText(asked != nullptr ? asked->Get("amount") : std::string()) +
                           u" whose outcome is open (operation " + Utf8ToText(open.Operation) +
                           u"): the terminal is checked before this operation");
        TerminalState now;
        Text receipt;
        Text why;
        const StateReading reading = ReadTerminalState(aTillCode, 1, now, receipt, why);
        if (reading == StateReading::NotReached) {
            fChannel.Debug(tZR_MessageType::let_error,
                           u"The check could not reach the terminal (" + why + u"): the outcome stays open");
            return TerminalState();
        }
        RecoveryDecision decision;
        const zrPaymentAction action = kind == "REFUND" ? zrPaymentAction::pa_Refund
                                       : kind == "VOID" ? zrPaymentAction::pa_Void
                                                        : zrPaymentAction::pa_Pay;
        Currency amount;
        std::int64_t effect = 0;
        std::int64_t named = 0;
        if (reading == StateReading::Incomplete) {
            decision.Evidence = TextToUtf8(why);
        } else if (asked == nullptr || sent == nullptr ||
                   !Currency::TryParse(Utf8ToText(asked->Get("amount")), amount) ||
                   !OperationEffect(action, amount, Utf8ToText(asked->Get("refund_reference")), effect,
                                    named)) {
            decision.Evidence = "the journal does not hold the operation's amount";
        } else {
            decision = DecideLostOutcome(effect, named, TerminalStateOf(*sent), now, receipt);
        }
        fJournal->Verdict(decision, now, open.Operation);
        fChannel.Debug(
            decision.Verdict == RecoveryVerdict::Unknown ? tZR_MessageType::let_error
                                                         : tZR_MessageType::let_info,
            RecoveryLine(decision) + u" of operation " + Utf8ToText(open.Operation) +
                (decision.Verdict == RecoveryVerdict::Unknown ? u": it stays unknown for good" : Text()));
        baseline = now;
    }
    if (!baseline.TotalKnown && BaselineReadingDue(fJournal->Path())) {
        // The first time the journal meets this terminal, or after an operation that left its state
        // unknown: one reading gives the point later checks compare with.
        TerminalState now;
        Text receipt;
        Text why;
        if (ReadTerminalState(aTillCode, 1, now, receipt, why) != StateReading::NotReached) {
            baseline = now;
        }
        if (!baseline.TotalKnown) {
            BaselineReadingFailed(fJournal->Path());
        }
        fChannel.Debug(tZR_MessageType::let_info,
                       u"The journal did not know the terminal's period total: " +
                           (baseline.TotalKnown ? u"it is " + Utf8ToText(CentsAsMoney(baseline.TotalCents))
                                                : u"still unknown (" + why + u")"));
    }
    return baseline;
}

bool kP17Protocol::CardOperation(const kPaymentReceipt& aReceipt, zrPaymentAction aAction,
                                 const Text& aMessage, CardAnswerParser aParse, bool aAmountFromRequest,
                                 _int_PAY_result& aResult) {
    kPaymentJournal* const journal = fJournal;
    TerminalState before;
    if (journal != nullptr) {
        before = SettleJournal(aReceipt.fTillCode);
        journal->Asked(aAction, aReceipt);
    }
    std::int64_t effect = 0;
    std::int64_t named = 0;
    const bool effectKnown =
        OperationEffect(aAction, aReceipt.fAmount, aReceipt.fRefundReference.PaymentNumber, effect, named);
    // The terminal's state after the operation as far as it is known: nothing sent leaves it as it was;
    // once the request went out only an answer (or a recovery) says it.
    TerminalState after = before;
    const kJournalEnd journalEnd(journal, aResult, after);
    fUnanswered = [aAction](const Text& aReason) { return OutcomeUnknownText(aAction, aReason); };
    Text lost;
    const bool success = Exchange(aResult.ErrorText, [&]() {
        if (!SetPrintLocation(aReceipt.fPrintLocation)) {
            aResult.ErrorText = u"Errore";
            return false;
        }
        if (journal != nullptr) {
            journal->Sent(before);
        }
        after = TerminalState();
        if (!SendRequest(aMessage)) {
            aResult.ErrorText = NotAcknowledged(ActionWord(aAction));
            if (journal != nullptr) {
                journal->NotAcknowledged(fLink.Fault());
            }
            return false;
        }
        if (journal != nullptr) {
            journal->Acknowledged();
        }
        // The terminal holds the request now: without its answer nobody knows whether money moved.
        Text payload;
        try {
            if (!fLink.ReadResponse(kPaymentAnswerTimeout, payload)) {
                lost = fLink.Fault();
            }
        } catch (const std::exception& e) {
            lost = fLink.Fault().empty() ? ExceptionMessage(e) : u"the terminal sent " + fLink.Fault();
        }
        if (!lost.empty()) {
            aResult.ErrorText = OutcomeUnknownText(aAction, lost);
            fChannel.Debug(tZR_MessageType::let_error, aResult.ErrorText);
            if (journal != nullptr) {
                journal->Lost(lost);
            }
            return false;
        }
        if (journal != nullptr) {
            journal->Answer(aMessage.size() > 9 ? static_cast<char>(aMessage[9]) : '\0', payload);
        }
        const bool approved = (this->*aParse)(payload, aResult);
        if (aAmountFromRequest) {
            aResult.PaymentAmount = aReceipt.fAmount;
            aResult.PaymentCurrency = aReceipt.fCurrency;
        }
        // From here on the answer is the outcome: nothing that follows may raise past it or clear it.
        aResult.ReceiptText = ReceiptAfterAnswer(aReceipt.fPrintLocation == ZrPrintLocation::pl_ECR &&
                                                 aResult.TraceAuditId != u"000000");
        if (journal != nullptr) {
            journal->Receipt(!aResult.ReceiptText.empty(), fOperationNote);
        }
        // A payment books what its answer says it charged; a refund or void answer carries no amount.
        const std::int64_t booked =
            aAction == zrPaymentAction::pa_Pay ? aResult.PaymentAmount.Cents() : effect;
        after.TotalKnown = before.TotalKnown && effectKnown;
        after.TotalCents = before.TotalCents + (approved ? booked : 0);
        if (!aResult.ReceiptText.empty() && fOperationNote.empty()) {
            after.LastReceipt = ReceiptDigest(aResult.ReceiptText);
        }
        after.TerminalId = aResult.DeviceId.empty() ? before.TerminalId : TrimmedId(aResult.DeviceId);
        return approved;
    });
    aResult.Error = !success;
    // A cancel may have ended the wait for the answer itself (the read raised it): no check then either.
    const tZR_CancelSignal* const cancel = fChannel.CancelSignal();
    if (lost.empty() || journal == nullptr || fCancelled || (cancel != nullptr && cancel->Cancelled())) {
        // A cancelled command returns at once: the next operation on this terminal checks it.
        return success;
    }
    // The answer is lost: the terminal's own total and last receipt may still tell what it did.
    TerminalState now;
    Text receipt;
    Text why;
    const StateReading reading =
        ReadTerminalState(aReceipt.fTillCode, kRecoveryConnectAttempts, now, receipt, why);
    if (reading != StateReading::Read) {
        fChannel.Debug(tZR_MessageType::let_error,
                       u"The outcome stays open (" + why +
                           u"): the next operation on this terminal checks it first");
        return success;
    }
    const RecoveryDecision decision =
        effectKnown ? DecideLostOutcome(effect, named, before, now, receipt)
                    : RecoveryDecision{RecoveryVerdict::Unknown, "the amount of the operation is not known"};
    journal->Verdict(decision, now);
    after = now;
    fChannel.Debug(decision.Verdict == RecoveryVerdict::Unknown ? tZR_MessageType::let_error
                                                                : tZR_MessageType::let_info,
                   RecoveryLine(decision));
    switch (decision.Verdict) {
    case RecoveryVerdict::Approved:
        aResult.Error = false;
        aResult.DeviceId = Utf8ToText(now.TerminalId);
        aResult.PaymentDateTime = CurrentTime();
        aResult.PaymentAmount = aReceipt.fAmount;
        aResult.PaymentCurrency = aReceipt.fCurrency;
        aResult.ReceiptText = aReceipt.fPrintLocation == ZrPrintLocation::pl_ECR ? receipt : Text();
        // The receipt is the terminal's free text: nothing a void needs can be read from it.
        aResult.ErrorText =
            aAction == zrPaymentAction::pa_Pay
                ? NoRefundReferenceText(u"the answer was lost (" + lost +
                                        u"), and the terminal's period total and last receipt show that it "
                                        u"approved the payment")
                : Text();
        return true;
    case RecoveryVerdict::NotPerformed:
        aResult.ErrorText = NotPerformedAfterLossText(aAction, lost);
        break;
    case RecoveryVerdict::Unknown:
        aResult.ErrorText +=
            u" A check of the terminal's period total and last receipt could not settle it: " +
            Utf8ToText(decision.Evidence) + u".";
        break;
    }
    return false;
}

bool kP17Protocol::CurrencyAccepted(const Text& aCurrency, Text& aError) {
    Text upper = aCurrency;
    for (auto& c : upper) {
        c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    if (aCurrency.empty() || upper == u"EUR") {
        return true;
    }
    aError = u"Currency [" + CutValue(Printable(aCurrency, aCurrency.size())) +
             u"] invalid: the terminal charges in euros only. Allowed values are: EUR, or none.";
    return false;
}

bool kP17Protocol::DoPay(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult) {
    fOperationNote.clear();
    Text amount, reference, error;
    if (!CurrencyAccepted(aReceipt.fCurrency, error) || !AmountField(aReceipt.fAmount, amount, error) ||
        !ReferenceField(aReceipt.fReference, reference, error)) {
        Refuse(aResult.ErrorText, error);
        aResult.Error = true;
        return false;
    }
    return CardOperation(aReceipt, zrPaymentAction::pa_Pay,
                         PayMessage(EcrIdentifier(aReceipt.fTillCode), amount, reference),
                         &kP17Protocol::ParsePayResponse, false, aResult);
}

bool kP17Protocol::DoRefund(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult) {
    fOperationNote.clear();
    Text amount, error;
    if (!CurrencyAccepted(aReceipt.fCurrency, error) || !AmountField(aReceipt.fAmount, amount, error)) {
        Refuse(aResult.ErrorText, error);
        aResult.Error = true;
        return false;
    }
    return CardOperation(aReceipt, zrPaymentAction::pa_Refund,
                         RefundMessage(EcrIdentifier(aReceipt.fTillCode), amount),
                         &kP17Protocol::ParseRefundResponse, true, aResult);
}

bool kP17Protocol::DoVoid(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult) {
    fOperationNote.clear();
    const Text& reference = aReceipt.fRefundReference.PaymentNumber;
    // Anything but exactly 34 well-formed characters would unpack into other fields than were packed.
    if (!IsWellFormedRefundReference(reference)) {
        // The host's text is the fixed one hosts compare with; the log names the refused reference.
        fChannel.Debug(tZR_MessageType::let_error,
                       u"Invalid Refund Reference [" + Printable(reference, 64) + u"]");
        aResult.ErrorText = u"Invalid Refund Reference";
        aResult.Error = true;
        return false;
    }
    return CardOperation(aReceipt, zrPaymentAction::pa_Void,
                         VoidMessage(EcrIdentifier(aReceipt.fTillCode), reference),
                         &kP17Protocol::ParseVoidResponse, true, aResult);
}

bool kP17Protocol::DoReprint(const kPaymentReceipt& aReceipt, _int_REPRINT_result& aResult) {
    return Reprint(aReceipt.fPrintLocation, kServiceAnswerTimeout, aResult);
}

bool kP17Protocol::Reprint(ZrPrintLocation aLocation, std::int32_t aWaitMs, _int_REPRINT_result& aResult) {
    fOperationNote.clear();
    fUnanswered = [](const Text& aReason) { return UnansweredText(u"reprint", aReason); };
    const bool success = Exchange(aResult.ErrorText, [&]() {
        bool printOnEcr = false;
        switch (aLocation) {
        case ZrPrintLocation::pl_ECR:
            printOnEcr = true;
            break;
        case ZrPrintLocation::pl_EFT:
            break;
        default:
            LogApplicationError(u"Reprint.PrintLocation: value not managed [" + PrintLocationName(aLocation) +
                                u"]");
            break;
        }
        if (!SendRequest(ReprintMessage(printOnEcr))) {
            aResult.ErrorText = NotAcknowledged(u"reprint");
            return false;
        }
        Text payload;
        // On the terminal's own printer an acknowledged reprint is done, answered or not. For the cash
        // register no answer means no receipt text: reporting success would hand the host nothing to print.
        if (!fLink.ReadResponse(aWaitMs, payload) && printOnEcr) {
            aResult.ErrorText = NoAnswer(u"reprint");
            return false;
        }
        aResult.ReceiptText = ReceiptAfterAnswer(aLocation == ZrPrintLocation::pl_ECR);
        return true;
    });
    aResult.Error = !success;
    return success;
}

template <typename TResult>
bool kP17Protocol::ServiceOperation(const Text& aMessage, const Text& aWhat,
                                    bool (kP17Protocol::*aParse)(const Text&, TResult&), TResult& aResult,
                                    std::int32_t aWaitMs) {
    fOperationNote.clear();
    fUnanswered = [aWhat](const Text& aReason) { return UnansweredText(aWhat, aReason); };
    const bool success = Exchange(aResult.ErrorText, [&]() {
        if (!SendRequest(aMessage)) {
            aResult.ErrorText = NotAcknowledged(aWhat);
            return false;
        }
        Text payload;
        if (!fLink.ReadResponse(aWaitMs, payload)) {
            aResult.ErrorText = NoAnswer(aWhat);
            return false;
        }
        return (this->*aParse)(payload, aResult);
    });
    aResult.Error = !success;
    return success;
}

bool kP17Protocol::DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult) {
    if (fJournal == nullptr) {
        return ServiceOperation(DayCloseMessage(EcrIdentifier(aDayClose.fTillCode)), u"day close",
                                &kP17Protocol::ParseDayCloseResponse, aResult);
    }
    // A day close resets the period total that an open operation's check compares with: that check comes
    // first, and the journal learns the new total.
    const TerminalState before = SettleJournal(aDayClose.fTillCode);
    fJournal->AskedDayClose(aDayClose.fTillCode);
    fJournal->Sent(before);
    TerminalState after;
    try {
        const bool closed = ServiceOperation(DayCloseMessage(EcrIdentifier(aDayClose.fTillCode)),
                                             u"day close", &kP17Protocol::ParseDayCloseResponse, aResult);
        if (closed) {
            // The last receipt is left as it was: a terminal that replaces it with its report only makes
            // a later check inconclusive.
            after.TotalKnown = true;
            after.LastReceipt = before.LastReceipt;
            after.TerminalId = TrimmedId(aResult.DeviceId);
        } else if (!fRequestSent) {
            after = before;
        }
        fJournal->EndDayClose(aResult, after);
        return closed;
    } catch (...) {
        _int_DAYCLOSE_result told;
        told.Error = true;
        told.ErrorText = u"the operation ended by an error (the device log has its text)";
        fJournal->EndDayClose(told, TerminalState());
        throw;
    }
}

bool kP17Protocol::DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult) {
    return ServiceOperation(TotalsMessage(EcrIdentifier(aTotals.fTillCode)), u"totals",
                            &kP17Protocol::ParseTotalsResponse, aResult);
}

bool kP17Protocol::DoVerifyTran(const kPaymentReceipt&, _int_PAY_result& aResult) {
    fOperationNote.clear();
    aResult.Error = true;
    aResult.ErrorText = u"unsupported";
    return false;
}

// --- answers -------------------------------------------------------------------------------------------
// Each answer is read through its layout: a field is taken where the layout reads it for the answer's
// result code, so the conditions below are the layout's groups (the card fields only when approved, the
// description only when refused).

TDateTime kP17Protocol::ApprovedAnswerDateTime(const Text& aField, TDateTime aNow, Text& aProblem) const {
    try {
        return DecodeTerminalDateTime(aField, aNow);
    } catch (const ZrError& e) {
        // The terminal took the money: a date it wrote wrongly must not turn that into a failure.
        aProblem = u"the terminal's date and time [" + Printable(aField, 16) + u"] is not a valid time (" +
                   e.Message() + u")";
        fChannel.Debug(tZR_MessageType::let_error, u"Approved answer: " + aProblem + u"; the time is now's");
        return aNow;
    }
}

bool kP17Protocol::ParsePayResponse(const Text& aPayload, _int_PAY_result& aResult) {
    const TDateTime now = CurrentTime();
    TDateTime dateTime = now;
    CardFields card;
    Text operationNumber, bankFlag, acquirer, stan, errorText, foreignCurrency, refundReference;
    Currency amount, rate, foreignAmount;

    const kP17Answer answer('X', aPayload);
    const Text resultCode = answer["result"];
    Text badDate;
    if (answer.Reads("card")) {
        card = ReadCardFields(answer);
        dateTime = resultCode == u"00" ? ApprovedAnswerDateTime(answer["date_time"], now, badDate)
                                       : DecodeTerminalDateTime(answer["date_time"], now);
        bankFlag = answer["bank_flag"];
        acquirer = answer["acquirer"];
        stan = answer["stan"];
        operationNumber = answer["operation"];
        amount = FromCents(StrToInt(answer["amount"]));
        if (answer.Reads("rate")) {
            rate = Currency::FromRaw(StrToInt(answer["rate"]));
            foreignCurrency = answer["currency"];
            // The one number of this answer read with 64 bits: its 12 digits pass 2^31 in currencies of
            // large units, and a conversion failure here would report an approved payment as failed.
            const std::int64_t foreign = StrToInt64(answer["foreign_amount"]);
            const std::int32_t decimals = StrToInt(answer["decimals"]);
            // A currency without decimals keeps the integer.
            foreignAmount = ScaledAmount(foreign, decimals > 0 ? decimals : 0);
        }
        // A void sends the payment's date back: a reference with another date would name no payment.
        Text why = badDate;
        refundReference = badDate.empty() ? RefundReferenceOfAnswer(stan, card.Pan, acquirer, amount,
                                                                    card.AuthCode, dateTime, why)
                                          : Text();
        if (refundReference.empty()) {
            // The payment stands; the host learns that a void of it must be made on the terminal.
            fChannel.WriteLog(tZR_MessageType::let_error,
                              u"CalcRefundReference: STAN=" + stan + u" PAN=" + MaskCardNumber(card.Pan) +
                                  u" IDAcquirer=" + acquirer + u" Amount=" + HostNumber(amount) +
                                  u" AuthCode=" + card.AuthCode + u" TranDate=" +
                                  DateTimeToISO(dateTime, false),
                              why);
            errorText = NoRefundReferenceText(why);
        }
    } else if (answer.Reads("error_text")) {
        errorText = RefusalText(answer, resultCode);
        stan = answer["stan"];
        operationNumber = u"0";
    } else {
        errorText = UnknownResult(resultCode);
    }

    const bool approved = resultCode == u"00";
    aResult.DeviceId = answer["terminal_id"];
    aResult.PaymentDateTime = dateTime;
    aResult.PaymentNumber = operationNumber;
    aResult.PaymentAmount = approved ? amount : Currency();
    aResult.PaymentCurrency = u"EUR";
    aResult.PaymentNetwork = DecodeAcquirer(acquirer, fCustomAcquirerList);
    if (bankFlag == u"1") {
        aResult.PaymentNetwork = zrPaymentNetwork::Bank;
    }
    aResult.TransactionType = DecodeEntryMode(card.EntryMode);
    aResult.AuthCode = card.AuthCode;
    aResult.MaskedPAN = MaskCardNumber(card.Pan);
    aResult.TraceAuditId = stan;
    aResult.ExchangeRate = rate;
    aResult.PaymentAmountCurrency = foreignAmount;
    aResult.PaymentCurrencyCurrency = foreignCurrency;
    aResult.RefundReference = refundReference;
    aResult.Error = !approved;
    aResult.ErrorText = errorText;
    return approved;
}

bool kP17Protocol::ParseRefundResponse(const Text& aPayload, _int_PAY_result& aResult) {
    // Every field of the refund answer is read, whatever the result code.
    const kP17Answer answer('A', aPayload);
    const Text resultCode = answer["result"];
    const CardFields card = ReadCardFields(answer);
    const Text acquirer = answer["acquirer"];
    Text badDate;
    const TDateTime dateTime = resultCode == u"00"
                                   ? ApprovedAnswerDateTime(answer["date_time"], CurrentTime(), badDate)
                                   : DecodeTerminalDateTime(answer["date_time"], CurrentTime());

    const bool approved = resultCode == u"00";
    aResult.DeviceId = answer["terminal_id"];
    aResult.PaymentDateTime = dateTime;
    aResult.PaymentNumber.clear();
    aResult.PaymentAmount = Currency();
    aResult.PaymentCurrency.clear();
    aResult.PaymentNetwork = DecodeAcquirer(acquirer, fCustomAcquirerList);
    aResult.TransactionType = DecodeEntryMode(card.EntryMode);
    aResult.AuthCode = card.AuthCode;
    aResult.MaskedPAN = MaskCardNumber(card.Pan);
    aResult.TraceAuditId.clear();
    aResult.ExchangeRate = Currency();
    aResult.PaymentAmountCurrency = Currency();
    aResult.Error = !approved;
    aResult.ErrorText = approved ? Text() : resultCode == u"01" ? Text(u"ERRORE") : UnknownResult(resultCode);
    return approved;
}

bool kP17Protocol::ParseVoidResponse(const Text& aPayload, _int_PAY_result& aResult) {
    TDateTime dateTime = CurrentTime();
    CardFields card;
    Text errorText;
    const kP17Answer answer('Q', aPayload);
    const Text resultCode = answer["result"];
    if (answer.Reads("card")) {
        card = ReadCardFields(answer);
        Text badDate;
        dateTime = resultCode == u"00" ? ApprovedAnswerDateTime(answer["date_time"], dateTime, badDate)
                                       : DecodeTerminalDateTime(answer["date_time"], dateTime);
    } else if (answer.Reads("error_text")) {
        errorText = RefusalText(answer, resultCode);
    } else {
        errorText = UnknownResult(resultCode);
    }

    const bool approved = resultCode == u"00";
    aResult.DeviceId = answer["terminal_id"];
    aResult.PaymentDateTime = dateTime;
    aResult.PaymentNumber = answer["operation"];
    aResult.PaymentAmount = Currency();
    aResult.PaymentCurrency.clear();
    aResult.PaymentNetwork = DecodeAcquirer(answer["acquirer"], fCustomAcquirerList);
    if (answer["bank_flag"] == u"1") {
        aResult.PaymentNetwork = zrPaymentNetwork::Bank;
    }
    aResult.TransactionType = DecodeEntryMode(card.EntryMode);
    aResult.AuthCode = card.AuthCode;
    aResult.MaskedPAN = MaskCardNumber(card.Pan);
    aResult.TraceAuditId = answer["stan"];
    aResult.ExchangeRate = Currency();
    aResult.PaymentAmountCurrency = Currency();
    aResult.Error = !approved;
    aResult.ErrorText = errorText;
    return approved;
}

bool kP17Protocol::ParseDayCloseResponse(const Text& aPayload, _int_DAYCLOSE_result& aResult) {
    Currency total;
    Text errorText;
    const kP17Answer answer('C', aPayload);
    const Text resultCode = answer["result"];
    if (answer.Reads("total")) {
        // Read as 32 bits: a total beyond that is a conversion failure, not a wrapped amount.
        total = FromCents(StrToInt(answer["total"]));
    } else if (answer.Reads("error_text")) {
        errorText = RefusalText(answer, resultCode);
    } else {
        errorText = UnknownResult(resultCode);
    }
    const bool closed = resultCode == u"00";
    aResult.DeviceId = answer["terminal_id"];
    aResult.ClosureDateTime = CurrentTime();
    aResult.ClosureNumber = u"0";
    aResult.TotalAmount = total;
    aResult.Currency = u"EUR";
    aResult.ReceiptText.clear();
    aResult.Error = !closed;
    aResult.ErrorText = errorText;
    return closed;
}

bool kP17Protocol::ParseTotalsResponse(const Text& aPayload, _int_GETTOTALS_result& aResult) {
    const kP17Answer answer('T', aPayload);
    const Text resultCode = answer["result"];
    // Converted whatever the result code, as 32 bits like the day close's total.
    const Currency total = FromCents(StrToInt(answer["total"]));
    const bool ok = resultCode == u"00";
    aResult.DeviceId = answer["terminal_id"];
    aResult.DateTime = CurrentTime();
    aResult.TotalAmount = total;
    aResult.Currency = u"EUR";
    aResult.ReceiptText.clear();
    aResult.Error = !ok;
    aResult.ErrorText = ok ? Text() : Text(u"Get Totals Error. Device does not return an error description");
    return ok;
}
