#include "platform/Sync.h"

#include <chrono>

void tZR_Lock::lock() noexcept {
    fMutex.lock();
}
void tZR_Lock::unlock() noexcept {
    fMutex.unlock();
}
bool tZR_Lock::try_lock() noexcept {
    return fMutex.try_lock();
}

void tZR_Condition::WaitFor(tZR_Lock& aLock, std::uint32_t aMs) noexcept {
    std::unique_lock<std::mutex> held(aLock.fMutex, std::adopt_lock);
    fCv.wait_for(held, std::chrono::milliseconds(aMs));
    held.release(); // the caller still owns the lock
}
void tZR_Condition::NotifyOne() noexcept {
    fCv.notify_one();
}
void tZR_Condition::NotifyAll() noexcept {
    fCv.notify_all();
}
