#include "platform/Thread.h"

void ReleaseThreadDuringUnload(std::thread& aThread) noexcept {
    if (!aThread.joinable()) {
        return;
    }
    try {
        aThread.detach();
    } catch (...) {
        // A joinable std::thread must never be destroyed: park it rather than terminate the host.
        try {
            new std::thread(std::move(aThread));
        } catch (...) {
        }
    }
}

void ReleaseEndedThreadDuringUnload(std::thread& aThread) noexcept {
    if (!aThread.joinable()) {
        return;
    }
    try {
        aThread.join();
    } catch (...) {
        ReleaseThreadDuringUnload(aThread);
    }
}

void EndThreadInPlaceDuringUnload() noexcept {
    // POSIX unloads run the library's destructors without a lock that keeps threads from ending, and
    // ended threads are joined, so the thread simply returns.
}
