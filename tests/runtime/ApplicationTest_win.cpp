// The Windows single-instance mutex: owned by one thread, refused to every other.
#include <gtest/gtest.h>

#include <thread>

#include "platform/NamedMutex.h"
#include "runtime/Application.h"
#include "runtime/LogWriter.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;

TEST(ApplicationWin, SingleInstanceRefusedWhileAnotherOwnerHoldsIt) {
    TempFolder dir;
    const Text name = u"ZrSingle" + dir.AsText().substr(dir.AsText().size() - 8);
    const tZR_HostProcess host{dir.Child("Shop") + u"\\" + name + u".exe", {u"/BATCH"}};
    tZR_Application owner(host);
    owner.SetSingleInstance(true);
    ASSERT_TRUE(owner.LastError().empty());

    std::thread other([&] {
        tZR_Application second(host);
        second.SetSingleInstance(true);
        EXPECT_EQ(TextToUtf8(second.LastError()), "Impossible to enter single instance mode.");
        ASSERT_TRUE(second.Logger().WaitUntilWritten(30000));
    });
    other.join();
    const auto lines = ReadCrLfLines(fs::path(owner.GetLogFileName()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" - ERROR - Impossible to enter single instance mode."), std::string::npos);

    owner.SetSingleInstance(false);
    std::thread after([&] {
        std::intptr_t handle = 0;
        EXPECT_EQ(AcquireNamedMutex(name, handle), tZR_MutexResult::mr_Acquired);
        ReleaseNamedMutex(handle);
    });
    after.join();
}
} // namespace
