// How long the till waits for a payment printed on the cash register, through the library's exports
// against the emulator on loopback (it sends the receipt at once):
//
//   BM_PayOnEcrThroughExports  the whole PAY call; counter LastReceiptToResultMs is the time from the
//                              terminal's last receipt frame to the export's return (/1: on an open
//                              device; /0: without a handle, so the call also opens and closes its
//                              device and log)
//   BM_RawReplayOfTheSameFrames  the bytes of one such payment replayed over a plain socket, in the
//                              same run: the floor that the whole call is compared with
//   BM_PayBesideRawReplay      the goal's measurement: a PAY on an open device and a raw replay of its
//                              frames, taken in turn against the same emulator, so that both see the same
//                              load of the shared machine; Ratio is the median PAY over the median replay
//
// Both sides connect the TCP socket, exchange the same frames and ACKs (each side waits for every frame
// of the terminal before it sends its next one) and close the socket; only the library's own work
// differs. Every counter ending in Ms is a median over the calls of the run (P90Ms: the 90th
// percentile), so one stray wake-up on the shared machine does not move it. The first call of each kind
// is not timed: it loads what a till loads once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "emulator/TerminalEmulator.h"
#include "io/TcpClient.h"

namespace {
using Clock = std::chrono::steady_clock;

// aHandle: an open device (a till opens its terminal once), or empty for a device of this call only.
std::u16string PayRequest(std::uint16_t aPort, const std::string& aHandle = std::string()) {
    const std::string handle = aHandle.empty() ? std::string() : "<Handle>" + aHandle + "</Handle>";
    const std::string xml =
        "<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver>" + handle +
        "<LogId>bench</LogId><Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" +
        std::to_string(aPort) +
        "</Port></Connection><Payment><Amount>12.34</Amount>"
        "<PrintLocation>ECR</PrintLocation></Payment></ReceiptPrinterManager>";
    return std::u16string(xml.begin(), xml.end());
}

// The terminal side with a clock on its last receipt frame (the one that carries ESC).
struct Terminal {
    Terminal() {
        emulator.SetObserver([this](const std::string& aLine) {
            if (aLine.rfind("-> ", 0) == 0 && aLine.find("receipt text") != std::string::npos) {
                lastReceiptFrame = Clock::now().time_since_epoch().count();
            }
        });
        emulator.StartTcp();
    }
    double MsSinceLastReceiptFrame(Clock::time_point aThen) const {
        return std::chrono::duration<double, std::milli>(aThen.time_since_epoch() -
                                                         Clock::duration(lastReceiptFrame.load()))
            .count();
    }
    p17emu::TerminalEmulator emulator;
    std::atomic<Clock::rep> lastReceiptFrame{0};
};

// Durations of one kind of call in milliseconds.
class CallTimes {
public:
    void Add(Clock::time_point aStart, Clock::time_point aEnd) {
        fMs.push_back(std::chrono::duration<double, std::milli>(aEnd - aStart).count());
    }
    void AddMs(double aMs) { fMs.push_back(aMs); }
    // The value below which the fraction aQ of the calls lie (0.5: the median); 0 without calls.
    double Quantile(double aQ) {
        if (fMs.empty()) {
            return 0;
        }
        const auto at = fMs.begin() + static_cast<std::ptrdiff_t>(aQ * static_cast<double>(fMs.size() - 1));
        std::nth_element(fMs.begin(), at, fMs.end());
        return *at;
    }

private:
    std::vector<double> fMs;
};

// The library loaded as a host loads it, with a device opened on the emulator when aOpen.
struct Till {
    Till(Terminal& aTerminal, bool aOpen) {
        if (!lib.IsLoaded()) {
            return;
        }
        std::string handle;
        if (aOpen) {
            const std::u16string opened = lib.Call("OPEN", PayRequest(aTerminal.emulator.Port())).Output;
            const auto at = opened.find(u"<Handle>") + 8;
            handle = Utf16ToUtf8(opened.substr(at, opened.find(u'<', at) - at));
        }
        request = PayRequest(aTerminal.emulator.Port(), handle);
    }
    bool Pay() { return lib.Call("PAY", request).Result == 0; }
    LoadedLibrary lib;
    std::u16string request;
};

// The frames of one payment, as the emulator saw them, and their replay over a plain socket: connect,
// each frame of the driver written, each frame of the terminal read in full before the next step, close.
class Replay {
public:
    Replay(Terminal& aTerminal, Till& aTill) : fPort(aTerminal.emulator.Port()) {
        aTerminal.emulator.ClearTraffic();
        fRecorded = aTill.Pay();
        aTerminal.emulator.WaitIdle(5000);
        fTraffic = aTerminal.emulator.Traffic();
    }
    bool Recorded() const { return fRecorded && !fTraffic.empty(); }
    void Run() const {
        TcpClient client;
        client.SetHost(u"127.0.0.1");
        client.SetPort(fPort);
        client.SetReadTimeout(5000);
        client.Connect();
        for (const auto& entry : fTraffic) {
            if (entry.FromDriver) {
                client.Write(entry.Bytes);
            } else {
                client.ReadBytes(entry.Bytes.size());
            }
        }
        client.Disconnect();
    }

private:
    std::uint16_t fPort;
    bool fRecorded = false;
    std::vector<p17emu::TrafficEntry> fTraffic;
};

void BM_PayOnEcrThroughExports(benchmark::State& state) {
    Terminal terminal;
    Till till(terminal, state.range(0) != 0);
    if (!till.lib.IsLoaded()) {
        state.SkipWithError(till.lib.LoadError().c_str());
        return;
    }
    if (!till.Pay()) {
        state.SkipWithError("payment failed");
        return;
    }
    CallTimes calls;
    CallTimes afterReceipt;
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool paid = till.Pay();
        const auto returned = Clock::now();
        if (!paid) {
            state.SkipWithError("payment failed");
            break;
        }
        calls.Add(start, returned);
        afterReceipt.AddMs(terminal.MsSinceLastReceiptFrame(returned));
    }
    state.counters["CallMs"] = calls.Quantile(0.5);
    state.counters["CallP90Ms"] = calls.Quantile(0.9);
    state.counters["LastReceiptToResultMs"] = afterReceipt.Quantile(0.5);
}
// Argument 1: on a device opened once (OPEN); 0: each PAY opens and closes its own device.
BENCHMARK(BM_PayOnEcrThroughExports)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->UseRealTime();

