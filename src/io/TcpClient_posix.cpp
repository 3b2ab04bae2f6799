// The system calls of TcpSocket on POSIX sockets.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "io/TcpClientSocket.h"
#include "platform/Clock.h"

namespace {
// A write to a peer that has gone must fail with EPIPE, never raise SIGPIPE in the host process.
#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int Fd(tcpos::Handle aHandle) {
    return static_cast<int>(aHandle);
}

// poll() for one descriptor, restarted after a signal with the time that is left.
int PollOne(int aFd, short aEvents, std::int32_t aTimeoutMs) {
    const tZR_Deadline deadline(aTimeoutMs);
    for (;;) {
        pollfd p{aFd, aEvents, 0};
        const int r = ::poll(&p, 1, deadline.MillisecondsLeft());
        if (r >= 0 || errno != EINTR) {
            return r;
        }
    }
}
} // namespace

namespace tcpos {
const int kNamedErrors[kNamedErrorCount] = {
    ECONNREFUSED, ECONNRESET,    ECONNABORTED, ETIMEDOUT, EHOSTUNREACH, ENETUNREACH, ENETDOWN,
    EPIPE,        EADDRNOTAVAIL, EAFNOSUPPORT, EMFILE,    ENOBUFS,      -1};

int Start() {
    return 0;
}

int Resolve(const Text& aHost, std::uint16_t aPort, std::vector<Address>& aAddresses) {
    const std::string host = TextToUtf8(aHost);
    const std::string port = std::to_string(aPort);
    return ResolveStream<addrinfo>(
        AF_UNSPEC, SOCK_STREAM, IPPROTO_TCP,
        [&](const addrinfo& aHints, addrinfo** aList) {
            return ::getaddrinfo(host.c_str(), port.c_str(), &aHints, aList);
        },
        ::freeaddrinfo, aAddresses);
}

Handle Open(const Address& aAddress, int& aError) {
    const int fd = ::socket(aAddress.Family, aAddress.Type, aAddress.Protocol);
    if (fd < 0) {
        aError = errno;
        return kInvalid;
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        aError = errno;
        ::close(fd);
        return kInvalid;
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

int StartConnect(Handle aHandle, const Address& aAddress) {
    // The bytes are the resolver's sockaddr as it gave them (a vector's storage suits its alignment).
    const auto* address = reinterpret_cast<const sockaddr*>(aAddress.SocketAddress.data());
    if (::connect(Fd(aHandle), address, static_cast<socklen_t>(aAddress.SocketAddress.size())) == 0) {
        return 0;
    }
    // A connect cut by a signal goes on in the background, as one that would block does.
    return errno == EINPROGRESS || errno == EINTR ? kPending : errno;
}

int FinishConnect(Handle aHandle, std::int32_t aTimeoutMs) {
    const int r = PollOne(Fd(aHandle), POLLOUT, aTimeoutMs);
    if (r == 0) {
        return kPending;
    }
    if (r < 0) {
        return errno;
    }
    int error = 0;
    socklen_t len = sizeof error;
    return ::getsockopt(Fd(aHandle), SOL_SOCKET, SO_ERROR, &error, &len) != 0 ? errno : error;
}

int Wait(Handle aHandle, bool aForWriting, std::int32_t aTimeoutMs, bool& aReady) {
    // POLLHUP and POLLERR count as ready: the call that follows reports what happened.
    const int r = PollOne(Fd(aHandle), aForWriting ? POLLOUT : POLLIN, aTimeoutMs);
    aReady = r > 0;
    return r < 0 ? errno : 0;
}

std::ptrdiff_t Receive(Handle aHandle, std::uint8_t* aBuffer, std::size_t aSize, int& aError) {
    for (;;) {
        const ssize_t got = ::recv(Fd(aHandle), aBuffer, aSize, 0);
        if (got >= 0) {
            return got;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return kWouldBlock;
        }
        if (errno != EINTR) {
            aError = errno;
            return kFailed;
        }
    }
}

std::ptrdiff_t Send(Handle aHandle, const std::uint8_t* aData, std::size_t aSize, int& aError) {
    for (;;) {
        const ssize_t sent = ::send(Fd(aHandle), aData, aSize, kSendFlags);
        if (sent > 0) {
            return sent;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            aError = errno;
            return kFailed;
        }
        return kWouldBlock;
    }
}

void Close(Handle aHandle) {
    ::close(Fd(aHandle));
}
} // namespace tcpos
