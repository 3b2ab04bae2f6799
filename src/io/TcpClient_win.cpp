// The system calls of TcpSocket on Winsock 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "io/TcpClientSocket.h"

namespace {
SOCKET S(tcpos::Handle aHandle) {
    return static_cast<SOCKET>(aHandle);
}

// Sizes for send and recv, which take an int.
int Chunk(std::size_t aSize) {
    return aSize > 0x40000000u ? 0x40000000 : static_cast<int>(aSize);
}

// select() on one socket: >0 ready (aFailed tells an exceptional state), 0 timed out, SOCKET_ERROR.
int WaitOne(SOCKET aSocket, bool aForWriting, std::int32_t aTimeoutMs, bool& aFailed) {
    fd_set readSet, writeSet, exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(aSocket, aForWriting ? &writeSet : &readSet);
    FD_SET(aSocket, &exceptSet);
    timeval tv{aTimeoutMs / 1000, (aTimeoutMs % 1000) * 1000};
    const int r = ::select(0, &readSet, &writeSet, &exceptSet, &tv);
    aFailed = r > 0 && FD_ISSET(aSocket, &exceptSet);
    return r;
}
} // namespace

namespace tcpos {
const int kNamedErrors[kNamedErrorCount] = {WSAECONNREFUSED,  WSAECONNRESET,   WSAECONNABORTED, WSAETIMEDOUT,
                                            WSAEHOSTUNREACH,  WSAENETUNREACH,  WSAENETDOWN,     WSAESHUTDOWN,
                                            WSAEADDRNOTAVAIL, WSAEAFNOSUPPORT, WSAEMFILE,       WSAENOBUFS,
                                            WSANOTINITIALISED};

// Winsock is started once per process, on first use, from whichever thread gets there first. It is not
// cleaned up: WSACleanup must not run from a library's unload, and the process end releases it.
int Start() {
    static const int error = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error;
}

int Resolve(const Text& aHost, std::uint16_t aPort, std::vector<Address>& aAddresses) {
    const std::wstring port = std::to_wstring(aPort);
    return ResolveStream<ADDRINFOW>(
        AF_UNSPEC, SOCK_STREAM, IPPROTO_TCP,
        [&](const ADDRINFOW& aHints, ADDRINFOW** aList) {
            return ::GetAddrInfoW(reinterpret_cast<const wchar_t*>(aHost.c_str()), port.c_str(), &aHints,
                                  aList);
        },
        ::FreeAddrInfoW, aAddresses);
}

Handle Open(const Address& aAddress, int& aError) {
    const SOCKET s = ::WSASocketW(aAddress.Family, aAddress.Type, aAddress.Protocol, nullptr, 0,
                                  WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        aError = ::WSAGetLastError();
        return kInvalid;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        aError = ::WSAGetLastError();
        ::closesocket(s);
        return kInvalid;
    }
    // Frames are small and each waits for an acknowledgement: send them at once.
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // Urgent data, which no terminal should send, is read in the stream. Left out of it, it would keep
    // the socket in the exceptional set, so every wait for data would return at once without a byte to
    // read: a busy loop for the whole read time-out, on every read.
    ::setsockopt(s, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char*>(&one), sizeof one);
    return static_cast<Handle>(s);
}

int StartConnect(Handle aHandle, const Address& aAddress) {
    // The bytes are the resolver's sockaddr as it gave them (a vector's storage suits its alignment).
    const auto* address = reinterpret_cast<const sockaddr*>(aAddress.SocketAddress.data());
    if (::connect(S(aHandle), address, static_cast<int>(aAddress.SocketAddress.size())) == 0) {
        return 0;
    }
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK ? kPending : error;
}

int FinishConnect(Handle aHandle, std::int32_t aTimeoutMs) {
    bool failed = false;
    const int r = WaitOne(S(aHandle), true, aTimeoutMs, failed);
    if (r == 0) {
        return kPending;
    }
    if (r == SOCKET_ERROR) {
        return ::WSAGetLastError();
    }
    int error = 0;
    int len = sizeof error;
    if (::getsockopt(S(aHandle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0) {
        return ::WSAGetLastError();
    }
    // A failed connect shows in the exceptional set; one whose error was already taken still failed.
    return failed && error == 0 ? WSAECONNREFUSED : error;
}

int Wait(Handle aHandle, bool aForWriting, std::int32_t aTimeoutMs, bool& aReady) {
    // An exceptional state counts as ready: the call that follows reports what happened.
    bool failed = false;
    const int r = WaitOne(S(aHandle), aForWriting, aTimeoutMs, failed);
    aReady = r > 0;
    return r == SOCKET_ERROR ? ::WSAGetLastError() : 0;
}

std::ptrdiff_t Receive(Handle aHandle, std::uint8_t* aBuffer, std::size_t aSize, int& aError) {
    const int got = ::recv(S(aHandle), reinterpret_cast<char*>(aBuffer), Chunk(aSize), 0);
    if (got >= 0) {
        return got;
    }
    aError = ::WSAGetLastError();
    return aError == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

std::ptrdiff_t Send(Handle aHandle, const std::uint8_t* aData, std::size_t aSize, int& aError) {
    const int sent = ::send(S(aHandle), reinterpret_cast<const char*>(aData), Chunk(aSize), 0);
    if (sent > 0) {
        return sent;
    }
    aError = ::WSAGetLastError();
    return aError == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

void Close(Handle aHandle) {
    ::closesocket(S(aHandle));
}
} // namespace tcpos
