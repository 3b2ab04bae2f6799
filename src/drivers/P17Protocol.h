#pragma once
// The Protocol 17 operations over one channel: the request messages, the exchange of each operation and
// the parsing of every answer into the result records. The device class kPayment_RIVEVEDEV17 owns one of
// these over its channel; the tests drive it over a fake channel.
#include <cstdint>
#include <functional>

#include "base/DateTime.h"
#include "base/Text.h"
#include "drivers/OutcomeRecovery.h"
#include "drivers/P17Link.h"
#include "payment/Payment.h"
#include "payment/PaymentDefs.h"

class kIOHandler;
class kPaymentJournal;

class kP17Protocol {
public:
    using NowFn = std::function<TDateTime()>;

    constexpr static std::int32_t kPaymentAnswerTimeout = 180000;
    constexpr static std::int32_t kServiceAnswerTimeout = 30000;
    // A recovery's reprint and totals each wait this long for their answer, and it tries this many times
    // to connect again, this far apart, when the terminal went away with the answer: once the terminal
    // answers again a recovery takes at most about 15 s.
    constexpr static std::int32_t kRecoveryAnswerTimeout = 7000;
    constexpr static int kRecoveryConnectAttempts = 5;
    constexpr static std::int32_t kRecoveryConnectPause = 2000;

    // aDeviceDesignation: what follows "Unable to connect to device " (host:port for TCP).
    // aNow and aPause replace the clock and the link's sleeps (tests); empty means the real ones.
    kP17Protocol(kIOHandler& aChannel, const TextList& aCustomAcquirerList, Text aDeviceDesignation,
                 NowFn aNow = NowFn(), kP17Link::PauseFn aPause = kP17Link::PauseFn());

    // --- operations: each sets aResult.Error to the negation of its result
    bool DoPay(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult);
    bool DoRefund(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult);
    bool DoVoid(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult);
    bool DoReprint(const kPaymentReceipt& aReceipt, _int_REPRINT_result& aResult);
    bool DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult);
    bool DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult);
    bool DoVerifyTran(const kPaymentReceipt& aReceipt, _int_PAY_result& aResult);

    // --- answers, read through the answer layouts: true when the result code is "00"
    bool ParsePayResponse(const Text& aPayload, _int_PAY_result& aResult);
    bool ParseRefundResponse(const Text& aPayload, _int_PAY_result& aResult);
    bool ParseVoidResponse(const Text& aPayload, _int_PAY_result& aResult);
    bool ParseDayCloseResponse(const Text& aPayload, _int_DAYCLOSE_result& aResult);
    bool ParseTotalsResponse(const Text& aPayload, _int_GETTOTALS_result& aResult);

    // --- request fields and messages (texts inside the frame, built from the request layouts)
    // The till code as the digits of the ECR field when it is numeric, else a field of "0".
    static Text EcrIdentifier(const Text& aTillCode);
    // The terminal charges in euros whatever the request says: an amount meant in another currency would be
    // charged as euros. True for "EUR" (any case) and for none; else false with aError naming the value.
    static bool CurrencyAccepted(const Text& aCurrency, Text& aError);
    // False with aError naming the amount when it does not fit the cents field or is negative.
    static bool AmountField(Currency aAmount, Text& aField, Text& aError);
    // The reference right-aligned in its field. False with aError naming the reference
    // when it is longer than the field or holds a character that would break the frame or cannot travel
    // as one byte.
    static bool ReferenceField(const Text& aReference, Text& aField, Text& aError);
    static Text PrintLocationMessage(bool aPrintOnEcr);
    static Text PayMessage(const Text& aEcr, const Text& aAmount, const Text& aReferenceField);
    static Text RefundMessage(const Text& aEcr, const Text& aAmount);
    // aReference must be well formed (IsWellFormedRefundReference).
    static Text VoidMessage(const Text& aEcr, const Text& aRefundReference);
    static Text ReprintMessage(bool aPrintOnEcr);
    static Text DayCloseMessage(const Text& aEcr);
    static Text TotalsMessage(const Text& aEcr);

    // DDDHHMM (day of the year, hour, minute) in the year of aNow, or 12 months earlier when that lies
    // more than 364 days after aNow. Raises ZrError for a non-numeric field or an impossible time.
    static TDateTime DecodeTerminalDateTime(const Text& aText, TDateTime aNow);
    // A signed 32-bit decimal; raises ZrError "'" + text + "' is not a valid integer value".
    static std::int32_t StrToInt(const Text& aText);
    static std::int64_t StrToInt64(const Text& aText);

    kP17Link& Link() { return fLink; }

    // The journal that the payment, refund and void record their steps in; null (the default): none.
    // Not owned.
    void SetJournal(kPaymentJournal* aJournal) { fJournal = aJournal; }

    // What the last operation adds to its outcome, for the device log's result line: set when the receipt
    // was cut short (or the ACK of the answer could not go out) after a validated answer; else empty.
    const Text& OperationNote() const { return fOperationNote; }

    // The error text of a payment, refund or void whose request the terminal acknowledged but whose answer
    // never came (aReason: what happened instead). Begins with "Outcome unknown".
    static Text OutcomeUnknownText(zrPaymentAction aAction, const Text& aReason);
    // The error text of an approved payment (Error stays false) whose answer lacks what a void needs
    // (aWhy: which field). Begins with "Approved without a refund reference".
    static Text NoRefundReferenceText(const Text& aWhy);
    // The error text of a payment, refund or void whose answer was lost (aReason) and that a recovery
    // found the terminal did not take. Begins with "Not performed:".
    static Text NotPerformedAfterLossText(zrPaymentAction aAction, const Text& aReason);

