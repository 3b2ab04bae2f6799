#pragma once
// The lock and condition variable of the log writer's queue. On Windows they are the system's own slim
// reader/writer lock and condition variable: the threads runtime linked into the library can wait for the
// loader lock inside its calls (its lazy set-up of clocks and of foreign threads), and a log thread that
// waits for the loader lock while the library unloads never ends. Elsewhere they are the standard ones.
#include <cstdint>
#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#endif

class tZR_Lock {
public:
    tZR_Lock() = default;
    tZR_Lock(const tZR_Lock&) = delete;
    tZR_Lock& operator=(const tZR_Lock&) = delete;

    void lock() noexcept;
    void unlock() noexcept;
    bool try_lock() noexcept;

private:
    friend class tZR_Condition;
#if defined(_WIN32)
    void* fSrw = nullptr; // an SRWLOCK: one pointer, all bits zero when free
#else
    std::mutex fMutex;
#endif
};

class tZR_Condition {
public:
    tZR_Condition() = default;
    tZR_Condition(const tZR_Condition&) = delete;
    tZR_Condition& operator=(const tZR_Condition&) = delete;

    // aLock is held on entry and again on return; returns after a notification, after aMs, or spuriously.
    void WaitFor(tZR_Lock& aLock, std::uint32_t aMs) noexcept;
    void NotifyOne() noexcept;
    void NotifyAll() noexcept;

private:
#if defined(_WIN32)
    void* fCv = nullptr; // a CONDITION_VARIABLE: one pointer, all bits zero when new
#else
    std::condition_variable fCv;
#endif
};
