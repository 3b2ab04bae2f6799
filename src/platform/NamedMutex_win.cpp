#include <windows.h>

#include "platform/NamedMutex.h"

tZR_MutexResult AcquireNamedMutex(const Text& aName, std::intptr_t& aHandle) {
    aHandle = 0;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(aName.c_str()));
    if (mutex == nullptr) {
        return tZR_MutexResult::mr_Failed;
    }
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        aHandle = reinterpret_cast<std::intptr_t>(mutex);
        return tZR_MutexResult::mr_Acquired;
    }
    CloseHandle(mutex);
    return wait == WAIT_TIMEOUT ? tZR_MutexResult::mr_OwnedElsewhere : tZR_MutexResult::mr_Failed;
}

void ReleaseNamedMutex(std::intptr_t aHandle) {
    if (aHandle != 0) {
        ReleaseMutex(reinterpret_cast<HANDLE>(aHandle));
    }
}
