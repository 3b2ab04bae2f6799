// CANCEL from another thread, and the time limit of a request, through the exports with the real driver
// against the emulator. The fixture's name puts these tests in the ThreadSanitizer selection.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

#include "interface/PaymentWrapper.h"
#include "interface/RunningCommands.h"
#include "support/InterfaceTestSupport.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
const std::string kPay = "<Payment><Amount>0.50</Amount><PrintLocation>EFT</PrintLocation></Payment>";

// Silent for payments: the reading of its total and last receipt before the first one is answered.
p17emu::Config Silent() {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::Silence;
    c.FaultOn = "XAQC";
    return c;
}

bool Begins(const Text& aText, const char16_t* aWords) {
    return aText.rfind(aWords, 0) == 0;
}

Text CancelRequest(const std::string& aHandle) {
    const std::string xml =
        "<Cancel>" + (aHandle.empty() ? "" : "<Handle>" + aHandle + "</Handle>") + "</Cancel>";
    return Text(xml.begin(), xml.end());
}

// A PAY on its own thread, limited to 60 s so that a cancel that is not noticed fails instead of hanging.
std::future<ExportOutcome> PayAsync(std::uint16_t aPort, const std::string& aExtra) {
    const Text request =
        TcpRequest(aPort, kPay, aExtra + "<Parameters><CommandTimeout>60000</CommandTimeout></Parameters>");
    return std::async(std::launch::async, [request] { return CallExport(PAY, request); });
}

std::string OpenHandle(std::uint16_t aPort) {
    const auto open = CallExport(OPEN, TcpRequest(aPort, ""));
    EXPECT_EQ(open.Result, 0) << TextToUtf8(open.ErrorMessage);
    return TextToUtf8(ElementOf(open.Output, u"Handle"));
}
} // namespace

class CancelConcurrency : public ::testing::Test {};

// The handle's PAY waits for a silent terminal; CANCEL of the handle ends it with an unknown outcome, and
// the device serves the next command as if nothing had happened.
TEST_F(CancelConcurrency, CancelOfAHandleEndsItsPayAsUnknown) {
    EmulatedTerminal terminal(Silent());
    const std::string handle = OpenHandle(terminal.Port());
    auto pay = PayAsync(terminal.Port(), "<Handle>" + handle + "</Handle>");
    ASSERT_TRUE(WaitForRequest(*terminal, 'X'));
    const auto cancel = CallExport(CANCEL, CancelRequest(handle));
    EXPECT_EQ(cancel.Result, 0) << TextToUtf8(cancel.ErrorMessage);
    EXPECT_EQ(ElementOf(cancel.Output, u"Cancelled"), u"1");
    const auto paid = pay.get();
    EXPECT_EQ(paid.Result, -1);
    EXPECT_TRUE(Begins(paid.ErrorMessage, u"Outcome unknown:")) << TextToUtf8(paid.ErrorMessage);
    EXPECT_FALSE(ElementOf(paid.Output, u"LogFileName").empty()) << "the record is kept";

    // A cancel after the command ended reaches nothing, and the next PAY is approved.
    EXPECT_EQ(ElementOf(CallExport(CANCEL, CancelRequest(handle)).Output, u"Cancelled"), u"0");
    p17emu::Config fine;
    terminal->SetConfig(fine);
    const auto next = CallExport(PAY, TcpRequest(terminal.Port(), kPay, "<Handle>" + handle + "</Handle>"));
    EXPECT_EQ(next.Result, 0) << TextToUtf8(next.ErrorMessage);
    CallExport(CLOSE, TcpRequest(terminal.Port(), "", "<Handle>" + handle + "</Handle>"));
}

// CANCEL without a handle reaches every running command, those without a handle included; a second
// command waiting for its turn on the same handle had sent nothing: "Not performed".
TEST_F(CancelConcurrency, CancelWithoutHandleEndsEveryCommand) {
    EmulatedTerminal first(Silent());
    EmulatedTerminal second(Silent());
    const std::string handle = OpenHandle(first.Port());
    auto running = PayAsync(first.Port(), "<Handle>" + handle + "</Handle>");
    auto withoutHandle = PayAsync(second.Port(), "");
    ASSERT_TRUE(WaitForRequest(*first, 'X'));
    ASSERT_TRUE(WaitForRequest(*second, 'X'));
    auto waiting = PayAsync(first.Port(), "<Handle>" + handle + "</Handle>");
    // The waiting command is inside before the cancel: it has read its request and waits for its turn.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto cancel = CallExport(CANCEL, CancelRequest(""));
    EXPECT_EQ(cancel.Result, 0);
    EXPECT_EQ(ElementOf(cancel.Output, u"Cancelled"), u"3");
    EXPECT_TRUE(Begins(running.get().ErrorMessage, u"Outcome unknown:"));
    EXPECT_TRUE(Begins(withoutHandle.get().ErrorMessage, u"Outcome unknown:"));
    const auto notSent = waiting.get();
    EXPECT_EQ(notSent.ErrorMessage, u"Not performed: the request was not sent to the terminal (cancelled by "
                                    u"the host). It is safe to try again.");
    CallExport(CLOSE, TcpRequest(first.Port(), "", "<Handle>" + handle + "</Handle>"));
}

