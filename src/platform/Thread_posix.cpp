#include <thread>

#include "platform/Thread.h"

namespace {
std::thread* Native(void* aNative) {
    return static_cast<std::thread*>(aNative);
}
} // namespace

tZR_Thread::~tZR_Thread() {
    Join();
}

bool tZR_Thread::Start(Body aBody, void* aContext) noexcept {
    if (fNative != nullptr) {
        return false;
    }
    try {
        fNative = new std::thread(aBody, aContext);
        return true;
    } catch (...) {
        return false;
    }
}

void tZR_Thread::Join() noexcept {
    if (fNative == nullptr) {
        return;
    }
    std::thread* thread = Native(fNative);
    fNative = nullptr;
    try {
        if (thread->joinable()) {
            thread->join();
        }
        delete thread;
    } catch (...) {
        // A joinable std::thread must never be destroyed (that ends the process): it is kept instead.
    }
}

void tZR_Thread::ReleaseEnded() noexcept {
    Join();
}

void tZR_Thread::ReleaseRunning() noexcept {
    if (fNative == nullptr) {
        return;
    }
    std::thread* thread = Native(fNative);
    fNative = nullptr;
    try {
        thread->detach();
        delete thread;
    } catch (...) {
    }
}

void tZR_Thread::Detach() noexcept {
    ReleaseRunning();
}

void EndThreadInPlaceDuringUnload() noexcept {
    // POSIX unloads run the library's destructors without a lock that keeps threads from ending, and
    // ended threads are joined, so the thread simply returns.
}
