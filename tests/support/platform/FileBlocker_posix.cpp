#include "support/FileBlocker.h"

#include "platform/Files.h"

namespace {
std::filesystem::path Parked(const std::filesystem::path& aPath) {
    std::filesystem::path p = aPath;
    p += ".parked";
    return p;
}
} // namespace

// The file's contents are parked beside it while the folder stands in its place.
FileBlocker::FileBlocker(const std::filesystem::path& aPath, Kind aKind) : fPath(aPath), fKind(aKind) {
    std::error_code ec;
    std::filesystem::rename(fPath, Parked(fPath), ec);
    fActive = std::filesystem::create_directory(fPath, ec);
}

FileBlocker::~FileBlocker() {
    Release();
}

void FileBlocker::Release() {
    if (fActive) {
        std::error_code ec;
        std::filesystem::remove(fPath, ec);
        std::filesystem::rename(Parked(fPath), fPath, ec);
        fActive = false;
    }
}

bool FileBlocker::Blocks() const {
    return fActive && AppendToFile(fPath.u16string(), std::string_view()) != tZR_AppendResult::ar_Written;
}
