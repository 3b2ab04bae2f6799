#include <windows.h>

#include "platform/Clock.h"

LocalTimeParts LocalTimeNow() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

WallClockMoment WallClockNow() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return {
        static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime)};
}

LocalTimeParts LocalTimeOf(WallClockMoment aMoment) {
    const auto units = static_cast<std::uint64_t>(aMoment.Units);
    FILETIME ft{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME st{};
    // A moment the system cannot convert (none that WallClockNow gives) is shown as it is, in UTC.
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &st)) {
        st = utc;
    }
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(GetTickCount64());
}

void SleepMs(std::uint32_t aMs) {
    Sleep(aMs);
}
