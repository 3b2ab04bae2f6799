// The link layer over a fake channel: frames, acknowledgements, the answer wait, receipt collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "base/ZrError.h"
#include "io/IOHandler_Dll.h"
#include "support/FakeChannel.h"
#include "support/IOHandlerTestLog.h"

namespace {
std::string Hex(const Text& aText) {
    std::string out;
    char buf[8];
    for (const char16_t c : aText) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(c));
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    return out;
}

struct LinkFixture {
    explicit LinkFixture(Text aClass = u"kIOHandler_TCP")
        : Channel(std::move(aClass)), Link(Channel, [this](std::int32_t ms) { Pauses.push_back(ms); }) {
        Channel.Connect();
        Channel.Calls.clear();
    }
    FakeChannel Channel;
    std::vector<std::int32_t> Pauses;
    kP17Link Link;
};

const Text kAnswer = u"100000010X00";
} // namespace

TEST(P17Frames, WireBytesOfAckAndPrintLocationFrame) {
    EXPECT_EQ(Hex(AckFrame()), "06 03 7A");
    EXPECT_EQ(Hex(BuildFrame(u"000000000E1")), "02 30 30 30 30 30 30 30 30 30 45 31 03 3A");
    EXPECT_EQ(CalcLRC(u""), 0x7F);
}

TEST(P17Frames, ValidatePacket) {
    const Text data = BuildFrame(u"ABC");
    Text eot = data.substr(0, data.size() - 2) + P17::EOT;
    eot += CalcLRC(eot);
    Text wrongLrc = data;
    wrongLrc.back() = static_cast<char16_t>(wrongLrc.back() ^ 1);
    Text soh = StatusFrame(u"STATUS");
    soh += CalcLRC(soh);
    Text cut = Text{P17::STX, u'A'}; // no terminator, check character happens to match
    cut += CalcLRC(cut);
    Text ackWithExtra = Text{P17::ACK, P17::ETX, u'x'};
    ackWithExtra += CalcLRC(ackWithExtra);
    const struct {
        Text Packet;
        bool Valid;
        const char* Why;
    } cases[] = {
        {data, true, "data frame"},
        {eot, true, "EOT in place of ETX"},
        {AckFrame(), true, "ACK frame"},
        {soh, true, "SOH frame with check character"},
        {wrongLrc, false, "wrong check character"},
        {Text{P17::ACK, P17::ETX, 0x7B}, false, "ACK with a wrong check character"},
        {ackWithExtra, false, "ACK frame with more than ACK ETX"},
        {cut, false, "data frame without terminator"},
        {Text(u"X"), false, "one character"},
        {Text(), false, "empty"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValidatePacket(c.Packet), c.Valid) << c.Why;
    }
}

TEST(P17Link, SendFrameWaitsForTheAckUnderTheAckTimeout) {
    LinkFixture f;
    f.Channel.Replies = {TerminalAck(), Text()};
    EXPECT_TRUE(f.Link.SendFrame(BuildFrame(u"000000000E1")));
    EXPECT_EQ(f.Channel.Calls[1], "ReadUpTo 3000");
    EXPECT_EQ(f.Channel.ReadTimeout(), 1000) << "the temporary time-out is restored";
    // The ACK frame itself is only written.
    EXPECT_TRUE(f.Link.SendAck());
    EXPECT_EQ(f.Channel.Calls.back(), "Write");
}

TEST(P17Link, SendingFailsWithoutAValidAck) {
    const struct {
        Text Reply;
        bool Raises;
        const char* Why;
    } cases[] = {
        {Text(), false, "silence"},
        {TerminalFrame(kAnswer), false, "a data frame in place of the ACK"},
        {StatusFrame(u"BUSY"), false, "a status frame in place of the ACK"},
        {Text{P17::ACK, P17::ETX, 0x7B}, true, "ACK with a wrong check character"},
    };
    for (const auto& c : cases) {
        LinkFixture f;
        f.Channel.Replies = {c.Reply};
        if (c.Raises) {
            try {
                f.Link.SendFrame(BuildFrame(u"000000000E1"));
                ADD_FAILURE() << c.Why << ": no error";
            } catch (const ZrError& e) {
                EXPECT_EQ(e.Message(), u"Invalid Packet Received") << c.Why;
            }
        } else {
            EXPECT_FALSE(f.Link.SendFrame(BuildFrame(u"000000000E1"))) << c.Why;
        }
        EXPECT_EQ(f.Channel.AcksWritten(), 0u)
            << c.Why << ": nothing is acknowledged while waiting for an ACK";
    }
}

