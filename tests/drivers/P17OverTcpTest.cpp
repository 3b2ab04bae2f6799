// The driver's operations over the real TCP channel against the in-process terminal emulator.
#include <gtest/gtest.h>

#include "TcpRig.h"
#include "base/ZrError.h"
#include "drivers/P17Protocol.h"
#include "io/IOHandler_TCP.h"
#include "support/ErrorOf.h"
#include "support/LoopbackConnection.h"
#include "support/ScriptedDriver.h"

namespace {
kPaymentReceipt Payment(ZrPrintLocation aWhere = ZrPrintLocation::pl_EFT) {
    return TillRequest(aWhere);
}

} // namespace

TEST(P17OverTcp, PaymentSendsTheExactBytesAndGetsTheReceipt) {
    TcpRig rig;
    _int_PAY_result r;
    ASSERT_TRUE(rig.P17->DoPay(Payment(ZrPrintLocation::pl_ECR), r)) << TextToUtf8(r.ErrorText);
    const auto frames = rig.Terminal.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], std::string("\x02"
                                     "000000000E1"
                                     "\x03"
                                     "\x3A"));
    EXPECT_EQ(frames[1], RequestFrame("000000000X"
                                      "00000005"
                                      "00000"
                                      "00001234" +
                                      std::string(126, ' ') +
                                      "R1"
                                      "00000000"));
    EXPECT_TRUE(rig.Terminal->Problems().empty());
    EXPECT_EQ(r.DeviceId, u"10000001");
    EXPECT_EQ(r.PaymentAmount.ToText(), u"12.34");
    EXPECT_EQ(r.PaymentNetwork, zrPaymentNetwork::Mastercard);
    EXPECT_EQ(r.TransactionType, zrPaymentTransactionType::ptt_Chip);
    EXPECT_EQ(r.TraceAuditId, u"000001");
    EXPECT_EQ(r.RefundReference.size(), 34u);
    EXPECT_NE(r.ReceiptText.find(u"TRANSAZIONE ESEGUITA"), Text::npos);
    // Each receipt frame and the answer acknowledged, plus the final ACK.
    EXPECT_EQ(rig.Terminal->AcksReceived(), 4u);
    EXPECT_EQ(rig.Terminal->Connections(), 1u);
}

TEST(P17OverTcp, ReceiptWidths) {
    for (const int width : {24, 42, 12}) {
        p17emu::Config c;
        c.ReceiptWidth = width;
        TcpRig rig(c);
        _int_PAY_result r;
        ASSERT_TRUE(rig.P17->DoPay(Payment(ZrPrintLocation::pl_ECR), r));
        ASSERT_FALSE(r.ReceiptText.empty()) << width;
        std::size_t start = 0;
        int lines = 0;
        for (auto end = r.ReceiptText.find(u"\r\n"); end != Text::npos;
             end = r.ReceiptText.find(u"\r\n", start)) {
            EXPECT_EQ(end - start, static_cast<std::size_t>(width)) << width;
            start = end + 2;
            ++lines;
        }
        EXPECT_EQ(start, r.ReceiptText.size()) << "every line ends with CR LF";
        EXPECT_GE(lines, 8) << width;
    }
}

TEST(P17OverTcp, VoidConsumesTheRefundReferenceOfThePayment) {
    p17emu::Config c;
    c.VoidCheck = true;
    c.AuthCode = "Z9Y8X7";
    c.Acquirer = "00000080006";
    TcpRig rig(c);
    _int_PAY_result paid;
    ASSERT_TRUE(rig.P17->DoPay(Payment(), paid));
    kPaymentReceipt v = Payment();
    v.fRefundReference.PaymentNumber = paid.RefundReference;
    _int_PAY_result voided;
    ASSERT_TRUE(rig.P17->DoVoid(v, voided)) << TextToUtf8(voided.ErrorText);
    EXPECT_EQ(voided.TraceAuditId, paid.TraceAuditId);
    EXPECT_EQ(voided.PaymentNetwork, zrPaymentNetwork::Nexi);
    EXPECT_EQ(voided.AuthCode, u"Z9Y8X7");
    // The same payment cannot be voided twice.
    _int_PAY_result again;
    EXPECT_FALSE(rig.P17->DoVoid(v, again));
    EXPECT_EQ(again.ErrorText, u"OPERAZIONE NON TROVATA  ");
    EXPECT_EQ(rig.Terminal->JournalTotal(), 0);
}

