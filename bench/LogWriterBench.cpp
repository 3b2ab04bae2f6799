// Log writer: what a producer pays for one Write while the writer thread is busy, and how many lines per
// second reach the disk. Lines go to real files in a temporary folder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/Guid.h"
#include "runtime/LogWriter.h"

namespace {
namespace fs = std::filesystem;

class BenchFolder {
public:
    BenchFolder()
        : fPath(fs::temp_directory_path() / ("zr_bench_" + TextToUtf8(GuidToText(NewGuid()).substr(1, 8)))) {
        fs::create_directories(fPath);
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(fPath, ec);
    }
    Text AsText() const { return fPath.u16string(); }

private:
    fs::path fPath;
};

const Text kMessage = u"TX:0000000001250 [02 30 30 30 30 30 30 30 31 32 35 30 03] terminal answered";

void ReportPercentiles(benchmark::State& aState, std::vector<double>& aSamples) {
    if (aSamples.empty()) {
        return;
    }
    std::sort(aSamples.begin(), aSamples.end());
    aState.counters["median_ns"] = aSamples[aSamples.size() / 2];
    aState.counters["p99_ns"] = aSamples[aSamples.size() * 99 / 100];
}

// Each round queues a backlog first, so the thread is writing to disk while the timed Writes run; the
// queue never fills, so every timed Write stores its line.
void BM_WriteWhileThreadBusy(benchmark::State& aState) {
    BenchFolder dir;
    tZR_LogWriter writer(u"Busy", dir.AsText(), 0, false);
    std::vector<double> samples;
    samples.reserve(1 << 20);
    using Clock = std::chrono::steady_clock;
    for (auto _ : aState) {
        aState.PauseTiming();
        for (int i = 0; i < 5000; ++i) {
            writer.Write(tZR_MessageType::let_info, kMessage);
        }
        aState.ResumeTiming();
        for (int i = 0; i < 1000; ++i) {
            const auto t0 = Clock::now();
            writer.Write(tZR_MessageType::let_info, kMessage);
            const auto t1 = Clock::now();
            samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
        aState.PauseTiming();
        writer.WaitUntilWritten(60000);
        aState.ResumeTiming();
    }
    aState.SetItemsProcessed(static_cast<std::int64_t>(aState.iterations()) * 1000);
    aState.counters["dropped"] = static_cast<double>(writer.DroppedTotal());
    ReportPercentiles(aState, samples);
}
BENCHMARK(BM_WriteWhileThreadBusy)->Unit(benchmark::kMicrosecond)->Iterations(40);

// A full queue: the Write formats the line and counts it as dropped.
void BM_WriteIntoFullQueue(benchmark::State& aState) {
    BenchFolder dir;
    tZR_LogWriter writer(u"Full", dir.AsText(), 0, false);
    writer.HoldThreadForTest(true);
    writer.WaitThreadHeldForTest(5000);
    for (int i = 0; i < 20000; ++i) {
        writer.Write(tZR_MessageType::let_info, kMessage);
    }
    std::vector<double> samples;
    samples.reserve(1 << 20);
    using Clock = std::chrono::steady_clock;
    for (auto _ : aState) {
        const auto t0 = Clock::now();
        writer.Write(tZR_MessageType::let_info, kMessage);
        const auto t1 = Clock::now();
        if (samples.size() < samples.capacity()) {
            samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
    }
    ReportPercentiles(aState, samples);
    writer.HoldThreadForTest(false);
    writer.SetIsDLLFinalization(true); // do not wait for 20000 lines on the way out
}
BENCHMARK(BM_WriteIntoFullQueue)->Unit(benchmark::kNanosecond);

// Four producers on one writer: the cost of sharing the queue's lock.
void BM_WriteFourProducers(benchmark::State& aState) {
    static tZR_LogWriter* writer = nullptr;
    static BenchFolder* dir = nullptr;
    if (aState.thread_index() == 0) {
        dir = new BenchFolder();
        writer = new tZR_LogWriter(u"Shared", dir->AsText(), 0, false);
    }
    std::vector<double> samples;
    samples.reserve(1 << 18);
    using Clock = std::chrono::steady_clock;
    for (auto _ : aState) {
        const auto t0 = Clock::now();
        writer->Write(tZR_MessageType::let_info, kMessage);
        const auto t1 = Clock::now();
        if (samples.size() < samples.capacity()) {
            samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
    }
    ReportPercentiles(aState, samples);
    if (aState.thread_index() == 0) {
        aState.counters["dropped"] = static_cast<double>(writer->DroppedTotal());
        writer->SetIsDLLFinalization(true);
        delete writer;
        delete dir;
    }
}
BENCHMARK(BM_WriteFourProducers)->Threads(4)->Unit(benchmark::kNanosecond);

// Lines per second from Write to the file: each round queues 20000 lines and waits until all are on disk.
void BM_LinesToDisk(benchmark::State& aState) {
    BenchFolder dir;
    tZR_LogWriter writer(u"Disk", dir.AsText(), 0, false);
    writer.SetMaxLogFileSize(1 << 30);
    for (auto _ : aState) {
        for (int i = 0; i < 20000; ++i) {
            writer.Write(tZR_MessageType::let_info, kMessage);
        }
        writer.WaitUntilWritten(600000);
    }
    aState.SetItemsProcessed(static_cast<std::int64_t>(aState.iterations()) * 20000);
    aState.counters["dropped"] = static_cast<double>(writer.DroppedTotal());
}
BENCHMARK(BM_LinesToDisk)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
} // namespace
