#pragma once
// tZR_BoundedQueue: a first-in first-out queue of at most a fixed number of items, one lock, any number of
// producers and consumers. What each operation does when the queue is full, empty or shut down:
//   Push      full: fails at once (never waits); shut down: stores nothing and reports success. Wakes a
//             waiting pop; a lingering consumer only once the queue is half full.
//   Pop       empty: waits at most the pop time-out, then "timed out"; shut down: hands out what is left,
//             then succeeds at once with an empty (default) item.
//   Linger    waits the time given, unless the queue is shut down or half full meanwhile.
//   TryPop    empty: fails at once.
//   TakeUpTo  never waits: moves what is there, at most the count asked for.
//   Shutdown  wakes every waiting pop; idempotent.
// Its lock and condition are the platform's own (platform/Sync.h), so the thread that pops keeps working
// while the library is loaded or unloaded on Windows.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/Sync.h"

enum class tZR_QueueResult : std::uint8_t { qr_Success, qr_TimedOut };

template <typename T> class tZR_BoundedQueue {
public:
    tZR_BoundedQueue(std::size_t aCapacity, std::chrono::milliseconds aPopTimeout)
        : fCapacity(aCapacity), fPopTimeoutMs(static_cast<std::uint32_t>(aPopTimeout.count())) {}
    tZR_BoundedQueue(const tZR_BoundedQueue&) = delete;
    tZR_BoundedQueue& operator=(const tZR_BoundedQueue&) = delete;

    tZR_QueueResult Push(T&& aItem) {
        std::lock_guard<tZR_Lock> lock(fLock);
        if (fShutdown.load(std::memory_order_relaxed)) {
            return tZR_QueueResult::qr_Success;
        }
        if (fItems.size() >= fCapacity) {
            return tZR_QueueResult::qr_TimedOut;
        }
        fItems.push_back(std::move(aItem));
        fPushedTotal.fetch_add(1, std::memory_order_release);
        // A wake-up costs a system call here and a thread switch there: only a pop that waits gets one,
        // and a lingering consumer when the queue is half full.
        if (fPopsWaiting > 0 || fItems.size() == HalfFull()) {
            fNotEmpty.NotifyOne();
        }
        return tZR_QueueResult::qr_Success;
    }

    tZR_QueueResult Pop(T& aOut) {
        std::lock_guard<tZR_Lock> lock(fLock);
        const std::uint32_t start = TickCount();
        while (fItems.empty() && !fShutdown.load(std::memory_order_relaxed)) {
            const std::uint32_t waited = TickCount() - start; // unsigned: right across the wrap
            if (waited >= fPopTimeoutMs) {
                return tZR_QueueResult::qr_TimedOut;
            }
            ++fPopsWaiting;
            fNotEmpty.WaitFor(fLock, fPopTimeoutMs - waited);
            --fPopsWaiting;
        }
        if (fItems.empty()) {
            aOut = T();
        } else {
            aOut = std::move(fItems.front());
            fItems.pop_front();
        }
        return tZR_QueueResult::qr_Success;
    }

    // For a consumer that takes items in blocks: lets more items come before it takes them, without
    // being woken by each push.
    void Linger(std::chrono::milliseconds aTime) {
        std::lock_guard<tZR_Lock> lock(fLock);
        const auto time = static_cast<std::uint32_t>(aTime.count());
        const std::uint32_t start = TickCount();
        while (!fShutdown.load(std::memory_order_relaxed) && fItems.size() < HalfFull()) {
            const std::uint32_t waited = TickCount() - start;
            if (waited >= time) {
                return;
            }
            fNotEmpty.WaitFor(fLock, time - waited);
        }
    }

    bool TryPop(T& aOut) {
        std::lock_guard<tZR_Lock> lock(fLock);
        if (fItems.empty()) {
            return false;
        }
        aOut = std::move(fItems.front());
        fItems.pop_front();
        return true;
    }

    // Moves up to aMax items, oldest first, onto the end of aOut; returns how many it moved.
    std::size_t TakeUpTo(std::vector<T>& aOut, std::size_t aMax) {
        std::lock_guard<tZR_Lock> lock(fLock);
        std::size_t taken = 0;
        while (taken < aMax && !fItems.empty()) {
            aOut.push_back(std::move(fItems.front()));
            fItems.pop_front();
            ++taken;
        }
        return taken;
    }

    void Shutdown() {
        std::lock_guard<tZR_Lock> lock(fLock);
        fShutdown.store(true);
        fNotEmpty.NotifyAll();
    }

    // Shutdown for code that must not block (library unload): the flag is set at once; the wake-up is
    // skipped when the lock stays busy for aLockBudget, and a waiting pop then sees the flag at its time-out.
    void ShutdownWithin(std::chrono::milliseconds aLockBudget) {
        fShutdown.store(true);
        const std::uint32_t start = TickCount();
        do {
            if (fLock.try_lock()) {
                fNotEmpty.NotifyAll();
                fLock.unlock();
                return;
            }
            SleepMs(1);
        } while (TickCount() - start < static_cast<std::uint32_t>(aLockBudget.count()));
    }

    bool IsShutdown() const { return fShutdown.load(); }
    std::size_t Size() const {
        std::lock_guard<tZR_Lock> lock(fLock);
        return fItems.size();
    }
    std::size_t Capacity() const { return fCapacity; }
    // Items ever stored (not counting pushes refused because the queue was full or shut down).
    std::uint64_t PushedTotal() const { return fPushedTotal.load(std::memory_order_acquire); }

private:
    std::size_t HalfFull() const { return fCapacity / 2 > 0 ? fCapacity / 2 : 1; }

    const std::size_t fCapacity;
    const std::uint32_t fPopTimeoutMs;
    mutable tZR_Lock fLock;
    tZR_Condition fNotEmpty;
    std::deque<T> fItems;
    std::size_t fPopsWaiting = 0; // under fLock
    std::atomic<bool> fShutdown{false};
    std::atomic<std::uint64_t> fPushedTotal{0};
};
