// Throughput of kIOHandler_TCP::ReadUpTo over loopback against a plain recv loop reading the same
// stream: a local server sends 1 MiB of data ending in ETX each time it is asked. The ratio of the two
// figures is the cost of the channel (receive buffer, one clock reading and one append per byte).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "io/IOHandler_TCP.h"

namespace {
constexpr std::size_t kPayload = 1 << 20;

// Accepts one connection and answers every "g" with the payload; ends when the client closes.
class PayloadServer {
public:
    PayloadServer() {
        fListener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fListener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fListener, 1);
        ::getsockname(fListener, reinterpret_cast<sockaddr*>(&a), &len);
        fPort = ntohs(a.sin_port);
        fThread = std::thread([this] { Serve(); });
    }
    ~PayloadServer() {
        fThread.join();
        ::close(fListener);
    }
    std::uint16_t Port() const { return fPort; }

private:
    void Serve() {
        const int fd = ::accept(fListener, nullptr, nullptr);
        std::string payload(kPayload - 1, 'A');
        payload += '\x03';
        char command = 0;
        while (::recv(fd, &command, 1, 0) == 1) {
            for (std::size_t sent = 0; sent < payload.size();) {
                const ssize_t n = ::send(fd, payload.data() + sent, payload.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
        }
        ::close(fd);
    }

    int fListener = -1;
    std::uint16_t fPort = 0;
    std::thread fThread;
};

void BM_TcpReadUpTo(benchmark::State& state) {
    PayloadServer server;
    kConnection c;
    c.Address = u"127.0.0.1";
    c.Port = server.Port();
    c.SetReadTimeOut(5000);
    {
        kIOHandler_TCP channel(&c, Text(), Text()); // no log file: the transport alone
        if (!channel.Connect()) {
            state.SkipWithError("connect failed");
            return;
        }
        const std::vector<std::uint8_t> terminators = {0x03, 0x04};
        for (auto _ : state) {
            channel.Write(u"g");
            const Text got = channel.ReadUpTo(terminators);
            if (got.size() != kPayload) {
                state.SkipWithError("short read");
                break;
            }
            benchmark::DoNotOptimize(got.data());
        }
        channel.Disconnect();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_TcpReadUpTo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainRecvLoop(benchmark::State& state) {
    PayloadServer server;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(server.Port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        state.SkipWithError("connect failed");
        ::close(fd);
        return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::unique_ptr<char[]> buffer(new char[64 * 1024]);
    for (auto _ : state) {
        ::send(fd, "g", 1, MSG_NOSIGNAL);
        std::size_t total = 0;
        bool found = false;
        while (!found) {
            const ssize_t n = ::recv(fd, buffer.get(), 64 * 1024, 0);
            if (n <= 0) {
                break;
            }
            total += static_cast<std::size_t>(n);
            found = std::memchr(buffer.get(), 0x03, static_cast<std::size_t>(n)) != nullptr;
        }
        if (total != kPayload) {
            state.SkipWithError("short read");
            break;
        }
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_PlainRecvLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
