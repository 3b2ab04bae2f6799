#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "platform/Files.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
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
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
}

bool FileExists(const Text& aPath) {
    const DWORD attributes = GetFileAttributesW(Wide(aPath));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool MoveFileNoReplace(const Text& aFrom, const Text& aTo) {
    return MoveFileExW(Wide(aFrom), Wide(aTo), 0) != 0;
}

bool AppendToFile(const Text& aPath, std::string_view aBytes) {
    const HANDLE file =
        CreateFileW(Wide(aPath), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < aBytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(aBytes.size() - done, 1u << 30));
        ok = WriteFile(file, aBytes.data() + done, chunk, &written, nullptr) != 0 && written > 0;
        done += written;
    }
    if (!CloseHandle(file)) {
        ok = false;
    }
    return ok;
}

bool IsAbsolutePath(TextView aPath) {
    return (!aPath.empty() && (aPath[0] == u'\\' || aPath[0] == u'/')) ||
           (aPath.size() >= 2 && aPath[1] == u':');
}
