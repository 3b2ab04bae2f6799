#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "support/LoopbackServer.h"

namespace {
sockaddr_in LoopbackAddress(std::uint16_t aPort) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(aPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool WaitFor(int aFd, short aEvents, int aTimeoutMs) {
    pollfd p{aFd, aEvents, 0};
    return ::poll(&p, 1, aTimeoutMs) > 0;
}
} // namespace

LoopbackPeer& LoopbackPeer::operator=(LoopbackPeer&& aOther) noexcept {
    if (this != &aOther) {
        Close();
        fHandle = aOther.fHandle;
        aOther.fHandle = -1;
    }
    return *this;
}

bool LoopbackPeer::Send(std::string_view aBytes) {
    while (!aBytes.empty()) {
        const ssize_t n = ::send(static_cast<int>(fHandle), aBytes.data(), aBytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        aBytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool LoopbackPeer::SendUrgent(char aByte) {
    return ::send(static_cast<int>(fHandle), &aByte, 1, MSG_OOB | MSG_NOSIGNAL) == 1;
}

std::string LoopbackPeer::Receive(std::size_t aCount, int aTimeoutMs) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    char buf[4096];
    while (out.size() < aCount) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0 || !WaitFor(static_cast<int>(fHandle), POLLIN, static_cast<int>(left))) {
            break;
        }
        const std::size_t want = std::min(sizeof buf, aCount - out.size());
        const ssize_t n = ::recv(static_cast<int>(fHandle), buf, want, 0);
        if (n <= 0) {
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

void LoopbackPeer::ShutdownWrite() {
    if (Valid()) {
        ::shutdown(static_cast<int>(fHandle), SHUT_WR);
    }
}

void LoopbackPeer::Close() {
    if (Valid()) {
        ::close(static_cast<int>(fHandle));
        fHandle = -1;
    }
}

void LoopbackPeer::Reset() {
    if (Valid()) {
        linger l{1, 0};
        ::setsockopt(static_cast<int>(fHandle), SOL_SOCKET, SO_LINGER, &l, sizeof l);
        Close();
    }
}

LoopbackListener::LoopbackListener(std::uint16_t aPort, int aBacklog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return;
    }
    if (aPort != 0) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    sockaddr_in a = LoopbackAddress(aPort);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, aBacklog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return;
    }
    fHandle = fd;
    fPort = ntohs(a.sin_port);
}

LoopbackListener::~LoopbackListener() {
    Close();
}

LoopbackPeer LoopbackListener::Accept(int aTimeoutMs) {
    if (!Valid() || !WaitFor(static_cast<int>(fHandle), POLLIN, aTimeoutMs)) {
        return LoopbackPeer();
    }
    const int fd = ::accept(static_cast<int>(fHandle), nullptr, nullptr);
    return fd < 0 ? LoopbackPeer() : LoopbackPeer(fd);
}

bool LoopbackListener::FillBacklog() {
    while (fFillerCount < kMaxFillers) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) {
            return false;
        }
        fFillers[fFillerCount++] = fd;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
        sockaddr_in a = LoopbackAddress(fPort);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            continue;
        }
        if (errno != EINPROGRESS) {
            return false;
        }
        if (!WaitFor(fd, POLLOUT, 100)) {
            return true; // unanswered: the queue is full
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            return false; // refused: this system answers a full queue
        }
    }
    return false;
}

void LoopbackListener::Close() {
    for (int i = 0; i < fFillerCount; ++i) {
        ::close(static_cast<int>(fFillers[i]));
    }
    fFillerCount = 0;
    if (Valid()) {
        ::close(static_cast<int>(fHandle));
        fHandle = -1;
    }
}

std::uint16_t UnusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = LoopbackAddress(0);
    socklen_t len = sizeof a;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

bool LoopbackResetIsGraceful() {
    return false;
}
