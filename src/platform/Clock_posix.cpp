#include <sys/time.h>
#include <time.h>

#include "platform/Clock.h"

WallClockMoment WallClockNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return {static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec};
}

LocalTimeParts LocalTimeOf(WallClockMoment aMoment) {
    // Floor division: a moment before 1970 still has its milliseconds counted forward from its second.
    std::int64_t seconds = aMoment.Units / 1000000000;
    std::int64_t nanoseconds = aMoment.Units % 1000000000;
    if (nanoseconds < 0) {
        nanoseconds += 1000000000;
        --seconds;
    }
    const auto whole = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&whole, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(nanoseconds / 1000000)};
}

LocalTimeParts LocalTimeNow() {
    return LocalTimeOf(WallClockNow());
}

std::uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void SleepMs(std::uint32_t aMs) {
    timespec ts{static_cast<time_t>(aMs / 1000u), static_cast<long>(aMs % 1000u) * 1000000L};
    // Bounded: an interrupted sleep goes on with the time that is left, at most a few times.
    for (int attempt = 0; attempt < 100 && nanosleep(&ts, &ts) != 0; ++attempt) {
    }
}
