#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileHandles_posix.h"
#include "platform/JournalFile.h"

namespace {
// An open record file; closing it releases its lock.
class LockedFile {
public:
    // Opens aPath (creating it when aCreate) and takes the lock; on the way, a file that was moved away
    // after it was opened and before the lock came is dropped and the path opened again.
    LockedFile(const std::string& aPath, bool aCreate, int aLock) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const int flags = (aCreate ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC;
            fFd = open(aPath.c_str(), flags, 0600);
            if (fFd < 0) {
                return;
            }
            while (flock(fFd, aLock) != 0) {
                if (errno != EINTR) {
                    Close();
                    return;
                }
            }
            struct stat opened {
            }, named{};
            if (fstat(fFd, &opened) == 0 && S_ISREG(opened.st_mode) && lstat(aPath.c_str(), &named) == 0 &&
                opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
                return;
            }
            Close();
        }
    }
    ~LockedFile() { Close(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    int Fd() const { return fFd; }

    void Close() {
        if (fFd >= 0) {
            close(fFd);
            fFd = -1;
        }
    }

private:
    int fFd = -1;
};

bool ReadAll(int aFd, std::string& aContent) {
    aContent.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(aFd, buffer, sizeof buffer);
        if (n > 0) {
            aContent.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}
} // namespace

bool AppendRecord(const Text& aPath, std::string_view aRecord, bool aDurable) {
    LockedFile file(TextToUtf8(aPath), true, LOCK_EX);
    if (file.Fd() < 0 || !WriteWhole(file.Fd(), aRecord)) {
        return false;
    }
    return !aDurable || fdatasync(file.Fd()) == 0;
}

bool ReadRecordFile(const Text& aPath, std::string& aContent, std::size_t aLastBytes) {
    LockedFile file(TextToUtf8(aPath), false, LOCK_SH);
    if (file.Fd() < 0) {
        return false;
    }
    if (aLastBytes != 0) {
        const off_t size = lseek(file.Fd(), 0, SEEK_END);
        const off_t from = size > static_cast<off_t>(aLastBytes) ? size - static_cast<off_t>(aLastBytes) : 0;
        if (size < 0 || lseek(file.Fd(), from, SEEK_SET) < 0) {
            return false;
        }
    }
    return ReadAll(file.Fd(), aContent);
}

bool RotateRecordFile(const Text& aPath, const Text& aRotatedPath,
                      const std::function<std::string(const std::string&)>& aCarry) {
    const std::string path = TextToUtf8(aPath);
    const std::string rotated = TextToUtf8(aRotatedPath);
    LockedFile file(path, true, LOCK_EX);
    std::string content;
    const int reader = file.Fd() < 0 ? -1 : open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (reader < 0) {
        return false;
    }
    const bool read = ReadAll(reader, content);
    close(reader);
    if (!read || renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, rotated.c_str(), RENAME_NOREPLACE) != 0) {
        return false;
    }
    // Writers waiting for the lock find the moved file and open the new one, which holds the carried
    // records (a writer that created it meanwhile only puts its own record first).
    LockedFile fresh(path, true, LOCK_EX);
    return fresh.Fd() >= 0 && WriteWhole(fresh.Fd(), aCarry(content)) && fdatasync(fresh.Fd()) == 0;
}

bool CreatePrivateFolder(const Text& aPath) {
    const std::string path = TextToUtf8(aPath);
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
