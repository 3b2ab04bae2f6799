// kIOHandler_TCP against real loopback servers started by each test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "io/IOHandler_TCP.h"
#include "support/IOHandlerTestLog.h"
#include "support/LoopbackServer.h"

namespace {
using namespace std::chrono_literals;

const Text kSTX(1, u'\x02');
const Text kETX(1, u'\x03');
const std::vector<std::uint8_t> kEtxEot = {0x03, 0x04};

// Polls aCondition every 5 ms for at most aLimit; true once it holds.
bool WaitUntil(const std::function<bool()>& aCondition, std::chrono::milliseconds aLimit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + aLimit;
    while (!aCondition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Accepts one connection on a thread of its own and runs aScript on it; joins on destruction.
class ScriptedPeer {
public:
    ScriptedPeer(LoopbackListener& aListener, std::function<void(LoopbackPeer&)> aScript)
        : fThread([&aListener, script = std::move(aScript)] {
              LoopbackPeer peer = aListener.Accept(3000);
              if (peer.Valid()) {
                  script(peer);
              }
          }) {}
    ~ScriptedPeer() { fThread.join(); }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

private:
    std::thread fThread;
};

class TcpChannelTest : public ::testing::Test {
protected:
    std::unique_ptr<kIOHandler_TCP> MakeChannel(std::int32_t aPort, std::int32_t aReadTimeout = 200,
                                                bool aHexLog = false, const Text& aHost = u"127.0.0.1",
                                                std::int32_t aConnectTimeout = 500) {
        kConnection c;
        c.ConnectionType = zrConnectionType::TCP;
        c.Address = aHost;
        c.Port = aPort;
        c.SetReadTimeOut(aReadTimeout);
        c.SetConnectTimeOut(aConnectTimeout);
        // One log file per channel, so the cases of one test do not read each other's lines.
        auto channel =
            std::make_unique<kIOHandler_TCP>(&c, fFolder.Dir(), u"ZRPA_TEST_TCP_" + IntToText(++fChannels));
        channel->SetHexLog(aHexLog);
        channel->SetVersion(u"1.27.0.0");
        return channel;
    }
    // Destroys the channel (its writer writes everything out) and returns its log.
    static std::vector<LogLine> Finish(std::unique_ptr<kIOHandler_TCP>& aChannel) {
        const Text name = aChannel->GetLogFileName();
        aChannel.reset();
        return ReadLogLines(name);
    }

    TestLogFolder fFolder;
    LoopbackListener fListener;
    int fChannels = 0;
};

TEST_F(TcpChannelTest, ConnectLogsHeaderHostAndPortBetweenStartAndStop) {
    ASSERT_TRUE(fListener.Valid());
    std::atomic<bool> done{false};
    ScriptedPeer peer(fListener, [&](LoopbackPeer&) { WaitUntil([&] { return done.load(); }); });
    auto channel = MakeChannel(fListener.Port());
    EXPECT_FALSE(channel->Connected());
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->Connected());
    EXPECT_EQ(channel->TCPClient().Host(), u"127.0.0.1");
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_FALSE(channel->Connected());
    done = true;
    const auto messages = LogMessages(Finish(channel));
    const std::vector<Text> expected = {
        u"*************************** START ***************************",
        u"*************************************************************",
        u"kIOHandler_TCP",
        u"1.27.0.0",
        u"ConnectTimeout=500",
        u"ReadTimeout=200",
        u"Host=127.0.0.1",
        u"Port=" + IntToText(fListener.Port()),
        u"*************************** STOP ****************************",
    };
    EXPECT_EQ(messages, expected);
}

TEST_F(TcpChannelTest, ConnectFailuresAreLoggedAndGiveFalse) {
    struct Case {
        const char* name;
        Text host;
        std::int32_t port;
        Text expectedPrefix;
    };
    const std::vector<Case> cases = {
        {"refused", u"127.0.0.1", UnusedLoopbackPort(), u"Connect Error:Connection refused (socket error #"},
        {"no host", u"", 4000, u"Connect Error:No host given."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto channel = MakeChannel(c.port, 200, false, c.host);
        EXPECT_FALSE(channel->Connect());
        EXPECT_FALSE(channel->Connected());
        EXPECT_TRUE(channel->Disconnect());
        const auto lines = Finish(channel);
        const LogLine* line = FindLine(lines, u"Connect Error:");
        ASSERT_NE(line, nullptr);
        EXPECT_TRUE(line->Error);
        EXPECT_EQ(line->Message.substr(0, c.expectedPrefix.size()), c.expectedPrefix)
            << TextToUtf8(line->Message);
        EXPECT_EQ(CountLines(lines, u"Disconnect"), 0);
    }
}

TEST_F(TcpChannelTest, ConnectToAListenerThatNeverAnswersTimesOut) {
    LoopbackListener full(0, 0);
    ASSERT_TRUE(full.Valid());
    if (!full.FillBacklog()) {
        GTEST_SKIP() << "this system refuses connections to a full accept queue";
    }
    auto channel = MakeChannel(full.Port(), 200, false, u"127.0.0.1", 150);
    EXPECT_FALSE(channel->Connect());
    const auto lines = Finish(channel);
    const LogLine* line = FindLine(lines, u"Connect Error:");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Message, u"Connect Error:Connect timed out.");
}

// A cancel raised on another thread ends a connect that hangs and a read that waits long before their
// time-outs: the connect raises tZR_Cancelled with nothing left open, the read with what it had.
TEST_F(TcpChannelTest, CancelConcurrencyEndsAHangingConnectAndAWaitingRead) {
    LoopbackListener full(0, 0);
    ASSERT_TRUE(full.Valid());
    if (!full.FillBacklog()) {
        GTEST_SKIP() << "this system refuses connections to a full accept queue";
    }
    for (const bool reading : {false, true}) {
        auto channel = reading ? MakeChannel(fListener.Port(), 60000)
                               : MakeChannel(full.Port(), 200, false, u"127.0.0.1", 60000);
        tZR_CancelSignal signal;
        channel->SetCancelSignal(&signal);
        std::thread canceller([&] {
            std::this_thread::sleep_for(200ms);
            signal.Cancel(u"cancelled by the host");
        });
        if (reading) {
            ScriptedPeer peer(fListener, [](LoopbackPeer& p) {
                p.Send("\x02"
                       "AB");
                std::this_thread::sleep_for(1000ms);
            });
            ASSERT_TRUE(channel->Connect());
            EXPECT_THROW(channel->ReadUpTo(kEtxEot), tZR_Cancelled);
            channel->Disconnect();
        } else {
            EXPECT_THROW(channel->Connect(), tZR_Cancelled);
            EXPECT_FALSE(channel->Connected());
        }
        canceller.join();
        channel->SetCancelSignal(nullptr);
        const auto lines = Finish(channel);
        EXPECT_NE(FindLine(lines, reading ? u"Read Cancelled:" : u"Connect Cancelled:"), nullptr) << reading;
    }
}

TEST_F(TcpChannelTest, HostNameResolvesAndPortUsesItsLow16Bits) {
    // localhost comes from the hosts file; it may name ::1 first, where nothing listens, and then 127.0.0.1.
    ASSERT_TRUE(fListener.Valid());
    {
        ScriptedPeer peer(fListener, [](LoopbackPeer& p) { p.Send("\x03"); });
        auto channel = MakeChannel(fListener.Port(), 500, false, u"localhost", 1000);
        ASSERT_TRUE(channel->Connect());
        EXPECT_EQ(channel->ReadUpTo(kEtxEot), kETX);
        channel->Disconnect();
    }
    // The listener's own port plus 65536: only its low 16 bits reach the socket.
    LoopbackListener low;
    ASSERT_TRUE(low.Valid());
    ScriptedPeer peer(low, [](LoopbackPeer& p) { p.Send("\x03"); });
    auto channel = MakeChannel(static_cast<std::int32_t>(low.Port()) + 65536);
    EXPECT_EQ(channel->TCPClient().Port(), low.Port());
    ASSERT_TRUE(channel->Connect());
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), kETX);
    const auto lines = Finish(channel);
    EXPECT_NE(FindLine(lines, u"Port=" + IntToText(low.Port())), nullptr);
}

