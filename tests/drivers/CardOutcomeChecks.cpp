#include "CardOutcomeChecks.h"

#include <gtest/gtest.h>

namespace {
const zrPaymentAction kActions[] = {zrPaymentAction::pa_Pay, zrPaymentAction::pa_Refund,
                                    zrPaymentAction::pa_Void};

const char* Name(zrPaymentAction aAction) {
    return aAction == zrPaymentAction::pa_Pay      ? "PAY"
           : aAction == zrPaymentAction::pa_Refund ? "REFUND"
                                                   : "VOID";
}

kPaymentReceipt Request(zrPaymentAction aAction, const Text& aRefundReference) {
    kPaymentReceipt r;
    r.fAction = aAction;
    r.fTillCode = u"5";
    r.fAmount = Currency::FromRaw(123400);
    r.fCurrency = u"EUR";
    r.fPrintLocation = ZrPrintLocation::pl_ECR;
    r.fRefundReference.PaymentNumber = aRefundReference;
    return r;
}

bool Run(kP17Protocol& aP17, zrPaymentAction aAction, const Text& aRefundReference,
         _int_PAY_result& aResult) {
    const kPaymentReceipt request = Request(aAction, aRefundReference);
    switch (aAction) {
    case zrPaymentAction::pa_Refund:
        return aP17.DoRefund(request, aResult);
    case zrPaymentAction::pa_Void:
        return aP17.DoVoid(request, aResult);
    case zrPaymentAction::pa_Pay:
        break;
    }
    return aP17.DoPay(request, aResult);
}

p17emu::Config ReceiptInFrames() {
    p17emu::Config c;
    c.ReceiptChunk = 48; // several receipt frames of 61 bytes each
    return c;
}

// A refund reference of an approved payment, for the voids.
Text ApprovedPayment(kP17Protocol& aP17) {
    _int_PAY_result paid;
    EXPECT_TRUE(Run(aP17, zrPaymentAction::pa_Pay, Text(), paid)) << TextToUtf8(paid.ErrorText);
    return paid.RefundReference;
}
} // namespace

void ExpectApprovalsKept(const CardRigFactory& aRig, const std::vector<FaultAfterAnswer>& aFaults) {
    for (const zrPaymentAction action : kActions) {
        const auto rig = aRig(ReceiptInFrames());
        const Text reference = ApprovedPayment(rig->P17());
        _int_PAY_result whole;
        ASSERT_TRUE(Run(rig->P17(), action, reference, whole)) << Name(action);
        ASSERT_FALSE(whole.ReceiptText.empty()) << Name(action);
        for (const auto& f : aFaults) {
            const std::string why = std::string(Name(action)) + ", " + f.Why;
            p17emu::Config config = ReceiptInFrames();
            config.FaultKind = f.Fault;
            config.FaultAt = f.FaultAt;
            config.FaultOn = "XAQ";
            rig->Terminal().SetConfig(config);
            _int_PAY_result r;
            r.LogFileName = u"kept.log";
            EXPECT_TRUE(Run(rig->P17(), action, reference, r)) << why << ": " << TextToUtf8(r.ErrorText);
            EXPECT_FALSE(r.Error) << why;
            EXPECT_EQ(r.ErrorText, Text()) << why;
            EXPECT_EQ(r.LogFileName, u"kept.log") << why;
            EXPECT_EQ(r.DeviceId, whole.DeviceId) << why;
            EXPECT_EQ(r.MaskedPAN, whole.MaskedPAN) << why;
            EXPECT_EQ(r.AuthCode, whole.AuthCode) << why;
            EXPECT_EQ(r.PaymentAmount, whole.PaymentAmount) << why;
            EXPECT_EQ(r.PaymentNetwork, whole.PaymentNetwork) << why;
            EXPECT_EQ(r.RefundReference.empty(), whole.RefundReference.empty()) << why;
            // Only complete lines, and never more than the whole receipt (whose STAN line differs).
            EXPECT_LE(r.ReceiptText.size(), whole.ReceiptText.size()) << why;
            EXPECT_EQ(r.ReceiptText.size() % 26, 0u) << why;
            EXPECT_EQ(!r.ReceiptText.empty(), f.ReceiptExpected) << why;
            EXPECT_EQ(r.ReceiptText.substr(0, 26),
                      whole.ReceiptText.substr(0, r.ReceiptText.empty() ? 0 : 26))
                << why;
            const Text note = rig->P17().OperationNote();
            if (f.NoteExpected) {
                EXPECT_LT(r.ReceiptText.size(), whole.ReceiptText.size()) << why;
                EXPECT_EQ(note.rfind(u"receipt cut short: ", 0), 0u) << why << ": " << TextToUtf8(note);
            }
            rig->Terminal().SetConfig(ReceiptInFrames());
        }
    }
}

void ExpectOutcomeUnknown(const CardRigFactory& aRig, const std::vector<FaultBeforeAnswer>& aFaults,
                          const std::vector<zrPaymentAction>& aActions) {
    for (const zrPaymentAction action : aActions) {
        const auto rig = aRig(p17emu::Config());
        const Text reference = ApprovedPayment(rig->P17());
        for (const auto& f : aFaults) {
            const std::string why = std::string(Name(action)) + ", " + f.Why;
            p17emu::Config config;
            config.FaultKind = f.Fault;
            config.FaultOn = "XAQ";
            rig->Terminal().SetConfig(config);
            _int_PAY_result r;
            r.LogFileName = u"kept.log";
            EXPECT_FALSE(Run(rig->P17(), action, reference, r)) << why;
            EXPECT_TRUE(r.Error) << why;
            EXPECT_EQ(r.ErrorText, kP17Protocol::OutcomeUnknownText(action, f.Reason)) << why;
            EXPECT_EQ(r.ErrorText.rfind(u"Outcome unknown", 0), 0u) << why;
            EXPECT_EQ(r.LogFileName, u"kept.log") << why;
            rig->Terminal().SetConfig(p17emu::Config());
        }
    }
}
