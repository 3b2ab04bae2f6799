// Serial channel throughput on a pseudo-terminal: kIOHandler_Serial::ReadUpTo at 115200 baud 8N1
// (11520 characters per second) with the sender paced to the line rate, and with an unpaced sender to
// show how far above the line rate the one-byte reads could go. Ratio = bytes per second / 11520.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "io/IOHandler_Serial.h"

namespace {
constexpr double kLineRate = 115200.0 / 10.0; // start bit, 8 data bits, stop bit

class Pty {
public:
    Pty() {
        char name[256] = {};
        if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) == 0) {
            ::setenv("ZRPA_SERIAL_COM61", name, 1);
        }
    }
    ~Pty() {
        ::close(fMaster);
        ::close(fSlave);
        ::unsetenv("ZRPA_SERIAL_COM61");
    }
    // Writes aData, at most aChunk bytes at a time; with aPaced each chunk leaves when the line
    // would have carried it.
    void Send(const std::string& aData, std::size_t aChunk, bool aPaced) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t sent = 0; sent < aData.size();) {
            if (aPaced) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(static_cast<std::int64_t>(
                                                          static_cast<double>(sent) * 1e6 / kLineRate)));
            }
            const ssize_t n = ::write(fMaster, aData.data() + sent, std::min(aChunk, aData.size() - sent));
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else {
                pollfd p{fMaster, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
    }

private:
    int fMaster = -1;
    int fSlave = -1;
};

void SerialReadUpTo(benchmark::State& state, bool aPaced) {
    Pty pty;
    kConnection c;
    c.SerialPort = u"COM61";
    c.Speed = 115200;
    c.DataBits = 8;
    c.StopBits = 1;
    c.SetReadTimeOut(10000);
    kIOHandler_Serial channel(&c, Text(), Text());
    channel.Connect();
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    std::string payload(size - 1, 'A');
    payload += '\x03';
    const std::vector<std::uint8_t> terminators = {0x03, 0x04};
    for (auto _ : state) {
        std::thread sender([&] { pty.Send(payload, aPaced ? 16 : 4096, aPaced); });
        const Text got = channel.ReadUpTo(terminators);
        sender.join();
        if (got.size() != size) {
            state.SkipWithError("short read");
            break;
        }
    }
    channel.Disconnect();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["line_rate_ratio"] = benchmark::Counter(
        static_cast<double>(state.iterations() * size) / kLineRate, benchmark::Counter::kIsRate);
}

void BM_SerialReadUpToAtLineRate(benchmark::State& state) {
    SerialReadUpTo(state, true);
}
void BM_SerialReadUpToUnpaced(benchmark::State& state) {
    SerialReadUpTo(state, false);
}

// 2304 characters are 0.2 s on the line.
BENCHMARK(BM_SerialReadUpToAtLineRate)
    ->Arg(2304)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SerialReadUpToUnpaced)->Arg(65536)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
