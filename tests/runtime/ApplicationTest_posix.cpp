// The Linux layer of the application context: boxes become lines on standard error and in the log, the
// single-instance mutex is a lock that other processes see.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/NamedMutex.h"
#include "runtime/Application.h"
#include "runtime/LogWriter.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;

tZR_HostProcess HostIn(const TempFolder& aDir, const Text& aName, TextList aParameters = {}) {
    return {aDir.Child("Shop") + u"/" + aName + u".exe", std::move(aParameters)};
}

// What a second process would find: acquired (0), owned elsewhere (1) or failed (2).
int TryInOtherProcess(const Text& aName) {
    const pid_t child = fork();
    if (child == 0) {
        std::intptr_t handle = 0;
        const tZR_MutexResult r = AcquireNamedMutex(aName, handle);
        _exit(r == tZR_MutexResult::mr_Acquired ? 0 : r == tZR_MutexResult::mr_OwnedElsewhere ? 1 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ApplicationPosix, MessageBoxBecomesStandardErrorAndLogLine) {
    TempFolder dir;
    tZR_Application app(HostIn(dir, u"POS"));
    testing::internal::CaptureStderr();
    app.MessageOrLog(tZR_MessageType::let_error, u"Paper low");
    app.MessageOrLog(tZR_MessageType::let_info, u"Ready");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "POS: ERROR: Paper low\nPOS: Ready\n");
    ASSERT_TRUE(app.Logger().WaitUntilWritten(30000));
    const auto lines = ReadCrLfLines(fs::path(app.GetLogFileName()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" - ERROR - Paper low"), std::string::npos);
    EXPECT_NE(lines[1].find(" - Ready"), std::string::npos);

    // The window only keeps its state here.
    app.Wait().Start(u"Printing");
    EXPECT_TRUE(app.Wait().Started());
    app.Wait().Stop();
    EXPECT_FALSE(app.Wait().Started());
    app.CreateNotifyIcon(nullptr);
    EXPECT_TRUE(app.NotifyIcon());
    app.DeleteNotifyIcon();
    EXPECT_FALSE(app.NotifyIcon());
}

TEST(ApplicationPosix, SingleInstanceHoldsAMutexOtherProcessesSee) {
    TempFolder dir;
    const Text name = u"ZrSingle" + dir.AsText().substr(dir.AsText().size() - 8);
    tZR_Application app(HostIn(dir, name, {u"/BATCH"}));
    EXPECT_EQ(TryInOtherProcess(name), 0);
    app.SetSingleInstance(true);
    EXPECT_TRUE(app.SingleInstance());
    EXPECT_EQ(TryInOtherProcess(name), 1);
    app.SetSingleInstance(false);
    EXPECT_EQ(TryInOtherProcess(name), 0);
    EXPECT_TRUE(app.LastError().empty());
}

TEST(ApplicationPosix, SingleInstanceRefusedWhileAnotherProcessHoldsIt) {
    TempFolder dir;
    const Text name = u"ZrBusy" + dir.AsText().substr(dir.AsText().size() - 8);
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    if (child == 0) {
        std::intptr_t handle = 0;
        const char ok = AcquireNamedMutex(name, handle) == tZR_MutexResult::mr_Acquired ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        char c = 0;
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    {
        tZR_Application app(HostIn(dir, name, {u"/BATCH"}));
        app.SetSingleInstance(true);
        EXPECT_EQ(TextToUtf8(app.LastError()), "Impossible to enter single instance mode.");
        ASSERT_TRUE(app.Logger().WaitUntilWritten(30000));
        const auto lines = ReadCrLfLines(fs::path(app.GetLogFileName()));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(" - ERROR - Impossible to enter single instance mode."), std::string::npos);
    }
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        close(fd);
    }
}
} // namespace
