// The channel base: its log file and line formats and the temporary read time-out.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "io/ByteStream.h"
#include "io/IOHandler.h"
#include "support/IOHandlerTestLog.h"

namespace {
// The smallest concrete channel: the base's behaviour, nothing of its own.
class kIOHandler_Probe : public kIOHandler, public kByteStream {
public:
    using kIOHandler::kIOHandler;
    bool GetConnected() override { return false; }
    bool Disconnect() override { return true; }
    void ClearBuffers() override {}
    bool Write(const Text&) override { return true; }
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override {
        LogTerminators(aChars);
        return Text();
    }
    Text ReadChars(std::int32_t) override { return Text(); }
    Text ReadAll() override { return Text(); }
    bool InputBufferContainsData() override { return false; }
    bool MayHaveMoreToRead() override { return false; }
    Text ClassName() const override { return u"kIOHandler_Probe"; }
    kByteStream* ByteStream() override { return this; }
};

const Text kStart = u"*************************** START ***************************";
const Text kStop = u"*************************** STOP ****************************";

class IOHandlerTest : public ::testing::Test {
protected:
    std::unique_ptr<kIOHandler_Probe> MakeChannel(const kConnection* aConnection) {
        return std::make_unique<kIOHandler_Probe>(aConnection, fFolder.Dir(),
                                                  u"ZRPA_TEST_BASE_" + IntToText(++fChannels));
    }
    // The lines between START and STOP, after checking both.
    static std::vector<LogLine> Body(std::unique_ptr<kIOHandler_Probe>& aChannel) {
        const Text name = aChannel->GetLogFileName();
        aChannel.reset();
        auto lines = ReadLogLines(name);
        EXPECT_GE(lines.size(), 2u);
        if (lines.size() < 2) {
            return {};
        }
        EXPECT_EQ(lines.front().Message, kStart);
        EXPECT_EQ(lines.back().Message, kStop);
        return std::vector<LogLine>(lines.begin() + 1, lines.end() - 1);
    }

    TestLogFolder fFolder;
    int fChannels = 0;
};

TEST_F(IOHandlerTest, EachConnectWritesTheHeaderBlockBetweenStartAndStop) {
    kConnection c;
    c.SetConnectTimeOut(2500);
    c.SetReadTimeOut(0); // ignored: keeps 1000
    auto channel = MakeChannel(&c);
    EXPECT_EQ(channel->ConnectTimeout(), 2500);
    EXPECT_EQ(channel->ReadTimeout(), 1000);
    channel->SetVersion(u"1.27.0.0");
    const Text name = channel->GetLogFileName();
    EXPECT_EQ(std::filesystem::path(name).parent_path(), std::filesystem::path(fFolder.Dir()));
    const std::string file = std::filesystem::path(name).filename().string();
    EXPECT_EQ(file.substr(0, 18), "ZRPA_TEST_BASE_1_2"); // _yyyymmdd.log follows
    EXPECT_EQ(file.size(), 18 + 11u);
    EXPECT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->Connect());
    const std::vector<Text> header = {
        u"*************************************************************",
        u"kIOHandler_Probe",
        u"1.27.0.0",
        u"ConnectTimeout=2500",
        u"ReadTimeout=1000",
    };
    std::vector<Text> expected = header;
    expected.insert(expected.end(), header.begin(), header.end());
    const auto body = Body(channel);
    EXPECT_EQ(LogMessages(body), expected);
    for (const auto& line : body) {
        EXPECT_FALSE(line.Error);
    }
}

TEST_F(IOHandlerTest, WithoutFolderOrFileNameTheChannelLogsNothing) {
    kConnection c;
    for (const auto& [dir, file] : {std::pair<Text, Text>{Text(), u"NAME"}, {fFolder.Dir(), Text()}}) {
        kIOHandler_Probe channel(&c, dir, file);
        EXPECT_EQ(channel.GetLogFileName(), u"");
        EXPECT_EQ(channel.Logger(), nullptr);
        EXPECT_TRUE(channel.Connect());
        channel.WriteLog(tZR_MessageType::let_error, u"T", u"m");
        channel.SetTemporaryReadTimeout(5);
        EXPECT_EQ(channel.ReadTimeout(), 5);
    }
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(fFolder.Dir())));
    kIOHandler_Probe bare(nullptr, Text(), Text()); // no settings: both time-outs 0
    EXPECT_EQ(bare.ReadTimeout(), 0);
    EXPECT_EQ(bare.ConnectTimeout(), 0);
}

