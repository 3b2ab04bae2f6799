// How soon a stopped command returns, through the library's exports against a silent emulator on loopback
// (it acknowledges the payment request and never answers):
//
//   BM_CancelOfAWaitingPay  a PAY on its own thread; once the terminal holds the request, CANCEL of its
//                           handle from this thread. CancelToReturnMs: from the call of CANCEL to the
//                           return of PAY (median; P90Ms, MaxMs)
//   BM_CommandTimeoutOfAPay a PAY whose request bounds it with CommandTimeout 200 ms. BeyondBoundMs: how
//                           much longer than the bound the call took (median; MaxMs)
//
// Goal: within one second (every wait looks at its signal at least every 50 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "LoadedLibrary.h"
#include "emulator/TerminalEmulator.h"

namespace {
using Clock = std::chrono::steady_clock;

std::u16string Request(std::uint16_t aPort, const std::string& aEnvelope, const std::string& aSection) {
    const std::string xml =
        "<ReceiptPrinterManager><Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>bench</LogId>" + aEnvelope +
        "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" + std::to_string(aPort) +
        "</Port></Connection>" + aSection + "</ReceiptPrinterManager>";
    return std::u16string(xml.begin(), xml.end());
}

const std::string kPay = "<Payment><Amount>1</Amount><PrintLocation>EFT</PrintLocation></Payment>";

p17emu::Config Silent() {
    p17emu::Config c;
    c.FaultKind = p17emu::Fault::Silence;
    return c;
}

// The terminal holds a payment request; bounded.
bool HoldsPayment(const p17emu::TerminalEmulator& aTerminal) {
    for (int i = 0; i < 2000; ++i) {
        for (const std::string& r : aTerminal.Requests()) {
            if (r.size() >= 10 && r[9] == 'X') {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

double Quantile(std::vector<double> aMs, double aQ) {
    if (aMs.empty()) {
        return 0;
    }
    std::sort(aMs.begin(), aMs.end());
    return aMs[static_cast<std::size_t>(aQ * static_cast<double>(aMs.size() - 1))];
}

double MsBetween(Clock::time_point aFrom, Clock::time_point aTo) {
    return std::chrono::duration<double, std::milli>(aTo - aFrom).count();
}

void BM_CancelOfAWaitingPay(benchmark::State& state) {
    LoadedLibrary lib;
    p17emu::TerminalEmulator terminal(Silent());
    if (!lib.IsLoaded() || !terminal.StartTcp()) {
        state.SkipWithError("no library or no emulator");
        return;
    }
    const std::u16string open = lib.Call("OPEN", Request(terminal.Port(), "", "")).Output;
    const std::string doc(open.begin(), open.end());
    const auto at = doc.find("<Handle>");
    const std::string handle = doc.substr(at + 8, doc.find("</Handle>") - at - 8);
    const std::u16string pay = Request(terminal.Port(), "<Handle>" + handle + "</Handle>", kPay);
    const std::string cancelXml = "<Cancel><Handle>" + handle + "</Handle></Cancel>";
    const std::u16string cancel(cancelXml.begin(), cancelXml.end());
    std::vector<double> ms;
    for (auto _ : state) {
        terminal.ClearTraffic();
        auto running = std::async(std::launch::async, [&] { return lib.Call("PAY", pay); });
        if (!HoldsPayment(terminal)) {
            state.SkipWithError("the terminal never got the payment");
            break;
        }
        const auto start = Clock::now();
        lib.Call("CANCEL", cancel);
        const auto outcome = running.get();
        ms.push_back(MsBetween(start, Clock::now()));
        if (outcome.Result == 0) {
            state.SkipWithError("a cancelled payment succeeded");
            break;
        }
        terminal.WaitIdle(2000);
    }
    lib.Call("CLOSE", Request(terminal.Port(), "<Handle>" + handle + "</Handle>", ""));
    state.counters["CancelToReturnMs"] = Quantile(ms, 0.5);
    state.counters["P90Ms"] = Quantile(ms, 0.9);
    state.counters["MaxMs"] = Quantile(ms, 1.0);
}
BENCHMARK(BM_CancelOfAWaitingPay)->Unit(benchmark::kMillisecond)->Iterations(40)->UseRealTime();

void BM_CommandTimeoutOfAPay(benchmark::State& state) {
    constexpr double kBoundMs = 200;
    LoadedLibrary lib;
    p17emu::TerminalEmulator terminal(Silent());
    if (!lib.IsLoaded() || !terminal.StartTcp()) {
        state.SkipWithError("no library or no emulator");
        return;
    }
    const std::u16string pay =
        Request(terminal.Port(), "<Parameters><CommandTimeout>200</CommandTimeout></Parameters>", kPay);
    std::vector<double> beyond;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (lib.Call("PAY", pay).Result == 0) {
            state.SkipWithError("a bounded payment succeeded");
            break;
        }
        beyond.push_back(MsBetween(start, Clock::now()) - kBoundMs);
        terminal.WaitIdle(2000);
    }
    state.counters["BeyondBoundMs"] = Quantile(beyond, 0.5);
    state.counters["MaxMs"] = Quantile(beyond, 1.0);
}
BENCHMARK(BM_CommandTimeoutOfAPay)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
} // namespace
