#pragma once
// While the terminal holds a call (the customer is at the terminal, up to minutes), zrpa shows that it
// waits: the elapsed seconds and the latest line of the device log, updated in place on a terminal,
// as plain lines otherwise. Ctrl+C says that the terminal may still complete the payment.
#include <cstdio>
#include <functional>
#include <string>

// Runs aCall on another thread and returns when it has returned. aLatestLine gives the device log's
// latest line (may be empty). On Ctrl+C the warning goes to aOut and the process ends with status 3.
void RunWithProgress(const std::function<void()>& aCall, const std::function<std::string()>& aLatestLine,
                     bool aInPlace, std::FILE* aOut);

// The newest file in aFolder whose name begins with aPrefix; empty when there is none.
std::string NewestLogFile(const std::string& aFolder, const std::string& aPrefix);

// The last complete line of the newest log file in aFolder whose name begins with aPrefix, without its
// time stamp, control characters named, at most aMax characters. Empty when there is none.
std::string LatestLogLine(const std::string& aFolder, const std::string& aPrefix, std::size_t aMax);
