#pragma once
// While the terminal holds a call (the customer is at the terminal, up to minutes), zrpa shows that it
// waits: the elapsed seconds and the latest line of the device log, updated in place on a terminal,
// as plain lines otherwise. Ctrl+C cancels the call through the library's CANCEL.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Runs aCall on another thread and returns when it has returned. aLatestLine gives the device log's
// latest line (may be empty). The first Ctrl+C calls aCancel (which makes the library end aCall within a
// second, with its own result); a second Ctrl+C, or a call still running 5 s later, puts the warning
// on aOut and ends the process with status 3.
void RunWithProgress(const std::function<void()>& aCall, const std::function<void()>& aCancel,
                     const std::function<std::string()>& aLatestLine, bool aInPlace, std::FILE* aOut);

// Where a device log stood when a call began, so that only the lines the call writes are shown.
struct LogMark {
    std::string File;
    std::uintmax_t Size = 0;
};

// The newest file in any of aFolders whose name begins with aPrefix; empty when there is none.
std::string NewestLogFile(const std::vector<std::string>& aFolders, const std::string& aPrefix);

// The newest such file and its size now.
LogMark MarkNewestLog(const std::vector<std::string>& aFolders, const std::string& aPrefix);

// The last complete line written since aSince to the newest such file, without its time stamp, control
// characters named, at most aMax characters. Empty when nothing has been written since.
std::string LatestLogLine(const std::vector<std::string>& aFolders, const std::string& aPrefix,
                          const LogMark& aSince, std::size_t aMax);
