// The stopwatches of the application context.
#include "base/Formatting.h"
#include "base/ZrError.h"
#include "platform/Clock.h"
#include "runtime/Application.h"

void tZR_Application::StartTimer() {
    StartTimerAt(Now());
}
std::int32_t tZR_Application::StopTimer() {
    return StopTimerAt(Now());
}
std::int32_t tZR_Application::GetTimerValue() const {
    return GetTimerValueAt(Now());
}

void tZR_Application::StartTimerAt(TDateTime aNow) {
    fTimers.push_back(aNow);
}

std::int32_t tZR_Application::StopTimerAt(TDateTime aNow) {
    const std::int32_t value = GetTimerValueAt(aNow);
    fTimers.pop_back();
    return value;
}

std::int32_t tZR_Application::GetTimerValueAt(TDateTime aNow) const {
    if (fTimers.empty()) {
        throw ZrError(u"No timer is running: StartTimer was not called");
    }
    return TimeToMilliseconds(aNow) - TimeToMilliseconds(fTimers.back());
}
