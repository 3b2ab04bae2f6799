#pragma once
// The OS clock: local wall time and the millisecond tick count.
#include <cstdint>

#include "base/DateTime.h"

struct LocalTimeParts {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

LocalTimeParts LocalTimeNow();
// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count.
std::uint32_t TickCount();
// Pauses the calling thread for about aMs milliseconds (the system's own sleep on Windows, which needs no
// lock of the threads runtime).
void SleepMs(std::uint32_t aMs);
// The current local date and time, to the millisecond.
TDateTime Now();
