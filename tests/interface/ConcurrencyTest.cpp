// Calls from several threads: the registry and device table under load, a CLOSE racing a command on
// the same device, one call at a time per device, different devices in parallel.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "interface/PaymentWrapper.h"
#include "support/InterfaceTestSupport.h"

namespace {
const Text kPaySection = u"<Payment><Amount>1</Amount></Payment>";
constexpr auto kLimit = std::chrono::seconds(30);
} // namespace

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterFakeDrivers();
        FakeControl().Reset();
        fLogId = UniqueLogId("conc");
    }
    void TearDown() override {
        FakeControl().OpenGate();
        RemoveLogsOf(fLogId);
    }

    Text Request(const Text& aHandle, const Text& aSection = Text(), const Text& aLogId = Text()) const {
        return MakeRequest({kFakeDriverName, aHandle, aLogId.empty() ? fLogId : aLogId, aSection});
    }
    std::int32_t Open(const Text& aLogId = Text()) const {
        const auto o = CallExport(OPEN, Request(Text(), Text(), aLogId));
        EXPECT_EQ(o.Result, 0) << TextToUtf8(o.ErrorMessage);
        return o.Result == 0 ? std::stoi(TextToUtf8(ElementOf(o.Output, u"Handle"))) : 0;
    }
    std::future<ExportOutcome> PayAsync(std::int32_t aHandle) const {
        const Text request = Request(IntToText(aHandle), kPaySection);
        return std::async(std::launch::async, [request] { return CallExport(PAY, request); });
    }

    Text fLogId;
};

TEST_F(Concurrency, EightThreadsOpenCloseAndAskForTheVersion) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 300;
    const std::size_t count = OpenDeviceCount();
    const std::int32_t first = LastHandle();
    std::vector<std::vector<std::int32_t>> handles(kThreads);
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const Text logId = fLogId + u"_" + IntToText(t);
            for (int r = 0; r < kRounds; ++r) {
                const auto open = CallExport(OPEN, Request(Text(), Text(), logId));
                const Text handle = ElementOf(open.Output, u"Handle");
                handles[t].push_back(std::stoi(TextToUtf8(handle)));
                const auto version = CallVersion(u"ZRPA_RIVEVEDEV17_10");
                const auto status = CallExport(GETSTATUS, u"x");
                const auto close = CallExport(CLOSE, Request(handle, Text(), logId));
                if (open.Result != 0 || version.Result != 0 || status.Result != 0 || close.Result != 0) {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::set<std::int32_t> all;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
        all.insert(handles[t].begin(), handles[t].end());
        // Each thread sees its own handles increase.
        EXPECT_TRUE(std::is_sorted(handles[t].begin(), handles[t].end()));
    }
    // Every handle issued once, none skipped, none reused.
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kRounds));
    EXPECT_EQ(*all.begin(), first + 1);
    EXPECT_EQ(*all.rbegin(), first + kThreads * kRounds);
    EXPECT_EQ(OpenDeviceCount(), count);
    EXPECT_EQ(FakeControl().Destroyed.load(), kThreads * kRounds);
    RemoveLogsOf(fLogId);
}

TEST_F(Concurrency, CloseDuringACommandFreesTheDeviceWhenTheCommandReturns) {
    const std::int32_t handle = Open();
    FakeControl().CloseGate();
    auto pay = PayAsync(handle);
    ASSERT_TRUE(FakeControl().WaitInside(1));

    // The CLOSE succeeds and the handle is gone at once, but the device lives on under the command.
    const auto close = CallExport(CLOSE, Request(IntToText(handle)));
    EXPECT_EQ(close.Result, 0) << TextToUtf8(close.ErrorMessage);
    EXPECT_EQ(CallExport(OPEN, Request(IntToText(handle))).ErrorMessage, u"Device Handle not found");
    EXPECT_EQ(FakeControl().Destroyed.load(), 0);

    FakeControl().OpenGate();
    ASSERT_EQ(pay.wait_for(kLimit), std::future_status::ready);
    const auto paid = pay.get();
    EXPECT_EQ(paid.Result, 0);
    EXPECT_EQ(ElementOf(paid.Output, u"DeviceId"), u"FAKE" + IntToText(handle));
    EXPECT_EQ(FakeControl().Destroyed.load(), 1);

    // The command's lines are in the log before the STOP line.
    const Text logFile = ElementOf(paid.Output, u"LogFileName");
    const std::string log = ReadFileBytes(logFile);
    const auto driverLine = log.find("FakeDriver:DoPay");
    const auto stopLine = log.find("* STOP *");
    EXPECT_NE(driverLine, std::string::npos);
    EXPECT_NE(stopLine, std::string::npos);
    EXPECT_LT(driverLine, stopLine);
    RemoveFile(logFile);
}

