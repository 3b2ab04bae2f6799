#include "ZrpaToolSupport.h"

#include "LoadedLibrary.h"

std::string ZrpaProgram() {
    const std::string path = ZR_ZRPA_PATH;
    if (path.find_first_of("/\\") != std::string::npos) {
        return path;
    }
    const std::string library = LoadedLibrary::DefaultPath();
    return library.substr(0, library.find_last_of("/\\") + 1) + path;
}

ChildOutcome RunZrpaProgram(const std::vector<std::string>& aArgs, const std::string& aInput) {
    return RunChild(ZrpaProgram(), aArgs, aInput);
}

std::string JsonMember(const std::string& aJson, const std::string& aName) {
    const std::string key = "\"" + aName + "\":\"";
    const std::size_t at = aJson.find(key);
    if (at == std::string::npos) {
        return std::string();
    }
    const std::size_t start = at + key.size();
    return aJson.substr(start, aJson.find('"', start) - start);
}

std::string RecordedLogPath(const std::string& aName) {
    return std::string(ZR_TEST_SUPPORT_DIR) + "/../tools/logs/" + aName;
}
