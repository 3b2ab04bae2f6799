#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end of a test.
// When the environment variable ZR_TEST_FILES names a folder, the fresh folders are made there instead and
// kept, so that what a run leaves behind can be read afterwards (the card-data scan reads every file).
#include <filesystem>
#include <string>
#include <vector>

#include "base/Text.h"

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return fPath; }
    Text AsText() const { return fPath.u16string(); }
    // aName inside the folder, as a text path.
    Text Child(const std::string& aName) const { return (fPath / aName).u16string(); }

private:
    std::filesystem::path fPath;
    bool fKeep = false;
};

// Whole contents of a file (empty when it cannot be read), and its lines split at CR LF.
std::string ReadFileBytes(const std::filesystem::path& aPath);
std::vector<std::string> ReadCrLfLines(const std::filesystem::path& aPath);
// Files directly inside aFolder whose names start with aPrefix, sorted.
std::vector<std::filesystem::path> FilesStartingWith(const std::filesystem::path& aFolder,
                                                     const std::string& aPrefix);
