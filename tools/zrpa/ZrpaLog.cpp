#include <iostream>

#include "DeviceLog.h"
#include "JournalReport.h"
#include "LogReport.h"
#include "ZrpaCommands.h"
#include "ZrpaFiles.h"

int RunLog(const ZrpaOptions& aOptions) {
    // Without a file, today's logs wherever the library writes them.
    const std::vector<std::string> files =
        aOptions.Arguments.empty() ? TodaysDeviceLogs() : aOptions.Arguments;
    if (files.empty()) {
        std::cerr << "zrpa: no device log of today in";
        for (const auto& folder : DeviceLogFolders()) {
            std::cerr << " " << folder;
        }
        std::cerr << ": name the log files (see zrpa log --help)\n";
        return kExitUsage;
    }
    LogFilter filter{aOptions.Since, aOptions.Until, aOptions.Outcome};
    std::string error;
    if (!CheckLogFilter(filter, error)) {
        std::cerr << "zrpa: " << error << "\n";
        return kExitUsage;
    }
    std::vector<LogOperation> shown;
    int status = kExitDone;
    for (const auto& file : files) {
        std::string content;
        if (!ReadWholeFile(file, content)) {
            std::cerr << "zrpa: cannot read " << file << "\n";
            status = kExitUsage;
            continue;
        }
        // The journal beside the log completes what a log cut by a crash leaves open.
        std::vector<std::string> unreadable;
        std::size_t damaged = 0;
        auto ops = ReadDeviceLog(content, file);
        CompleteFromJournal(ops, file, ReadJournalFiles({JournalFolderOf(file)}, unreadable, damaged));
        for (auto& op : ops) {
            if (MatchesFilter(op, filter)) {
                shown.push_back(std::move(op));
            }
        }
    }
    std::cout << (aOptions.Json ? LogReportJson(shown) : LogReportText(shown));
    if (!aOptions.Json) {
        std::cout << LogSummaryLine(shown);
    }
    return status;
}

int RunJournal(const ZrpaOptions& aOptions) {
    std::vector<std::string> paths = aOptions.Arguments;
    if (paths.empty()) {
        for (const auto& folder : DeviceLogFolders()) {
            paths.push_back(folder + "/Journal");
        }
    }
    std::vector<std::string> unreadable;
    std::size_t damaged = 0;
    std::vector<JournalEntry> entries = ReadJournalFiles(paths, unreadable, damaged);
    int status = kExitDone;
    for (const auto& file : unreadable) {
        // The default folders need not all exist; a file the user named must.
        if (!aOptions.Arguments.empty()) {
            std::cerr << "zrpa: cannot read " << file << "\n";
            status = kExitUsage;
        }
    }
    if (aOptions.Unresolved) {
        std::erase_if(entries, [](const JournalEntry& e) { return !e.Operation.Unresolved(); });
    }
    std::cout << (aOptions.Json ? JournalReportJson(entries) : JournalReportText(entries));
    if (!aOptions.Json) {
        std::size_t open = 0;
        for (const auto& e : entries) {
            open += e.Operation.Unresolved() ? 1 : 0;
        }
        std::cout << entries.size() << (entries.size() == 1 ? " operation, " : " operations, ") << open
                  << " unresolved";
        if (damaged > 0) {
            std::cout << ", " << damaged
                      << (damaged == 1 ? " damaged line skipped" : " damaged lines skipped");
        }
        std::cout << "\n";
    }
    return status;
}