// What the peer does after accepting, what ReadUpTo(ETX, EOT) returns, and the line it logs.
TEST_F(TcpChannelTest, ReadUpToEndsOnTerminatorSilenceCloseOrReset) {
    struct Case {
        const char* name;
        std::function<void(LoopbackPeer&, std::atomic<bool>&)> script;
        Text expected;
        Text line;
        bool errorLine;
        bool connectedAfter;
    };
    const std::vector<Case> cases = {
        {"terminator first", [](LoopbackPeer& p, std::atomic<bool>&) { p.Send("\x03"); }, kETX,
         u"Read:" + kETX, false, true},
        {"frame, rest stays buffered",
         [](LoopbackPeer& p, std::atomic<bool>&) {
             p.Send("\x02"
                    "AB\x04"
                    "Z");
         },
         kSTX + u"AB\x04", u"Read:" + kSTX + u"AB\x04", false, true},
        {"byte E9 in", [](LoopbackPeer& p, std::atomic<bool>&) { p.Send("\xE9\x03"); },
         Text(u"\u00E9") + kETX, u"Read:\u00E9" + kETX, false, true},
        {"silent peer", [](LoopbackPeer&, std::atomic<bool>&) {}, Text(),
         u"ReadUpTo Unexpected error:Read timed out.", true, true},
        {"peer closes mid-read",
         [](LoopbackPeer& p, std::atomic<bool>&) {
             p.Send("\x02"
                    "AB");
             p.ShutdownWrite();
         },
         kSTX + u"AB", u"ReadUpTo Unexpected error:Connection Closed Gracefully.", true, false},
        {"reset",
         [](LoopbackPeer& p, std::atomic<bool>&) {
             std::this_thread::sleep_for(50ms); // after Connect, while ReadUpTo waits
             p.Reset();
         },
         Text(),
         LoopbackResetIsGraceful() ? u"ReadUpTo Unexpected error:Connection Closed Gracefully."
                                   : u"ReadUpTo Unexpected error:Connection reset by peer (socket error #",
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> done{false};
        ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
            c.script(p, done);
            WaitUntil([&] { return done.load(); });
        });
        auto channel = MakeChannel(fListener.Port(), 300);
        ASSERT_TRUE(channel->Connect());
        EXPECT_EQ(channel->ReadUpTo(kEtxEot), c.expected);
        EXPECT_EQ(channel->Connected(), c.connectedAfter);
        done = true;
        channel->Disconnect();
        const auto lines = Finish(channel);
        const LogLine* line = FindLine(lines, c.line);
        ASSERT_NE(line, nullptr) << TextToUtf8(c.line) << "\n" << DumpLog(lines);
        EXPECT_EQ(line->Error, c.errorLine);
        EXPECT_NE(FindLine(lines, u"Waiting for:\x03,\x04"), nullptr);
    }
}

