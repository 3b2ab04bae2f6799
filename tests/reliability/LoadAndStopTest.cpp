// The library under load and at a normal stop: a burst that overflows a log queue from eight producers,
// unloading while devices opened from eight threads sit idle, and lines logged before a command returns
// being on disk once the library has unloaded. Run under ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "interface/Library.h"
#include "runtime/LogWriter.h"
#include "support/InterfaceTestSupport.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;
constexpr std::int32_t kWait = 30000; // bound for the writer to catch up; never reached when it works
constexpr std::size_t kQueueCapacity = 20000;

std::size_t LinesWith(const std::string& aBytes, const std::string& aPart) {
    std::size_t n = 0;
    for (std::size_t at = aBytes.find(aPart); at != std::string::npos; at = aBytes.find(aPart, at + 1)) {
        ++n;
    }
    return n;
}
} // namespace

// The writer's thread is held, so nothing drains the queue: if a producer ever waited for room it would
// wait until the hold ends by itself, the queue would empty meanwhile, and fewer lines would be dropped
// than the queue's exact overflow.
TEST(LoadAndStop, ABurstFromEightProducersDropsTheOverflowAndNeverWaits) {
    TempFolder dir;
    constexpr int kProducers = 8;
    constexpr int kLinesEach = 5000;
    Text name;
    {
        tZR_LogWriter writer(u"Burst", dir.AsText(), 0, false);
        name = writer.FileName();
        writer.HoldThreadForTest(true);
        writer.Write(tZR_MessageType::let_info, u"start");
        ASSERT_TRUE(writer.WaitThreadHeldForTest(kWait));
        std::vector<std::thread> producers;
        for (int t = 0; t < kProducers; ++t) {
            producers.emplace_back([&writer, t] {
                for (int i = 0; i < kLinesEach; ++i) {
                    writer.Write(tZR_MessageType::let_info, u"burst " + IntToText(t) + u" " + IntToText(i));
                }
            });
        }
        for (std::thread& p : producers) {
            p.join();
        }
        const std::int64_t total = kProducers * kLinesEach;
        // The held thread had taken "start" or not; either way the queue held exactly its capacity.
        EXPECT_GE(writer.DroppedTotal(), total - static_cast<std::int64_t>(kQueueCapacity));
        EXPECT_LE(writer.DroppedTotal(), total + 1 - static_cast<std::int64_t>(kQueueCapacity));
        writer.HoldThreadForTest(false);
        ASSERT_TRUE(writer.WaitUntilWritten(kWait));
        const std::int64_t dropped = writer.DroppedTotal();
        const std::string bytes = ReadFileBytes(name);
        EXPECT_EQ(static_cast<std::int64_t>(LinesWith(bytes, " - burst ") + LinesWith(bytes, " - start")),
                  total + 1 - dropped);
    }
}

// Devices opened from eight threads at once stay open and idle; the library unloads with them and loads
// again: every device is freed and the library takes new commands.
TEST(LoadAndStop, UnloadWithDevicesOpenedFromEightThreads) {
    RegisterFakeDrivers();
    FakeControl().Reset();
    const Text logId = UniqueLogId("storm");
    const std::size_t before = OpenDeviceCount();
    std::vector<std::thread> threads;
    std::vector<int> opened(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const auto o = CallExport(OPEN, MakeRequest({kFakeDriverName, Text(), logId, Text()}));
                opened[t] += o.Result == 0 ? 1 : 0;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(opened[t], 10) << "thread " << t;
    }
    ASSERT_EQ(OpenDeviceCount(), before + 80);
    LibraryUnload();
    EXPECT_GE(FakeControl().Destroyed.load(), 80);
    ASSERT_TRUE(LibraryLoad());
    RegisterFakeDrivers();
    EXPECT_EQ(OpenDeviceCount(), 0u);
    EXPECT_EQ(CallExport(OPEN, MakeRequest({kFakeDriverName, Text(), logId, Text()})).Result, 0);
    RemoveLogsOf(logId);
}

// What a command logged before it returned is in its log once the library has unloaded normally, for a
// device left open and for one that was closed.
TEST(LoadAndStop, LinesLoggedBeforeACommandReturnsAreOnDiskAfterUnload) {
    RegisterFakeDrivers();
    const Text logId = UniqueLogId("stop");
    constexpr int kPayments = 200;
    Text openLog;
    {
        const auto open = CallExport(OPEN, MakeRequest({kFakeDriverName, Text(), logId + u"o", Text()}));
        ASSERT_EQ(open.Result, 0) << TextToUtf8(open.ErrorMessage);
        const Text handle = ElementOf(open.Output, u"Handle");
        for (int i = 0; i < kPayments; ++i) {
            const auto pay = CallExport(PAY, MakeRequest({kFakeDriverName, handle, logId + u"o",
                                                          u"<Payment><Amount>1</Amount></Payment>"}));
            ASSERT_EQ(pay.Result, 0);
            openLog = ElementOf(pay.Output, u"LogFileName");
        }
    }
    // Commands without a handle: each device lives for its one call.
    Text oneShotLog;
    for (int i = 0; i < 20; ++i) {
        const auto pay = CallExport(PAY, MakeRequest({kFakeDriverName, Text(), logId + u"s",
                                                      u"<Payment><Amount>1</Amount></Payment>"}));
        ASSERT_EQ(pay.Result, 0);
        oneShotLog = ElementOf(pay.Output, u"LogFileName");
    }
    LibraryUnload();
    ASSERT_TRUE(LibraryLoad());
    RegisterFakeDrivers();
    const std::string open = ReadFileBytes(openLog);
    const std::string oneShot = ReadFileBytes(oneShotLog);
    EXPECT_EQ(LinesWith(open, "FakeDriver:DoPay"), static_cast<std::size_t>(kPayments))
        << TextToUtf8(openLog);
    EXPECT_EQ(LinesWith(oneShot, "FakeDriver:DoPay"), 20u) << TextToUtf8(oneShotLog);
    EXPECT_NE(open.rfind("STOP"), std::string::npos);
    RemoveLogsOf(logId);
}
