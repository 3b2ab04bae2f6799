#include <windows.h>

#include "platform/Thread.h"

void ReleaseThreadDuringUnload(std::thread& aThread) noexcept {
    if (!aThread.joinable()) {
        return;
    }
    try {
        aThread.detach();
    } catch (...) {
        // The threads library may refuse to detach a thread that already ended inside the loader
        // (seen as ESRCH). A joinable std::thread must never be destroyed, so it is parked for the rest
        // of the process: a few bytes, instead of terminating the host.
        try {
            new std::thread(std::move(aThread));
        } catch (...) {
        }
    }
}

void ReleaseEndedThreadDuringUnload(std::thread& aThread) noexcept {
    // The body has signalled its end and is a few instructions from ExitThread; give it that moment
    // before the library's code can be unmapped under it.
    ::Sleep(20);
    ReleaseThreadDuringUnload(aThread);
}

void EndThreadInPlaceDuringUnload() noexcept { ::ExitThread(0); }
