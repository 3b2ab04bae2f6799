// TcpSocket on Winsock 2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "io/TcpClientSocket.h"
#include "platform/Clock.h"

namespace {
// Winsock is started once per process, on first use, from whichever thread gets there first. It is not
// cleaned up: WSACleanup must not run from a library's unload, and the process end releases it.
int WinsockStartError() {
    static const int error = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error;
}

// Fixed English texts, so the log reads the same on every till whatever its language.
Text SocketErrorText(int aCode) {
    const char16_t* text = nullptr;
    switch (aCode) {
    case WSAECONNREFUSED:
        text = u"Connection refused";
        break;
    case WSAECONNRESET:
        text = u"Connection reset by peer";
        break;
    case WSAECONNABORTED:
        text = u"Software caused connection abort";
        break;
    case WSAETIMEDOUT:
        text = u"Connection timed out";
        break;
    case WSAEHOSTUNREACH:
        text = u"No route to host";
        break;
    case WSAENETUNREACH:
        text = u"Network is unreachable";
        break;
    case WSAENETDOWN:
        text = u"Network is down";
        break;
    case WSAESHUTDOWN:
        text = u"Broken pipe";
        break;
    case WSAEADDRNOTAVAIL:
        text = u"Cannot assign requested address";
        break;
    case WSAEAFNOSUPPORT:
        text = u"Address family not supported";
        break;
    case WSAEMFILE:
        text = u"Too many open files";
        break;
    case WSAENOBUFS:
        text = u"No buffer space available";
        break;
    case WSANOTINITIALISED:
        text = u"Winsock not started";
        break;
    default:
        text = u"Socket error";
        break;
    }
    return Text(text) + u" (socket error #" + IntToText(aCode) + u").";
}

[[noreturn]] void RaiseSocketError(int aCode) {
    throw TcpClientError(zrTcpFailure::tf_Socket, SocketErrorText(aCode));
}

enum Wait { kRead = 1, kWrite = 2 };

// select() on one socket: >0 ready (aFailed tells an exceptional state), 0 timed out, SOCKET_ERROR.
int WaitOne(SOCKET aSocket, int aWhat, std::int32_t aTimeoutMs, bool& aFailed) {
    fd_set readSet, writeSet, exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    if (aWhat & kRead) {
        FD_SET(aSocket, &readSet);
    }
    if (aWhat & kWrite) {
        FD_SET(aSocket, &writeSet);
    }
    FD_SET(aSocket, &exceptSet);
    timeval tv{aTimeoutMs / 1000, (aTimeoutMs % 1000) * 1000};
    const int r = ::select(0, &readSet, &writeSet, &exceptSet, &tv);
    aFailed = r > 0 && FD_ISSET(aSocket, &exceptSet);
    return r;
}

SOCKET OpenSocket(const ADDRINFOW& aAddress) {
    const SOCKET s = ::WSASocketW(aAddress.ai_family, aAddress.ai_socktype, aAddress.ai_protocol, nullptr, 0,
                                  WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        return s;
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        const int e = ::WSAGetLastError();
        ::closesocket(s);
        ::WSASetLastError(e);
        return INVALID_SOCKET;
    }
    // Frames are small and each waits for an acknowledgement: send them at once.
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // Urgent data, which no terminal should send, is read in the stream. Left out of it, it would keep
    // the socket in the exceptional set, so every wait for data would return at once without a byte to
    // read: a busy loop for the whole read time-out, on every read.
    ::setsockopt(s, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char*>(&one), sizeof one);
    return s;
}
} // namespace

