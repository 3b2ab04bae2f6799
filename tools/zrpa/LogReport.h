#pragma once
// `zrpa log`: device logs turned into a report of their operations, for people or (--json) machines.
#include <string>
#include <vector>

#include "DeviceLog.h"

struct LogFilter {
    std::string Since, Until; // "yyyy-mm-dd[ hh:mm[:ss]]"; empty: no bound
    std::string Outcome;      // "approved", "declined", "failed", "unknown"; empty: all
};

// False with aError naming the value when a bound or the outcome is not one the filter understands.
bool CheckLogFilter(LogFilter& aFilter, std::string& aError);
bool MatchesFilter(const LogOperation& aOp, const LogFilter& aFilter);

// The operations as readable text: one block per operation, every frame and event, the outcome.
std::string LogReportText(const std::vector<LogOperation>& aOps);
// The closing line: how many operations of each outcome, as the host was told, and how many of the
// unknown ones the library's check of the terminal has settled since.
std::string LogSummaryLine(const std::vector<LogOperation>& aOps);
// The operations as a JSON array.
std::string LogReportJson(const std::vector<LogOperation>& aOps);
