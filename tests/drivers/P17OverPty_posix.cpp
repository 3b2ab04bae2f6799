// The driver's operations over the real serial channel, on a pseudo-terminal served by the emulator.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/ZrError.h"
#include "drivers/P17Protocol.h"
#include "io/IOHandler_Serial.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
// COM47 reaches the emulator's pseudo-terminal through ZRPA_SERIAL_COM47.
struct PtyRig {
    explicit PtyRig(const p17emu::Config& aConfig = p17emu::Config()) : Emulator(aConfig) {
        EXPECT_TRUE(Emulator.StartPty()) << Emulator.Error();
        ::setenv("ZRPA_SERIAL_COM47", Emulator.SlavePath().c_str(), 1);
        Connection.ConnectionType = zrConnectionType::Serial;
        Connection.SerialPort = u"COM47";
        Connection.Speed = 115200;
        Connection.DataBits = 8;
        Connection.Parity = zrParity::None;
        Connection.StopBits = 1;
        Channel = std::make_unique<kIOHandler_Serial>(&Connection, Text(), Text());
        P17 = std::make_unique<kP17Protocol>(*Channel, Custom, u"COM47");
    }
    ~PtyRig() { ::unsetenv("ZRPA_SERIAL_COM47"); }
    p17emu::TerminalEmulator Emulator;
    kConnection Connection;
    std::unique_ptr<kIOHandler_Serial> Channel;
    TextList Custom;
    std::unique_ptr<kP17Protocol> P17;
};

kPaymentReceipt Payment(ZrPrintLocation aWhere) {
    kPaymentReceipt r;
    r.fTillCode = u"7";
    r.fAmount = Currency::FromRaw(50000);
    r.fCurrency = u"EUR";
    r.fPrintLocation = aWhere;
    return r;
}
} // namespace

TEST(P17OverPty, ADayOnASerialLine) {
    p17emu::Config c;
    c.VoidCheck = true;
    PtyRig rig(c);
    _int_PAY_result paid;
    ASSERT_TRUE(rig.P17->DoPay(Payment(ZrPrintLocation::pl_ECR), paid)) << TextToUtf8(paid.ErrorText);
    EXPECT_EQ(paid.PaymentAmount.ToText(), u"5");
    EXPECT_NE(paid.ReceiptText.find(u"TRANSAZIONE ESEGUITA"), Text::npos);

    kPaymentReceipt voidRequest = Payment(ZrPrintLocation::pl_EFT);
    voidRequest.fRefundReference.PaymentNumber = paid.RefundReference;
    _int_PAY_result voided;
    EXPECT_TRUE(rig.P17->DoVoid(voidRequest, voided)) << TextToUtf8(voided.ErrorText);

    _int_PAY_result refunded;
    EXPECT_TRUE(rig.P17->DoRefund(Payment(ZrPrintLocation::pl_EFT), refunded));

    kPaymentTotals totals;
    _int_GETTOTALS_result t;
    EXPECT_TRUE(rig.P17->DoGetTotals(totals, t));
    EXPECT_EQ(t.TotalAmount.ToText(), u"-5") << "payment voided, refund booked";

    kPaymentDayClose close;
    _int_DAYCLOSE_result d;
    EXPECT_TRUE(rig.P17->DoDayClose(close, d));
    EXPECT_EQ(d.TotalAmount.ToText(), u"-5");

    const auto requests = rig.Emulator.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[0], "000000000E1");
    EXPECT_EQ(requests[2], "000000000E0");
    EXPECT_EQ(requests[3].substr(0, 10), "000000000Q");
    EXPECT_EQ(requests[6], "000000000T"
                           "00000000"
                           "0"
                           "0000000");
    EXPECT_TRUE(rig.Emulator.Problems().empty());
}

TEST(P17OverPty, WrongCheckCharacterOnTheLine) {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::WrongLrc;
    PtyRig rig(c);
    _int_PAY_result r;
    EXPECT_FALSE(rig.P17->DoPay(Payment(ZrPrintLocation::pl_EFT), r));
    EXPECT_EQ(r.ErrorText,
              kP17Protocol::OutcomeUnknownText(zrPaymentAction::pa_Pay,
                                               u"the terminal sent a frame with a wrong check character"));
    EXPECT_FALSE(rig.Channel->Connected());
}
