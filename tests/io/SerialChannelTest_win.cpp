// kIOHandler_Serial on the Win32 comm API under a real port pair. Runs when ZR_TEST_COM_PAIR names two
// connected ports as "<channel>,<terminal>", e.g. "41,42"; under Wine, tests/support/PtyWineComPair.sh
// makes such a pair from two linked pseudo-terminals. Skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "io/IOHandler_Serial.h"
#include "support/IOHandlerTestLog.h"

namespace {
const std::vector<std::uint8_t> kEtxEot = {0x03, 0x04};

bool PortPair(std::uint32_t& aChannel, std::uint32_t& aTerminal) {
    const char* pair = std::getenv("ZR_TEST_COM_PAIR");
    return pair != nullptr && std::sscanf(pair, "%u,%u", &aChannel, &aTerminal) == 2;
}

TEST(SerialComPairTest, TheChannelTalksToTheOtherEndOfALine) {
    std::uint32_t channelPort = 0, terminalPort = 0;
    if (!PortPair(channelPort, terminalPort)) {
        GTEST_SKIP() << "ZR_TEST_COM_PAIR is not set";
    }
    TestLogFolder folder;
    kConnection c;
    c.ConnectionType = zrConnectionType::Serial;
    c.SerialPort = u"COM" + UIntToText(channelPort);
    c.Speed = 9600;
    c.DataBits = 8;
    c.StopBits = 1;
    c.SetReadTimeOut(300);
    auto channel = std::make_unique<kIOHandler_Serial>(&c, folder.Dir(), u"ZRPA_TEST_COMPAIR");
    TComPort terminal(terminalPort, 9600);
    terminal.Open();
    ASSERT_TRUE(channel->Connect());

    EXPECT_TRUE(channel->Write(u"\x02\u00E9\u20AC\x03"));
    char buffer[16] = {};
    std::uint32_t flags = 0;
    std::int32_t got = 0;
    for (int i = 0; i < 10 && got < 4; ++i) {
        const std::int32_t n = terminal.Read(buffer + got, 4 - static_cast<std::uint32_t>(got), 200, flags);
        got += n > 0 ? n : 0;
    }
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), std::string("\x02\xE9\x80\x03"));

    EXPECT_TRUE(terminal.WriteText("\x02OK\x03Z"));
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), u"\x02OK\x03");
    EXPECT_EQ(channel->ReadChars(1), u"Z");
    EXPECT_EQ(channel->ReadChars(1), u""); // silent: read time-out
    EXPECT_TRUE(channel->Disconnect());
    const Text name = channel->GetLogFileName();
    channel.reset();
    const auto lines = ReadLogLines(name);
    EXPECT_NE(FindLine(lines, u"Read:\x02OK\x03"), nullptr);
    EXPECT_NE(FindLine(lines, u"Read Timeout:"), nullptr);
}

// A virtual port reports an empty output queue at once: the close must not purge the last bytes written
// (the driver's final ACK) before the other end has read them.
TEST(SerialComPairTest, TheLastBytesWrittenBeforeTheCloseReachTheOtherEnd) {
    std::uint32_t channelPort = 0, terminalPort = 0;
    if (!PortPair(channelPort, terminalPort)) {
        GTEST_SKIP() << "ZR_TEST_COM_PAIR is not set";
    }
    TestLogFolder folder;
    kConnection c;
    c.ConnectionType = zrConnectionType::Serial;
    c.SerialPort = u"COM" + UIntToText(channelPort);
    c.Speed = 9600;
    c.DataBits = 8;
    c.StopBits = 1;
    c.SetReadTimeOut(300);
    TComPort terminal(terminalPort, 9600);
    terminal.Open();
    for (int round = 0; round < 20; ++round) {
        kIOHandler_Serial channel(&c, folder.Dir(), u"ZRPA_TEST_COMPAIR_CLOSE");
        ASSERT_TRUE(channel.Connect());
        ASSERT_TRUE(channel.Write(u"\x06"));
        channel.Disconnect();
        char ack = 0;
        std::uint32_t flags = 0;
        std::int32_t got = 0;
        for (int i = 0; i < 10 && got < 1; ++i) {
            got = terminal.Read(&ack, 1, 200, flags);
        }
        ASSERT_EQ(got, 1) << "round " << round;
        EXPECT_EQ(ack, '\x06');
    }
}
} // namespace
