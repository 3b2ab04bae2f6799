#include "support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/Guid.h"

TempFolder::TempFolder() {
    const char* kept = std::getenv("ZR_TEST_FILES");
    fKeep = kept != nullptr && *kept != '\0';
    const Text unique = GuidToText(NewGuid()).substr(1, 8);
    fPath = (fKeep ? std::filesystem::path(kept) : std::filesystem::temp_directory_path()) /
            ("zr_test_" + TextToUtf8(unique));
    std::filesystem::create_directories(fPath);
}

TempFolder::~TempFolder() {
    if (fKeep) {
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(fPath, ec);
}

std::string ReadFileBytes(const std::filesystem::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadCrLfLines(const std::filesystem::path& aPath) {
    const std::string all = ReadFileBytes(aPath);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(all.substr(start));
            break;
        }
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::filesystem::path> FilesStartingWith(const std::filesystem::path& aFolder,
                                                     const std::string& aPrefix) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(aFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(aPrefix, 0) == 0) {
            out.push_back(entry.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}
