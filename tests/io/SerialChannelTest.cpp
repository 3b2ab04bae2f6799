// kIOHandler_Serial without a device: the mapping of the connection settings and the failures that do
// not need a port.
#include <gtest/gtest.h>

#include <memory>

#include "io/IOHandler_Serial.h"
#include "support/IOHandlerTestLog.h"

namespace {
kConnection SerialConnection(const Text& aPort, std::int32_t aStopBits = 1,
                             zrParity aParity = zrParity::None) {
    kConnection c;
    c.ConnectionType = zrConnectionType::Serial;
    c.SerialPort = aPort;
    c.Speed = 19200;
    c.DataBits = 0x107; // only the low byte counts
    c.Parity = aParity;
    c.StopBits = aStopBits;
    return c;
}

TEST(SerialChannelTest, ConnectionSettingsMapOntoThePort) {
    const struct {
        Text port;
        std::int32_t stop;
        zrParity parity;
        std::uint32_t number;
        TStopBits stopBits;
        TParity portParity;
    } cases[] = {
        {u"COM3", 1, zrParity::None, 3, TStopBits::sbOne, TParity::ptNone},
        {u"COM12", 2, zrParity::Even, 12, TStopBits::sbTwo, TParity::ptEven},
        {u"COM1234", 1, zrParity::Odd, 123, TStopBits::sbOne, TParity::ptOdd}, // characters after the sixth
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TextToUtf8(c.port));
        const kConnection connection = SerialConnection(c.port, c.stop, c.parity);
        kIOHandler_Serial channel(&connection, Text(), Text());
        EXPECT_EQ(channel.ComPort().ComNumber(), c.number);
        EXPECT_EQ(channel.ComPort().BaudRate(), 19200u);
        EXPECT_EQ(channel.ComPort().DataBits(), 7);
        EXPECT_EQ(channel.ComPort().StopBits(), c.stopBits);
        EXPECT_EQ(channel.ComPort().Parity(), c.portParity);
        EXPECT_FALSE(channel.Connected()); // not opened by the constructor
    }
}

TEST(SerialChannelTest, InvalidSettingsFailConstructionNamingTheValue) {
    const struct {
        kConnection connection;
        Text message;
    } cases[] = {
        {SerialConnection(u"COMX"), u"'X' is not a valid integer value"},
        {SerialConnection(u"COM"), u"'' is not a valid integer value"},
        {SerialConnection(u"COM-1"), u"'-1' is not a valid integer value"},
        {SerialConnection(u"COM1", 0), u"Stop Bits 0 invalid"},
        {SerialConnection(u"COM1", 3), u"Stop Bits 3 invalid"},
        {SerialConnection(u"COM1", 1, static_cast<zrParity>(7)), u"Parity invalid"},
    };
    for (const auto& c : cases) {
        try {
            kIOHandler_Serial channel(&c.connection, Text(), Text());
            ADD_FAILURE() << "no error for " << TextToUtf8(c.message);
        } catch (const ZrError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_THROW(kIOHandler_Serial(nullptr, Text(), Text()), ZrError);
}

TEST(SerialChannelTest, ConnectToAMissingPortRaisesAfterLoggingTheLine) {
    TestLogFolder folder;
    const kConnection connection = SerialConnection(u"COM200", 2, zrParity::Odd);
    auto channel = std::make_unique<kIOHandler_Serial>(&connection, folder.Dir(), u"ZRPA_TEST_SERIAL");
    channel->SetVersion(u"v");
    try {
        channel->Connect();
        ADD_FAILURE() << "Connect did not raise";
    } catch (const TComPortException& e) {
        EXPECT_EQ(e.Message(), u"COM200 is not a valid COM port.");
    }
    EXPECT_FALSE(channel->Connected());
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_THROW(channel->ReadAll(), ZrError);
    EXPECT_EQ(channel->DecodeError(5), u"");
    EXPECT_FALSE(channel->InputBufferContainsData());
    EXPECT_THROW(channel->ReadChars(1), TComPortException); // the port's failures reach the caller
    const Text name = channel->GetLogFileName();
    channel.reset();
    const std::vector<Text> expected = {
        u"*************************** START ***************************",
        u"*************************************************************",
        u"kIOHandler_Serial",
        u"v",
        u"ConnectTimeout=1000",
        u"ReadTimeout=1000",
        u"Serial Driver Version: 1.0",
        u"SerialPort=COM200",
        u"Speed=19200",
        u"Parity=odd",
        u"DataBits=7",
        u"StopBits=2",
        u"*************************** STOP ****************************",
    };
    EXPECT_EQ(LogMessages(ReadLogLines(name)), expected);
    try {
        kIOHandler_Serial unsupported(&connection, Text(), Text());
        unsupported.ReadAll();
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(), u"ReadAll Unsupported");
    }
}
} // namespace