TEST(P17Link, ReadMessageClassifiesAcknowledgesAndStripsFrames) {
    Text eotFrame = Text(1, P17::STX) + kAnswer + P17::EOT;
    eotFrame += CalcLRC(eotFrame);
    const struct {
        Text Input;
        bool SendAck;
        zrFrameKind Kind;
        Text Payload;
        std::size_t Acks;
        const char* Why;
    } cases[] = {
        {TerminalFrame(kAnswer), true, zrFrameKind::fk_Data, kAnswer, 1, "data frame, acknowledged"},
        {TerminalFrame(kAnswer), false, zrFrameKind::fk_Data, kAnswer, 0, "data frame, not acknowledged"},
        {eotFrame, true, zrFrameKind::fk_Data, kAnswer, 1, "EOT in place of ETX"},
        {TerminalAck(), true, zrFrameKind::fk_Ack, Text(), 0, "ACK frame"},
        {StatusFrame(u"BUSY"), true, zrFrameKind::fk_Soh, u"BUSY", 0,
         "status frame: not validated, not acknowledged"},
        {Text(), true, zrFrameKind::fk_None, u"previous", 0, "nothing: the payload keeps its value"},
        {Text(u"garbage\x03"), true, zrFrameKind::fk_None, u"previous", 0, "unknown first character"},
    };
    for (const auto& c : cases) {
        LinkFixture f;
        f.Channel.Input = c.Input;
        Text payload = u"previous";
        zrFrameKind kind = zrFrameKind::fk_Ack;
        f.Link.ReadMessage(500, c.SendAck, payload, kind);
        EXPECT_EQ(kind, c.Kind) << c.Why;
        EXPECT_EQ(payload, c.Payload) << c.Why;
        EXPECT_EQ(f.Channel.AcksWritten(), c.Acks) << c.Why;
        EXPECT_TRUE(f.Channel.Unread().empty())
            << c.Why << ": the frame and its check character are consumed";
    }
}

TEST(P17Link, DataFrameWithWrongCheckCharacterRaisesAndIsNotAcknowledged) {
    for (const bool cutShort : {false, true}) {
        LinkFixture f;
        Text frame = TerminalFrame(kAnswer);
        if (cutShort) {
            frame = frame.substr(0, frame.size() / 2); // the connection closed mid-frame
        } else {
            frame.back() = static_cast<char16_t>(frame.back() ^ 0x55);
        }
        f.Channel.Input = frame;
        Text payload;
        zrFrameKind kind;
        try {
            f.Link.ReadMessage(500, true, payload, kind);
            ADD_FAILURE() << "no error, cut short: " << cutShort;
        } catch (const ZrError& e) {
            EXPECT_EQ(e.Message(), u"Invalid Packet Received");
        }
        EXPECT_EQ(f.Channel.AcksWritten(), 0u);
        EXPECT_EQ(f.Channel.ReadTimeout(), 1000);
    }
}

TEST(P17Link, ReadResponseSkipsStatusFramesAndEndsAfterTheEleventhEmptyRead) {
    {
        LinkFixture f;
        f.Channel.Input =
            StatusFrame(u"INSERT CARD") + TerminalAck() + StatusFrame(u"PIN") + TerminalFrame(kAnswer);
        Text payload;
        f.Link.ReadResponse(180000, payload);
        EXPECT_EQ(payload, kAnswer);
        EXPECT_TRUE(f.Pauses.empty()) << "status and ACK frames are not empty reads";
        EXPECT_EQ(f.Channel.AcksWritten(), 1u) << "only the data frame is acknowledged";
        EXPECT_EQ(f.Channel.Calls.front(), "ReadUpTo 180000");
    }
    {
        LinkFixture f; // a terminal that never answers
        Text payload;
        f.Link.ReadResponse(30000, payload);
        EXPECT_EQ(f.Channel.Count("ReadUpTo 30000"), 11u);
        EXPECT_EQ(f.Pauses, std::vector<std::int32_t>(10, 500));
        EXPECT_TRUE(payload.empty());
    }
    {
        LinkFixture f; // the last status frame's payload is what the caller then interprets
        f.Channel.Input = StatusFrame(u"BUSY");
        Text payload;
        f.Link.ReadResponse(30000, payload);
        EXPECT_EQ(payload, u"BUSY");
        EXPECT_EQ(f.Pauses.size(), 10u);
    }
}

TEST(P17Link, ReadResponseEndsWhenATerminalOnlySendsStatusFrames) {
    LinkFixture f;
    for (int i = 0; i < P17::kMaxFramesPerAnswer + 10; ++i) {
        f.Channel.Input += StatusFrame(u"BUSY");
    }
    Text payload;
    f.Link.ReadResponse(180000, payload);
    EXPECT_EQ(payload, u"BUSY");
    EXPECT_EQ(f.Channel.Count("ReadUpTo 180000"), static_cast<std::size_t>(P17::kMaxFramesPerAnswer));
}

