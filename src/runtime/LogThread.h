#pragma once
// The background side of tZR_LogWriter: the state its thread works on and the thread itself. Only the log
// writer uses this header.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Sync.h"
#include "platform/Thread.h"
#include "runtime/BoundedQueue.h"
#include "runtime/LogFolder.h"
#include "runtime/LogWriter.h"
#include "runtime/ZRBaseDefs.h"

// The current local time as "yyyy-mm-dd hh:mm:ss:zzz", each ":" being the host's time separator.
Text LogTimestamp();

// One line as a producer queues it: the moment and the message as given. The writer's thread turns it
// into the line (FormatLine), so a producer pays for little more than a clock reading and a push.
struct tZR_LogEntry {
    WallClockMoment fTime;
    Text fMessage;
    std::size_t fHexDumpFrom = tZR_LogWriter::kNoHexDump; // where the part to dump in hex begins
    tZR_MessageType fType = tZR_MessageType::let_info;
    bool fWithGuid = false;
    bool fQueued = false;    // true in every entry a producer queues; false in the empty item of a shutdown
    bool fFormatted = false; // fMessage is the line already (made by a producer while the thread lags)
};

// Everything the writer thread touches. The writer and the running thread share it, so a thread left
// behind by the bounded wait of a library unload never reaches freed memory.
class tZR_LogState {
public:
    static constexpr std::size_t kQueueCapacity = 20000;
    static constexpr int kPopTimeoutMs = 300;
    static constexpr int kWriteAttempts = 11;
    static constexpr int kRetryPauseMs = 50;
    static constexpr std::uint32_t kDropReportIntervalMs = 5000;
    // Once a line has failed every attempt, the file is tried again at most this often; the lines in
    // between are lost (counted) at once, so a folder that cannot be written costs no time per line.
    static constexpr std::uint32_t kFileRetryIntervalMs = 2000;
    // Lines per file append when what is left in the queue is written at the close.
    static constexpr std::size_t kCloseBlockLines = 500;
    // How long the thread, woken by a line, lets more lines come before it writes: lines reach the file
    // this much later, in blocks.
    static constexpr int kGatherMs = 2;
    // With this many lines waiting, producers make their lines themselves: a flood of lines then costs
    // its producer the formatting, as it always did, and the thread keeps up with what is left.
    static constexpr std::uint64_t kProducerFormatsBacklog = 1000;
    // The file's size is tested before every line that finds a multiple of this many lines written.
    static constexpr std::size_t kSizeCheckLines = 20;
    // A message longer than twice this shows only its first and last this many characters and its length.
    // A shown character takes at most 8 bytes of the line with its hex dump ("<STX>" and "02 ", or three
    // UTF-8 bytes and "20ac "), so no line reaches 64 KiB.
    static constexpr std::size_t kShownEnds = 4000;

    // aGuid and aMaxMessageLength: the writer's, shown in its lines.
    tZR_LogState(const Text& aGuid, std::int32_t aMaxMessageLength);

    // The line of aEntry as it goes into the file (without CR LF): time stamp, the GUID when the entry
    // asks for it, the marker, and the message with its hex dump if it asks for one, cut to the maximum
    // length, control characters shown.
    Text FormatLine(const tZR_LogEntry& aEntry) const;
    const Text& Guid() const { return fGuid; }
    std::int32_t MaxMessageLength() const { return fMaxMessageLength; }

    // The file written to; empty while the log has no folder that can be written.
    Text FileName() const;
    Text Directory() const;
    // The file-name part of the file, also while the log has no file.
    Text BaseName() const;
    void SetBaseName(const Text& aValue);
    bool HasRoot() const;
    // Sets the folder and the full file name together.
    void SetPlace(const Text& aDirectory, const Text& aFileName);
    // From now on a folder that fails moves the file to the first of aRoot's folders (with aSubfolder
    // below it) that can be written, or leaves the log without a file; aRoot null: it never moves.
    void SetRoot(std::shared_ptr<tZR_LogRoot> aRoot, const Text& aSubfolder);
    // The root whose reporter hears of a refused file when the log has no root of its own (the library's,
    // taken when the writer is made).
    void SetReportRoot(std::shared_ptr<tZR_LogRoot> aRoot);
    // The calling thread's check before an operation: when the folder is gone or no longer a folder, the
    // file moves now, as after a failed write; a log without a file tries again once per retry interval.
    void ConfirmFolder();
    std::int64_t GetLogFileSize() const;
    bool CheckLogfileSize() const;

    // The thread body: pops lines and writes them until the queue is shut down and empty.
    void Execute();
    // Writes what is queued on the calling thread, in blocks of lines, without waiting for more: a writer
    // whose thread never started, and the thread's own last step. aBounded: one attempt per block, no
    // new block after aBudgetMs. Stops when the close budget is spent (fAbandon).
    void WriteQueuedOnCaller(bool aBounded, std::uint32_t aBudgetMs);
    // Waits at most aMs for the body's end; woken by it unless the thread ends in place.
    void WaitForEnd(std::uint32_t aMs);

