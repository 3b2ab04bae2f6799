// Unloading with devices still open, in-process: every device is freed and its log ends with STOP.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "interface/Library.h"
#include "support/InterfaceTestSupport.h"

TEST(LibraryLifecycle, UnloadFreesTheDevicesStillOpen) {
    RegisterFakeDrivers();
    FakeControl().Reset();
    const Text logId = UniqueLogId("unload");
    std::vector<Text> logFiles;
    for (int i = 0; i < 3; ++i) {
        const Text request = MakeRequest({kFakeDriverName, Text(), logId + IntToText(i), Text()});
        const auto open = CallExport(OPEN, request);
        ASSERT_EQ(open.Result, 0) << TextToUtf8(open.ErrorMessage);
        const Text handle = ElementOf(open.Output, u"Handle");
        const auto pay = CallExport(
            PAY, MakeRequest({kFakeDriverName, handle, logId, u"<Payment><Amount>1</Amount></Payment>"}));
        ASSERT_EQ(pay.Result, 0) << TextToUtf8(pay.ErrorMessage);
        logFiles.push_back(ElementOf(pay.Output, u"LogFileName"));
    }

    const std::size_t open = OpenDeviceCount();
    ASSERT_GE(open, 3u);
    const auto start = std::chrono::steady_clock::now();
    LibraryUnload();
    const auto took = std::chrono::steady_clock::now() - start;
    const bool reloaded = LibraryLoad();

    std::cout << "[ MEASURED ] in-process unload with 3 open devices: "
              << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " us\n";
    EXPECT_TRUE(reloaded);
    // Every fake device is freed: the three of this test, and any an earlier test of the same process left
    // open (the Windows test program runs all tests in one process, with devices of the real driver too).
    EXPECT_GE(FakeControl().Destroyed.load(), 3);
    EXPECT_LE(FakeControl().Destroyed.load(), static_cast<int>(open));
    for (const auto& logFile : logFiles) {
        const std::string log = ReadFileBytes(logFile);
        const auto stop = log.rfind("*************************** STOP ****************************");
        ASSERT_NE(stop, std::string::npos) << TextToUtf8(logFile);
        // STOP is the last line.
        EXPECT_EQ(log.find('\n', stop), log.size() - 1);
    }
    RemoveLogsOf(logId);

    // The library works again after the reload; handles start over.
    RegisterFakeDrivers();
    EXPECT_EQ(LastHandle(), 0);
    EXPECT_EQ(CallVersion(u"ZRPA_RIVEVEDEV17_10").Result, 0);
}
