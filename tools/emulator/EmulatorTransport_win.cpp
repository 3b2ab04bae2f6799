#include <winsock2.h>
#include <ws2tcpip.h>

#include "EmulatorTransport.h"

namespace p17emu {
namespace {

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        fOk = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUser() {
        if (fOk) {
            WSACleanup();
        }
    }
    bool fOk = false;
};

int WaitReadable(SOCKET aSocket, int aTimeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(aSocket, &set);
    timeval tv{aTimeoutMs / 1000, (aTimeoutMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &tv);
}

class TcpLink : public ByteLink {
public:
    explicit TcpLink(SOCKET aSocket) : fSocket(aSocket) {
        const BOOL one = TRUE;
        ::setsockopt(fSocket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    }
    ~TcpLink() override { Close(); }
    int Read(std::uint8_t* aBuffer, std::size_t aSize, int aTimeoutMs) override {
        if (fSocket == INVALID_SOCKET) {
            return -1;
        }
        const int ready = WaitReadable(fSocket, aTimeoutMs);
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        const int n = ::recv(fSocket, reinterpret_cast<char*>(aBuffer), static_cast<int>(aSize), 0);
        return n > 0 ? n : -1;
    }
    bool Write(const std::string& aBytes) override {
        std::size_t done = 0;
        while (fSocket != INVALID_SOCKET && done < aBytes.size()) {
            const int n = ::send(fSocket, aBytes.data() + done, static_cast<int>(aBytes.size() - done), 0);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return done == aBytes.size();
    }
    void Close() override {
        if (fSocket != INVALID_SOCKET) {
            ::shutdown(fSocket, SD_BOTH);
            ::closesocket(fSocket);
            fSocket = INVALID_SOCKET;
        }
    }
    bool CanClose() const override { return true; }
    void Reset() override {
        if (fSocket != INVALID_SOCKET) {
            const linger abort{1, 0};
            ::setsockopt(fSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
            ::closesocket(fSocket);
            fSocket = INVALID_SOCKET;
        }
    }

private:
    WinsockUser fWinsock;
    SOCKET fSocket;
};

class WinListener : public TcpListener {
public:
    WinListener(SOCKET aSocket, std::uint16_t aPort) : fSocket(aSocket), fPort(aPort) {}
    ~WinListener() override { ::closesocket(fSocket); }
    std::uint16_t Port() const override { return fPort; }
    std::unique_ptr<ByteLink> Accept(int aTimeoutMs) override {
        if (WaitReadable(fSocket, aTimeoutMs) <= 0) {
            return nullptr;
        }
        const SOCKET s = ::accept(fSocket, nullptr, nullptr);
        if (s == INVALID_SOCKET) {
            return nullptr;
        }
        return std::make_unique<TcpLink>(s);
    }

private:
    WinsockUser fWinsock;
    SOCKET fSocket;
    std::uint16_t fPort;
};

} // namespace

std::unique_ptr<TcpListener> TcpListener::Open(std::uint16_t aPort, std::string& aError) {
    WinsockUser winsock;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        aError = "socket failed with error " + std::to_string(WSAGetLastError());
        return nullptr;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(aPort);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 4) != 0) {
        aError = "cannot listen on 127.0.0.1:" + std::to_string(aPort) + " (error " +
                 std::to_string(WSAGetLastError()) + ")";
        ::closesocket(s);
        return nullptr;
    }
    int len = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    return std::make_unique<WinListener>(s, ntohs(addr.sin_port));
}

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(std::string& aError) {
    aError = "pseudo-terminals are not available on Windows";
    return nullptr;
}

std::tm LocalCalendarTime(std::time_t aTime) {
    std::tm tm{};
    localtime_s(&tm, &aTime);
    return tm;
}

} // namespace p17emu
