#pragma once
// The device logs a test run leaves beside the executable (the library's LogFiles folder there).
#include "base/Text.h"

// The device log folder beside the executable.
Text PaymentLogFolder();
// Removes every log in PaymentLogFolder whose name holds aLogId (none there is no error).
void RemoveLogsOf(const Text& aLogId);
