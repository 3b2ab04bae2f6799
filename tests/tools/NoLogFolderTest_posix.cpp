// A host run by a user who can write no log folder (the user nobody, HOME=/nonexistent, the program in a
// folder of root's): the payment goes on, the host's standard error says once that no log is kept, and
// LogFileName is empty.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "ZrpaToolSupport.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
namespace fs = std::filesystem;

std::size_t Count(const std::string& aText, const std::string& aPart) {
    std::size_t n = 0;
    for (std::size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) {
        ++n;
    }
    return n;
}

TEST(NoLogFolder, APaymentGoesOnAndSaysOnceThatNoLogIsKept) {
    EmulatedTerminal terminal;
    TempFolder dir;
    // For any user, root included: a copy of the host beside a file named LogFiles, and a home folder
    // whose parent is a file.
    const fs::path bin = dir.Path() / "bin";
    fs::create_directories(bin);
    const fs::path program = bin / "zrpa";
    fs::copy_file(ZrpaProgram(), program);
    const fs::path built = fs::path(ZrpaProgram()).parent_path() / "libZRPA_RIVEVEDEV17_10.so";
    fs::copy_file(fs::canonical(built), bin / "libZRPA_RIVEVEDEV17_10.so");
    std::ofstream(bin / "LogFiles", std::ios::binary) << "not a folder";
    std::ofstream(dir.Path() / "home", std::ios::binary) << "not a folder";

    std::vector<std::vector<std::string>> runs = {
        {"HOME=" + (dir.Path() / "home" / "cashier").string(), program.string()}};
    // The user nobody, as a till's service account may be (root is needed to become it).
    if (geteuid() == 0 && fs::exists("/usr/bin/setpriv")) {
        runs.push_back({"HOME=/nonexistent", "/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                        "--clear-groups", ZrpaProgram()});
    }
    for (const auto& run : runs) {
        std::vector<std::string> args = {"-u", "XDG_STATE_HOME", "-u", "ZRPA_LOG_DIR"};
        args.insert(args.end(), run.begin(), run.end());
        args.insert(args.end(), {"pay", "1.00", "--tcp", "127.0.0.1:" + std::to_string(terminal.Port()),
                                 "--log-id", "no-home", "--xml"});
        const ChildOutcome r = RunChild("/usr/bin/env", args);
        const std::string label = run[1];
        EXPECT_EQ(r.Status, 0) << label << "\n" << r.Out << r.Err;
        EXPECT_NE(r.Out.find("<Error>False</Error>"), std::string::npos) << label << "\n" << r.Out;
        EXPECT_NE(r.Out.find("<LogFileName></LogFileName>"), std::string::npos) << label << "\n" << r.Out;
        EXPECT_EQ(Count(r.Err, "no log folder can be written"), 1u) << label << "\n" << r.Err;
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "home" / "cashier"));
}
} // namespace
