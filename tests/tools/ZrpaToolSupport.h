#pragma once
// Runs the built zrpa program, as a technician runs it, against terminals emulated in this process.
#include <string>
#include <vector>

#include "support/ChildProcess.h"

// The zrpa program beside the tests (the library is beside it too).
std::string ZrpaProgram();
// zrpa with these arguments and standard input.
ChildOutcome RunZrpaProgram(const std::vector<std::string>& aArgs, const std::string& aInput = std::string());
// The value of a JSON string member "aName":"value" in aJson (no escapes expected), "" when absent.
std::string JsonMember(const std::string& aJson, const std::string& aName);
// A recorded device log of the test data (recorded.log, recorded-hex.log).
std::string RecordedLogPath(const std::string& aName);
