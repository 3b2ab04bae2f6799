// How long the till waits for a payment printed on the cash register, through the library's exports
// against the emulator on loopback (it sends the receipt at once):
//
//   BM_PayOnEcrThroughExports  the whole PAY call; counter LastReceiptToResultMs is the time from the
//                              terminal's last receipt frame to the export's return (/1: on an open
//                              device; /0: without a handle, so the call also closes its device and log)
//   BM_RawReplayOfTheSameFrames  the bytes of one such payment replayed over a plain socket, in the
//                              same run: the floor that the whole call is compared with
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>

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
    p17emu::TerminalEmulator emulator;
    std::atomic<Clock::rep> lastReceiptFrame{0};
};

void BM_PayOnEcrThroughExports(benchmark::State& state) {
    LoadedLibrary lib;
    if (!lib.IsLoaded()) {
        state.SkipWithError(lib.LoadError().c_str());
        return;
    }
    Terminal terminal;
    std::string handle;
    if (state.range(0) != 0) {
        const std::u16string opened = lib.Call("OPEN", PayRequest(terminal.emulator.Port())).Output;
        const auto at = opened.find(u"<Handle>") + 8;
        handle = Utf16ToUtf8(opened.substr(at, opened.find(u'<', at) - at));
    }
    const std::u16string request = PayRequest(terminal.emulator.Port(), handle);
    double afterReceiptMs = 0;
    for (auto _ : state) {
        const auto outcome = lib.Call("PAY", request);
        const auto returned = Clock::now().time_since_epoch().count();
        if (outcome.Result != 0) {
            state.SkipWithError("payment failed");
            break;
        }
        afterReceiptMs += std::chrono::duration<double, std::milli>(
                              Clock::duration(returned - terminal.lastReceiptFrame.load()))
                              .count();
    }
    state.counters["LastReceiptToResultMs"] =
        benchmark::Counter(afterReceiptMs, benchmark::Counter::kAvgIterations);
}
// Argument 1: on a device opened once (OPEN); 0: each PAY opens and closes its own device.
BENCHMARK(BM_PayOnEcrThroughExports)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

void BM_RawReplayOfTheSameFrames(benchmark::State& state) {
    Terminal terminal;
    {
        // One payment through the library, to record what travels.
        LoadedLibrary lib;
        if (!lib.IsLoaded() || lib.Call("PAY", PayRequest(terminal.emulator.Port())).Result != 0) {
            state.SkipWithError("no payment to replay");
            return;
        }
    }
    terminal.emulator.WaitIdle(5000);
    const auto traffic = terminal.emulator.Traffic();
    for (auto _ : state) {
        TcpClient client;
        client.SetHost(u"127.0.0.1");
        client.SetPort(terminal.emulator.Port());
        client.SetReadTimeout(5000);
        client.Connect();
        for (const auto& entry : traffic) {
            if (entry.FromDriver) {
                client.Write(entry.Bytes);
            } else {
                client.ReadBytes(entry.Bytes.size());
            }
        }
        client.Disconnect();
    }
}
BENCHMARK(BM_RawReplayOfTheSameFrames)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
} // namespace