TEST(P17Receipt, CollectsFramesUntilEscAndSendsOneMoreAck) {
    LinkFixture f;
    const Text head = u"100000010S";
    f.Channel.Input = TerminalFrame(head + Text(24, u'A')) + StatusFrame(head + Text(24, u'B')) +
                      TerminalFrame(head + Text(23, u'C') + P17::ESC) + TerminalFrame(head + u"NOT READ");
    const Text text = f.Link.ReadReceiptText();
    EXPECT_EQ(text, Text(24, u'A') + u"\r\n" + Text(24, u'B') + u"\r\n" + Text(23, u'C') + u" \r\n");
    EXPECT_TRUE(f.Pauses.empty()) << "the collection starts with the first byte";
    EXPECT_EQ(f.Channel.AcksWritten(), 3u) << "two data frames and the final ACK";
    EXPECT_FALSE(f.Channel.Unread().empty()) << "nothing is read after the ESC";
    EXPECT_EQ(f.Channel.Calls.front(), "WaitForInput 1000");
    EXPECT_EQ(f.Channel.Calls[1], "ReadUpTo 1000");
}

TEST(P17Receipt, TakesAtMost200CharactersPerFrame) {
    LinkFixture f;
    f.Channel.Input = TerminalFrame(u"100000010S" + Text(240, u'x') + P17::ESC);
    const Text text = f.Link.ReadReceiptText();
    EXPECT_EQ(text.size(), (200 / 24) * 26u);
    EXPECT_EQ(f.Channel.Count("ReadUpTo 1000"), 7u)
        << "the ESC was cut off: six empty reads end the collection";
}

TEST(P17Receipt, NothingIsReadWhenNoTextWaits) {
    {
        LinkFixture f(u"kIOHandler_Serial"); // serial line with an empty input buffer
        EXPECT_TRUE(f.Link.ReadReceiptText().empty());
        EXPECT_TRUE(f.Channel.Writes.empty()) << "no ACK is sent";
        EXPECT_EQ(f.Channel.Calls, std::vector<std::string>{"WaitForInput 1000"});
    }
    {
        LinkFixture f(u"kIOHandler_Serial");
        f.Channel.Input = TerminalFrame(u"100000010S" + Text(23, u'S') + P17::ESC);
        EXPECT_EQ(f.Link.ReadReceiptText(), Text(23, u'S') + u" \r\n");
    }
    {
        LinkFixture f; // TCP after the terminal hung up
        f.Channel.TransportConnected = false;
        f.Channel.Input = TerminalFrame(u"100000010S" + Text(23, u'S') + P17::ESC);
        EXPECT_TRUE(f.Link.ReadReceiptText().empty());
        EXPECT_TRUE(f.Channel.Writes.empty());
    }
}

TEST(P17Receipt, CollectionOfEndlessReceiptTextIsBounded) {
    LinkFixture f;
    for (int i = 0; i < P17::kMaxReceiptFrames + 50; ++i) {
        f.Channel.Input += TerminalFrame(u"100000010S" + Text(24, u'z'));
    }
    const Text text = f.Link.ReadReceiptText();
    EXPECT_EQ(text.size(), static_cast<std::size_t>(P17::kMaxReceiptFrames) * 26u);
    EXPECT_EQ(f.Channel.AcksWritten(), static_cast<std::size_t>(P17::kMaxReceiptFrames) + 1u);
}

// A channel that only writes (here the library channel, whose Write succeeds): the link writes the frame,
// waits for the acknowledgement under the changed read time-out, reads nothing and collects no receipt.
TEST(P17Link, ChannelWithoutAByteStreamReadsNothing) {
    TestLogFolder folder;
    kConnection connection;
    connection.LibraryName = Utf8ToText(ZR_TESTLIB_PATH);
    Text logFile;
    {
        kIOHandler_Dll channel(&connection, folder.Dir(), u"P17_NO_STREAM");
        logFile = channel.GetLogFileName();
        kP17Link link(channel, [](std::int32_t) {});
        EXPECT_FALSE(link.SendFrame(BuildFrame(u"000000000E1")));
        EXPECT_TRUE(link.ReadReceiptText().empty());
    }
    const std::vector<Text> lines = LogMessages(ReadLogLines(logFile));
    const std::vector<Text> timeouts = {u"Set Read Timeout to 3000ms from 1000 ms",
                                        u"Reset Timeout to 1000 ms"};
    EXPECT_NE(std::search(lines.begin(), lines.end(), timeouts.begin(), timeouts.end()), lines.end());
}
