#include <windows.h>

#include "platform/Clock.h"

LocalTimeParts LocalTimeNow() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(GetTickCount64());
}

void SleepMs(std::uint32_t aMs) {
    Sleep(aMs);
}
