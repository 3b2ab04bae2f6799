#pragma once
// The payment journal as zrpa reads it: the operations of journal files (docs/journal.md), the listing
// of `zrpa journal`, and the completion of device-log operations whose log ends before their result.
#include <string>
#include <vector>

#include "DeviceLog.h"
#include "drivers/JournalFormat.h"

struct JournalEntry {
    std::string File; // the journal file it was read from
    JournalOperation Operation;
};

// The operations of the journal files aPaths (files, or folders whose *.journal files are read); a path
// that cannot be read is named in aUnreadable. Damaged lines are counted in aDamaged.
std::vector<JournalEntry> ReadJournalFiles(const std::vector<std::string>& aPaths,
                                           std::vector<std::string>& aUnreadable, std::size_t& aDamaged);

// The journal folder beside the device log aLogFile ("<folder of the log>/Journal").
std::string JournalFolderOf(const std::string& aLogFile);

// Completes aOps (read from the device log aLogFile) from the journal entries that name that log: an
// operation whose log ends before its result takes its outcome from the journal, one whose log lines
// were all lost is added from the journal alone, and every matched operation carries the journal's
// state. aOps stays in the order of the operations' start.
void CompleteFromJournal(std::vector<LogOperation>& aOps, const std::string& aLogFile,
                         const std::vector<JournalEntry>& aJournal);

// `zrpa journal`: one block per operation (time, terminal, kind, amount, state, what the terminal
// answered, what the host was told), or a JSON array.
std::string JournalReportText(const std::vector<JournalEntry>& aEntries);
std::string JournalReportJson(const std::vector<JournalEntry>& aEntries);
