#pragma once
// The OS clock: local wall time and the millisecond tick count.
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "base/DateTime.h"

struct LocalTimeParts {
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

LocalTimeParts LocalTimeNow();
// A moment of the wall clock as the system counts it (nanoseconds or 100-nanosecond units since its
// epoch): cheap to take now, shown as local time later, by LocalTimeOf.
struct WallClockMoment {
    std::int64_t Units = 0;
};
WallClockMoment WallClockNow();
// The local date and time of aMoment, as LocalTimeNow would have given it then.
LocalTimeParts LocalTimeOf(WallClockMoment aMoment);
// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count.
std::uint32_t TickCount();
// Pauses the calling thread for about aMs milliseconds (the system's own sleep on Windows, which needs no
// lock of the threads runtime).
void SleepMs(std::uint32_t aMs);
// The current local date and time, to the millisecond.
TDateTime Now();

// The moment a bounded wait must not pass, on the monotonic clock (wall-clock changes do not move it).
class tZR_Deadline {
public:
    // aMilliseconds from now; 0 or less has already passed.
    explicit tZR_Deadline(std::int64_t aMilliseconds)
        : fAt(std::chrono::steady_clock::now() + std::chrono::milliseconds(aMilliseconds)) {}

    // Whole milliseconds left, 0 once passed (at most the int32 range, for the system waits).
    std::int32_t MillisecondsLeft() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(fAt - std::chrono::steady_clock::now())
                .count();
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(left, 0, INT32_MAX));
    }
    bool Passed() const { return std::chrono::steady_clock::now() >= fAt; }
    // The earlier of this deadline and aMilliseconds from now.
    tZR_Deadline Sooner(std::int64_t aMilliseconds) const {
        return std::min(*this, tZR_Deadline(aMilliseconds));
    }

    friend bool operator<(const tZR_Deadline& a, const tZR_Deadline& b) { return a.fAt < b.fAt; }

private:
    std::chrono::steady_clock::time_point fAt;
};
