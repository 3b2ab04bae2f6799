#pragma once
// Files as zrpa reads them: whole, by a UTF-8 name, and the folders beside the program.
#include <string>

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& aPath, std::string& aContent);
// The folder of this program (where the library and its LogFiles folder are), with a separator at the end.
std::string ProgramFolder();