void BM_RawReplayOfTheSameFrames(benchmark::State& state) {
    Terminal terminal;
    Replay replay = [&] {
        Till till(terminal, false);
        return Replay(terminal, till);
    }();
    if (!replay.Recorded()) {
        state.SkipWithError("no payment to replay");
        return;
    }
    replay.Run();
    CallTimes calls;
    for (auto _ : state) {
        const auto start = Clock::now();
        replay.Run();
        calls.Add(start, Clock::now());
    }
    state.counters["CallMs"] = calls.Quantile(0.5);
    state.counters["CallP90Ms"] = calls.Quantile(0.9);
}
BENCHMARK(BM_RawReplayOfTheSameFrames)->Unit(benchmark::kMillisecond)->Iterations(200)->UseRealTime();

void BM_PayBesideRawReplay(benchmark::State& state) {
    Terminal terminal;
    Till till(terminal, true);
    if (!till.lib.IsLoaded()) {
        state.SkipWithError(till.lib.LoadError().c_str());
        return;
    }
    const Replay replay(terminal, till);
    if (!replay.Recorded()) {
        state.SkipWithError("no payment to replay");
        return;
    }
    replay.Run();
    CallTimes pays;
    CallTimes replays;
    for (auto _ : state) {
        auto start = Clock::now();
        if (!till.Pay()) {
            state.SkipWithError("payment failed");
            break;
        }
        pays.Add(start, Clock::now());
        start = Clock::now();
        replay.Run();
        replays.Add(start, Clock::now());
    }
    const double pay = pays.Quantile(0.5);
    const double raw = replays.Quantile(0.5);
    state.counters["PayMs"] = pay;
    state.counters["PayP90Ms"] = pays.Quantile(0.9);
    state.counters["ReplayMs"] = raw;
    state.counters["ReplayP90Ms"] = replays.Quantile(0.9);
    state.counters["Ratio"] = raw > 0 ? pay / raw : 0;
}
BENCHMARK(BM_PayBesideRawReplay)->Unit(benchmark::kMillisecond)->Iterations(300)->UseRealTime();
} // namespace
