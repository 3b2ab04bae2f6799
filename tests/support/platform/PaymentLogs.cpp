#include "support/PaymentLogs.h"

#include <filesystem>
#include <vector>

#include "platform/Process.h"

Text PaymentLogFolder() {
    return ExecutableDirectory() + PathSeparator() + u"LogFiles" + PathSeparator() + u"Payment";
}

void RemoveLogsOf(const Text& aLogId) {
    std::error_code ec;
    std::vector<std::filesystem::path> matches;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(PaymentLogFolder()), ec)) {
        if (entry.path().filename().u16string().find(aLogId) != Text::npos) {
            matches.push_back(entry.path());
        }
    }
    for (const auto& path : matches) {
        std::filesystem::remove(path, ec);
    }
}

void ForgetJournalOf(std::uint16_t aPort) {
    std::error_code ec;
    const Text name = u"P17_127.0.0.1_" + IntToText(aPort) + u".journal";
    std::filesystem::remove(
        std::filesystem::path(PaymentLogFolder() + PathSeparator() + u"Journal" + PathSeparator() + name),
        ec);
}
