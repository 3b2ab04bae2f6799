#include <iostream>

#include "DeviceLog.h"
#include "LogReport.h"
#include "ZrpaCommands.h"
#include "ZrpaFiles.h"

int RunLog(const ZrpaOptions& aOptions) {
    if (aOptions.Arguments.empty()) {
        std::cerr << "zrpa: log needs at least one log file (see zrpa log --help)\n";
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
    for (const auto& file : aOptions.Arguments) {
        std::string content;
        if (!ReadWholeFile(file, content)) {
            std::cerr << "zrpa: cannot read " << file << "\n";
            status = kExitUsage;
            continue;
        }
        for (auto& op : ReadDeviceLog(content, file)) {
            if (MatchesFilter(op, filter)) {
                shown.push_back(std::move(op));
            }
        }
    }
    std::cout << (aOptions.Json ? LogReportJson(shown) : LogReportText(shown));
    if (!aOptions.Json) {
        std::size_t counts[4] = {};
        for (const auto& op : shown) {
            ++counts[static_cast<int>(op.Outcome)];
        }
        std::cout << shown.size() << " operations: " << counts[0] << " approved, " << counts[1]
                  << " declined, " << counts[2] << " failed, " << counts[3] << " outcome unknown\n";
    }
    return status;
}
