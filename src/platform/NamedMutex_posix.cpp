#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/NamedMutex.h"

// A lock file per name and user: an fcntl lock is held per process and dropped by the kernel when the
// process ends, like a Windows mutex of a process that exits.
namespace {
std::string LockPath(const Text& aName) {
    std::string dir = "/tmp";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        dir = runtime;
    }
    std::string name = TextToUtf8(aName);
    for (char& c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 32) {
            c = '_';
        }
    }
    return dir + "/zr-single-instance-" + name + "-" + std::to_string(getuid()) + ".lock";
}

bool SetLock(int aFd, short aType) {
    struct flock lock {};
    lock.l_type = aType;
    lock.l_whence = SEEK_SET;
    return fcntl(aFd, F_SETLK, &lock) == 0;
}
} // namespace

tZR_MutexResult AcquireNamedMutex(const Text& aName, std::intptr_t& aHandle) {
    aHandle = 0;
    const int fd = open(LockPath(aName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return tZR_MutexResult::mr_Failed;
    }
    if (!SetLock(fd, F_WRLCK)) {
        const int error = errno;
        close(fd);
        return error == EACCES || error == EAGAIN ? tZR_MutexResult::mr_OwnedElsewhere
                                                  : tZR_MutexResult::mr_Failed;
    }
    aHandle = fd;
    return tZR_MutexResult::mr_Acquired;
}

void ReleaseNamedMutex(std::intptr_t aHandle) {
    if (aHandle > 0) {
        SetLock(static_cast<int>(aHandle), F_UNLCK);
    }
}
