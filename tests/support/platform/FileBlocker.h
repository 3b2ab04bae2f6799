#pragma once
// Makes a file path unwritable for a while, the way a till meets it: another program holding the file
// open without sharing, or a read-only file. POSIX has neither mandatory locks nor (for root) read-only
// files, so there a folder takes the file's place, which fails every open for writing just the same.
#include <filesystem>

class FileBlocker {
public:
    enum class Kind { Locked, ReadOnly };
    FileBlocker(const std::filesystem::path& aPath, Kind aKind);
    ~FileBlocker();
    FileBlocker(const FileBlocker&) = delete;
    FileBlocker& operator=(const FileBlocker&) = delete;
    void Release();
    // False when the platform lets this user write the file anyway (root ignores read-only files).
    bool Blocks() const;

private:
    std::filesystem::path fPath;
    Kind fKind;
    void* fHandle = nullptr;
    bool fActive = false;
};
