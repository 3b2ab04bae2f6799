#include "payment/OperationLog.h"

#include "payment/CommandOutcome.h"

namespace {
class tLine {
public:
    explicit tLine(Text aHead) : fLine(std::move(aHead)) {}
    tLine& Add(const char16_t* aName, const Text& aValue) {
        fLine += u" | ";
        fLine += aName;
        fLine += u'=';
        fLine += aValue;
        return *this;
    }
    Text Done(std::int64_t aElapsedMs, const Text& aErrorText, const Text& aNote) {
        fLine += u" | elapsed=" + IntToText(aElapsedMs) + u" ms";
        Add(u"error", aErrorText);
        if (!aNote.empty()) {
            Add(u"note", aNote);
        }
        return fLine;
    }
    const Text& Line() const { return fLine; }

private:
    Text fLine;
};

Text PrintName(ZrPrintLocation aLocation) {
    return aLocation == ZrPrintLocation::pl_EFT ? u"EFT" : u"ECR";
}

// aDone: what a success is called ("approved" for what the terminal approves; "totals" and "day closed"
// for what it only reports or does).
tLine ResultHead(bool aError, const Text& aErrorText, bool aAnswered, const char16_t* aDone = u"approved") {
    return tLine(u"Result: " + (aError ? OperationOutcome(aError, aErrorText, aAnswered) : Text(aDone)) +
                 u" | code=" + (aError ? u"-1" : u"0"));
}

// An answer was read from the terminal: its device identifier is set, and its result code was one the
// driver knows (an unknown code says nothing about a refusal).
bool Answered(const Text& aDeviceId, const Text& aErrorText) {
    return !aDeviceId.empty() && aErrorText.rfind(u"Unknown Result", 0) != 0;
}
} // namespace

Text PaymentRequestLine(const kPaymentReceipt& aPayment) {
    const bool isVoid = aPayment.fAction == zrPaymentAction::pa_Void;
    const Text action = isVoid                                           ? u"VOID"
                        : aPayment.fAction == zrPaymentAction::pa_Refund ? u"REFUND"
                                                                         : u"PAY";
    return tLine(u"Request: " + action)
        .Add(u"amount", aPayment.fAmount.ToText())
        .Add(u"currency", CutValue(aPayment.fCurrency))
        .Add(u"print", PrintName(aPayment.fPrintLocation))
        .Add(u"till", CutValue(aPayment.fTillCode))
        .Add(u"reference", CutValue(isVoid ? aPayment.fRefundReference.PaymentNumber : aPayment.fReference))
        .Line();
}

Text ReprintRequestLine(const kPaymentReceipt& aPayment, const Text& aAction) {
    return tLine(u"Request: " + aAction).Add(u"print", PrintName(aPayment.fPrintLocation)).Line();
}

Text ClosingRequestLine(const Text& aAction, ZrPrintLocation aPrintLocation, const Text& aTillCode) {
    return tLine(u"Request: " + aAction)
        .Add(u"print", PrintName(aPrintLocation))
        .Add(u"till", CutValue(aTillCode))
        .Line();
}

Text OperationOutcome(bool aError, const Text& aErrorText, bool aAnswered) {
    if (!aError) {
        return u"approved";
    }
    if (aErrorText.rfind(u"Outcome unknown", 0) == 0) {
        return u"outcome unknown";
    }
    if (BeginsWith(aErrorText, kNotPerformedWords)) {
        return u"not performed";
    }
    return aAnswered ? u"declined" : u"failed";
}

Text ResultLine(const _int_PAY_result& aResult, std::int64_t aElapsedMs, const Text& aNote) {
    return ResultLine(aResult, aElapsedMs, aNote, std::nullopt);
}

Text ResultLine(const _int_PAY_result& aResult, std::int64_t aElapsedMs, const Text& aNote,
                const std::optional<Currency>& aMoved) {
    return ResultHead(aResult.Error, aResult.ErrorText, Answered(aResult.DeviceId, aResult.ErrorText))
        .Add(u"stan", aResult.TraceAuditId)
        .Add(u"auth", aResult.AuthCode)
        .Add(u"card", MaskedCardNumber(aResult.MaskedPAN))
        .Add(u"amount", aMoved.value_or(aResult.PaymentAmount).ToText())
        .Done(aElapsedMs, aResult.ErrorText, aNote);
}

Text ResultLine(const _int_REPRINT_result& aResult, std::int64_t aElapsedMs, const Text& aNote) {
    return ResultHead(aResult.Error, aResult.ErrorText, false).Done(aElapsedMs, aResult.ErrorText, aNote);
}

Text ResultLine(const _int_DAYCLOSE_result& aResult, std::int64_t aElapsedMs, const Text& aNote) {
    return ResultHead(aResult.Error, aResult.ErrorText, Answered(aResult.DeviceId, aResult.ErrorText),
                      u"day closed")
        .Add(u"amount", aResult.TotalAmount.ToText())
        .Done(aElapsedMs, aResult.ErrorText, aNote);
}

Text ResultLine(const _int_GETTOTALS_result& aResult, std::int64_t aElapsedMs, const Text& aNote) {
    return ResultHead(aResult.Error, aResult.ErrorText, Answered(aResult.DeviceId, aResult.ErrorText),
                      u"totals")
        .Add(u"amount", aResult.TotalAmount.ToText())
        .Done(aElapsedMs, aResult.ErrorText, aNote);
}

Text MaskedCardNumber(const Text& aPan) {
    std::size_t digits = 0;
    for (const char16_t c : aPan) {
        digits += c >= u'0' && c <= u'9' ? 1 : 0;
    }
    Text out;
    for (const char16_t c : aPan) {
        if (c == u' ') {
            continue;
        }
        const bool digit = c >= u'0' && c <= u'9';
        out += digit && digits-- > 4 ? u'*' : c;
    }
    return out;
}
