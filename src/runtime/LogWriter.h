#pragma once
// tZR_LogWriter: appends time-stamped lines to one log file. Producers never wait for the disk: a line is
// queued with its time at once; a background thread (tZR_LogThread) formats and writes it. A full queue
// drops the line and counts it.
#include <atomic>
#include <cstdint>
#include <memory>

#include "base/Text.h"
#include "runtime/ZRBaseDefs.h"

class tZR_LogThread;
class tZR_LogRoot;

// The log writer's path join: aName alone when it is absolute, the other part when one is empty, otherwise
// aDirectory, a separator unless it ends with "/" or "\\" already, and aName. Raises ZrError "Invalid
// characters in path: " + the part when a part holds a control character or one of " < > | * ?.
Text JoinPath(const Text& aDirectory, const Text& aName);
class tZR_LogState;

class tZR_LogWriter {
public:
    // Write without a hex dump.
    static constexpr std::size_t kNoHexDump = static_cast<std::size_t>(-1);

    // aFileName: base name without extension; aDaily appends "_yyyymmdd"; ".log" is always appended.
    // Creates aDirectory (and its parents); the writer thread starts with the first line. Raises ZrError
    // when the directory or the name holds characters that are invalid in a path.
    tZR_LogWriter(const Text& aFileName, const Text& aDirectory, std::int32_t aMaxMessageLength, bool aDaily);
    // Stops accepting lines, writes what was queued, stops the thread; never longer than 500 ms, and at
    // once while the file is failing: lines still queued then are lost. In unload mode (IsDLLFinalization,
    // or the process-wide SetLibraryUnloading switch) the thread ends in place.
    virtual ~tZR_LogWriter();
    tZR_LogWriter(const tZR_LogWriter&) = delete;
    tZR_LogWriter& operator=(const tZR_LogWriter&) = delete;

    // Queues one line with the current time; returns at once. The writer's thread makes the line: time
    // stamp, marker, and aMessage with its control characters shown by name or code
    // (ControlCharactersShown), so a line is always one line. Ignored once destruction has begun.
    // Raises ZrError "Log filename is empty" when there is no file name. With aHexDumpFrom (an index into
    // aMessage) the line also ends with " [" + HexCodes of aMessage from there on + "]", before the cut to
    // MaxMessageLength.
    void Write(tZR_MessageType aEntryType, Text aMessage, std::size_t aHexDumpFrom = kNoHexDump);

    // Size of the current file in bytes, -1 when it cannot be read.
    std::int64_t GetLogFileSize() const;
    // True when the number of lines written is a multiple of 20: the next line gets the size check.
    bool CheckLogfileSize() const;
    std::int64_t DroppedTotal() const;

    Text Directory() const;
    // Moves the file into aValue (same file-name part) and creates the folder. A folder below the library's
    // own log folders (ProcessLogRoot) follows their fallback from then on, as with PlaceUnder.
    void SetDirectory(const Text& aValue);
    // The file written to: its full path; empty while no folder can be written (the log then has no file,
    // its lines are counted as lost, and a folder is looked for again once per retry interval).
    Text FileName() const;
    // The file-name part of aValue inside Directory(); no extension or date is added.
    void SetFileName(const Text& aValue);
    // Puts the file in aRoot's folder in use, aSubfolder below it (no file when none can be written).
    // When writing there fails later (the folder is gone, replaced by a file, or the file is a link), the
    // file moves to the first of aRoot's folders that can be written, and the application log says so.
    void PlaceUnder(std::shared_ptr<tZR_LogRoot> aRoot, const Text& aSubfolder);
    // Before an operation, on the calling thread: a folder that is gone or no longer a folder moves the
    // file now, so FileName names the file the operation's lines go to. One status query of the folder.
    void ConfirmFolder();
    std::int32_t MaxMessageLength() const;
    bool ShowInstanceGuid() const;
    void SetShowInstanceGuid(bool aValue);
    Text Guid() const; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    bool Daily() const;
    std::int32_t MaxLogFileSize() const; // KiB
    void SetMaxLogFileSize(std::int32_t aKiB);
    bool IsDLLFinalization() const;
    void SetIsDLLFinalization(bool aValue);

    // The library is being unloaded: every writer destroyed while this is set waits at most 500 ms for its
    // thread, as with IsDLLFinalization. Set by the library's unload code before it frees anything.
    static void SetLibraryUnloading(bool aValue);
    static bool LibraryUnloading();
    // The library is being loaded: writers queue their lines but start no thread until the first line
    // queued after the load. No thread starts while the library is unloading either; a writer whose
    // thread never started writes its lines itself when it is destroyed.
    static void SetThreadStartDeferred(bool aValue);

    // Lines written to the file so far, and failed write attempts (each of the up to 11 attempts counts).
    // A line that fails every attempt puts the file in failing mode: from then on one attempt per retry
    // interval (2 s), the lines in between lost at once; the first line written again says how many.
    std::uint64_t LinesWritten() const;
    std::uint64_t FailedWriteAttempts() const;
    // Lines given up because the file could not be written.
    std::uint64_t LinesLost() const;
    // Waits until every line queued so far is written or given up; false when aTimeoutMs passed first.
    bool WaitUntilWritten(std::int32_t aTimeoutMs) const;

    // True once destruction has begun (Write is ignored from then on).
    bool Closing() const;

    // Test hooks: hold the thread before it takes the next line (true once it is held; released by the
    // test, or by itself after 10 s), and shorten the interval between drop reports.
    void HoldThreadForTest(bool aHold);
    bool WaitThreadHeldForTest(std::int32_t aTimeoutMs) const;
    void SetDropReportIntervalForTest(std::uint32_t aMilliseconds);
    void SetFileRetryIntervalForTest(std::uint32_t aMilliseconds);

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
};
