// The host always learns where its log is: a LogFiles folder that a file replaces while the host runs
// sends the next operation's log to the user's folder, and LogFileName names the file really written.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "interface/PaymentWrapper.h"
#include "runtime/Application.h"
#include "runtime/LogFolder.h"
#include "runtime/LogWriter.h"
#include "support/InterfaceTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;

// An application context of a host in a folder of the test, in place of the library's own for one test.
class HostInTempFolder {
public:
    explicit HostInTempFolder(const TempFolder& aDir)
        : fNoVariable(u"ZRPA_LOG_DIR", u""), fXdg(u"XDG_STATE_HOME", aDir.Child("User")),
          fLocal(u"LOCALAPPDATA", aDir.Child("User")), fSaved(gApplication) {
        fs::create_directories(aDir.Path() / "Shop");
        gApplication =
            new tZR_Application(tZR_HostProcess{(aDir.Path() / "Shop" / "POS.exe").u16string(), {}});
        SetProcessLogRoot(gApplication->LogRoot());
    }
    ~HostInTempFolder() {
        delete gApplication;
        gApplication = fSaved;
        SetProcessLogRoot(fSaved->LogRoot());
    }
    HostInTempFolder(const HostInTempFolder&) = delete;
    HostInTempFolder& operator=(const HostInTempFolder&) = delete;

private:
    ScopedEnvironment fNoVariable, fXdg, fLocal;
    tZR_Application* fSaved;
};

// Removes a log folder the library's log thread may still be writing the last lines into: a file it
// creates between the listing and the removal of its folder leaves the folder not empty, so the
// removal is tried again, a bounded number of times.
void RemoveLogFolder(const fs::path& aFolder) {
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::remove_all(aFolder, ec);
        if (!ec) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FAIL() << aFolder << " cannot be removed: " << ec.message();
}

TEST(LogFolderMoves, AReplacedFolderSendsTheNextOperationsLogToTheUsersFolder) {
    RegisterFakeDrivers();
    FakeControl().Reset();
    TempFolder dir;
    const HostInTempFolder host(dir);
    const fs::path shopLogs = dir.Path() / "Shop" / "LogFiles";
    const fs::path userLogs = dir.Path() / "User" / "ZRPA_RIVEVEDEV17_10" / "LogFiles";
    const Text request =
        MakeRequest({kFakeDriverName, u"", u"moves", u"<Payment><Amount>1</Amount></Payment>"});

    const auto before = CallExport(PAY, request);
    ASSERT_EQ(before.Result, 0) << TextToUtf8(before.ErrorMessage);
    const fs::path first = fs::path(ElementOf(before.Output, u"LogFileName"));
    EXPECT_EQ(first.parent_path(), shopLogs / "Payment");
    EXPECT_NE(ReadFileBytes(first.u16string()).find("Pay"), std::string::npos);

    RemoveLogFolder(shopLogs);
    std::ofstream(shopLogs, std::ios::binary) << "a file where the folder was";
    const auto after = CallExport(PAY, request);
    ASSERT_EQ(after.Result, 0) << TextToUtf8(after.ErrorMessage);
    const fs::path moved = fs::path(ElementOf(after.Output, u"LogFileName"));
    EXPECT_EQ(moved, userLogs / "Payment" / first.filename());
    EXPECT_NE(ReadFileBytes(moved.u16string()).find("Pay"), std::string::npos);
    EXPECT_EQ(gApplication->WritableLogFolder(), userLogs.u16string());

    // No folder at all: the payment goes on, with no log to name.
    RemoveLogFolder(userLogs);
    std::ofstream(userLogs, std::ios::binary) << "and one where the fallback was";
    const auto nowhere = CallExport(PAY, request);
    EXPECT_EQ(nowhere.Result, 0) << TextToUtf8(nowhere.ErrorMessage);
    EXPECT_EQ(ElementOf(nowhere.Output, u"LogFileName"), u"");
    EXPECT_EQ(ElementOf(nowhere.Output, u"Error"), u"False");
    EXPECT_EQ(gApplication->WritableLogFolder(), u"");
}
} // namespace
