#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileHandles_posix.h"
#include "platform/Files.h"

namespace {
constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

// Makes aPath (its parent exists) a folder of its owner only; true when it is a folder afterwards.
bool MakePrivateFolder(const std::string& aPath) {
    if (mkdir(aPath.c_str(), kPrivateFolder) == 0) {
        // The umask may have taken bits that the owner needs.
        chmod(aPath.c_str(), kPrivateFolder);
        return true;
    }
    struct stat st {};
    return errno == EEXIST && stat(aPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder of ours that others may write into (made under umask 000 by an earlier release) is narrowed to
// its owner, so nobody else can plant a link in it.
void NarrowOwnFolder(const std::string& aPath) {
    struct stat st {};
    if (lstat(aPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
        (st.st_mode & 022) != 0) {
        chmod(aPath.c_str(), kPrivateFolder);
    }
}

// The folder part and the name part of a path ("." for a bare name).
std::pair<std::string, std::string> SplitPath(const std::string& aPath) {
    const std::size_t cut = aPath.find_last_of('/');
    if (cut == std::string::npos) {
        return {".", aPath};
    }
    return {cut == 0 ? "/" : aPath.substr(0, cut), aPath.substr(cut + 1)};
}

bool IsLink(const std::string& aPath) {
    struct stat st {};
    return lstat(aPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

bool CreateDirectories(const Text& aPath) {
    if (aPath.empty()) {
        return false;
    }
    const std::string path = TextToUtf8(aPath);
    // Each missing folder from the top down, so every one made gets the private mode.
    bool ok = true;
    for (std::size_t at = path.find('/', 1); ok; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (!part.empty() && part.back() != '/') {
            struct stat st {};
            ok = stat(part.c_str(), &st) == 0 ? S_ISDIR(st.st_mode) : MakePrivateFolder(part);
        }
        if (at == std::string::npos) {
            break;
        }
    }
    if (ok) {
        NarrowOwnFolder(path);
    }
    return ok;
}

std::int64_t FileSize(const Text& aPath) {
    struct stat st {};
    if (lstat(TextToUtf8(aPath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

bool FileExists(const Text& aPath) {
    struct stat st {};
    return stat(TextToUtf8(aPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const Text& aPath) {
    struct stat st {};
    return lstat(TextToUtf8(aPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

tZR_AppendResult AppendToFile(const Text& aPath, std::string_view aBytes) {
    const auto [folder, name] = SplitPath(TextToUtf8(aPath));
    // The folder is opened without following a link at its own name, the file inside it the same way:
    // a link planted at either is refused, not written through.
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        return errno == ELOOP || IsLink(folder) ? tZR_AppendResult::ar_Refused : tZR_AppendResult::ar_Failed;
    }
    // O_NONBLOCK: a FIFO planted at the name fails at once instead of waiting for a reader.
    const int fd = openat(dirFd, name.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kPrivateFile);
    const int openError = errno;
    close(dirFd);
    if (fd < 0) {
        return openError == ELOOP || openError == ENXIO ? tZR_AppendResult::ar_Refused
                                                        : tZR_AppendResult::ar_Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1) {
        close(fd);
        return tZR_AppendResult::ar_Refused;
    }
    if ((st.st_mode & 0777) != kPrivateFile && st.st_uid == geteuid()) {
        fchmod(fd, kPrivateFile);
    }
    bool ok = WriteWhole(fd, aBytes);
    if (close(fd) != 0) {
        ok = false;
    }
    return ok ? tZR_AppendResult::ar_Written : tZR_AppendResult::ar_Failed;
}

bool IsAbsolutePath(TextView aPath) {
    return !aPath.empty() && aPath[0] == u'/';
}

TextList PlainFilesOlderThan(const Text& aFolder, std::int64_t aAgeSeconds, std::size_t aLimit) {
    namespace fs = std::filesystem;
    TextList names;
    std::error_code ec;
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::seconds(aAgeSeconds);
    for (fs::directory_iterator it(TextToUtf8(aFolder), ec), end; !ec && it != end && names.size() < aLimit;
         it.increment(ec)) {
        std::error_code entryError;
        if (it->symlink_status(entryError).type() != fs::file_type::regular) {
            continue;
        }
        const auto written = it->last_write_time(entryError);
        if (!entryError && written < cutoff) {
            names.push_back(Utf8ToText(it->path().filename().string()));
        }
    }
    return names;
}

bool DeletePlainFile(const Text& aPath) {
    const std::string path = TextToUtf8(aPath);
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(path.c_str()) == 0;
}

bool WriteWhole(int aFd, std::string_view aBytes) {
    std::size_t done = 0;
    while (done < aBytes.size()) {
        const ssize_t n = write(aFd, aBytes.data() + done, aBytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}
