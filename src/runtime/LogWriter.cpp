#include "runtime/LogWriter.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "base/ZrError.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Guid.h"
#include "platform/Process.h"
#include "runtime/LogFolder.h"
#include "runtime/LogThread.h"

namespace {
// Closing a writer never takes longer, whatever is queued and however the disk behaves.
constexpr int kCloseWaitMs = 500;

std::atomic<bool> gLibraryUnloading{false};
std::atomic<bool> gThreadStartDeferred{false};

// Characters refused in a log path on every platform, so a name that fails on Windows fails on Linux too:
// control characters and " < > | * ?.
bool IsInvalidPathCharacter(char16_t c) {
    return c < 32 || c == u'"' || c == u'<' || c == u'>' || c == u'|' || c == u'*' || c == u'?';
}

// A path is named whole up to four times Windows' classic 260-character limit: cut at 64 characters, a log
// folder deep in an installation would lose the very character the message is about.
constexpr std::size_t kPathShown = 1024;

void CheckPathCharacters(const Text& aPart) {
    for (char16_t c : aPart) {
        if (IsInvalidPathCharacter(c)) {
            throw ZrError(u"Invalid characters in path: " + CutValue(aPart, kPathShown));
        }
    }
}

bool EndsWithSeparator(const Text& aPath) {
    return !aPath.empty() && (aPath.back() == u'/' || aPath.back() == u'\\');
}

Text FileNamePart(const Text& aPath) {
    const std::size_t cut = aPath.find_last_of(u"/\\");
    return cut == Text::npos ? aPath : aPath.substr(cut + 1);
}

} // namespace

// The second part alone when it is absolute, the other part when one is empty, otherwise both with one
// separator between them.
Text JoinPath(const Text& aDirectory, const Text& aName) {
    CheckPathCharacters(aDirectory);
    CheckPathCharacters(aName);
    if (IsAbsolutePath(aName) || aDirectory.empty()) {
        return aName;
    }
    if (aName.empty()) {
        return aDirectory;
    }
    return EndsWithSeparator(aDirectory) ? aDirectory + aName : aDirectory + PathSeparator() + aName;
}

struct tZR_LogWriter::Impl {
    bool fDaily = false;
    std::atomic<bool> fShowInstanceGuid{false};
    std::atomic<std::int32_t> fClosing{0};
    std::atomic<bool> fFileNameEmpty{true};
    bool fIsDLLFinalization = false;
    std::shared_ptr<tZR_LogState> fState;
    tZR_Lock fStartLock; // guards the start of the thread against the destructor
    std::atomic<bool> fStarted{false};
    std::unique_ptr<tZR_LogThread> fThread;

    // The owner's choice of folder and name; a log placed under a root may be left without a file only by a
    // failing folder, never by its owner.
    void SetPlaceInternal(const Text& aDirectory, const Text& aFileName) {
        fState->SetPlace(aDirectory, aFileName);
        fFileNameEmpty.store(aFileName.empty());
    }

    // The thread starts with the first line queued outside the library's load and unload: a thread made
    // inside the Windows loader cannot run before the loader lock is released, and by then the library
    // may be unmapped. A thread the system refuses is tried again with the next line.
    void EnsureThread() {
        if (fStarted.load() || gThreadStartDeferred.load() || gLibraryUnloading.load()) {
            return;
        }
        std::lock_guard<tZR_Lock> lock(fStartLock);
        if (fStarted.load() || fClosing.load() != 0) {
            return;
        }
        auto thread = std::make_unique<tZR_LogThread>(fState);
        if (thread->Start()) {
            fThread = std::move(thread);
            fStarted.store(true);
        }
    }
};

tZR_LogWriter::tZR_LogWriter(const Text& aFileName, const Text& aDirectory, std::int32_t aMaxMessageLength,
                             bool aDaily)
    : fImpl(std::make_unique<Impl>()) {
    fImpl->fState = std::make_shared<tZR_LogState>(GuidToText(NewGuid()), aMaxMessageLength);
    fImpl->fState->SetReportRoot(ProcessLogRoot());
    fImpl->fDaily = aDaily;
    Text name = aFileName;
    if (aDaily) {
        const LocalTimeParts t = LocalTimeNow();
        name += u"_" + ZeroPadded(t.Year, 4) + ZeroPadded(t.Month, 2) + ZeroPadded(t.Day, 2);
    }
    fImpl->SetPlaceInternal(Text(), name + u".log");
    SetDirectory(aDirectory);
}

