// The MSXML adapter and the host's COM apartment: parsing uses whatever apartment the calling thread
// has and leaves the thread exactly as it found it.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <thread>

#include "payment/Xml.h"

namespace {
void ParseOnce() {
    const auto doc = XmlDocument::Parse(u"<a><b>x</b></a>");
    EXPECT_EQ(doc->Root()->Child(u"b")->GetText(), u"x");
}

void RunOnThread(void (*aBody)()) {
    std::thread(aBody).join();
}
} // namespace

TEST(XmlComTest, HostSingleThreadedApartmentIsKept) {
    RunOnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ParseOnce();
        ParseOnce();
        // Still the host's apartment, with the host's count: one more init is S_FALSE, and after the
        // host's own uninit the thread has no apartment left.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
}

TEST(XmlComTest, HostMultiThreadedApartmentIsKept) {
    RunOnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ParseOnce();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    });
}

TEST(XmlComTest, ThreadWithoutApartmentIsLeftWithout) {
    RunOnThread([] {
        ParseOnce();
        // No apartment remains: a single-threaded one can be set up now, which an MTA left behind
        // would refuse with RPC_E_CHANGED_MODE.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    });
}
