#include "base/LogThread.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Locale.h"

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

// Read once: the regional settings of a running host do not change under its log lines. Kept in a plain
// array, which has no destructor: the last lines of devices still open at exit are written after the
// exit handlers have run, and a heap copy that is never freed would be lost at every unload.
struct SeparatorText {
    char16_t Chars[8] = {};
    std::size_t Size = 0;
};

TextView TimeSeparator() {
    static const SeparatorText separator = [] {
        SeparatorText s;
        const Text read = HostTimeSeparator();
        s.Size = std::min(read.size(), std::size(s.Chars));
        std::copy_n(read.begin(), s.Size, s.Chars);
        return s;
    }();
    return TextView(separator.Chars, separator.Size);
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
    const TextView sep = TimeSeparator();
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
    std::lock_guard<tZR_Lock> lock(fNameLock);
    return fFileName;
}

void tZR_LogState::SetFileName(const Text& aValue) {
    std::lock_guard<tZR_Lock> lock(fNameLock);
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
                SleepMs(1);
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
    // A line pushed between a timed-out pop and the shutdown is still queued: it was accepted, so it is
    // written (unless the unload budget is spent).
    WriteQueuedOnCaller(false, 0);
    // Read before the signal: once it is given the state may be all that is left of the writer.
    const bool endInPlace = fEndInPlace.load();
    fLoopEnded.store(true);
    if (endInPlace) {
        EndThreadInPlaceDuringUnload();
    }
}

void tZR_LogState::WriteQueuedOnCaller(bool aBounded, std::uint32_t aBudgetMs) {
    const std::uint32_t start = TickCount();
    Text line;
    while (!fAbandon.load() && !(aBounded && TickCount() - start >= aBudgetMs) && fQueue.TryPop(line)) {
        if (!line.empty()) {
            try {
                WriteLine(line, aBounded ? 1 : kWriteAttempts);
            } catch (...) {
            }
        }
        fHandled.fetch_add(1);
    }
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

void tZR_LogState::WriteLine(const Text& aLine, int aAttempts) {
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
    for (int attempt = 1; attempt <= aAttempts; ++attempt) {
        if (fAbandon.load()) {
            return;
        }
        if (AppendToFile(fileName, bytes)) {
            fCounter.fetch_add(1);
            return;
        }
        fFailedAttempts.fetch_add(1);
        if (attempt < aAttempts) {
            PauseBeforeRetry();
        }
    }
    // Eleven failures: the line is given up without a trace.
}

void tZR_LogState::PauseBeforeRetry() {
    for (int waited = 0; waited < kRetryPauseMs && !fAbandon.load(); waited += 5) {
        SleepMs(5);
    }
}

tZR_LogThread::tZR_LogThread(std::shared_ptr<tZR_LogState> aState) : fState(std::move(aState)) {}

tZR_LogThread::~tZR_LogThread() {
    Terminate();
    // Not again after a bounded shutdown: its lock may be held by a thread the process already ended.
    if (!fState->fQueue.IsShutdown()) {
        fState->fQueue.Shutdown();
    }
    fThread.Join();
}

void tZR_LogThread::Run(void* aState) {
    // The thread holds its own reference, so a thread let go by a bounded shutdown never reaches freed
    // memory. A thread that ends in place keeps it: a few hundred bytes per writer, once per unload.
    std::shared_ptr<tZR_LogState> state = std::move(*static_cast<std::shared_ptr<tZR_LogState>*>(aState));
    delete static_cast<std::shared_ptr<tZR_LogState>*>(aState);
    state->Execute();
}

bool tZR_LogThread::Start() {
    auto* reference = new std::shared_ptr<tZR_LogState>(fState);
    if (!fThread.Start(&Run, reference)) {
        delete reference;
        return false;
    }
    return true;
}

void tZR_LogThread::WaitFor(bool aBounded, int aBoundMs) {
    if (!fThread.Active()) {
        return;
    }
    if (!aBounded) {
        fThread.Join();
        return;
    }
    const std::uint32_t start = TickCount();
    const auto abandonAt = static_cast<std::uint32_t>(aBoundMs * 4 / 5);
    const auto budget = static_cast<std::uint32_t>(aBoundMs);
    while (!fState->fLoopEnded.load() && TickCount() - start < budget) {
        if (TickCount() - start >= abandonAt) {
            fState->fAbandon.store(true);
        }
        SleepMs(1);
    }
    if (fState->fLoopEnded.load()) {
        fThread.ReleaseEnded();
    } else {
        // Still writing after the whole budget: it drops what is left.
        fState->fAbandon.store(true);
        fThread.ReleaseRunning();
    }
}