// The totals take approved voids off, with or without --void-check; without it a void that names no
// payment of this terminal takes its own amount off.
TEST(P17OverTcp, TotalsSubtractVoids) {
    for (const bool check : {false, true}) {
        p17emu::Config c;
        c.VoidCheck = check;
        TcpRig rig(c);
        _int_PAY_result paid;
        ASSERT_TRUE(rig.P17->DoPay(Payment(), paid));
        // The terminal books a payment once it has the driver's last ACK, after DoPay returned.
        ASSERT_TRUE(rig.Terminal->WaitIdle(5000));
        EXPECT_EQ(rig.Terminal->JournalTotal(), 1234) << check;
        kPaymentReceipt v = Payment();
        v.fRefundReference.PaymentNumber = paid.RefundReference;
        _int_PAY_result voided;
        ASSERT_TRUE(rig.P17->DoVoid(v, voided)) << TextToUtf8(voided.ErrorText);
        _int_GETTOTALS_result totals;
        ASSERT_TRUE(rig.P17->DoGetTotals(kPaymentTotals(), totals));
        EXPECT_EQ(totals.TotalAmount.ToText(), u"0") << check;
    }
    TcpRig elsewhere;
    _int_PAY_result paid;
    ASSERT_TRUE(elsewhere.P17->DoPay(Payment(), paid));
    TcpRig rig;
    kPaymentReceipt v = Payment();
    v.fRefundReference.PaymentNumber = paid.RefundReference;
    _int_PAY_result voided;
    ASSERT_TRUE(rig.P17->DoVoid(v, voided));
    ASSERT_TRUE(rig.Terminal->WaitIdle(5000));
    EXPECT_EQ(rig.Terminal->JournalTotal(), -1234);
}

// With a fixed STAN several payments share one: a void takes off the payment its reference names.
TEST(P17OverTcp, AVoidTakesOffThePaymentItNamesAmongOnesOfTheSameStan) {
    p17emu::Config c;
    c.Stan = "000777";
    c.VoidCheck = true;
    TcpRig rig(c);
    _int_PAY_result first;
    ASSERT_TRUE(rig.P17->DoPay(Payment(), first));
    kPaymentReceipt second = Payment();
    second.fAmount = Currency::FromRaw(50000);
    _int_PAY_result paid;
    ASSERT_TRUE(rig.P17->DoPay(second, paid));
    second.fRefundReference.PaymentNumber = paid.RefundReference;
    _int_PAY_result voided;
    ASSERT_TRUE(rig.P17->DoVoid(second, voided)) << TextToUtf8(voided.ErrorText);
    _int_GETTOTALS_result totals;
    ASSERT_TRUE(rig.P17->DoGetTotals(kPaymentTotals(), totals));
    EXPECT_EQ(totals.TotalAmount.ToText(), u"12.34");
}