tZR_LogWriter::~tZR_LogWriter() {
    Impl& impl = *fImpl;
    impl.fClosing.exchange(1);
    const bool unloading = impl.fIsDLLFinalization || gLibraryUnloading.load();
    {
        // After this no Write starts the thread any more (it sees fClosing under the same lock).
        std::lock_guard<tZR_Lock> lock(impl.fStartLock);
    }
    if (!impl.fThread) {
        impl.fState->WriteQueuedOnCaller(true, kCloseWaitMs);
        return;
    }
    impl.fState->fEndInPlace.store(unloading);
    if (unloading) {
        impl.fState->fQueue.ShutdownWithin(std::chrono::milliseconds(50));
    } else {
        impl.fState->fQueue.Shutdown();
    }
    impl.fThread->Terminate();
    impl.fThread->WaitFor(unloading, kCloseWaitMs);
    impl.fThread.reset();
}

void tZR_LogWriter::Write(tZR_MessageType aEntryType, Text aMessage, std::size_t aHexDumpFrom) {
    Impl& impl = *fImpl;
    if (impl.fClosing.load() != 0) {
        return;
    }
    if (impl.fFileNameEmpty.load()) {
        throw ZrError(u"Log filename is empty");
    }
    // The moment is taken here; the line is made from it on the writer's thread.
    tZR_LogEntry entry{WallClockNow(), std::move(aMessage),           aHexDumpFrom,
                       aEntryType,     impl.fShowInstanceGuid.load(), true};
    tZR_LogState& state = *impl.fState;
    if (state.fQueue.PushedTotal() - state.fHandled.load() >= tZR_LogState::kProducerFormatsBacklog) {
        entry.fMessage = state.FormatLine(entry);
        entry.fFormatted = true;
    }
    if (state.fQueue.Push(std::move(entry)) != tZR_QueueResult::qr_Success) {
        state.fDroppedTotal.fetch_add(1);
    }
    impl.EnsureThread();
}

std::int64_t tZR_LogWriter::GetLogFileSize() const {
    return fImpl->fState->GetLogFileSize();
}
bool tZR_LogWriter::CheckLogfileSize() const {
    return fImpl->fState->CheckLogfileSize();
}
std::int64_t tZR_LogWriter::DroppedTotal() const {
    return fImpl->fState->fDroppedTotal.load();
}

Text tZR_LogWriter::Directory() const {
    return fImpl->fState->Directory();
}

void tZR_LogWriter::SetDirectory(const Text& aValue) {
    const Text joined = JoinPath(aValue, fImpl->fState->BaseName());
    fImpl->SetPlaceInternal(aValue, joined);
    // A folder of the library's own log folders follows their fallback when it fails.
    const std::shared_ptr<tZR_LogRoot> root = ProcessLogRoot();
    Text subfolder;
    if (root && root->Contains(aValue, subfolder)) {
        PlaceUnder(root, subfolder);
        return;
    }
    fImpl->fState->SetRoot(nullptr, Text());
    // A folder that cannot be created shows later as failed writes, not here.
    CreateDirectories(aValue);
}

void tZR_LogWriter::PlaceUnder(std::shared_ptr<tZR_LogRoot> aRoot, const Text& aSubfolder) {
    const Text current = aRoot ? aRoot->Current() : Text();
    tZR_LogState& state = *fImpl->fState;
    state.SetRoot(std::move(aRoot), aSubfolder);
    if (current.empty()) {
        // No folder can be written: the log starts without a file and looks for one when lines come.
        state.SetPlace(state.Directory(), Text());
        return;
    }
    const Text directory = JoinPath(current, aSubfolder);
    state.SetPlace(directory, JoinPath(directory, state.BaseName()));
    // A folder that cannot be made moves the log before its first line.
    if (!CreateDirectories(directory)) {
        state.ConfirmFolder();
    }
}

