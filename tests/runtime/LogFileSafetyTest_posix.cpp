// Log files that cannot be turned against the host: a link (or FIFO, or second name) planted where a log
// should be is never written through, and folders and files are their owner's alone whatever the umask.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/Application.h"
#include "runtime/LogFolder.h"
#include "runtime/LogWriter.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;
constexpr std::int32_t kWait = 30000;

mode_t ModeOf(const fs::path& aPath) {
    struct stat st {};
    return lstat(aPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The umask of the test, restored at its end.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t aMask) : fOld(umask(aMask)) {}
    ~ScopedUmask() { umask(fOld); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t fOld;
};

std::string ApplicationLogText() {
    EXPECT_TRUE(gApplication->Logger().WaitUntilWritten(kWait));
    return ReadFileBytes(fs::path(gApplication->GetLogFileName()));
}

enum class Plant { FileLink, FolderLink, Fifo, HardLink };

// What is planted at the log's name (or at its folder's), the 7-byte file it points to, and where the
// planted folder leads.
void PlantAt(Plant aKind, const fs::path& aFolder, const fs::path& aLog, const fs::path& aTarget) {
    std::ofstream(aTarget, std::ios::binary) << "7 bytes";
    switch (aKind) {
    case Plant::FileLink:
        fs::create_directories(aFolder);
        fs::create_symlink(aTarget, aLog);
        break;
    case Plant::FolderLink:
        fs::create_directory_symlink(aTarget.parent_path(), aFolder);
        break;
    case Plant::Fifo:
        fs::create_directories(aFolder);
        ASSERT_EQ(mkfifo(aLog.c_str(), 0600), 0);
        break;
    case Plant::HardLink:
        fs::create_directories(aFolder);
        fs::create_hard_link(aTarget, aLog);
        break;
    }
}

TEST(LogFileSafety, APlantedLinkIsNeverWrittenThrough) {
    const struct {
        Plant Kind;
        const char* Name;
    } kCases[] = {{Plant::FileLink, "file link"},
                  {Plant::FolderLink, "folder link"},
                  {Plant::Fifo, "FIFO"},
                  {Plant::HardLink, "second name"}};
    for (const auto& c : kCases) {
        TempFolder dir;
        fs::create_directories(dir.Path() / "victim");
        const fs::path target = dir.Path() / "victim" / "passwd";
        const fs::path folder = dir.Path() / "LogFiles" / "Payment";
        fs::create_directories(folder.parent_path());
        PlantAt(c.Kind, folder, folder / "Device.log", target);

        // Without a folder to move to the lines are lost, and the application log says why.
        {
            tZR_LogWriter writer(u"Device", folder.u16string(), 0, false);
            writer.Write(tZR_MessageType::let_info, u"Read:secret frame");
            ASSERT_TRUE(writer.WaitUntilWritten(kWait)) << c.Name;
            EXPECT_EQ(writer.LinesWritten(), 0u) << c.Name;
            EXPECT_EQ(writer.LinesLost(), 1u) << c.Name;
        }
        EXPECT_EQ(ReadFileBytes(target), "7 bytes") << c.Name;
        EXPECT_NE(ApplicationLogText().find(" - ERROR - The log file " + (folder / "Device.log").string() +
                                            " or its folder is a link or no plain file"),
                  std::string::npos)
            << c.Name;

        // Under the library's folders the log moves to the user's folder, and its name says so.
        const fs::path user = dir.Path() / "User" / "LogFiles";
        auto root = std::make_shared<tZR_LogRoot>((dir.Path() / "LogFiles").u16string(), user.u16string(),
                                                  (dir.Path() / "LogFiles").u16string());
        tZR_LogWriter writer(u"Device", Text(), 0, false);
        writer.PlaceUnder(root, u"Payment");
        writer.Write(tZR_MessageType::let_info, u"Read:secret frame");
        ASSERT_TRUE(writer.WaitUntilWritten(kWait)) << c.Name;
        EXPECT_EQ(writer.FileName(), (user / "Payment" / "Device.log").u16string()) << c.Name;
        EXPECT_NE(ReadFileBytes(user / "Payment" / "Device.log").find("Read:secret frame"),
                  std::string::npos);
        EXPECT_EQ(ReadFileBytes(target), "7 bytes") << c.Name;
        // One file refused does not move the other logs.
        EXPECT_EQ(root->Current(), (dir.Path() / "LogFiles").u16string()) << c.Name;
    }
}

TEST(LogFileSafety, FoldersAndFilesAreTheOwnersWhateverTheUmask) {
    for (const mode_t mask : {mode_t(000), mode_t(022), mode_t(0277)}) {
        TempFolder dir;
        // Left behind by an earlier release under umask 000: a folder and a file anyone could write.
        const fs::path old = dir.Path() / "Old";
        fs::create_directories(old);
        chmod(old.c_str(), 0777);
        std::ofstream(old / "Old.log", std::ios::binary) << "x\r\n";
        chmod((old / "Old.log").c_str(), 0666);
        {
            const ScopedUmask umaskOfTheHost(mask);
            tZR_LogWriter fresh(u"Fresh", (dir.Path() / "LogFiles" / "Payment").u16string(), 0, false);
            tZR_LogWriter earlier(u"Old", old.u16string(), 0, false);
            fresh.Write(tZR_MessageType::let_info, u"line");
            earlier.Write(tZR_MessageType::let_info, u"line");
            ASSERT_TRUE(fresh.WaitUntilWritten(kWait));
            ASSERT_TRUE(earlier.WaitUntilWritten(kWait));
            EXPECT_EQ(earlier.LinesWritten(), 1u);
        }
        const std::string label = "umask " + std::to_string(mask);
        EXPECT_EQ(ModeOf(dir.Path() / "LogFiles"), 0700u) << label;
        EXPECT_EQ(ModeOf(dir.Path() / "LogFiles" / "Payment"), 0700u) << label;
        EXPECT_EQ(ModeOf(dir.Path() / "LogFiles" / "Payment" / "Fresh.log"), 0600u) << label;
        EXPECT_EQ(ModeOf(old), 0700u) << label;
        EXPECT_EQ(ModeOf(old / "Old.log"), 0600u) << label;
    }
}

// The folder of the logs is replaced by a file while the host runs: the next operation's log is in the
// user's folder, and a folder that was only removed comes back where it was.
TEST(LogFileSafety, AFolderThatVanishesMidRunMovesTheLog) {
    TempFolder dir;
    const fs::path first = dir.Path() / "Shop" / "LogFiles";
    const fs::path user = dir.Path() / "User" / "LogFiles";
    auto root = std::make_shared<tZR_LogRoot>(first.u16string(), user.u16string(), first.u16string());
    root->SetReporter(
        [](tZR_MessageType aType, const Text& aMessage) { gApplication->Log(aType, aMessage); });
    tZR_LogWriter writer(u"Device", Text(), 0, false);
    writer.PlaceUnder(root, u"Payment");
    writer.Write(tZR_MessageType::let_info, u"before");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_EQ(writer.FileName(), (first / "Payment" / "Device.log").u16string());

    // Removed: made again in its place.
    fs::remove_all(first);
    writer.ConfirmFolder();
    EXPECT_EQ(writer.FileName(), (first / "Payment" / "Device.log").u16string());
    EXPECT_TRUE(fs::is_directory(first / "Payment"));

    // A file where the folder was: the check before an operation moves the log at once...
    fs::remove_all(first);
    std::ofstream(first, std::ios::binary) << "not a folder";
    writer.ConfirmFolder();
    EXPECT_EQ(writer.FileName(), (user / "Payment" / "Device.log").u16string());
    EXPECT_EQ(root->Current(), user.u16string());
    writer.Write(tZR_MessageType::let_info, u"after");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_NE(ReadFileBytes(user / "Payment" / "Device.log").find(" - after"), std::string::npos);
    EXPECT_NE(ApplicationLogText().find("The log " + (first / "Payment" / "Device.log").string() +
                                        " cannot be written: it goes on in " +
                                        (user / "Payment" / "Device.log").string()),
              std::string::npos);

    // ...and so does a failed write without the check (the fallback fails in turn: back to the first
    // folder, which works again).
    fs::remove(first);
    fs::remove_all(user);
    std::ofstream(user, std::ios::binary) << "not a folder either";
    writer.Write(tZR_MessageType::let_info, u"moved by the thread");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_EQ(writer.FileName(), (first / "Payment" / "Device.log").u16string());
    EXPECT_NE(ReadFileBytes(first / "Payment" / "Device.log").find(" - moved by the thread"),
              std::string::npos);
    EXPECT_EQ(writer.LinesLost(), 0u);

    // No folder at all: no file, lines counted as lost, the payment goes on.
    fs::remove_all(first);
    std::ofstream(first, std::ios::binary) << "x";
    writer.Write(tZR_MessageType::let_info, u"nowhere");
    ASSERT_TRUE(writer.WaitUntilWritten(kWait));
    EXPECT_EQ(writer.FileName(), u"");
    EXPECT_EQ(writer.LinesLost(), 1u);
    EXPECT_EQ(root->Current(), u"");
    // A new name makes no file in the current folder; a folder that can be written again is found by
    // the next operation's check, and the log takes that name there.
    writer.SetFileName(u"Renamed.log");
    EXPECT_EQ(writer.FileName(), u"");
    fs::remove(first);
    writer.SetFileRetryIntervalForTest(0);
    writer.ConfirmFolder();
    EXPECT_EQ(writer.FileName(), (first / "Payment" / "Renamed.log").u16string());
}
} // namespace