// A reprint to the cash register gives the last transaction's receipt as the terminal sent it, whichever
// printer printed it; the totals follow every approval; a day close empties them and leaves the receipt.
TEST(P17OverTcp, LastReceiptAndTotalsThroughADay) {
    TcpRig rig;
    Text paymentReference;
    Text cashRegisterReceipt; // what the cash register printed at the last step that printed there
    const auto card = [&](zrPaymentAction aAction, std::int64_t aCents, ZrPrintLocation aWhere) {
        return [&, aAction, aCents, aWhere]() {
            kPaymentReceipt r = Payment(aWhere);
            r.fAmount = Currency::FromRaw(aCents * 100);
            r.fRefundReference.PaymentNumber = paymentReference;
            _int_PAY_result result;
            aAction == zrPaymentAction::pa_Pay      ? rig.P17->DoPay(r, result)
            : aAction == zrPaymentAction::pa_Refund ? rig.P17->DoRefund(r, result)
                                                    : rig.P17->DoVoid(r, result);
            if (aAction == zrPaymentAction::pa_Pay && !result.Error) {
                paymentReference = result.RefundReference;
            }
            cashRegisterReceipt = result.ReceiptText;
        };
    };
    const auto configure = [&](const char* aPayResult) {
        return [&, aPayResult]() {
            p17emu::Config c;
            c.PayResult = aPayResult;
            rig.Terminal->SetConfig(c);
        };
    };
    const struct {
        const char* Step;
        std::function<void()> Run;
        const char16_t* Reprinted; // in the reprint; null: exactly what the cash register printed
        const char16_t* Total;
    } steps[] = {
        {"nothing yet", [] {}, u"NESSUNA TRANSAZIONE", u"0"},
        {"payment of 12.34, the terminal prints",
         card(zrPaymentAction::pa_Pay, 1234, ZrPrintLocation::pl_EFT), u"EUR 12,34", u"12.34"},
        {"refund of 5.00, the cash register prints",
         card(zrPaymentAction::pa_Refund, 500, ZrPrintLocation::pl_ECR), nullptr, u"7.34"},
        {"declined payment, the cash register prints",
         [&] {
             configure("01")();
             card(zrPaymentAction::pa_Pay, 700, ZrPrintLocation::pl_ECR)();
             configure("00")();
         },
         nullptr, u"7.34"},
        {"void of the payment, the terminal prints",
         card(zrPaymentAction::pa_Void, 1234, ZrPrintLocation::pl_EFT), u"TRANSAZIONE ANNULLATA", u"-5"},
        {"payment of 3.00, the cash register prints",
         card(zrPaymentAction::pa_Pay, 300, ZrPrintLocation::pl_ECR), nullptr, u"-2"},
        {"day close",
         [&] {
             _int_DAYCLOSE_result closed;
             ASSERT_TRUE(rig.P17->DoDayClose(kPaymentDayClose(), closed));
             EXPECT_EQ(closed.TotalAmount.ToText(), u"-2");
         },
         nullptr, u"0"},
    };
    for (const auto& s : steps) {
        s.Run();
        kPaymentReceipt reprint = Payment(ZrPrintLocation::pl_ECR);
        _int_REPRINT_result copy;
        ASSERT_TRUE(rig.P17->DoReprint(reprint, copy)) << s.Step;
        if (s.Reprinted == nullptr) {
            ASSERT_FALSE(cashRegisterReceipt.empty()) << s.Step;
            EXPECT_EQ(copy.ReceiptText, cashRegisterReceipt) << s.Step;
        } else {
            EXPECT_NE(copy.ReceiptText.find(s.Reprinted), Text::npos) << s.Step << "\n"
                                                                      << TextToUtf8(copy.ReceiptText);
        }
        _int_GETTOTALS_result totals;
        ASSERT_TRUE(rig.P17->DoGetTotals(kPaymentTotals(), totals)) << s.Step;
        EXPECT_EQ(totals.TotalAmount.ToText(), s.Total) << s.Step;
    }
}

TEST(P17OverTcp, StatusFramesConversionAndEot) {
    p17emu::Config c;
    c.StatusFrames = 3;
    c.Conversion = true;
    c.FaultKind = p17emu::Fault::Eot;
    TcpRig rig(c);
    _int_PAY_result r;
    ASSERT_TRUE(rig.P17->DoPay(Payment(), r));
    EXPECT_EQ(r.ExchangeRate.ToText(), u"123.4567");
    EXPECT_EQ(r.PaymentAmountCurrency.ToText(), u"123.45");
    EXPECT_EQ(r.PaymentCurrencyCurrency, u"840");
}

TEST(P17OverTcp, LinkFaults) {
    const struct {
        p17emu::Fault Fault;
        Text Raised;    // empty: the operation fails without raising, with ErrorText
        Text ErrorText; // for an acknowledged request, the reason inside the outcome-unknown text
        const char* Why;
    } cases[] = {
        {p17emu::Fault::BadAck, u"Invalid Packet Received", u"", "ACK with a wrong check character"},
        {p17emu::Fault::WrongLrc, u"",
         kP17Protocol::OutcomeUnknownText(zrPaymentAction::pa_Pay,
                                          u"the terminal sent a frame with a wrong check character"),
         "answer with a wrong check character"},
        {p17emu::Fault::CloseMidFrame, u"",
         kP17Protocol::OutcomeUnknownText(zrPaymentAction::pa_Pay, u"the terminal sent a frame cut short"),
         "connection closed mid-frame"},
        {p17emu::Fault::DataForAck, u"",
         u"The terminal did not acknowledge the payment request (a data frame came in place of the ACK)",
         "a data frame in place of the ACK"},
    };
    for (const auto& c : cases) {
        p17emu::Config config;
        config.FaultKind = c.Fault;
        TcpRig rig(config);
        _int_PAY_result r;
        if (c.Raised.empty()) {
            EXPECT_FALSE(rig.P17->DoPay(Payment(), r)) << c.Why;
            EXPECT_TRUE(r.Error) << c.Why;
            EXPECT_EQ(r.ErrorText, c.ErrorText) << c.Why;
        } else {
            EXPECT_EQ(ErrorOf([&]() { rig.P17->DoPay(Payment(), r); }), c.Raised) << c.Why;
        }
        rig.Terminal->WaitIdle(5000);
        EXPECT_EQ(rig.Terminal->AcksReceived(), 0u) << c.Why << ": nothing was acknowledged";
        EXPECT_FALSE(rig.Channel->Connected()) << c.Why << ": disconnected";
    }
}