void TcpSocket::Connect(const Text& aHost, std::uint16_t aPort, std::int32_t aTimeoutMs,
                        const tZR_CancelSignal* aCancel) {
    Close();
    if (const int e = WinsockStartError(); e != 0) {
        RaiseSocketError(e);
    }
    if (aHost.empty()) {
        throw TcpClientError(zrTcpFailure::tf_Socket, u"No host given.");
    }
    const tZR_Deadline deadline(aTimeoutMs);
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* list = nullptr;
    const std::wstring port = std::to_wstring(aPort);
    // Name resolution is bounded by the resolver's own time-outs; terminals are normally given by address.
    const int gai =
        ::GetAddrInfoW(reinterpret_cast<const wchar_t*>(aHost.c_str()), port.c_str(), &hints, &list);
    if (gai != 0 || list == nullptr) {
        throw TcpClientError(zrTcpFailure::tf_Socket,
                             u"Cannot resolve host '" + aHost + u"' (error #" + IntToText(gai) + u").");
    }
    int lastError = WSAECONNREFUSED;
    bool timedOut = false;
    for (const ADDRINFOW* a = list; a != nullptr && !timedOut; a = a->ai_next) {
        const SOCKET s = OpenSocket(*a);
        if (s == INVALID_SOCKET) {
            lastError = ::WSAGetLastError();
            continue;
        }
        int error = 0;
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            error = ::WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                bool failed = false;
                int r = 0;
                // In slices, each followed by a look at the signal: a cancelled command leaves at once.
                while ((r = WaitOne(s, kWrite, tZR_CancelSignal::Slice(deadline.MillisecondsLeft()),
                                    failed)) == 0 &&
                       !deadline.Passed()) {
                    if (IsCancelled(aCancel)) {
                        ::closesocket(s);
                        ::FreeAddrInfoW(list);
                        aCancel->ThrowIfCancelled();
                    }
                }
                int len = sizeof error;
                if (r == 0) {
                    timedOut = true;
                } else if (r == SOCKET_ERROR) {
                    error = ::WSAGetLastError();
                } else if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) !=
                           0) {
                    error = ::WSAGetLastError();
                } else if (failed && error == 0) {
                    error = WSAECONNREFUSED;
                }
            }
        }
        if (!timedOut && error == 0) {
            fHandle = static_cast<std::intptr_t>(s);
            ::FreeAddrInfoW(list);
            return;
        }
        ::closesocket(s);
        lastError = error;
    }
    ::FreeAddrInfoW(list);
    if (timedOut) {
        throw TcpClientError(zrTcpFailure::tf_ConnectTimeout, u"Connect timed out.");
    }
    RaiseSocketError(lastError);
}

bool TcpSocket::WaitReadable(std::int32_t aTimeoutMs) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    bool failed = false;
    const int r = WaitOne(static_cast<SOCKET>(fHandle), kRead, aTimeoutMs, failed);
    if (r == SOCKET_ERROR) {
        RaiseSocketError(::WSAGetLastError());
    }
    // An exceptional state counts as readable: the receive that follows reports what happened.
    return r > 0;
}

std::ptrdiff_t TcpSocket::Receive(std::uint8_t* aBuffer, std::size_t aSize) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    const int chunk = aSize > 0x40000000u ? 0x40000000 : static_cast<int>(aSize);
    const int got = ::recv(static_cast<SOCKET>(fHandle), reinterpret_cast<char*>(aBuffer), chunk, 0);
    if (got >= 0) {
        return got;
    }
    const int e = ::WSAGetLastError();
    if (e == WSAEWOULDBLOCK) {
        return kWouldBlock;
    }
    RaiseSocketError(e);
}

void TcpSocket::Send(const std::uint8_t* aData, std::size_t aSize, std::int32_t aTimeoutMs) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    while (aSize > 0) {
        const int chunk = aSize > 0x40000000u ? 0x40000000 : static_cast<int>(aSize);
        const int sent = ::send(static_cast<SOCKET>(fHandle), reinterpret_cast<const char*>(aData), chunk, 0);
        if (sent > 0) {
            aData += sent;
            aSize -= static_cast<std::size_t>(sent);
            continue;
        }
        const int e = ::WSAGetLastError();
        if (e != WSAEWOULDBLOCK) {
            RaiseSocketError(e);
        }
        bool failed = false;
        const int r = WaitOne(static_cast<SOCKET>(fHandle), kWrite, aTimeoutMs, failed);
        if (r == SOCKET_ERROR) {
            RaiseSocketError(::WSAGetLastError());
        }
        if (r == 0) {
            throw TcpClientError(zrTcpFailure::tf_Socket, u"Write timed out.");
        }
    }
}

void TcpSocket::Close() {
    if (IsOpen()) {
        ::closesocket(static_cast<SOCKET>(fHandle));
        fHandle = kInvalid;
    }
}
