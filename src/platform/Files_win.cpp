#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "platform/FileHandles_win.h"
#include "platform/Files.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}

Text JoinFolderAndName(const Text& aFolder, const Text& aName) {
    return aFolder.empty() || aFolder.back() == u'\\' || aFolder.back() == u'/' ? aFolder + aName
                                                                                : aFolder + u'\\' + aName;
}
} // namespace

bool CreateDirectories(const Text& aPath) {
    if (aPath.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path path(std::wstring(Wide(aPath), aPath.size()));
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::int64_t FileSize(const Text& aPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(aPath), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
}

bool FileExists(const Text& aPath) {
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const Text& aPath) {
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool MoveFileNoReplace(const Text& aFrom, const Text& aTo) {
    return MoveFileExW(Wide(aFrom), Wide(aTo), 0) != 0;
}

namespace {
bool IsReparsePoint(const Text& aPath) {
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

Text FolderPart(const Text& aPath) {
    const std::size_t cut = aPath.find_last_of(u"/\\");
    return cut == Text::npos ? Text() : aPath.substr(0, cut);
}

} // namespace

tZR_AppendResult AppendToFile(const Text& aPath, std::string_view aBytes) {
    // A junction or symbolic link at the folder's own name is refused like one at the file's.
    const Text folder = FolderPart(aPath);
    if (!folder.empty() && IsReparsePoint(folder)) {
        return tZR_AppendResult::ar_Refused;
    }
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, never its target; what was opened is then
    // checked before a byte is written.
    const HANDLE file =
        CreateFileW(Wide(aPath), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return tZR_AppendResult::ar_Failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) == 0 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks > 1) {
        CloseHandle(file);
        return tZR_AppendResult::ar_Refused;
    }
    bool ok = WriteWhole(file, aBytes);
    if (!CloseHandle(file)) {
        ok = false;
    }
    return ok ? tZR_AppendResult::ar_Written : tZR_AppendResult::ar_Failed;
}

bool IsAbsolutePath(TextView aPath) {
    return (!aPath.empty() && (aPath[0] == u'\\' || aPath[0] == u'/')) ||
           (aPath.size() >= 2 && aPath[1] == u':');
}

TextList PlainFilesOlderThan(const Text& aFolder, std::int64_t aAgeSeconds, std::size_t aLimit) {
    namespace fs = std::filesystem;
    TextList names;
    std::error_code ec;
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::seconds(aAgeSeconds);
    const fs::path folder(std::wstring(Wide(aFolder), aFolder.size()));
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && names.size() < aLimit;
         it.increment(ec)) {
        std::error_code entryError;
        const std::wstring name = it->path().filename().wstring();
        const Text text(reinterpret_cast<const char16_t*>(name.c_str()), name.size());
        if (it->symlink_status(entryError).type() != fs::file_type::regular ||
            IsReparsePoint(JoinFolderAndName(aFolder, text))) {
            continue;
        }
        const auto written = it->last_write_time(entryError);
        if (!entryError && written < cutoff) {
            names.push_back(text);
        }
    }
    return names;
}

bool DeletePlainFile(const Text& aPath) {
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
           DeleteFileW(Wide(aPath)) != 0;
}

bool WriteWhole(HANDLE aFile, std::string_view aBytes) {
    std::size_t done = 0;
    while (done < aBytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(aBytes.size() - done, 1u << 30));
        if (WriteFile(aFile, aBytes.data() + done, chunk, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}