TEST(P17OverTcp, EndlessReceiptTextIsCutOff) {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::EndlessReceipt;
    TcpRig rig(c);
    _int_PAY_result r;
    ASSERT_TRUE(rig.P17->DoPay(Payment(ZrPrintLocation::pl_ECR), r));
    EXPECT_EQ(r.ReceiptText.size(), static_cast<std::size_t>(P17::kMaxReceiptFrames) * 26u);
}

TEST(P17OverTcp, ConnectionRefused) {
    kConnection connection = LoopbackTcp(ClosedLoopbackPort());
    kIOHandler_TCP channel(&connection, Text(), Text());
    TextList custom;
    kP17Protocol p17(channel, custom, u"127.0.0.1:" + IntToText(connection.Port));
    _int_PAY_result r;
    EXPECT_FALSE(p17.DoPay(Payment(), r));
    EXPECT_EQ(r.ErrorText, u"Unable to connect to device 127.0.0.1:" + IntToText(connection.Port));
}

TEST(P17OverTcp, SlowUnacknowledgedPrintLocation) {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::NoAck;
    c.FaultOn = "E";
    TcpRig rig(c);
    _int_PAY_result r;
    EXPECT_FALSE(rig.P17->DoPay(Payment(), r));
    EXPECT_EQ(r.ErrorText, u"Errore");
    EXPECT_EQ(rig.Terminal.Frames().size(), 1u) << "no payment request after an unacknowledged E";
}

TEST(P17OverTcp, SlowTerminalHangsUpInsteadOfAnswering) {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::Close;
    TcpRig rig(c);
    kPaymentTotals totals;
    _int_GETTOTALS_result t;
    // The answer wait ends after its ten pauses, and the text says so.
    EXPECT_FALSE(rig.P17->DoGetTotals(totals, t));
    EXPECT_EQ(
        t.ErrorText,
        u"The terminal accepted the totals request but no answer came (the connection was closed or reset)");
}

// A terminal whose card field is padded, whose acquirer ends in a blank and whose authorisation code
// holds a Latin-1 letter: the payment carries a reference, and the void it makes finds that payment.
TEST(P17OverTcp, PaddedAnswerFieldsStillGiveAVoidableReference) {
    p17emu::Config c;
    c.VoidCheck = true;
    c.Pan = "411111******1234   ";
    c.Acquirer = "0000008000 ";
    c.AuthCode = "A1\xC7"
                 "2C3";
    TcpRig rig(c);
    const kPaymentReceipt payment = Payment();
    _int_PAY_result paid;
    ASSERT_TRUE(rig.P17->DoPay(payment, paid)) << TextToUtf8(paid.ErrorText);
    EXPECT_TRUE(paid.ErrorText.empty()) << TextToUtf8(paid.ErrorText);
    ASSERT_EQ(paid.RefundReference.size(), 34u);
    rig.Terminal->WaitIdle(5000);
    kPaymentReceipt v = payment;
    v.fRefundReference.PaymentNumber = paid.RefundReference;
    _int_PAY_result voided;
    EXPECT_TRUE(rig.P17->DoVoid(v, voided)) << TextToUtf8(voided.ErrorText);
    rig.Terminal->WaitIdle(5000);
    EXPECT_EQ(rig.Terminal->JournalTotal(), 0);
}

// An alphanumeric STAN cannot travel back in a void: approved all the same, and the result says why
// there is no reference.
TEST(P17OverTcp, AnApprovalWithoutReferenceSaysSo) {
    p17emu::Config c;
    c.Stan = "00A123";
    TcpRig rig(c);
    _int_PAY_result paid;
    EXPECT_TRUE(rig.P17->DoPay(Payment(), paid));
    EXPECT_FALSE(paid.Error);
    EXPECT_TRUE(paid.RefundReference.empty());
    EXPECT_EQ(paid.ErrorText,
              u"Approved without a refund reference: the STAN [00A123] is not a number of up to 6 "
              u"digits. A void of this payment must be made on the terminal.");
}
