#pragma once
#include <cstdint>

// The kind of a log entry: an error line carries " - ERROR - " after its time stamp.
enum class tZR_MessageType : std::uint8_t { let_info = 0, let_error = 1 };
