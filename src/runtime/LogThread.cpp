#include "runtime/LogThread.h"

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

// The time stamp of a line, "yyyy-mm-dd hh:mm:ss:zzz" with the host's time separator for ":".
Text Timestamp(const LocalTimeParts& t) {
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
} // namespace

Text LogTimestamp() {
    return Timestamp(LocalTimeNow());
}

tZR_LogState::tZR_LogState(const Text& aGuid, std::int32_t aMaxMessageLength)
    : fGuid(aGuid), fMaxMessageLength(aMaxMessageLength), fLastDropReportTick(TickCount()) {}

namespace {
// aMessage with its hex dump from aDumpFrom on (none when aDumpFrom is past its end). A message longer than
// twice aEnds shows its first and last aEnds characters and its length, and so does its dump.
Text ShownMessage(TextView aMessage, std::size_t aDumpFrom, std::size_t aEnds) {
    const bool dump = aDumpFrom <= aMessage.size();
    if (aMessage.size() <= 2 * aEnds) {
        return dump ? Text(aMessage) + u" [" + HexCodes(aMessage.substr(aDumpFrom)) + u"]" : Text(aMessage);
    }
    const std::size_t tailStart = aMessage.size() - aEnds;
    const TextView head = aMessage.substr(0, aEnds);
    const TextView tail = aMessage.substr(tailStart);
    Text out = Text(head) + u" \u2026(" + UIntToText(aMessage.size()) + u" characters, the first and last " +
               UIntToText(aEnds) + u" shown)\u2026 " + Text(tail);
    if (dump) {
        out += u" [";
        out += aDumpFrom < aEnds ? HexCodes(head.substr(aDumpFrom)) : Text();
        out += u" \u2026 ";
        out += HexCodes(tail.substr(aDumpFrom > tailStart ? aDumpFrom - tailStart : 0));
        out += u"]";
    }
    return out;
}
} // namespace

Text tZR_LogState::FormatLine(const tZR_LogEntry& aEntry) const {
    if (aEntry.fFormatted) {
        return aEntry.fMessage;
    }
    // Most lines are short and have no dump: their message is taken as it is, without a copy.
    Text shown;
    TextView message = aEntry.fMessage;
    if (aEntry.fHexDumpFrom <= message.size() || message.size() > 2 * kShownEnds) {
        shown = ShownMessage(message, aEntry.fHexDumpFrom, kShownEnds);
        message = shown;
    }
    if (fMaxMessageLength > 0 && message.size() > static_cast<std::size_t>(fMaxMessageLength)) {
        message = message.substr(0, static_cast<std::size_t>(fMaxMessageLength));
    }
    Text line = Timestamp(LocalTimeOf(aEntry.fTime));
    line.reserve(line.size() + (aEntry.fWithGuid ? 3 + fGuid.size() : 0) + 11 + message.size());
    if (aEntry.fWithGuid) {
        line += u" - ";
        line += fGuid;
    }
    line += aEntry.fType == tZR_MessageType::let_error ? u" - ERROR - " : u" - ";
    line += ControlCharactersShown(message);
    return line;
}

Text tZR_LogState::FileName() const {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    return fFileName;
}

Text tZR_LogState::Directory() const {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    return fDirectory;
}

Text tZR_LogState::BaseName() const {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    return fBaseName;
}

void tZR_LogState::SetBaseName(const Text& aValue) {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    fBaseName = aValue;
}

void tZR_LogState::SetReportRoot(std::shared_ptr<tZR_LogRoot> aRoot) {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    fReportRoot = std::move(aRoot);
}

void tZR_LogState::Report(tZR_MessageType aType, const Text& aMessage) const {
    std::shared_ptr<tZR_LogRoot> root;
    {
        std::lock_guard<tZR_Lock> lock(fNameLock);
        root = fRoot ? fRoot : fReportRoot;
    }
    if (root) {
        root->Report(aType, aMessage);
    }
}

bool tZR_LogState::HasRoot() const {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    return fRoot != nullptr;
}

void tZR_LogState::SetPlace(const Text& aDirectory, const Text& aFileName) {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    fDirectory = aDirectory;
    fFileName = aFileName;
    // A log left without a file keeps the name it will have in the next folder that can be written.
    if (!aFileName.empty()) {
        const std::size_t cut = aFileName.find_last_of(u"/\\");
        fBaseName = cut == Text::npos ? aFileName : aFileName.substr(cut + 1);
    }
}

