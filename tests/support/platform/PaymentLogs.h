#pragma once
// The device logs a test run leaves beside the executable (the library's LogFiles folder there).
#include <cstdint>

#include "base/Text.h"

// The device log folder beside the executable.
Text PaymentLogFolder();
// Removes every log in PaymentLogFolder whose name holds aLogId (none there is no error).
void RemoveLogsOf(const Text& aLogId);
// Removes the payment journal of the terminal at 127.0.0.1:aPort in PaymentLogFolder: a port the system
// hands out again must not meet the records of another test's terminal.
void ForgetJournalOf(std::uint16_t aPort);
