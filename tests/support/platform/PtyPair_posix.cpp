#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "support/PtyPair.h"

PtyPair::PtyPair() {
    char name[256] = {};
    if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) != 0) {
        fMaster = fSlave = -1;
        return;
    }
    fSlaveName = name;
    ::fcntl(fMaster, F_SETFL, ::fcntl(fMaster, F_GETFL, 0) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    CloseMaster();
    if (fSlave >= 0) {
        ::close(fSlave);
    }
}

bool PtyPair::Send(std::string_view aBytes) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!aBytes.empty() && fMaster >= 0) {
        const ssize_t n = ::write(fMaster, aBytes.data(), aBytes.size());
        if (n > 0) {
            aBytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        pollfd p{fMaster, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return aBytes.empty();
}

std::string PtyPair::Receive(std::size_t aCount, int aTimeoutMs) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    char buf[4096];
    while (out.size() < aCount && fMaster >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            break;
        }
        pollfd p{fMaster, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fMaster, buf, std::min(sizeof buf, aCount - out.size()));
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return out;
}

void PtyPair::CloseMaster() {
    if (fMaster >= 0) {
        ::close(fMaster);
        fMaster = -1;
    }
}