void tZR_LogState::SetRoot(std::shared_ptr<tZR_LogRoot> aRoot, const Text& aSubfolder) {
    std::lock_guard<tZR_Lock> lock(fNameLock);
    fRoot = std::move(aRoot);
    fSubfolder = aSubfolder;
}

void tZR_LogState::ConfirmFolder() {
    Text directory;
    Text fileName;
    {
        std::lock_guard<tZR_Lock> lock(fNameLock);
        if (!fRoot) {
            return;
        }
        directory = fDirectory;
        fileName = fFileName;
    }
    if (!fileName.empty() && FolderExists(directory)) {
        return;
    }
    const std::uint32_t now = TickCount();
    if (fileName.empty() && now - fLastConfirmTry.load() < fFileRetryIntervalMs.load()) {
        return;
    }
    fLastConfirmTry.store(now);
    Relocate(false);
}

std::int64_t tZR_LogState::GetLogFileSize() const {
    return FileSize(FileName());
}

bool tZR_LogState::CheckLogfileSize() const {
    return fCounter.load() % kSizeCheckLines == 0;
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
        // Closing: what is left is written below in blocks, so the close budget is rarely needed.
        if (fQueue.IsShutdown()) {
            break;
        }
        // Nothing may leave the thread: an exception here would end the host process.
        try {
            tZR_LogEntry line;
            const bool idle = fQueue.Size() == 0;
            const tZR_QueueResult result = fQueue.Pop(line);
            if (result == tZR_QueueResult::qr_Success && line.fQueued) {
                // A payment logs a few dozen lines within a fraction of a millisecond. Woken by the first
                // of them, the thread lets the others come and writes them together: a thread switch and
                // a file append per line would cost the machine more than the exchange itself.
                if (idle) {
                    fQueue.Linger(std::chrono::milliseconds(kGatherMs));
                }
                fBlockLines.clear();
                fBlockLines.push_back(std::move(line));
                fQueue.TakeUpTo(fBlockLines, LinesForNextWrite() - 1);
                try {
                    WriteLines(fBlockLines);
                } catch (...) {
                }
                fHandled.fetch_add(fBlockLines.size());
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
    // Every line accepted before the close is written (unless the close budget is spent), and the drops
    // since the last report are told, so a file whose last lines were dropped does not end silently.
    WriteQueuedOnCaller(false, 0);
    ReportDrops(true);
    // Read before the signal: once it is given the state may be all that is left of the writer.
    const bool endInPlace = fEndInPlace.load();
    if (endInPlace) {
        fLoopEnded.store(true);
        EndThreadInPlaceDuringUnload();
        return;
    }
    // Outside an unload the closing writer joins the thread after the signal, so the signal may wake it.
    std::lock_guard<tZR_Lock> lock(fEndLock);
    fLoopEnded.store(true);
    fEnded.NotifyAll();
}

void tZR_LogState::WaitForEnd(std::uint32_t aMs) {
    std::lock_guard<tZR_Lock> lock(fEndLock);
    if (!fLoopEnded.load()) {
        fEnded.WaitFor(fEndLock, aMs);
    }
}

void tZR_LogState::WriteQueuedOnCaller(bool aBounded, std::uint32_t aBudgetMs) {
    const std::uint32_t start = TickCount();
    tZR_LogEntry line;
    while (!fAbandon.load() && !(aBounded && TickCount() - start >= aBudgetMs)) {
        std::string block;
        std::uint64_t lines = 0;
        std::uint64_t taken = 0;
        while (taken < kCloseBlockLines && fQueue.TryPop(line)) {
            ++taken;
            if (line.fQueued) {
                AppendUtf8(block, FormatLine(line));
                block += "\r\n";
                ++lines;
            }
        }
        if (taken == 0) {
            break;
        }
        if (lines > 0) {
            try {
                const Text fileName = FileName();
                RotateIfDue(fileName);
                WriteBlock(fileName, block, lines, aBounded ? 1 : kWriteAttempts);
            } catch (...) {
            }
        }
        fHandled.fetch_add(taken);
    }
}

void tZR_LogState::ReportDrops(bool aFinal) {
    const std::uint32_t now = TickCount();
    if (!aFinal && now - fLastDropReportTick < fDropReportIntervalMs.load()) {
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

void tZR_LogState::RotateIfDue(const Text& aFileName) {
    if (CheckLogfileSize()) {
        const std::int64_t size = FileSize(aFileName);
        if (size > static_cast<std::int64_t>(fMaxLogfileSize.load()) * 1024) {
            // A failed move (the file is locked) leaves the lines going to the oversize file.
            MoveFileNoReplace(aFileName, RotationName(aFileName));
        }
    }
}

void tZR_LogState::WriteLine(const Text& aLine, int aAttempts) {
    const Text fileName = FileName();
    RotateIfDue(fileName);
    std::string bytes = TextToUtf8(aLine);
    bytes += "\r\n";
    WriteBlock(fileName, bytes, 1, aAttempts);
}

std::size_t tZR_LogState::LinesForNextWrite() const {
    // A drop report that is due follows the next line, as it would one line at a time.
    if (TickCount() - fLastDropReportTick >= fDropReportIntervalMs.load() &&
        fDroppedTotal.load() > fDroppedLastReported) {
        return 1;
    }
    // The size test comes before every line that finds a multiple of kSizeCheckLines written: a block
    // ends just before the next such line.
    return kSizeCheckLines - static_cast<std::size_t>(fCounter.load() % kSizeCheckLines);
}

void tZR_LogState::WriteLines(const std::vector<tZR_LogEntry>& aEntries) {
    const Text fileName = FileName();
    RotateIfDue(fileName);
    fBlockBytes.clear();
    for (const tZR_LogEntry& entry : aEntries) {
        AppendUtf8(fBlockBytes, FormatLine(entry));
        fBlockBytes += "\r\n";
    }
    WriteBlock(fileName, fBlockBytes, aEntries.size(), kWriteAttempts);
}

void tZR_LogState::WriteBlock(const Text& aFileName, const std::string& aBytes, std::uint64_t aLines,
                              int aAttempts) {
    const bool wasFailing = fFailing.load();
    const std::uint64_t lost = fLostTotal.load();
    if (wasFailing && TickCount() - fLastFileTry < fFileRetryIntervalMs.load()) {
        fLostTotal.fetch_add(aLines);
        return;
    }
    Text fileName = aFileName;
    std::string report;
    if (wasFailing) {
        aAttempts = 1;
        if (lost > fLostLastReported) {
            report = TextToUtf8(LogTimestamp() + u" - WARN - Log file could not be written: lost " +
                                UIntToText(lost - fLostLastReported) + u" lines (total=" + UIntToText(lost) +
                                u").") +
                     "\r\n";
        }
    }
    // A log without a file (no folder could be written) looks for one again.
    tZR_AppendResult result = tZR_AppendResult::ar_Failed;
    if (!fileName.empty() || (Relocate(false) && !(fileName = FileName()).empty())) {
        result = AppendWithRetries(fileName, report.empty() ? aBytes : report + aBytes, aAttempts);
        if (result == tZR_AppendResult::ar_Refused) {
            ReportRefused(fileName);
        }
        // The folder failed (or the file is a link): the file moves, and the block is tried there once.
        if (result != tZR_AppendResult::ar_Written && !fAbandon.load() &&
            Relocate(result == tZR_AppendResult::ar_Refused)) {
            fileName = FileName();
            result = AppendWithRetries(fileName, report.empty() ? aBytes : report + aBytes, 1);
        }
    }
    if (result == tZR_AppendResult::ar_Written) {
        fCounter.fetch_add(aLines + (report.empty() ? 0 : 1));
        if (wasFailing) {
            fLostLastReported = lost;
        }
        fFailing.store(false);
        return;
    }
    // Given up: counted, told in the file once it can be written again.
    fLostTotal.fetch_add(aLines);
    fLastFileTry = TickCount();
    fFailing.store(true);
}

tZR_AppendResult tZR_LogState::AppendWithRetries(const Text& aFileName, const std::string& aBytes,
                                                 int aAttempts) {
    for (int attempt = 1; attempt <= aAttempts; ++attempt) {
        if (fAbandon.load()) {
            return tZR_AppendResult::ar_Failed;
        }
        const tZR_AppendResult result = AppendToFile(aFileName, aBytes);
        if (result != tZR_AppendResult::ar_Failed) {
            return result;
        }
        fFailedAttempts.fetch_add(1);
        // Seen by a close, which then does not wait for the retries.
        fFailing.store(true);
        // The retries are for a file held a moment by another program; a folder that is gone will not
        // come back by waiting, and a log that can move goes now.
        if (HasRoot() && !FolderExists(Directory())) {
            break;
        }
        if (attempt < aAttempts) {
            PauseBeforeRetry();
        }
    }
    return tZR_AppendResult::ar_Failed;
}

void tZR_LogState::ReportRefused(const Text& aFileName) {
    std::lock_guard<tZR_Lock> lock(fRelocateLock);
    if (fRefusedReported == aFileName) {
        return;
    }
    fRefusedReported = aFileName;
    Report(tZR_MessageType::let_error,
           u"The log file " + aFileName +
               u" or its folder is a link or no plain file: nothing is written through it.");
}

bool tZR_LogState::Relocate(bool aRefused) {
    std::lock_guard<tZR_Lock> relocating(fRelocateLock);
    std::shared_ptr<tZR_LogRoot> root;
    Text subfolder;
    Text directory;
    Text baseName;
    Text before;
    {
        std::lock_guard<tZR_Lock> lock(fNameLock);
        root = fRoot;
        subfolder = fSubfolder;
        directory = fDirectory;
        baseName = fBaseName;
        before = fFileName;
    }
    if (!root) {
        return false;
    }
    Text tried;
    try {
        for (const Text& folder : root->Folders()) {
            const Text candidate = JoinPath(folder, subfolder);
            if (aRefused && candidate == directory) {
                continue;
            }
            const Text fileName = JoinPath(candidate, baseName);
            tried += (tried.empty() ? u"" : u", ") + candidate;
            if (CreateDirectories(candidate) &&
                AppendToFile(fileName, std::string_view()) == tZR_AppendResult::ar_Written) {
                SetPlace(candidate, fileName);
                if (!aRefused) {
                    root->SetCurrent(folder);
                }
                if (fileName != before) {
                    Report(tZR_MessageType::let_info,
                           u"The log " + (before.empty() ? JoinPath(directory, baseName) : before) +
                               u" cannot be written: it goes on in " + fileName + u".");
                }
                return true;
            }
        }
    } catch (...) {
        // A folder that no path may name counts as one that cannot be written.
    }
    if (!before.empty()) {
        SetPlace(directory, Text());
        Report(tZR_MessageType::let_error,
               u"The log " + before +
                   u" cannot be written, nor in any other log folder: its lines are lost.");
    }
    // A refused file leaves this log without one; only failed folders leave the library without any.
    if (!aRefused) {
        root->SetCurrent(Text());
        AnnounceNoLogFolder(u"Tried: " + (tried.empty() ? directory : tried) + u".");
    }
    return false;
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

void tZR_LogThread::WaitFor(bool aUnloading, int aBoundMs) {
    if (!fThread.Active()) {
        return;
    }
    const auto abandonAt = static_cast<std::uint32_t>(aBoundMs * 4 / 5);
    const auto budget = static_cast<std::uint32_t>(aBoundMs);
    std::uint32_t start = TickCount();
    while (!fState->fLoopEnded.load() && TickCount() - start < budget) {
        // Test hook: outside an unload a close waits for a held thread, so a test can watch a closing
        // writer; the budget starts when the thread is let go.
        if (!aUnloading && fState->fHeld.load()) {
            start = TickCount();
            SleepMs(1);
            continue;
        }
        // A failing file gets no more of the budget: its lines would be lost anyway.
        if (TickCount() - start >= abandonAt || fState->fFailing.load()) {
            fState->fAbandon.store(true);
        }
        // A thread that ends in place gives no wake-up: no library code may run after its signal.
        if (aUnloading) {
            SleepMs(1);
        } else {
            fState->WaitForEnd(1);
        }
    }
    const bool ended = fState->fLoopEnded.load();
    if (!ended) {
        // Still writing after the whole budget: it drops what is left.
        fState->fAbandon.store(true);
    }
    if (aUnloading) {
        ended ? fThread.ReleaseEnded() : fThread.ReleaseRunning();
    } else {
        ended ? fThread.Join() : fThread.Detach();
    }
}
