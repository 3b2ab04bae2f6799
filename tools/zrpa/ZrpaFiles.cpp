#include "ZrpaFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Console.h"
#include "LoadedLibrary.h"

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