TEST_F(Concurrency, CloseRacingCommandsOnTheSameHandle) {
    // No gate: the race is left to the scheduler; the sanitizers watch the device's lifetime.
    constexpr int kRounds = 200;
    int payFailures = 0;
    for (int r = 0; r < kRounds; ++r) {
        const std::int32_t handle = Open();
        auto pay = PayAsync(handle);
        auto close =
            std::async(std::launch::async, [&] { return CallExport(CLOSE, Request(IntToText(handle))); });
        ASSERT_EQ(close.get().Result, 0);
        const auto paid = pay.get();
        // The PAY either ran on the device or came after the CLOSE; nothing else.
        if (paid.Result != 0) {
            EXPECT_EQ(paid.ErrorMessage, u"Device Handle not found");
            ++payFailures;
        }
    }
    EXPECT_EQ(FakeControl().Destroyed.load(), kRounds);
    EXPECT_EQ(CallExport(OPEN, Request(IntToText(LastHandle()))).Result, -1);
    ::testing::Test::RecordProperty("PaysAfterClose", payFailures);
}

TEST_F(Concurrency, CallsOnOneDeviceRunOneAtATime) {
    const std::int32_t handle = Open();
    FakeControl().CloseGate();
    auto first = PayAsync(handle);
    ASSERT_TRUE(FakeControl().WaitEntered(1));
    auto second = PayAsync(handle);
    auto third = PayAsync(handle);
    // Give the other two every chance to enter the driver beside the first; they must not.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    {
        std::lock_guard<std::mutex> lock(FakeControl().Lock);
        EXPECT_EQ(FakeControl().Entered, 1);
    }
    FakeControl().OpenGate();
    for (auto* f : {&first, &second, &third}) {
        ASSERT_EQ(f->wait_for(kLimit), std::future_status::ready);
        EXPECT_EQ(f->get().Result, 0);
    }
    {
        std::lock_guard<std::mutex> lock(FakeControl().Lock);
        EXPECT_EQ(FakeControl().Entered, 3);
        EXPECT_EQ(FakeControl().MaxInsideOneDevice, 1);
    }
    EXPECT_EQ(CallExport(CLOSE, Request(IntToText(handle))).Result, 0);
}

TEST_F(Concurrency, DifferentDevicesRunInParallelAndTheRegistryStaysFree) {
    const std::int32_t a = Open();
    const std::int32_t b = Open();
    FakeControl().CloseGate();
    auto payA = PayAsync(a);
    auto payB = PayAsync(b);
    // Both inside the driver at once: neither device nor registry lock is shared between them.
    EXPECT_TRUE(FakeControl().WaitInside(2));

    // While both exchanges run, the registry answers other calls.
    auto others = std::async(std::launch::async, [&] {
        const std::int32_t c = Open();
        const bool ok = CallVersion(u"ZRPA_RIVEVEDEV17_10").Result == 0 &&
                        CallExport(CLOSE, Request(IntToText(c))).Result == 0 &&
                        CallExport(CLOSE, Request(IntToText(b))).Result == 0;
        return ok;
    });
    const bool answered = others.wait_for(kLimit) == std::future_status::ready;
    EXPECT_TRUE(answered) << "registry calls blocked by running exchanges";

    FakeControl().OpenGate();
    EXPECT_EQ(payA.get().Result, 0);
    EXPECT_EQ(payB.get().Result, 0);
    if (answered) {
        EXPECT_TRUE(others.get());
    }
    EXPECT_EQ(CallExport(CLOSE, Request(IntToText(a))).Result, 0);
}
