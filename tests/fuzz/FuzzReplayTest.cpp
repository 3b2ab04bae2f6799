// Replays the committed fuzz corpora and every input that once broke the library (regressions/)
// through the fuzzed entry points. No fuzzing here: each input runs once, in a few seconds in all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FuzzEntryPoints.h"

namespace {
namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(ZR_TEST_SUPPORT_DIR).parent_path() / "fuzz";

using EntryPoint = void (*)(const std::uint8_t*, std::size_t);

// Every file under corpus/aTarget and regressions/aTarget, run through aEntry; the number run.
std::size_t Replay(const std::string& aTarget, EntryPoint aEntry) {
    std::size_t count = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = kFuzzDir / kind / aTarget;
        if (!fs::is_directory(dir)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            SCOPED_TRACE(entry.path().string());
            aEntry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
    }
    return count;
}
} // namespace

TEST(FuzzReplay, RequestsThroughEveryExport) {
    InstallFuzzDriver();
    const std::size_t count = Replay("requests", &FuzzRequest);
    RemoveFuzzDriver();
    EXPECT_GE(count, 9u) << "no request corpus under " << kFuzzDir.string();
}

TEST(FuzzReplay, TerminalStreamsIntoEveryOperation) {
    EXPECT_GE(Replay("terminal", &FuzzTerminal), 8u) << "no terminal corpus under " << kFuzzDir.string();
}

TEST(FuzzReplay, RefundReferences) {
    EXPECT_GE(Replay("refund-reference", &FuzzRefundReference), 2u);
}