private:
    TDateTime CurrentTime() const;
    // The date and time of an approved answer; one the terminal wrote wrongly gives aNow, aProblem saying
    // why, and a device-log line.
    TDateTime ApprovedAnswerDateTime(const Text& aField, TDateTime aNow, Text& aProblem) const;
    // Before a payment, refund, void or day close with a journal: settles the journal's latest unresolved
    // operation from the terminal's answers (one attempt: what it cannot decide stays unknown for good),
    // and returns the terminal's state the new operation starts from, asking the terminal for it when the
    // journal does not know the period total (the first time it meets the terminal).
    TerminalState SettleJournal(const Text& aTillCode);
    enum class StateReading {
        NotReached, // the terminal could not be reached (or the command was cancelled): nothing was asked
        Incomplete, // it was asked, and the total or the last receipt is missing (aWhy says which)
        Read
    };
    // The terminal's last receipt (a reprint to the cash register) and period total, trying up to
    // aConnectAttempts times to connect. aState holds what was read.
    StateReading ReadTerminalState(const Text& aTillCode, int aConnectAttempts, TerminalState& aState,
                                   Text& aReceipt, Text& aWhy);
    bool Reprint(ZrPrintLocation aLocation, std::int32_t aWaitMs, _int_REPRINT_result& aResult);
    bool SetPrintLocation(ZrPrintLocation aLocation);
    // What a request that went out without its answer is told (aReason: what happened instead).
    using UnansweredFn = std::function<Text(const Text& aReason)>;
    // Connect, ClearBuffers, aBody, Disconnect (also when aBody raises). False with the connection
    // failure text in aErrorText when the channel does not connect. A cancelled command (tZR_Cancelled)
    // ends it false with "Not performed: ..." while the request was not sent (SendRequest), else with
    // fUnanswered of the cancel's reason (each operation sets it before its exchange).
    bool Exchange(Text& aErrorText, const std::function<bool()>& aBody);
    bool ExchangeSteps(Text& aErrorText, const std::function<bool()>& aBody);
    // Sends the frame of the operation's request (the one that may move money or change the terminal);
    // from here on a cancel leaves the outcome unknown.
    bool SendRequest(const Text& aMessage);
    void Refuse(Text& aErrorText, const Text& aMessage);
    // A payment, refund or void: print location, aMessage, the answer read by aParse, and the receipt
    // when the cash register prints it. aAmountFromRequest: the result carries the request's amount and
    // currency (the refund and void answers have none of their own).
    using CardAnswerParser = bool (kP17Protocol::*)(const Text&, _int_PAY_result&);
    bool CardOperation(const kPaymentReceipt& aReceipt, zrPaymentAction aAction, const Text& aMessage,
                       CardAnswerParser aParse, bool aAmountFromRequest, _int_PAY_result& aResult);
    // The error text of a request that the terminal did not acknowledge (aWhat: "payment", "day close" ...),
    // also written to the device log.
    Text NotAcknowledged(const Text& aWhat) const;
    // The error text of an acknowledged request of a reprint, day close or totals that got no answer, also
    // written to the device log.
    Text NoAnswer(const Text& aWhat) const;
    // "The terminal accepted the " + aWhat + " request but no answer came (" + aReason + ")".
    static Text UnansweredText(const Text& aWhat, const Text& aReason);
    // After a validated answer: collects the receipt text when aCollect; a fault on the way only leaves
    // the operation note and a device-log line.
    Text ReceiptAfterAnswer(bool aCollect);
    void NoteAfterAnswer(const Text& aNote);
    // Day close or totals: aMessage, and the answer read by aParse.
    template <typename TResult>
    bool ServiceOperation(const Text& aMessage, const Text& aWhat,
                          bool (kP17Protocol::*aParse)(const Text&, TResult&), TResult& aResult,
                          std::int32_t aWaitMs = kServiceAnswerTimeout);

    kIOHandler& fChannel;
    const TextList& fCustomAcquirerList;
    Text fDeviceDesignation;
    NowFn fNow;
    kP17Link fLink;
    Text fOperationNote;
    kPaymentJournal* fJournal = nullptr;
    bool fRequestSent = false;
    bool fCancelled = false;     // the last exchange was ended by a cancel
    bool fConnectFailed = false; // the last exchange could not connect
    UnansweredFn fUnanswered;
};
