// A complete payment with receipt text on the cash register's printer, against the terminal emulator on
// loopback, through the real TCP channel and its log file.
//
//   BM_PaymentWithReceipt           pauses of the link are recorded, not taken: wall time is the time
//                                   beyond them, CPU time is the driver's (the calling thread; the
//                                   emulator runs on its own thread)
//   BM_PaymentWithReceiptNoLog      the same without the channel's log file: the driver and the socket alone
//   BM_PaymentWithReceiptRealPause  the real waits (the receipt is collected as soon as its first byte is in)
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "drivers/P17Protocol.h"
#include "emulator/TerminalEmulator.h"
#include "io/IOHandler_TCP.h"

namespace {
struct Rig {
    explicit Rig(bool aRealPause, bool aLog = true) {
        emulator.StartTcp();
        connection.ConnectionType = zrConnectionType::TCP;
        connection.Address = u"127.0.0.1";
        connection.Port = emulator.Port();
        std::filesystem::create_directories(dir);
        channel =
            std::make_unique<kIOHandler_TCP>(&connection, aLog ? dir.u16string() : Text(), u"PaymentBench");
        kP17Link::PauseFn pause;
        if (!aRealPause) {
            pause = [this](std::int32_t aMs) { pausedMs += aMs; };
        }
        p17 = std::make_unique<kP17Protocol>(*channel, custom, u"127.0.0.1", kP17Protocol::NowFn(), pause);
        receipt.fTillCode = u"5";
        receipt.fReference = u"BENCH";
        receipt.fAmount = Currency::FromRaw(123400);
        receipt.fPrintLocation = ZrPrintLocation::pl_ECR;
    }
    ~Rig() {
        channel.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    bool Pay() {
        _int_PAY_result r;
        return p17->DoPay(receipt, r) && !r.ReceiptText.empty();
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zr_payment_bench";
    p17emu::TerminalEmulator emulator;
    kConnection connection;
    std::unique_ptr<kIOHandler_TCP> channel;
    TextList custom;
    std::unique_ptr<kP17Protocol> p17;
    kPaymentReceipt receipt;
    std::int64_t pausedMs = 0;
};

void PayRepeatedly(benchmark::State& state, bool aLog) {
    Rig rig(false, aLog);
    for (auto _ : state) {
        if (!rig.Pay()) {
            state.SkipWithError("payment failed");
            break;
        }
    }
    state.counters["PrescribedPauseMs"] =
        benchmark::Counter(static_cast<double>(rig.pausedMs), benchmark::Counter::kAvgIterations);
}
void BM_PaymentWithReceipt(benchmark::State& state) {
    PayRepeatedly(state, true);
}
BENCHMARK(BM_PaymentWithReceipt)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PaymentWithReceiptNoLog(benchmark::State& state) {
    PayRepeatedly(state, false);
}
BENCHMARK(BM_PaymentWithReceiptNoLog)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PaymentWithReceiptRealPause(benchmark::State& state) {
    Rig rig(true);
    for (auto _ : state) {
        if (!rig.Pay()) {
            state.SkipWithError("payment failed");
            break;
        }
    }
}
BENCHMARK(BM_PaymentWithReceiptRealPause)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// A command without a handle builds its channel (and log writer) for the call and frees it at the end;
// the timed round covers both. Argument 1: a writable log folder; 0: a folder nobody can write, not even
// root (its parent is a file). The second must cost what the first costs: a failing file is not retried
// line by line and the close of its writer does not wait for it. Wall time.
void BM_PaymentChannelPerCall(benchmark::State& state) {
    const bool writable = state.range(0) != 0;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zr_payment_bench_per_call";
    std::filesystem::create_directories(dir);
    { std::ofstream(dir / "plain-file") << "x"; }
    const std::filesystem::path logs = writable ? dir / "LogFiles" : dir / "plain-file" / "LogFiles";
    p17emu::TerminalEmulator emulator;
    emulator.StartTcp();
    kConnection connection;
    connection.ConnectionType = zrConnectionType::TCP;
    connection.Address = u"127.0.0.1";
    connection.Port = emulator.Port();
    kPaymentReceipt receipt;
    receipt.fTillCode = u"5";
    receipt.fAmount = Currency::FromRaw(123400);
    receipt.fPrintLocation = ZrPrintLocation::pl_ECR;
    const TextList custom;
    const kP17Link::PauseFn skipPauses = [](std::int32_t) {};
    for (auto _ : state) {
        kIOHandler_TCP channel(&connection, logs.u16string(), u"PerCall");
        kP17Protocol p17(channel, custom, u"127.0.0.1", kP17Protocol::NowFn(), skipPauses);
        _int_PAY_result r;
        if (!p17.DoPay(receipt, r)) {
            state.SkipWithError("payment failed");
            break;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_PaymentChannelPerCall)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
} // namespace
