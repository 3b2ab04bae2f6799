#pragma once
// tZR_BoundedQueue: a first-in first-out queue of at most a fixed number of items, one lock, any number of
// producers and consumers. What each operation does when the queue is full, empty or shut down:
//   Push      full: fails at once (never waits); shut down: stores nothing and reports success.
//   Pop       empty: waits at most the pop time-out, then "timed out"; shut down: hands out what is left,
//             then succeeds at once with an empty (default) item.
//   TryPop    empty: fails at once.
//   Shutdown  wakes every waiting pop; idempotent.
// Its lock and condition are the platform's own (platform/Sync.h), so the thread that pops keeps working
// while the library is loaded or unloaded on Windows.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

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
        fNotEmpty.NotifyOne();
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
            fNotEmpty.WaitFor(fLock, fPopTimeoutMs - waited);
        }
        if (fItems.empty()) {
            aOut = T();
        } else {
            aOut = std::move(fItems.front());
            fItems.pop_front();
        }
        return tZR_QueueResult::qr_Success;
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
    const std::size_t fCapacity;
    const std::uint32_t fPopTimeoutMs;
    mutable tZR_Lock fLock;
    tZR_Condition fNotEmpty;
    std::deque<T> fItems;
    std::atomic<bool> fShutdown{false};
    std::atomic<std::uint64_t> fPushedTotal{0};
};