// The request's CommandTimeout bounds the whole command; the default leaves the protocol's waits.
TEST_F(CancelConcurrency, CommandTimeoutInTheRequest) {
    EmulatedTerminal terminal(Silent());
    const auto r =
        CallExport(PAY, TcpRequest(terminal.Port(), kPay,
                                   "<Parameters><CommandTimeout>400</CommandTimeout></Parameters>"));
    EXPECT_EQ(r.Result, -1);
    EXPECT_TRUE(Begins(r.ErrorMessage, u"Outcome unknown:")) << TextToUtf8(r.ErrorMessage);
    EXPECT_NE(r.ErrorMessage.find(u"(its time limit of 400 ms passed)"), Text::npos);

    for (const char* bad : {"-1", "soon", "99999999999"}) {
        const auto refused = CallExport(PAY, TcpRequest(terminal.Port(), kPay,
                                                        std::string("<Parameters><CommandTimeout>") + bad +
                                                            "</CommandTimeout></Parameters>"));
        EXPECT_EQ(refused.Result, -1) << bad;
        EXPECT_NE(refused.ErrorMessage.find(u"Parameter CommandTimeout [" +
                                            Text(bad, bad + std::strlen(bad)) + u"] invalid"),
                  Text::npos)
            << TextToUtf8(refused.ErrorMessage);
    }
}

// The list of running commands on its own: a cancel of a handle that comes while a command still reads
// its request reaches it once its handle turns out to be that one; a command that entered after a cancel,
// or on another handle, is not touched; one that left is not counted.
TEST_F(CancelConcurrency, ACancelReachesOnlyTheCommandsRunningOnItsHandle) {
    const Text reason = u"cancelled by the host";
    auto early = std::make_unique<tZR_RunningCommand>(); // still reading its request
    tZR_RunningCommand other;
    other.SetHandle(7);
    EXPECT_EQ(CancelRunningCommands(5, reason), 0);
    EXPECT_FALSE(other.Signal()->Cancelled());
    early->SetHandle(5);
    EXPECT_TRUE(early->Signal()->Cancelled());
    EXPECT_EQ(early->Signal()->Reason(), reason);

    tZR_RunningCommand later; // began after the cancel
    later.SetHandle(5);
    EXPECT_FALSE(later.Signal()->Cancelled());
    early.reset();
    EXPECT_EQ(CancelRunningCommands(5, reason), 1) << "the command that left is not counted";
    EXPECT_TRUE(later.Signal()->Cancelled());
    EXPECT_FALSE(other.Signal()->Cancelled());
    EXPECT_GE(CancelRunningCommands(0, u"all"), 2);
    EXPECT_TRUE(other.Signal()->Cancelled());
    EXPECT_EQ(other.Signal()->Reason(), u"all") << "the first reason stays";
    EXPECT_EQ(later.Signal()->Reason(), reason);
}

// A request CANCEL cannot read is refused with the parser's message; nothing is cancelled.
TEST_F(CancelConcurrency, UnreadableCancelRequestFails) {
    const auto r = CallExport(CANCEL, u"<Cancel><Handle>two</Handle></Cancel>");
    EXPECT_EQ(r.Result, -1);
    EXPECT_EQ(ElementOf(r.Output, u"Error"), u"True");
    EXPECT_EQ(CallExport(CANCEL, u"not xml").Result, -1);
}

// Cancels fired at random moments while payments open, run and close devices: every payment ends
// approved, "Not performed" or "Outcome unknown", nothing crashes, and once the cancels stop a payment
// is approved again.
TEST_F(CancelConcurrency, CancelsRacingPaymentsAndCloses) {
    EmulatedTerminal terminal;
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        while (!stop) {
            CallExport(CANCEL, CancelRequest(""));
            CallExport(CANCEL, CancelRequest("1"));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    std::vector<std::thread> payers;
    std::atomic<int> unexpected{0};
    for (int t = 0; t < 3; ++t) {
        payers.emplace_back([&] {
            for (int i = 0; i < 15; ++i) {
                const std::string handle = OpenHandle(terminal.Port());
                const Text request = TcpRequest(terminal.Port(), kPay, "<Handle>" + handle + "</Handle>");
                auto closer = std::async(std::launch::async, [&] {
                    CallExport(CLOSE, TcpRequest(terminal.Port(), "", "<Handle>" + handle + "</Handle>"));
                });
                const auto r = CallExport(PAY, request);
                closer.get();
                const bool known = r.Result == 0 || Begins(r.ErrorMessage, u"Not performed:") ||
                                   Begins(r.ErrorMessage, u"Outcome unknown:") ||
                                   r.ErrorMessage == u"Device Handle not found";
                if (!known) {
                    ++unexpected;
                    ADD_FAILURE() << TextToUtf8(r.ErrorMessage);
                }
            }
        });
    }
    for (auto& p : payers) {
        p.join();
    }
    stop = true;
    canceller.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(CallExport(PAY, TcpRequest(terminal.Port(), kPay)).Result, 0);
}
