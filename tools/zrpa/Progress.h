#pragma once
// While the terminal holds a call (the customer is at the terminal, up to minutes), zrpa shows that it
// waits: the elapsed seconds and the latest line of the device log, updated in place on a terminal,
// as plain lines otherwise. Ctrl+C says that the terminal may still complete the payment.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Runs aCall on another thread and returns when it has returned. aLatestLine gives the device log's
// latest line (may be empty). On Ctrl+C the warning goes to aOut and the process ends with status 3.
void RunWithProgress(const std::function<void()>& aCall, const std::function<std::string()>& aLatestLine,
                     bool aInPlace, std::FILE* aOut);

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
