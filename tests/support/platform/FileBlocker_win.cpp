#include <windows.h>

#include "support/FileBlocker.h"

#include "platform/Files.h"

FileBlocker::FileBlocker(const std::filesystem::path& aPath, Kind aKind) : fPath(aPath), fKind(aKind) {
    if (fKind == Kind::Locked) {
        // Open without any sharing: every other open fails with a sharing violation.
        const HANDLE h = CreateFileW(fPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        fActive = h != INVALID_HANDLE_VALUE;
        fHandle = fActive ? h : nullptr;
    } else {
        const HANDLE h = CreateFileW(fPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
        fActive = SetFileAttributesW(fPath.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
    }
}

FileBlocker::~FileBlocker() {
    Release();
}

void FileBlocker::Release() {
    if (!fActive) {
        return;
    }
    if (fKind == Kind::Locked) {
        CloseHandle(static_cast<HANDLE>(fHandle));
        fHandle = nullptr;
    } else {
        SetFileAttributesW(fPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fActive = false;
}

bool FileBlocker::Blocks() const {
    return fActive && AppendToFile(fPath.u16string(), std::string_view()) != tZR_AppendResult::ar_Written;
}
