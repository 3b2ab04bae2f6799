#include "ZrpaFiles.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Console.h"
#include "LoadedLibrary.h"
#include "emulator/EmulatorTransport.h"

bool ReadWholeFile(const std::string& aPath, std::string& aContent) {
    std::ifstream in(std::filesystem::path(std::u8string(aPath.begin(), aPath.end())), std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    aContent = content.str();
    return !in.bad();
}

std::string ProgramFolder() {
    const std::string library = LoadedLibrary::DefaultPath();
    return library.substr(0, library.find_last_of("/\\") + 1);
}

std::vector<std::string> DeviceLogFolders() {
    std::vector<std::string> folders;
    const std::string logDir = EnvironmentText("ZRPA_LOG_DIR");
    if (!logDir.empty()) {
        folders.push_back(logDir + "/LogFiles/Payment");
    }
    folders.push_back(ProgramFolder() + "LogFiles/Payment");
    const std::string state = UserStatePath();
    if (!state.empty()) {
        folders.push_back(state + "/ZRPA_RIVEVEDEV17_10/LogFiles/Payment");
    }
    return folders;
}

std::string TodayText() {
    const std::tm today = p17emu::LocalCalendarTime(std::time(nullptr));
    char day[48];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    return day;
}

std::vector<std::string> TodaysDeviceLogs() {
    std::string day = TodayText();
    std::erase(day, '-');
    const std::string suffix = "_" + day + ".log";
    std::vector<std::string> files;
    for (const std::string& folder : DeviceLogFolders()) {
        std::error_code ec;
        const std::filesystem::path path(std::u8string(folder.begin(), folder.end()));
        for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
            const std::u8string u8 = it->path().filename().u8string();
            const std::string name(u8.begin(), u8.end());
            if (name.starts_with("ZRPA_RIVEVEDEV17_10_") && name.ends_with(suffix)) {
                const std::u8string full = it->path().u8string();
                files.emplace_back(full.begin(), full.end());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}
