// Request texts (UTF-8, or raw UTF-16 with lone surrogates) through every command export.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "fuzz/FuzzEntryPoints.h"
#include "interface/Library.h"
#include "platform/Process.h"

namespace {
// Every distinct LogId makes a device log: the folder is emptied now and then so a long run does not
// fill the disk with them.
void EmptyTheDeviceLogsNowAndThen() {
    static unsigned runs = 0;
    if (++runs % 5000 != 0) {
        return;
    }
    std::error_code ec;
    const auto folder = std::filesystem::path(ExecutableDirectory()) / "LogFiles" / "Payment";
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        std::filesystem::remove(e.path(), ec);
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!LibraryLoad()) {
        FuzzFailure("the library could not be loaded");
    }
    InstallFuzzDriver();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    FuzzRequest(aData, aSize);
    EmptyTheDeviceLogsNowAndThen();
    return 0;
}
