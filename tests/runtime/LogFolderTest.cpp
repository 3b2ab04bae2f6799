#include "runtime/LogFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/Process.h"
#include "runtime/Application.h"
#include "runtime/LogWriter.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace {
namespace fs = std::filesystem;

Text Sep() {
    return Text(1, PathSeparator());
}

// A folder that no user can write into, root included and under Wine: its would-be parent is a file.
Text Unwritable(const TempFolder& aDir) {
    const fs::path plain = aDir.Path() / "plain-file";
    std::ofstream(plain, std::ios::binary) << "x";
    return plain.u16string() + Sep() + u"folder";
}

TEST(LogFolder, FirstChoiceUnlessItCannotBeWritten) {
    TempFolder dir;
    const Text shop = dir.Child("Shop");
    const Text service = dir.Child("Service");
    const Text user = dir.Child("User");
    const Text blocked = Unwritable(dir);
    const Text userLogs = user + Sep() + u"ZRPA_RIVEVEDEV17_10" + Sep() + u"LogFiles";
    const Text linked = dir.Child("Linked");
    fs::create_directories(dir.Path() / "Elsewhere");
    fs::create_directories(fs::path(linked));
    std::error_code noLinks; // Windows without the right to make links leaves that case out
    fs::create_directory_symlink(dir.Path() / "Elsewhere", fs::path(linked) / "LogFiles", noLinks);
    struct Case {
        Text Application, Variable, UserFolder, Expected, NoteHas;
    };
    std::vector<Case> cases = {
        {shop, u"", user, shop + Sep() + u"LogFiles", u""},
        {shop, service, user, service + Sep() + u"LogFiles", u""},
        {blocked, u"", user, userLogs, u"The log folder " + blocked + Sep() + u"LogFiles cannot be created"},
        {shop, blocked, user, userLogs, u": the logs go to " + userLogs + u"."},
        {blocked, u"", blocked, u"", u"no log can be kept"},
        {blocked, u"", u"", u"", u"(none known)"},
        {shop, u"C:bad|name", user, shop + Sep() + u"LogFiles", u"ZRPA_LOG_DIR ignored"},
        {shop, u"", u"bad|user", shop + Sep() + u"LogFiles", u""},
        {blocked, u"", u"bad|user", u"", u"(Invalid characters in path: bad|user)"},
    };
    if (!noLinks) {
        // A LogFiles folder that is a link is not written through.
        cases.push_back({linked, u"", user, userLogs, u"LogFiles is a link"});
    }
    for (const Case& c : cases) {
        const tZR_LogFolder choice = ChooseLogFolder(c.Application, c.Variable, c.UserFolder, u"POS.log");
        const std::string label = TextToUtf8(c.Application + u" | " + c.Variable + u" | " + c.UserFolder);
        EXPECT_EQ(TextToUtf8(choice.Folder), TextToUtf8(c.Expected)) << label;
        if (c.NoteHas.empty()) {
            EXPECT_EQ(TextToUtf8(choice.Note), "") << label;
        } else {
            EXPECT_NE(choice.Note.find(c.NoteHas), Text::npos) << label << ": " << TextToUtf8(choice.Note);
        }
    }
    // A folder that was chosen holds the application log already, so the choice was tried for real.
    EXPECT_TRUE(fs::exists(fs::path(userLogs) / "POS.log"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "Elsewhere"));
}

// A cashier without write access beside the executable: the application log and the device logs go to the
// user's folder, the log says once why and where, and the writer of the folder beside it is never tried.
TEST(LogFolder, AnApplicationWhoseFolderCannotBeWrittenLogsInTheUsersFolder) {
    TempFolder dir;
    const Text blocked = Unwritable(dir);
    const Text user = dir.Child("User");
    const ScopedEnvironment noVariable(u"ZRPA_LOG_DIR", u"");
    const ScopedEnvironment xdg(u"XDG_STATE_HOME", user);
    const ScopedEnvironment local(u"LOCALAPPDATA", user);
    const Text expected = user + Sep() + u"ZRPA_RIVEVEDEV17_10" + Sep() + u"LogFiles";
    {
        tZR_Application app(tZR_HostProcess{blocked + Sep() + u"POS.exe", {}});
        EXPECT_EQ(TextToUtf8(app.LogFolder()), TextToUtf8(expected));
        EXPECT_EQ(TextToUtf8(app.GetLogFileName()), TextToUtf8(expected + Sep() + u"POS.log"));
        app.Log(tZR_MessageType::let_info, u"after");
        ASSERT_TRUE(app.Logger().WaitUntilWritten(30000));
        const std::vector<std::string> lines = ReadCrLfLines(fs::path(app.GetLogFileName()));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NE(
            lines[0].find(" - The log folder " + TextToUtf8(blocked + Sep()) + "LogFiles cannot be created"),
            std::string::npos)
            << lines[0];
        EXPECT_NE(lines[1].find(" - after"), std::string::npos);
    }
    // ZRPA_LOG_DIR names the folder that holds LogFiles.
    const Text service = dir.Child("Service");
    const ScopedEnvironment variable(u"ZRPA_LOG_DIR", service);
    tZR_Application app(tZR_HostProcess{blocked + Sep() + u"POS.exe", {}});
    EXPECT_EQ(TextToUtf8(app.GetLogFileName()),
              TextToUtf8(service + Sep() + u"LogFiles" + Sep() + u"POS.log"));
}

} // namespace
