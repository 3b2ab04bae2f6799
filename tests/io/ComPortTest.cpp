// TComPort without a device: defaults, the closed-port failures and the ANSI conversion.
#include <gtest/gtest.h>

#include <functional>

#include "io/ComPort.h"
#include "support/ErrorOf.h"

namespace {
TEST(ComPortTest, ConstructorsGiveAClosedPortWithTheDefaultLine) {
    const TComPort plain(3);
    EXPECT_EQ(plain.ComNumber(), 3u);
    EXPECT_EQ(plain.BaudRate(), 9600u);
    EXPECT_EQ(plain.DataBits(), 8);
    EXPECT_EQ(plain.StopBits(), TStopBits::sbOne);
    EXPECT_EQ(plain.Parity(), TParity::ptNone);
    EXPECT_FALSE(plain.ComIsOpen());
    const TComPort fast(4, 115200);
    EXPECT_EQ(fast.BaudRate(), 115200u);
    EXPECT_EQ(fast.DataBits(), 8);
    const TComPort full(12, 1200, 7, TStopBits::sbTwo, TParity::ptMark);
    EXPECT_EQ(full.ComNumber(), 12u);
    EXPECT_EQ(full.DataBits(), 7);
    EXPECT_EQ(full.StopBits(), TStopBits::sbTwo);
    EXPECT_EQ(full.Parity(), TParity::ptMark);
    EXPECT_EQ(TComPort::DriverVersion(), u"1.0");
}

TEST(ComPortTest, AClosedPortRefusesIoWithItsMessages) {
    TComPort port(5);
    char buffer[4];
    std::uint32_t flags = 77;
    EXPECT_EQ(ErrorOf<TComPortException>([&] { port.Read(buffer, 1, 100, flags); }),
              u"Cannot read because COM port is not open.");
    EXPECT_EQ(flags, 77u);
    EXPECT_EQ(ErrorOf<TComPortException>([&] { port.WriteText("x"); }),
              u"Cannot write because COM port is not open.");
    EXPECT_EQ(ErrorOf<TComPortException>([&] { port.SetRTS(true); }),
              u"SetRTS failed because COM port not open.");
    EXPECT_EQ(ErrorOf<TComPortException>([&] { port.SetDTR(false); }),
              u"SetDTR failed because COM port not open.");
    EXPECT_EQ(ErrorOf<TComPortException>(
                  [&] { port.SetLineParameters(9600, 8, TStopBits::sbOne, TParity::ptNone); }),
              u"GetCommState failed!");
    EXPECT_EQ(port.GetBytesPending(), 0);
    port.ClearBuffers(); // nothing to purge
    port.Close();
    EXPECT_FALSE(port.ComIsOpen());
}

TEST(ComPortTest, APortThatDoesNotExistIsNotAValidComPort) {
    TComPort port(200);
    EXPECT_EQ(ErrorOf<TComPortException>([&] { port.Open(); }), u"COM200 is not a valid COM port.");
    EXPECT_FALSE(port.ComIsOpen());
}

TEST(ComPortTest, Windows1252KeepsBytesAndMapsItsOwnCharacters) {
    const struct {
        Text in;
        std::string out;
    } cases[] = {
        {u"A\x02\x03", "A\x02\x03"},
        {u"\u00E9\u00FF", "\xE9\xFF"},
        {u"\u20AC\u0178\u2122", "\x80\x9F\x99"}, // euro, Y diaeresis, trade mark
        {u"\u0081\u0090", "\x81\x90"},           // C1 bytes received as characters go out unchanged
        {u"\u4E2D\u0100", "??"},                 // not in the code page
        {u"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToWindows1252(c.in), c.out) << TextToUtf8(c.in);
    }
}
} // namespace