void tZR_LogWriter::ConfirmFolder() {
    fImpl->fState->ConfirmFolder();
}

Text tZR_LogWriter::FileName() const {
    return fImpl->fState->FileName();
}

void tZR_LogWriter::SetFileName(const Text& aValue) {
    const Text directory = Directory();
    const Text fileName = JoinPath(directory, FileNamePart(aValue));
    // A log without a folder gets no file here either: the name is the one it will have in the next folder
    // found.
    if (fImpl->fState->HasRoot() && FileName().empty() && !aValue.empty()) {
        fImpl->fState->SetBaseName(FileNamePart(aValue));
        return;
    }
    fImpl->SetPlaceInternal(directory, fileName);
}

std::int32_t tZR_LogWriter::MaxMessageLength() const {
    return fImpl->fState->MaxMessageLength();
}
bool tZR_LogWriter::ShowInstanceGuid() const {
    return fImpl->fShowInstanceGuid.load();
}
void tZR_LogWriter::SetShowInstanceGuid(bool aValue) {
    fImpl->fShowInstanceGuid.store(aValue);
}
Text tZR_LogWriter::Guid() const {
    return fImpl->fState->Guid();
}
bool tZR_LogWriter::Daily() const {
    return fImpl->fDaily;
}
std::int32_t tZR_LogWriter::MaxLogFileSize() const {
    return fImpl->fState->fMaxLogfileSize.load();
}
void tZR_LogWriter::SetMaxLogFileSize(std::int32_t aKiB) {
    fImpl->fState->fMaxLogfileSize.store(aKiB);
}
bool tZR_LogWriter::IsDLLFinalization() const {
    return fImpl->fIsDLLFinalization;
}
void tZR_LogWriter::SetIsDLLFinalization(bool aValue) {
    fImpl->fIsDLLFinalization = aValue;
}

void tZR_LogWriter::SetLibraryUnloading(bool aValue) {
    gLibraryUnloading.store(aValue);
}
bool tZR_LogWriter::LibraryUnloading() {
    return gLibraryUnloading.load();
}
void tZR_LogWriter::SetThreadStartDeferred(bool aValue) {
    gThreadStartDeferred.store(aValue);
}

std::uint64_t tZR_LogWriter::LinesWritten() const {
    return fImpl->fState->fCounter.load();
}
std::uint64_t tZR_LogWriter::FailedWriteAttempts() const {
    return fImpl->fState->fFailedAttempts.load();
}
std::uint64_t tZR_LogWriter::LinesLost() const {
    return fImpl->fState->fLostTotal.load();
}

namespace {
template <typename Condition> bool WaitUntil(std::int32_t aTimeoutMs, Condition aCondition) {
    const tZR_Deadline deadline(aTimeoutMs);
    while (!aCondition()) {
        if (deadline.Passed()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
} // namespace

bool tZR_LogWriter::WaitUntilWritten(std::int32_t aTimeoutMs) const {
    fImpl->EnsureThread();
    const tZR_LogState& state = *fImpl->fState;
    const std::uint64_t target = state.fQueue.PushedTotal();
    return WaitUntil(aTimeoutMs, [&] { return state.fHandled.load() >= target || state.fLoopEnded.load(); });
}

bool tZR_LogWriter::Closing() const {
    return fImpl->fClosing.load() != 0;
}

void tZR_LogWriter::HoldThreadForTest(bool aHold) {
    fImpl->fState->fHold.store(aHold);
    // Only on hold: a release may be what lets a destructor on another thread finish.
    if (aHold) {
        fImpl->EnsureThread();
    }
}

bool tZR_LogWriter::WaitThreadHeldForTest(std::int32_t aTimeoutMs) const {
    const tZR_LogState& state = *fImpl->fState;
    return WaitUntil(aTimeoutMs, [&] { return state.fHeld.load(); });
}

void tZR_LogWriter::SetDropReportIntervalForTest(std::uint32_t aMilliseconds) {
    fImpl->fState->fDropReportIntervalMs.store(aMilliseconds);
}

void tZR_LogWriter::SetFileRetryIntervalForTest(std::uint32_t aMilliseconds) {
    fImpl->fState->fFileRetryIntervalMs.store(aMilliseconds);
}
