#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "support/LoopbackServer.h"

namespace {
void StartWinsock() {
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    (void)started;
}

sockaddr_in LoopbackAddress(std::uint16_t aPort) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(aPort);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool WaitFor(SOCKET aSocket, bool aWrite, int aTimeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(aSocket, &set);
    fd_set except;
    FD_ZERO(&except);
    FD_SET(aSocket, &except);
    timeval tv{aTimeoutMs / 1000, (aTimeoutMs % 1000) * 1000};
    return ::select(0, aWrite ? nullptr : &set, aWrite ? &set : nullptr, &except, &tv) > 0;
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
        const int n = ::send(static_cast<SOCKET>(fHandle), aBytes.data(), static_cast<int>(aBytes.size()), 0);
        if (n <= 0) {
            return false;
        }
        aBytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool LoopbackPeer::SendUrgent(char aByte) {
    return ::send(static_cast<SOCKET>(fHandle), &aByte, 1, MSG_OOB) == 1;
}

std::string LoopbackPeer::Receive(std::size_t aCount, int aTimeoutMs) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    char buf[4096];
    while (out.size() < aCount) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0 || !WaitFor(static_cast<SOCKET>(fHandle), false, static_cast<int>(left))) {
            break;
        }
        const int want = static_cast<int>(std::min(sizeof buf, aCount - out.size()));
        const int n = ::recv(static_cast<SOCKET>(fHandle), buf, want, 0);
        if (n <= 0) {
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

void LoopbackPeer::ShutdownWrite() {
    if (Valid()) {
        ::shutdown(static_cast<SOCKET>(fHandle), SD_SEND);
    }
}

void LoopbackPeer::Close() {
    if (Valid()) {
        ::closesocket(static_cast<SOCKET>(fHandle));
        fHandle = -1;
    }
}

void LoopbackPeer::Reset() {
    if (Valid()) {
        linger l{1, 0};
        ::setsockopt(static_cast<SOCKET>(fHandle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
                     sizeof l);
        Close();
    }
}

LoopbackListener::LoopbackListener(std::uint16_t aPort, int aBacklog) {
    StartWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        return;
    }
    sockaddr_in a = LoopbackAddress(aPort);
    int len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, aBacklog) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::closesocket(s);
        return;
    }
    fHandle = static_cast<std::intptr_t>(s);
    fPort = ntohs(a.sin_port);
}

LoopbackListener::~LoopbackListener() {
    Close();
}

LoopbackPeer LoopbackListener::Accept(int aTimeoutMs) {
    if (!Valid() || !WaitFor(static_cast<SOCKET>(fHandle), false, aTimeoutMs)) {
        return LoopbackPeer();
    }
    const SOCKET s = ::accept(static_cast<SOCKET>(fHandle), nullptr, nullptr);
    return s == INVALID_SOCKET ? LoopbackPeer() : LoopbackPeer(static_cast<std::intptr_t>(s));
}

bool LoopbackListener::FillBacklog() {
    while (fFillerCount < kMaxFillers) {
        const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET) {
            return false;
        }
        fFillers[fFillerCount++] = static_cast<std::intptr_t>(s);
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        sockaddr_in a = LoopbackAddress(fPort);
        if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            continue;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            return false;
        }
        fd_set writeSet, exceptSet;
        FD_ZERO(&writeSet);
        FD_ZERO(&exceptSet);
        FD_SET(s, &writeSet);
        FD_SET(s, &exceptSet);
        timeval tv{0, 100000};
        const int r = ::select(0, nullptr, &writeSet, &exceptSet, &tv);
        if (r == 0) {
            return true; // unanswered: the queue is full
        }
        if (r < 0 || FD_ISSET(s, &exceptSet)) {
            return false; // refused: this system answers a full queue
        }
    }
    return false;
}

void LoopbackListener::Close() {
    for (int i = 0; i < fFillerCount; ++i) {
        ::closesocket(static_cast<SOCKET>(fFillers[i]));
    }
    fFillerCount = 0;
    if (Valid()) {
        ::closesocket(static_cast<SOCKET>(fHandle));
        fHandle = -1;
    }
}

std::uint16_t UnusedLoopbackPort() {
    StartWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = LoopbackAddress(0);
    int len = sizeof a;
    std::uint16_t port = 0;
    if (s != INVALID_SOCKET && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    if (s != INVALID_SOCKET) {
        ::closesocket(s);
    }
    return port;
}

bool LoopbackResetIsGraceful() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