    tZR_BoundedQueue<tZR_LogEntry> fQueue{kQueueCapacity, std::chrono::milliseconds(kPopTimeoutMs)};
    std::atomic<std::int32_t> fMaxLogfileSize{5000}; // KiB
    std::atomic<std::uint64_t> fCounter{0};          // lines written
    std::atomic<std::int64_t> fDroppedTotal{0};
    std::atomic<std::uint64_t> fHandled{0};        // lines taken from the queue and finished with
    std::atomic<std::uint64_t> fFailedAttempts{0}; // failed file writes, every attempt counted
    std::atomic<std::uint64_t> fLostTotal{0};      // lines given up because the file could not be written
    std::atomic<bool> fFailing{false};             // the last write attempt failed
    std::atomic<std::uint32_t> fFileRetryIntervalMs{kFileRetryIntervalMs};
    std::atomic<std::uint32_t> fDropReportIntervalMs{kDropReportIntervalMs};
    std::atomic<bool> fTerminated{false}; // told to terminate
    std::atomic<bool> fAbandon{false};    // the close budget is spent: write nothing more and end
    std::atomic<bool> fEndInPlace{false}; // set before the stop of a bounded shutdown: end with the
                                          // platform's in-place thread end, not by returning
    std::atomic<bool> fLoopEnded{false};  // the body's last action: nothing of the library runs after it
    std::atomic<bool> fHold{false};       // test hook: keep the thread from taking lines
    std::atomic<bool> fHeld{false};

private:
    void WriteLine(const Text& aLine, int aAttempts = kWriteAttempts);
    // Up to aAttempts appends, the pause between them; a refused file is not tried again.
    tZR_AppendResult AppendWithRetries(const Text& aFileName, const std::string& aBytes, int aAttempts);
    // Moves the file to the first folder of the root that can be written (aRefused: not its own folder, the
    // file there is a link), telling the application log; true when it has a file afterwards. Without a
    // root: false, nothing changes.
    bool Relocate(bool aRefused);
    // The error line of a file that is a link or no plain file, once per file name.
    void ReportRefused(const Text& aFileName);
    // A line for the application log, through the root's reporter (nothing without one).
    void Report(tZR_MessageType aType, const Text& aMessage) const;
    // How many queued lines the next append may take: up to the next size test, or one when a drop
    // report is due after it.
    std::size_t LinesForNextWrite() const;
    // Rotates if due and appends the lines of aEntries in one write, with the attempts of one line.
    void WriteLines(const std::vector<tZR_LogEntry>& aEntries);
    // Appends aLines lines (aBytes, each ending in CR LF) with up to aAttempts attempts. While the file
    // is failing it makes one attempt per retry interval, led by a line that says how many were lost.
    void WriteBlock(const Text& aFileName, const std::string& aBytes, std::uint64_t aLines, int aAttempts);
    void RotateIfDue(const Text& aFileName);
    // Writes how many lines were dropped since the last report, at most once per report interval unless
    // aFinal (the close: the file then ends saying that lines are missing).
    void ReportDrops(bool aFinal = false);
    void PauseBeforeRetry();

    const Text fGuid;
    const std::int32_t fMaxMessageLength;
    mutable tZR_Lock fNameLock; // the setters of the writer change the name while the thread writes
    tZR_Lock fRelocateLock;     // a move runs on the thread or on a caller, one at a time
    tZR_Lock fEndLock;          // with fEnded: the signal of the body's end to a closing writer
    tZR_Condition fEnded;
    Text fFileName;
    Text fDirectory;
    Text fBaseName; // the file-name part, kept while the log has no file
    std::shared_ptr<tZR_LogRoot> fRoot;
    std::shared_ptr<tZR_LogRoot> fReportRoot;
    Text fSubfolder;
    Text fRefusedReported;                         // under fRelocateLock
    std::atomic<std::uint32_t> fLastConfirmTry{0}; // tick of a caller's last try without a file
    std::int64_t fDroppedLastReported = 0;         // thread only
    std::uint32_t fLastDropReportTick = 0;         // thread only
    std::uint64_t fLostLastReported = 0;           // thread only
    std::uint32_t fLastFileTry = 0;                // thread only: tick of the last attempt while failing
    std::vector<tZR_LogEntry> fBlockLines;         // thread only: the lines of the append being made
    std::string fBlockBytes; // thread only: their bytes, the buffer kept between appends
};

// tZR_LogThread: owns the platform thread that runs tZR_LogState::Execute.
class tZR_LogThread {
public:
    // Prepared, not running: Start runs the body.
    explicit tZR_LogThread(std::shared_ptr<tZR_LogState> aState);
    // Terminates, shuts the queue down and waits for the body, unless WaitFor has released it already.
    ~tZR_LogThread();
    tZR_LogThread(const tZR_LogThread&) = delete;
    tZR_LogThread& operator=(const tZR_LogThread&) = delete;

    // False when the system could not make the thread.
    bool Start();
    void Terminate() { fState->fTerminated.store(true); }
    // Waits at most aBoundMs for the body to end, never joining a thread that has not signalled its end.
    // Past most of the budget, or at once while the file is failing, the thread is told to abandon what
    // is left. aUnloading: the thread ends in place and one still running is stopped; otherwise it is
    // joined, or let go to end by itself when a system call holds it past the budget.
    void WaitFor(bool aUnloading, int aBoundMs);

private:
    static void Run(void* aState);

    std::shared_ptr<tZR_LogState> fState;
    tZR_Thread fThread;
};