TEST_F(TcpChannelTest, BytesStreamingPastTheTimeOutEndTheReadWithReadTimeout) {
    std::atomic<bool> stop{false};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        // At most 3 s of one byte every 10 ms, never a terminator.
        for (int i = 0; i < 300 && !stop && p.Send("A"); ++i) {
            std::this_thread::sleep_for(10ms);
        }
    });
    auto channel = MakeChannel(fListener.Port(), 150, true);
    ASSERT_TRUE(channel->Connect());
    const Text got = channel->ReadUpTo(kEtxEot);
    stop = true;
    EXPECT_FALSE(got.empty());
    EXPECT_EQ(got.find_first_not_of(u'A'), Text::npos);
    channel->Disconnect();
    const auto lines = Finish(channel);
    const LogLine* line = FindLine(lines, u"Read Timeout:");
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->Error);
    EXPECT_EQ(line->Message, u"Read Timeout:" + got + u" [" + kIOHandler::TextToHex(got) + u"]");
}

TEST_F(TcpChannelTest, WriteSendsOneBytePerCharacterAndEveryLineCarriesItsHexDump) {
    std::string received;
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        received = p.Receive(4, 2000);
        p.Send("\x02"
               "OK\x03"
               "q");
    });
    auto channel = MakeChannel(fListener.Port(), 300, true);
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->Write(kSTX + u"\u00E9\u20AC" + kETX));
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), kSTX + u"OK" + kETX);
    EXPECT_EQ(channel->ReadChars(1), u"q");
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_EQ(received, std::string("\x02\xE9?\x03"));
    const auto messages = LogMessages(Finish(channel));
    const std::vector<Text> expected = {
        u"Write:" + kSTX + u"\u00E9\u20AC" + kETX + u" [02 e9 20ac 03]",
        u"Waiting for:\x03,\x04 [03,04]",
        u"Read:" + kSTX + u"OK" + kETX + u" [02 4f 4b 03]",
        u"Read:q [71]",
    };
    std::vector<Text> exchange(messages.begin() + 8, messages.end() - 1); // after START, header, host, port
    EXPECT_EQ(exchange, AsLogged(expected));
}

