// A cancel over the serial channel: a pseudo-terminal served by a silent emulator.
#include <gtest/gtest.h>

#include <cstdlib>

#include "CancelRig.h"
#include "drivers/P17Protocol.h"
#include "io/IOHandler_Serial.h"

TEST(P17CancelConcurrencyOverPty, SilentTerminalEndsAsUnknownAndNothingLeftOpen) {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::Silence;
    p17emu::TerminalEmulator terminal(c);
    ASSERT_TRUE(terminal.StartPty()) << terminal.Error();
    ::setenv("ZRPA_SERIAL_COM48", terminal.SlavePath().c_str(), 1);
    kConnection connection;
    connection.ConnectionType = zrConnectionType::Serial;
    connection.SerialPort = u"COM48";
    connection.Speed = 115200;
    connection.DataBits = 8;
    connection.Parity = zrParity::None;
    connection.StopBits = 1;
    kIOHandler_Serial channel(&connection, Text(), Text());
    TextList custom;
    kP17Protocol p17(channel, custom, u"COM48");
    for (const zrPaymentAction action : {zrPaymentAction::pa_Pay, zrPaymentAction::pa_Refund}) {
        terminal.ClearTraffic();
        kPaymentReceipt payment;
        payment.fAmount = Currency::FromRaw(5000);
        payment.fAction = action;
        _int_PAY_result r;
        const char code = action == zrPaymentAction::pa_Pay ? 'X' : 'A';
        RunAndCancel(channel, terminal, code, [&] {
            return action == zrPaymentAction::pa_Pay ? p17.DoPay(payment, r) : p17.DoRefund(payment, r);
        });
        EXPECT_EQ(r.ErrorText.rfind(u"Outcome unknown:", 0), 0u) << TextToUtf8(r.ErrorText);
        EXPECT_NE(r.ErrorText.find(u"cancelled by the host"), Text::npos);
        // The port was closed: the next operation opens it again.
        EXPECT_FALSE(channel.Connected());
    }
    ::unsetenv("ZRPA_SERIAL_COM48");
}
