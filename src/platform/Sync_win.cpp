#include <windows.h>

#include "platform/Sync.h"

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the lock and the condition keep the system objects in one pointer");

namespace {
PSRWLOCK Srw(void*& aStorage) {
    return reinterpret_cast<PSRWLOCK>(&aStorage);
}
PCONDITION_VARIABLE Cv(void*& aStorage) {
    return reinterpret_cast<PCONDITION_VARIABLE>(&aStorage);
}
} // namespace

void tZR_Lock::lock() noexcept {
    AcquireSRWLockExclusive(Srw(fSrw));
}
void tZR_Lock::unlock() noexcept {
    ReleaseSRWLockExclusive(Srw(fSrw));
}
bool tZR_Lock::try_lock() noexcept {
    return TryAcquireSRWLockExclusive(Srw(fSrw)) != 0;
}

void tZR_Condition::WaitFor(tZR_Lock& aLock, std::uint32_t aMs) noexcept {
    SleepConditionVariableSRW(Cv(fCv), Srw(aLock.fSrw), aMs, 0);
}
void tZR_Condition::NotifyOne() noexcept {
    WakeConditionVariable(Cv(fCv));
}
void tZR_Condition::NotifyAll() noexcept {
    WakeAllConditionVariable(Cv(fCv));
}
