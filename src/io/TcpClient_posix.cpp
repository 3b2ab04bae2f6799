// TcpSocket on POSIX sockets.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

#include "io/TcpClientSocket.h"
#include "platform/Clock.h"

namespace {
// A write to a peer that has gone must fail with EPIPE, never raise SIGPIPE in the host process.
#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

// Fixed English texts, so the log reads the same on every till whatever its locale.
Text SocketErrorText(int aCode) {
    const char16_t* text = nullptr;
    switch (aCode) {
    case ECONNREFUSED:
        text = u"Connection refused";
        break;
    case ECONNRESET:
        text = u"Connection reset by peer";
        break;
    case ECONNABORTED:
        text = u"Software caused connection abort";
        break;
    case ETIMEDOUT:
        text = u"Connection timed out";
        break;
    case EHOSTUNREACH:
        text = u"No route to host";
        break;
    case ENETUNREACH:
        text = u"Network is unreachable";
        break;
    case ENETDOWN:
        text = u"Network is down";
        break;
    case EPIPE:
        text = u"Broken pipe";
        break;
    case EADDRNOTAVAIL:
        text = u"Cannot assign requested address";
        break;
    case EAFNOSUPPORT:
        text = u"Address family not supported";
        break;
    case EMFILE:
        text = u"Too many open files";
        break;
    case ENOBUFS:
        text = u"No buffer space available";
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

// poll() for one descriptor, restarted after a signal with the time that is left.
int PollOne(int aFd, short aEvents, std::int32_t aTimeoutMs, short& aRevents) {
    const tZR_Deadline deadline(aTimeoutMs);
    for (;;) {
        pollfd p{aFd, aEvents, 0};
        const int r = ::poll(&p, 1, deadline.MillisecondsLeft());
        if (r >= 0) {
            aRevents = p.revents;
            return r;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int OpenSocket(const addrinfo& aAddress) {
    const int fd = ::socket(aAddress.ai_family, aAddress.ai_socktype, aAddress.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    const int one = 1;
    // Frames are small and each waits for an acknowledgement: send them at once.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Urgent data, which no terminal should send, stays in the stream as on Windows, where it would
    // otherwise keep the socket "exceptional" without ever being read.
    ::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &one, sizeof one);
#if defined(SO_NOSIGPIPE)
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    return fd;
}
} // namespace

void TcpSocket::Connect(const Text& aHost, std::uint16_t aPort, std::int32_t aTimeoutMs,
                        const tZR_CancelSignal* aCancel) {
    Close();
    if (aHost.empty()) {
        throw TcpClientError(zrTcpFailure::tf_Socket, u"No host given.");
    }
    const tZR_Deadline deadline(aTimeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    // Name resolution is bounded by the resolver's own time-outs; terminals are normally given by address.
    const int gai = ::getaddrinfo(TextToUtf8(aHost).c_str(), std::to_string(aPort).c_str(), &hints, &list);
    if (gai != 0 || list == nullptr) {
        throw TcpClientError(zrTcpFailure::tf_Socket,
                             u"Cannot resolve host '" + aHost + u"' (error #" + IntToText(gai) + u").");
    }
    int lastError = ECONNREFUSED;
    bool timedOut = false;
    for (const addrinfo* a = list; a != nullptr && !timedOut; a = a->ai_next) {
        const int fd = OpenSocket(*a);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int error = 0;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS || error == EINTR) {
                short revents = 0;
                int r = 0;
                // In slices, each followed by a look at the signal: a cancelled command leaves at once.
                while ((r = PollOne(fd, POLLOUT, tZR_CancelSignal::Slice(deadline.MillisecondsLeft()),
                                    revents)) == 0 &&
                       !deadline.Passed()) {
                    if (IsCancelled(aCancel)) {
                        ::close(fd);
                        ::freeaddrinfo(list);
                        aCancel->ThrowIfCancelled();
                    }
                }
                socklen_t len = sizeof error;
                if (r == 0) {
                    timedOut = true;
                } else if (r < 0) {
                    error = errno;
                } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
                    error = errno;
                }
            }
        }
        if (!timedOut && error == 0) {
            fHandle = fd;
            ::freeaddrinfo(list);
            return;
        }
        ::close(fd);
        lastError = error;
    }
    ::freeaddrinfo(list);
    if (timedOut) {
        throw TcpClientError(zrTcpFailure::tf_ConnectTimeout, u"Connect timed out.");
    }
    RaiseSocketError(lastError);
}

bool TcpSocket::WaitReadable(std::int32_t aTimeoutMs) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    short revents = 0;
    const int r = PollOne(static_cast<int>(fHandle), POLLIN, aTimeoutMs, revents);
    if (r < 0) {
        RaiseSocketError(errno);
    }
    // POLLHUP and POLLERR count as readable: the receive that follows reports what happened.
    return r > 0;
}

std::ptrdiff_t TcpSocket::Receive(std::uint8_t* aBuffer, std::size_t aSize) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    for (;;) {
        const ssize_t got = ::recv(static_cast<int>(fHandle), aBuffer, aSize, 0);
        if (got >= 0) {
            return got;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return kWouldBlock;
        }
        if (errno != EINTR) {
            RaiseSocketError(errno);
        }
    }
}

void TcpSocket::Send(const std::uint8_t* aData, std::size_t aSize, std::int32_t aTimeoutMs) {
    if (!IsOpen()) {
        throw TcpClientError(zrTcpFailure::tf_NotConnected, u"Not Connected.");
    }
    while (aSize > 0) {
        const ssize_t sent = ::send(static_cast<int>(fHandle), aData, aSize, kSendFlags);
        if (sent > 0) {
            aData += sent;
            aSize -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            RaiseSocketError(errno);
        }
        short revents = 0;
        const int r = PollOne(static_cast<int>(fHandle), POLLOUT, aTimeoutMs, revents);
        if (r < 0) {
            RaiseSocketError(errno);
        }
        if (r == 0) {
            throw TcpClientError(zrTcpFailure::tf_Socket, u"Write timed out.");
        }
    }
}

void TcpSocket::Close() {
    if (IsOpen()) {
        ::close(static_cast<int>(fHandle));
        fHandle = kInvalid;
    }
}
