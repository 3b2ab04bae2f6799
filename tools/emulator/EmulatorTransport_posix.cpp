#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "EmulatorTransport.h"

namespace p17emu {
namespace {

int WaitReadable(int aFd, int aTimeoutMs) {
    pollfd p{aFd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, aTimeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) {
        return rc;
    }
    return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0 ? 1 : 0;
}

bool WriteAll(int aFd, const std::string& aBytes, bool aSocket) {
    std::size_t done = 0;
    while (done < aBytes.size()) {
        const ssize_t n = aSocket ? ::send(aFd, aBytes.data() + done, aBytes.size() - done, MSG_NOSIGNAL)
                                  : ::write(aFd, aBytes.data() + done, aBytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class TcpLink : public ByteLink {
public:
    explicit TcpLink(int aFd) : fFd(aFd) {
        const int one = 1;
        ::setsockopt(fFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~TcpLink() override { Close(); }
    int Read(std::uint8_t* aBuffer, std::size_t aSize, int aTimeoutMs) override {
        if (fFd < 0) {
            return -1;
        }
        const int ready = WaitReadable(fFd, aTimeoutMs);
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        ssize_t n;
        do {
            n = ::recv(fFd, aBuffer, aSize, 0);
        } while (n < 0 && errno == EINTR);
        return n > 0 ? static_cast<int>(n) : -1;
    }
    bool Write(const std::string& aBytes) override { return fFd >= 0 && WriteAll(fFd, aBytes, true); }
    void Close() override {
        if (fFd >= 0) {
            ::shutdown(fFd, SHUT_RDWR);
            ::close(fFd);
            fFd = -1;
        }
    }
    bool CanClose() const override { return true; }
    void Reset() override {
        if (fFd >= 0) {
            const linger abort{1, 0};
            ::setsockopt(fFd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            ::close(fFd);
            fFd = -1;
        }
    }

private:
    int fFd;
};

class PosixListener : public TcpListener {
public:
    PosixListener(int aFd, std::uint16_t aPort) : fFd(aFd), fPort(aPort) {}
    ~PosixListener() override { ::close(fFd); }
    std::uint16_t Port() const override { return fPort; }
    std::unique_ptr<ByteLink> Accept(int aTimeoutMs) override {
        if (WaitReadable(fFd, aTimeoutMs) <= 0) {
            return nullptr;
        }
        const int fd = ::accept(fFd, nullptr, nullptr);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<TcpLink>(fd);
    }

private:
    int fFd;
    std::uint16_t fPort;
};

class PosixPty : public PseudoTerminal {
public:
    PosixPty(int aMaster, int aSlave, std::string aPath)
        : fMaster(aMaster), fSlave(aSlave), fPath(std::move(aPath)) {}
    ~PosixPty() override {
        ::close(fSlave);
        ::close(fMaster);
    }
    int Read(std::uint8_t* aBuffer, std::size_t aSize, int aTimeoutMs) override {
        const int ready = WaitReadable(fMaster, aTimeoutMs);
        if (ready <= 0) {
            return 0;
        }
        ssize_t n;
        do {
            n = ::read(fMaster, aBuffer, aSize);
        } while (n < 0 && errno == EINTR);
        // EIO only means no one holds the slave right now; the emulator's own slave descriptor prevents
        // it, but a pause keeps a loop from spinning if it happens anyway.
        if (n <= 0) {
            ::usleep(static_cast<useconds_t>(aTimeoutMs > 0 ? 10000 : 0));
            return 0;
        }
        return static_cast<int>(n);
    }
    bool Write(const std::string& aBytes) override { return WriteAll(fMaster, aBytes, false); }
    void Close() override {}
    bool CanClose() const override { return false; }
    void Reset() override {}
    const std::string& SlavePath() const override { return fPath; }

private:
    int fMaster;
    int fSlave;
    std::string fPath;
};

} // namespace

std::unique_ptr<TcpListener> TcpListener::Open(std::uint16_t aPort, std::string& aError) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        aError = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(aPort);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        aError = "cannot listen on 127.0.0.1:" + std::to_string(aPort) + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return std::make_unique<PosixListener>(fd, ntohs(addr.sin_port));
}

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(std::string& aError) {
    int master = -1;
    int slave = -1;
    char name[256] = {0};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        aError = std::string("openpty: ") + std::strerror(errno);
        return nullptr;
    }
    // Raw line: every byte of a frame passes unchanged, nothing is echoed back.
    termios t{};
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    return std::make_unique<PosixPty>(master, slave, name);
}

std::tm LocalCalendarTime(std::time_t aTime) {
    std::tm tm{};
    localtime_r(&aTime, &tm);
    return tm;
}

} // namespace p17emu