TEST_F(TcpChannelTest, WhatIsReadIsLoggedThroughTheDriversMaskAndPassedOnAsItCame) {
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        p.Receive(1, 2000);
        p.Send("\x02"
               "AB\x03"
               "qrest");
    });
    auto channel = MakeChannel(fListener.Port(), 300, true);
    std::vector<Text> seen;
    channel->SetReceivedLogMask([&seen](const Text& aReceived) {
        seen.push_back(aReceived);
        return Text(aReceived.size(), u'*');
    });
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->Write(u"W"));
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), kSTX + u"AB" + kETX);
    EXPECT_EQ(channel->ReadChars(1), u"q");
    channel->SetReceivedLogMask(nullptr);
    EXPECT_EQ(channel->ReadChars(4), u"rest");
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_EQ(seen, (std::vector<Text>{kSTX + u"AB" + kETX, u"q"}));
    const auto messages = LogMessages(Finish(channel));
    const std::vector<Text> expected = {
        u"Write:W [57]", u"Waiting for:\x03,\x04 [03,04]", u"Read:**** [2a 2a 2a 2a]",
        u"Read:* [2a]",  u"Read:rest [72 65 73 74]",
    };
    std::vector<Text> exchange(messages.begin() + 8, messages.end() - 1); // after START, header, host, port
    EXPECT_EQ(exchange, AsLogged(expected));
}

TEST_F(TcpChannelTest, ReadCharsLeavesShortReadsBufferedForTheNextRead) {
    std::atomic<int> step{0};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        WaitUntil([&] { return step == 1; });
        p.Send("XY");
        WaitUntil([&] { return step == 2; });
        p.Send("Z");
        WaitUntil([&] { return step == 3; });
    });
    auto channel = MakeChannel(fListener.Port(), 150);
    ASSERT_TRUE(channel->Connect());
    EXPECT_EQ(channel->ReadChars(1), u""); // nothing came
    step = 1;
    EXPECT_TRUE(WaitUntil([&] {
        channel->Connected(); // moves waiting bytes into the buffer
        return channel->TCPClient().BufferedCount() == 2;
    }));
    EXPECT_EQ(channel->ReadChars(3), u""); // two of three
    step = 2;
    EXPECT_EQ(channel->ReadChars(3), u"XYZ");
    EXPECT_EQ(channel->ReadChars(0), u"");
    step = 3;
    channel->Disconnect();
    const auto lines = Finish(channel);
    EXPECT_EQ(CountLines(lines, u"ReadChars Unexpected error:Read timed out."), 2);
    EXPECT_NE(FindLine(lines, u"Read:XYZ"), nullptr);
}

// Urgent data is never meant for this protocol; it stays in the stream, where the frame checks judge it,
// instead of leaving the socket "exceptional" with nothing to read (every wait then returned at once).
TEST_F(TcpChannelTest, UrgentDataIsReadInTheStream) {
    std::atomic<int> step{0};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        WaitUntil([&] { return step == 1; });
        p.Send("AB");
        p.SendUrgent('C');
        WaitUntil([&] { return step == 2; });
        p.Send("D\x03");
        WaitUntil([&] { return step == 3; });
    });
    auto channel = MakeChannel(fListener.Port(), 5000);
    ASSERT_TRUE(channel->Connect());
    step = 1;
    EXPECT_TRUE(WaitUntil([&] {
        channel->Connected(); // moves waiting bytes into the buffer
        return channel->TCPClient().BufferedCount() == 3;
    }));
    step = 2;
    EXPECT_EQ(channel->ReadUpTo({0x03}), u"ABCD\x03");
    step = 3;
    channel->Disconnect();
    Finish(channel);
}

