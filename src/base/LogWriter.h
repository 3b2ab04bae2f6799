#pragma once
// tZR_LogWriter: appends time-stamped lines to one log file. Producers never wait for the disk: a line is
// formatted at once and queued; a background thread (tZR_LogThread) writes it. A full queue drops the
// line and counts it.
#include <atomic>
#include <cstdint>
#include <memory>

#include "base/Text.h"
#include "base/ZRBaseDefs.h"

class tZR_LogThread;

class tZR_LogWriter {
public:
    // aFileName: base name without extension; aDaily appends "_yyyymmdd"; ".log" is always appended.
    // Creates aDirectory (and its parents) and starts the writer thread.
    tZR_LogWriter(const Text& aFileName, const Text& aDirectory, std::int32_t aMaxMessageLength, bool aDaily);
    // Stops accepting lines, writes what was queued, stops the thread (bounded in unload mode).
    virtual ~tZR_LogWriter();
    tZR_LogWriter(const tZR_LogWriter&) = delete;
    tZR_LogWriter& operator=(const tZR_LogWriter&) = delete;

    // Formats and queues one line; returns at once. Ignored once destruction has begun.
    void Write(tZR_MessageType aEntryType, const Text& aMessage);

    std::int64_t GetLogFileSize() const;
    bool CheckLogfileSize() const;
    std::int64_t DroppedTotal() const;

    const Text& Directory() const;
    void SetDirectory(const Text& aValue);
    const Text& FileName() const;
    void SetFileName(const Text& aValue);
    std::int32_t MaxMessageLength() const;
    bool ShowInstanceGuid() const;
    void SetShowInstanceGuid(bool aValue);
    Text Guid() const;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    bool Daily() const;
    std::int32_t MaxLogFileSize() const;  // KiB
    void SetMaxLogFileSize(std::int32_t aKiB);
    bool IsDLLFinalization() const;
    void SetIsDLLFinalization(bool aValue);
    // While set, every writer destroyed waits at most 500 ms for its thread (library unload).
    static void SetLibraryUnloading(bool aValue);

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
};
