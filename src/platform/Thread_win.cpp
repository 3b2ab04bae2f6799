#include <pthread.h>
#include <windows.h>

#include "platform/Thread.h"

void ReleaseThreadDuringUnload(std::thread& aThread) noexcept {
    if (!aThread.joinable()) {
        return;
    }
    // A thread still running when the unload budget is spent would resume in the library's code after
    // it is unmapped and fault the host. It is stopped here instead: it is either waiting for the loader
    // lock (which this thread holds) or for a start it could never get, so it holds nothing of ours.
    ::TerminateThread(pthread_gethandle(aThread.native_handle()), 0);
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
