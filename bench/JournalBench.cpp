// What the payment journal adds to a PAY: payments with and without it, taken in turn against the same
// emulator on loopback (so both see the same load), through the real TCP channel and its log file, the
// journal on the same disk as the logs (its two records per payment that reach the disk are forced
// through the operating system's caches). Pauses of the link are recorded, not taken.
//
//   BM_PayWithAndWithoutJournal   counters: WithMs and WithoutMs, the medians of the calls of each kind;
//                                 AddedMs, their difference (the goal: at most 2 ms)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "drivers/P17Protocol.h"
#include "drivers/PaymentJournal.h"
#include "emulator/TerminalEmulator.h"
#include "io/IOHandler_TCP.h"
#include "platform/Process.h"

namespace {
double Median(std::vector<double> aValues) {
    if (aValues.empty()) {
        return 0;
    }
    std::sort(aValues.begin(), aValues.end());
    return aValues[aValues.size() / 2];
}

void BM_PayWithAndWithoutJournal(benchmark::State& state) {
    // Beside the benchmark program in the build tree, not in a memory file system: the forced writes must
    // reach a disk, and nothing lands in the folder it is started from.
    const std::filesystem::path dir = std::filesystem::path(ExecutableDirectory()) / "zr_journal_bench";
    std::filesystem::create_directories(dir);
    p17emu::TerminalEmulator emulator;
    emulator.StartTcp();
    kConnection connection;
    connection.ConnectionType = zrConnectionType::TCP;
    connection.Address = u"127.0.0.1";
    connection.Port = emulator.Port();
    kIOHandler_TCP channel(&connection, dir.u16string(), u"JournalBench");
    const TextList custom;
    kP17Protocol p17(channel, custom, u"127.0.0.1", kP17Protocol::NowFn(), [](std::int32_t) {});
    kPaymentJournal journal((dir / "Journal").u16string(), u"127.0.0.1:bench", channel.GetLogFileName());
    kPaymentReceipt receipt;
    receipt.fTillCode = u"5";
    receipt.fReference = u"BENCH";
    receipt.fAmount = Currency::FromRaw(123400);
    receipt.fPrintLocation = ZrPrintLocation::pl_ECR;

    std::vector<double> with, without;
    bool useJournal = false;
    for (auto _ : state) {
        useJournal = !useJournal;
        p17.SetJournal(useJournal ? &journal : nullptr);
        _int_PAY_result r;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = p17.DoPay(receipt, r);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (!ok || r.ReceiptText.empty()) {
            state.SkipWithError("payment failed");
            break;
        }
        (useJournal ? with : without).push_back(took.count());
    }
    state.counters["WithMs"] = Median(with);
    state.counters["WithoutMs"] = Median(without);
    state.counters["AddedMs"] = Median(with) - Median(without);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_PayWithAndWithoutJournal)->Unit(benchmark::kMillisecond)->Iterations(400)->UseRealTime();
} // namespace
