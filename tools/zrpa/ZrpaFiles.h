#pragma once
// Files as zrpa reads them: whole, by a UTF-8 name, and the folders beside the program.
#include <string>
#include <vector>

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& aPath, std::string& aContent);
// The folder of this program (where the library and its LogFiles folder are), with a separator at the end.
std::string ProgramFolder();
// The Payment folders the library may write device logs into, in its order of choice: below
// ZRPA_LOG_DIR, beside the program, and the user's own (where the logs go when the others cannot be written).
std::vector<std::string> DeviceLogFolders();
// Today's device logs (ZRPA_RIVEVEDEV17_10_<log id>_<yyyymmdd>.log, by the local date) in those folders,
// sorted by name; empty when there are none.
std::vector<std::string> TodaysDeviceLogs();
// Today's local date, "yyyy-mm-dd".
std::string TodayText();