TEST_F(IOHandlerTest, WriteLogAppendsTheHexDumpOnlyWhenHexLogIsSet) {
    kConnection c;
    auto channel = MakeChannel(&c);
    channel->WriteLog(tZR_MessageType::let_info, u"Write",
                      u"\x02"
                      u"ABC\x03");
    channel->SetHexLog(true);
    channel->WriteLog(tZR_MessageType::let_info, u"Write",
                      u"\x02"
                      u"ABC\x03");
    channel->WriteLog(tZR_MessageType::let_error, u"Read Timeout", u"");
    channel->WriteLog(tZR_MessageType::let_info, u"", u"\u20AC");
    channel->Debug(tZR_MessageType::let_error, u"plain \x01 line"); // never a title or a dump
    const auto body = Body(channel);
    // Control characters by name, the dump with the raw codes.
    const std::vector<Text> expected = {
        u"Write:<STX>ABC<ETX>", u"Write:<STX>ABC<ETX> [02 41 42 43 03]",
        u"Read Timeout: []",    u":\u20AC [20ac]",
        u"plain <SOH> line",
    };
    EXPECT_EQ(LogMessages(body), expected);
    ASSERT_EQ(body.size(), 5u);
    EXPECT_FALSE(body[1].Error);
    EXPECT_TRUE(body[2].Error);
    EXPECT_TRUE(body[4].Error);
}

TEST_F(IOHandlerTest, TextToHexWritesEveryCodeWithAtLeastTwoDigits) {
    const struct {
        Text in;
        Text out;
    } cases[] = {
        {u"", u""},
        {u"\x02"
         u"ABC\x03",
         u"02 41 42 43 03"},
        {u"\x07", u"07"},
        {u"\u20AC", u"20ac"},
        {u"\u0100\u00FF\uFFFF", u"100 ff ffff"},
        {Text(1, u'\0'), u"00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kIOHandler::TextToHex(c.in), c.out) << TextToUtf8(c.out);
    }
}

TEST_F(IOHandlerTest, TheTemporaryReadTimeoutIsSavedAndRestoredWithoutNesting) {
    kConnection c;
    auto channel = MakeChannel(&c);
    channel->SetTemporaryReadTimeout(0); // logged, nothing changes
    EXPECT_EQ(channel->ReadTimeout(), 1000);
    channel->ResetTemporaryReadTimeout(); // nothing saved: nothing changes
    EXPECT_EQ(channel->ReadTimeout(), 1000);
    channel->SetTemporaryReadTimeout(30000);
    EXPECT_EQ(channel->ReadTimeout(), 30000);
    channel->ResetTemporaryReadTimeout();
    EXPECT_EQ(channel->ReadTimeout(), 1000);
    channel->ResetTemporaryReadTimeout(); // the saved value stays: the same again
    EXPECT_EQ(channel->ReadTimeout(), 1000);
    channel->SetTemporaryReadTimeout(5000);
    channel->SetTemporaryReadTimeout(-3);
    channel->SetTemporaryReadTimeout(7000); // saves 5000, not 1000
    channel->ResetTemporaryReadTimeout();
    EXPECT_EQ(channel->ReadTimeout(), 5000);
    const std::vector<Text> expected = {
        u"Set Read Timeout to 0ms from 1000 ms",
        u"Reset Timeout to 0 ms",
        u"Set Read Timeout to 30000ms from 1000 ms",
        u"Reset Timeout to 1000 ms",
        u"Reset Timeout to 1000 ms",
        u"Set Read Timeout to 5000ms from 1000 ms",
        u"Set Read Timeout to -3ms from 5000 ms",
        u"Set Read Timeout to 7000ms from 5000 ms",
        u"Reset Timeout to 5000 ms",
    };
    EXPECT_EQ(LogMessages(Body(channel)), expected);
}

TEST_F(IOHandlerTest, TheWaitingForLineShowsTheTerminatorsAsCharactersAndHex) {
    kConnection c;
    auto channel = MakeChannel(&c);
    channel->ReadUpTo({0x03, 0x04});
    channel->SetHexLog(true);
    channel->ReadUpTo({0x03, 0x04});
    channel->ReadUpTo({0xE9});
    channel->ReadUpTo({});
    const std::vector<Text> expected = {
        u"Waiting for:<ETX>,<EOT>",
        u"Waiting for:<ETX>,<EOT> [03,04]",
        u"Waiting for:\u00E9 [e9]",
        u"Waiting for: []",
    };
    EXPECT_EQ(LogMessages(Body(channel)), expected);
}

} // namespace