TEST_F(TcpChannelTest, UnreadBytesAreCountedAtDisconnectAndClearBuffersDropsThem) {
    std::atomic<bool> done{false};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        p.Send("abc");
        WaitUntil([&] { return done.load(); });
        p.Send("def");
        WaitUntil([&] { return done.load(); });
    });
    auto channel = MakeChannel(fListener.Port());
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(WaitUntil([&] { return channel->Connected() && channel->InputBufferContainsData(); }));
    EXPECT_TRUE(channel->Disconnect());
    EXPECT_FALSE(channel->Connected());
    EXPECT_TRUE(channel->Disconnect()); // not connected: no line, true
    done = true;
    const auto lines = Finish(channel);
    EXPECT_EQ(CountLines(lines, u"Disconnect:"), 1);
    const LogLine* line = FindLine(lines, u"Disconnect:");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Message, u"Disconnect:Before disconnecting the buffer contains 3 bytes");
    EXPECT_FALSE(line->Error);
}

TEST_F(TcpChannelTest, ClearBuffersDiscardsOnlyTheLocalBuffer) {
    std::atomic<int> step{0};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        p.Send("old");
        WaitUntil([&] { return step == 1; });
        p.Send("\x03");
        WaitUntil([&] { return step == 2; });
    });
    auto channel = MakeChannel(fListener.Port(), 300);
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(WaitUntil([&] { return channel->Connected() && channel->InputBufferContainsData(); }));
    channel->ClearBuffers();
    EXPECT_FALSE(channel->InputBufferContainsData());
    step = 1;
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), kETX);
    step = 2;
}

TEST_F(TcpChannelTest, APeerThatClosedStaysConnectedUntilItsLastByteIsRead) {
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        p.Send("xy");
        p.Close();
    });
    auto channel = MakeChannel(fListener.Port(), 300);
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(WaitUntil([&] { return channel->Connected() && channel->TCPClient().BufferedCount() == 2; }));
    EXPECT_EQ(channel->ReadChars(2), u"xy");
    EXPECT_FALSE(channel->Connected());
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), u""); // ends at once with the close message
    EXPECT_TRUE(channel->Disconnect());
    // Connecting again after a close works and writes the header again.
    ScriptedPeer second(fListener, [](LoopbackPeer& p) { p.Send("\x04"); });
    ASSERT_TRUE(channel->Connect());
    EXPECT_EQ(channel->ReadUpTo(kEtxEot), u"\x04");
    channel->Disconnect();
    const auto lines = Finish(channel);
    EXPECT_EQ(CountLines(lines, u"kIOHandler_TCP"), 2);
    EXPECT_NE(FindLine(lines, u"ReadUpTo Unexpected error:Connection Closed Gracefully."), nullptr);
}

TEST_F(TcpChannelTest, WritingToAPeerThatIsGoneRaisesInsteadOfKillingTheProcess) {
    ScriptedPeer peer(fListener, [](LoopbackPeer& p) {
        std::this_thread::sleep_for(50ms); // after Connect
        p.Reset();
    });
    auto channel = MakeChannel(fListener.Port(), 300);
    ASSERT_TRUE(channel->Connect());
    ASSERT_TRUE(WaitUntil([&] { return !channel->Connected(); }));
    // The poll above noticed the reset and dropped the connection; a write now fails cleanly.
    EXPECT_THROW(channel->Write(u"ping"), ZrError);

    // Without the poll: the first write may still be accepted, a later one meets the closed socket.
    ScriptedPeer second(fListener, [](LoopbackPeer& p) {
        std::this_thread::sleep_for(50ms);
        p.Close();
    });
    ASSERT_TRUE(channel->Connect());
    bool raised = false;
    for (int i = 0; i < 100 && !raised; ++i) {
        try {
            channel->TCPClient().Write(std::string(1000, 'x'));
            std::this_thread::sleep_for(5ms);
        } catch (const TcpClientError& e) {
            raised = true;
            EXPECT_EQ(e.Kind(), zrTcpFailure::tf_Socket);
        }
    }
    EXPECT_TRUE(raised);
    EXPECT_FALSE(channel->Connected());
}

