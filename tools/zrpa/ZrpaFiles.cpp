#include "ZrpaFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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
