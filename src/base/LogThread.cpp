#include "base/LogThread.h"

#include <chrono>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Thread.h"

namespace {
void AppendDigits(Text& aOut, int aValue, int aWidth) {
    char16_t digits[12];
    int n = 0;
    unsigned v = aValue < 0 ? 0u : static_cast<unsigned>(aValue);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 12);
    for (int pad = n; pad < aWidth; ++pad) {
        aOut.push_back(u'0');
    }
    while (n > 0) {
        aOut.push_back(digits[--n]);
    }
}

// Read once: the regional settings of a running host do not change under its log lines.
const Text& TimeSeparator() {
    static const Text separator = HostTimeSeparator();
    return separator;
}

Text RotationStamp() {
    const LocalTimeParts t = LocalTimeNow();
    Text out;
    AppendDigits(out, t.Year, 4);
    AppendDigits(out, t.Month, 2);
    AppendDigits(out, t.Day, 2);
    AppendDigits(out, t.Hour, 2);
    AppendDigits(out, t.Minute, 2);
    AppendDigits(out, t.Second, 2);
    AppendDigits(out, t.Millisecond, 3);
    return out;
}

// The path without the extension of its file-name part, "_", the local date-time and ".log".
Text RotationName(const Text& aPath) {
    const std::size_t nameStart =
        aPath.find_last_of(u"/\\") == Text::npos ? 0 : aPath.find_last_of(u"/\\") + 1;
    const std::size_t dot = aPath.find_last_of(u'.');
    const Text stem = dot != Text::npos && dot >= nameStart ? aPath.substr(0, dot) : aPath;
    return stem + u"_" + RotationStamp() + u".log";
}
} // namespace

Text LogTimestamp() {
    const LocalTimeParts t = LocalTimeNow();
    const Text& sep = TimeSeparator();
    Text out;
    out.reserve(23 + 3 * sep.size());
    AppendDigits(out, t.Year, 4);
    out.push_back(u'-');
    AppendDigits(out, t.Month, 2);
    out.push_back(u'-');
    AppendDigits(out, t.Day, 2);
    out.push_back(u' ');
    AppendDigits(out, t.Hour, 2);
    out += sep;
    AppendDigits(out, t.Minute, 2);
    out += sep;
    AppendDigits(out, t.Second, 2);
    out += sep;
    AppendDigits(out, t.Millisecond, 3);
    return out;
}

tZR_LogState::tZR_LogState() : fLastDropReportTick(TickCount()) {}

Text tZR_LogState::FileName() const {
    std::lock_guard<std::mutex> lock(fNameLock);
    return fFileName;
}

void tZR_LogState::SetFileName(const Text& aValue) {
    std::lock_guard<std::mutex> lock(fNameLock);
    fFileName = aValue;
}

std::int64_t tZR_LogState::GetLogFileSize() const {
    return FileSize(FileName());
}

bool tZR_LogState::CheckLogfileSize() const {
    return fCounter.load() % 20 == 0;
}

void tZR_LogState::Execute() {
    for (;;) {
        if (fAbandon.load()) {
            break;
        }
        if (fHold.load()) {
            // A test that forgets to release the thread must not hang the run: the hold lasts 10 s at most.
            fHeld.store(true);
            for (int waited = 0; fHold.load() && !fAbandon.load() && waited < 10000; ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            fHold.store(false);
            fHeld.store(false);
            continue;
        }
        // Nothing may leave the thread: an exception here would end the host process.
        try {
            Text line;
            const tZR_QueueResult result = fQueue.Pop(line);
            if (result == tZR_QueueResult::qr_Success && !line.empty()) {
                try {
                    WriteLine(line);
                } catch (...) {
                }
                fHandled.fetch_add(1);
                ReportDrops();
                continue;
            }
            if (result == tZR_QueueResult::qr_TimedOut) {
                ReportDrops();
            }
        } catch (...) {
        }
        if (fQueue.IsShutdown() || fTerminated.load()) {
            break;
        }
    }
    fLoopEnded.store(true);
}

void tZR_LogState::ReportDrops() {
    const std::uint32_t now = TickCount();
    if (now - fLastDropReportTick < fDropReportIntervalMs.load()) {
        return;
    }
    fLastDropReportTick = now;
    const std::int64_t total = fDroppedTotal.load();
    const std::int64_t delta = total - fDroppedLastReported;
    if (delta > 0) {
        fDroppedLastReported = total;
        try {
            WriteLine(LogTimestamp() + u" - WARN - Log backpressure: dropped " + IntToText(delta) +
                      u" lines (total=" + IntToText(total) + u").");
        } catch (...) {
        }
    }
}

void tZR_LogState::WriteLine(const Text& aLine) {
    const Text fileName = FileName();
    if (CheckLogfileSize()) {
        const std::int64_t size = FileSize(fileName);
        if (size > static_cast<std::int64_t>(fMaxLogfileSize.load()) * 1024) {
            // A failed move (the file is locked) leaves the lines going to the oversize file.
            MoveFileNoReplace(fileName, RotationName(fileName));
        }
    }
    std::string bytes = TextToUtf8(aLine);
    bytes += "\r\n";
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        if (fAbandon.load()) {
            return;
        }
        if (AppendToFile(fileName, bytes)) {
            fCounter.fetch_add(1);
            return;
        }
        fFailedAttempts.fetch_add(1);
        if (attempt < kWriteAttempts) {
            PauseBeforeRetry();
        }
    }
    // Eleven failures: the line is given up without a trace.
}

void tZR_LogState::PauseBeforeRetry() {
    for (int waited = 0; waited < kRetryPauseMs && !fAbandon.load(); waited += 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

tZR_LogThread::tZR_LogThread(std::shared_ptr<tZR_LogState> aState) : fState(std::move(aState)) {}

tZR_LogThread::~tZR_LogThread() {
    Terminate();
    // Not again after a bounded shutdown: its lock may be held by a thread the process already ended.
    if (!fState->fQueue.IsShutdown()) {
        fState->fQueue.Shutdown();
    }
    if (fThread.joinable()) {
        fThread.join();
    }
}

void tZR_LogThread::Start() {
    // The body holds its own reference, so the state lives as long as the thread runs.
    fThread = std::thread([state = fState] { state->Execute(); });
}

void tZR_LogThread::WaitFor(bool aBounded, int aBoundMs) {
    if (!fThread.joinable()) {
        return;
    }
    if (!aBounded) {
        fThread.join();
        return;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto abandonAt = start + std::chrono::milliseconds(aBoundMs * 4 / 5);
    const auto deadline = start + std::chrono::milliseconds(aBoundMs);
    while (!fState->fLoopEnded.load() && Clock::now() < deadline) {
        if (Clock::now() >= abandonAt) {
            fState->fAbandon.store(true);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (fState->fLoopEnded.load()) {
        ReleaseEndedThreadDuringUnload(fThread);
    } else {
        // Still writing after the whole budget: leave it; it drops what is left and ends on its own.
        fState->fAbandon.store(true);
        fThread.detach();
    }
}
