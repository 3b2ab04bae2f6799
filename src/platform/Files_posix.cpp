#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

bool CreateDirectories(const Text& aPath) {
    if (aPath.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path path(TextToUtf8(aPath));
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::int64_t FileSize(const Text& aPath) {
    struct stat st {};
    if (stat(TextToUtf8(aPath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

bool FileExists(const Text& aPath) {
    struct stat st {};
    return stat(TextToUtf8(aPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MoveFileNoReplace(const Text& aFrom, const Text& aTo) {
    const std::string from = TextToUtf8(aFrom);
    const std::string to = TextToUtf8(aTo);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without the no-replace rename: a hard link fails on an existing target.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    return false;
}

bool AppendToFile(const Text& aPath, std::string_view aBytes) {
    const int fd = open(TextToUtf8(aPath).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < aBytes.size()) {
        const ssize_t n = write(fd, aBytes.data() + done, aBytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = false;
        }
    }
    if (close(fd) != 0) {
        ok = false;
    }
    return ok;
}

bool IsAbsolutePath(TextView aPath) {
    return !aPath.empty() && aPath[0] == u'/';
}