TEST_F(TcpChannelTest, ReadAllCollectsUntilTheCloseOrTheTimeOut) {
    {
        ScriptedPeer peer(fListener, [](LoopbackPeer& p) {
            p.Send("hello\x03world");
            p.ShutdownWrite();
            p.Receive(1, 1000);
        });
        auto channel = MakeChannel(fListener.Port(), 500);
        ASSERT_TRUE(channel->Connect());
        EXPECT_EQ(channel->ReadAll(), u"hello\x03world");
        channel->Disconnect();
        const auto lines = Finish(channel);
        ASSERT_NE(FindLine(lines, u"Read:hello"), nullptr);
        EXPECT_FALSE(FindLine(lines, u"Read:hello")->Error);
    }
    std::atomic<bool> done{false};
    std::atomic<bool> sent{false};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        p.Send("part");
        sent = true;
        WaitUntil([&] { return done.load(); });
    });
    auto channel = MakeChannel(fListener.Port(), 150);
    ASSERT_TRUE(channel->Connect());
    // The bytes are on the loopback before the read starts, so a loaded machine cannot turn the short
    // read time-out into an empty read.
    WaitUntil([&] { return sent.load(); });
    EXPECT_EQ(channel->ReadAll(), u"part");
    done = true;
    channel->Disconnect();
    const auto lines = Finish(channel);
    EXPECT_NE(FindLine(lines, u"ReadAll Unexpected error:Read timed out."), nullptr);
}

TEST_F(TcpChannelTest, ByteOperationsLogSevenBitAsciiAndPassFailuresOn) {
    std::string received;
    std::atomic<bool> done{false};
    ScriptedPeer peer(fListener, [&](LoopbackPeer& p) {
        received = p.Receive(3, 2000);
        p.Send("\x02"
               "\xE9\x03"
               "ab");
        WaitUntil([&] { return done.load(); });
        p.Send("tail\xFF");
        p.ShutdownWrite();
        p.Receive(1, 1000);
    });
    auto channel = MakeChannel(fListener.Port(), 150);
    ASSERT_TRUE(channel->Connect());
    EXPECT_TRUE(channel->WriteBytes({0x41, 0xE9, 0x03}));
    EXPECT_EQ(channel->ReadBytesUpTo({0x03}), (kIOHandler_TCP::Bytes{0x02, 0xE9, 0x03}));
    EXPECT_EQ(channel->ReadBytes(2), (kIOHandler_TCP::Bytes{'a', 'b'}));
    EXPECT_THROW(channel->ReadBytesUpTo({0x03}), TcpClientError); // silent: the failure reaches the caller
    EXPECT_THROW(channel->ReadBytes(1), TcpClientError);
    EXPECT_EQ(channel->ReadAllBytes(), kIOHandler_TCP::Bytes()); // still silent: logs the elapsed time
    done = true;
    EXPECT_EQ(channel->ReadAllBytes(), (kIOHandler_TCP::Bytes{'t', 'a', 'i', 'l', 0xFF}));
    channel->Disconnect();
    EXPECT_EQ(received, std::string("A\xE9\x03"));
    const auto lines = Finish(channel);
    EXPECT_NE(FindLine(lines, u"Write:A\uFFFD\x03"), nullptr);
    EXPECT_NE(FindLine(lines, u"Read:\x02\uFFFD\x03"), nullptr);
    EXPECT_NE(FindLine(lines, u"ReadUpTo Unexpected error:Read timed out."), nullptr);
    const LogLine* elapsed = FindLine(lines, u"lTimeoutExpired:");
    ASSERT_NE(elapsed, nullptr);
    EXPECT_TRUE(elapsed->Error);
    EXPECT_NE(FindLine(lines, u"ReadAll Unexpected error:Read timed out."), nullptr);
    EXPECT_NE(FindLine(lines, u"Read:tail\uFFFD"), nullptr);
}

TEST_F(TcpChannelTest, ConstructionNeedsConnectionSettings) {
    EXPECT_THROW(kIOHandler_TCP(nullptr, Text(), Text()), ZrError);
    kConnection c;
    kIOHandler_TCP silent(&c, Text(), Text()); // no folder: no log file, no lines
    EXPECT_EQ(silent.GetLogFileName(), u"");
    EXPECT_EQ(silent.DecodeError(10061), u"");
    EXPECT_FALSE(silent.InputBufferContainsData());
    EXPECT_THROW(silent.Write(u"x"), ZrError);
}
} // namespace
