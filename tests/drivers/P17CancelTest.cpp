// A command that is cancelled stops waiting for its terminal: "Not performed" before its request went
// out, an unknown outcome after. Over the real TCP channel against the emulator.
#include <gtest/gtest.h>

#include "CancelRig.h"
#include "TcpRig.h"

namespace {
p17emu::Config WithFault(p17emu::Fault aFault, const std::string& aOn = "XAQRCT") {
    p17emu::Config c;
    c.FaultKind = aFault;
    c.FaultOn = aOn;
    return c;
}

kPaymentReceipt Payment() {
    kPaymentReceipt r;
    r.fTillCode = u"5";
    r.fAmount = Currency::FromRaw(5000);
    r.fCurrency = u"EUR";
    r.fPrintLocation = ZrPrintLocation::pl_ECR;
    return r;
}

bool Begins(const Text& aText, const char16_t* aWords) {
    return aText.rfind(aWords, 0) == 0;
}
} // namespace

// A terminal that takes the request and then says nothing (or only status frames, or bytes that form no
// frame) holds a card operation for half an hour; a cancel ends it with an unknown outcome that names it.
TEST(P17CancelConcurrency, CardOperationsWithTheRequestSentEndAsUnknown) {
    for (const p17emu::Fault fault :
         {p17emu::Fault::Silence, p17emu::Fault::StatusOnly, p17emu::Fault::Babble}) {
        for (const zrPaymentAction action : {zrPaymentAction::pa_Pay, zrPaymentAction::pa_Refund}) {
            TcpRig rig(WithFault(fault));
            _int_PAY_result r;
            const char code = action == zrPaymentAction::pa_Pay ? 'X' : 'A';
            RunAndCancel(*rig.Channel, *rig.Terminal, code, [&] {
                return action == zrPaymentAction::pa_Pay ? rig.P17->DoPay(Payment(), r)
                                                         : rig.P17->DoRefund(Payment(), r);
            });
            const std::string why = p17emu::FaultName(fault) + std::string(" ") + code;
            EXPECT_TRUE(r.Error) << why;
            EXPECT_TRUE(Begins(r.ErrorText, u"Outcome unknown:")) << why << ": " << TextToUtf8(r.ErrorText);
            EXPECT_NE(r.ErrorText.find(u"(cancelled by the host)"), Text::npos) << TextToUtf8(r.ErrorText);
            EXPECT_FALSE(rig.Channel->Connected()) << why << ": the exchange still disconnects";
        }
    }
}

// The first frame (the print location) is not acknowledged: the payment request never went out, so the
// host may simply try again.
TEST(P17CancelConcurrency, BeforeTheRequestWentOutIsNotPerformed) {
    p17emu::Config c = WithFault(p17emu::Fault::NoAck, "E");
    TcpRig rig(c);
    _int_PAY_result r;
    RunAndCancel(*rig.Channel, *rig.Terminal, 'E', [&] { return rig.P17->DoPay(Payment(), r); });
    EXPECT_TRUE(r.Error);
    EXPECT_EQ(r.ErrorText,
              u"Not performed: the request was not sent to the terminal (cancelled by the host). "
              u"It is safe to try again.");
    for (const std::string& request : rig.Terminal->Requests()) {
        EXPECT_NE(request.substr(9, 1), "X") << "the payment request must not have been sent";
    }
}

// A signal raised before the operation begins: nothing is connected, nothing sent, for every operation.
TEST(P17CancelConcurrency, AlreadyCancelledSendsNothing) {
    TcpRig rig(p17emu::Config{});
    tZR_CancelSignal signal;
    signal.Cancel(u"cancelled by the host");
    rig.Channel->SetCancelSignal(&signal);
    _int_PAY_result pay;
    EXPECT_FALSE(rig.P17->DoPay(Payment(), pay));
    _int_GETTOTALS_result totals;
    EXPECT_FALSE(rig.P17->DoGetTotals(kPaymentTotals(), totals));
    _int_REPRINT_result reprint;
    EXPECT_FALSE(rig.P17->DoReprint(Payment(), reprint));
    for (const Text& text : {pay.ErrorText, totals.ErrorText, reprint.ErrorText}) {
        EXPECT_TRUE(Begins(text, u"Not performed:")) << TextToUtf8(text);
    }
    rig.Terminal->WaitIdle(2000);
    EXPECT_EQ(rig.Terminal->Connections(), 0u);
    rig.Channel->SetCancelSignal(nullptr);
}

// The time limit of a command ends its waits like a cancel; a service operation keeps its own text.
TEST(P17CancelConcurrency, TimeLimitEndsAServiceOperationThatGotNoAnswer) {
    TcpRig rig(WithFault(p17emu::Fault::Silence));
    tZR_CancelSignal signal;
    signal.SetTimeLimit(300);
    rig.Channel->SetCancelSignal(&signal);
    _int_GETTOTALS_result r;
    EXPECT_FALSE(rig.P17->DoGetTotals(kPaymentTotals(), r));
    EXPECT_EQ(
        r.ErrorText,
        u"The terminal accepted the totals request but no answer came (its time limit of 300 ms passed)");
    rig.Channel->SetCancelSignal(nullptr);
}

// After an answer the outcome is known: a cancel during the receipt keeps the approval and what came.
TEST(P17CancelConcurrency, DuringTheReceiptKeepsTheApproval) {
    p17emu::Config c = WithFault(p17emu::Fault::EndlessReceipt);
    TcpRig rig(c);
    _int_PAY_result r;
    RunAndCancel(*rig.Channel, *rig.Terminal, 'X', [&] {
        // Let the answer and the first receipt frames through before the cancel.
        return rig.P17->DoPay(Payment(), r);
    });
    if (!r.DeviceId.empty()) {
        EXPECT_FALSE(r.Error) << TextToUtf8(r.ErrorText);
        EXPECT_FALSE(r.RefundReference.empty());
    } else {
        // The cancel came before the answer: unknown, never a failure.
        EXPECT_TRUE(Begins(r.ErrorText, u"Outcome unknown:")) << TextToUtf8(r.ErrorText);
    }
}
