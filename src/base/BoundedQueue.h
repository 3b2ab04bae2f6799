#pragma once
// tZR_BoundedQueue: a first-in first-out queue of at most a fixed number of items, one lock, any number of
// producers and consumers. What each operation does when the queue is full, empty or shut down:
//   Push      full: fails at once (never waits); shut down: stores nothing and reports success.
//   Pop       empty: waits at most the pop time-out, then "timed out"; shut down: hands out what is left,
//             then succeeds at once with an empty (default) item.
//   Shutdown  wakes every waiting pop; idempotent.
// Under mingw the lock stays held while the condition variable is notified: releasing it first was seen to
// deadlock with that platform's threads.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

enum class tZR_QueueResult : std::uint8_t { qr_Success, qr_TimedOut };

template <typename T> class tZR_BoundedQueue {
public:
    tZR_BoundedQueue(std::size_t aCapacity, std::chrono::milliseconds aPopTimeout)
        : fCapacity(aCapacity), fPopTimeout(aPopTimeout) {}
    tZR_BoundedQueue(const tZR_BoundedQueue&) = delete;
    tZR_BoundedQueue& operator=(const tZR_BoundedQueue&) = delete;

    tZR_QueueResult Push(T&& aItem) {
        std::lock_guard<std::mutex> lock(fLock);
        if (fShutdown.load(std::memory_order_relaxed)) {
            return tZR_QueueResult::qr_Success;
        }
        if (fItems.size() >= fCapacity) {
            return tZR_QueueResult::qr_TimedOut;
        }
        fItems.push_back(std::move(aItem));
        fPushedTotal.fetch_add(1, std::memory_order_release);
        fNotEmpty.notify_one();
        return tZR_QueueResult::qr_Success;
    }

    tZR_QueueResult Pop(T& aOut) {
        std::unique_lock<std::mutex> lock(fLock);
        const bool ready = fNotEmpty.wait_for(lock, fPopTimeout, [this] {
            return !fItems.empty() || fShutdown.load(std::memory_order_relaxed);
        });
        if (!ready) {
            return tZR_QueueResult::qr_TimedOut;
        }
        if (fItems.empty()) {
            aOut = T();
        } else {
            aOut = std::move(fItems.front());
            fItems.pop_front();
        }
        return tZR_QueueResult::qr_Success;
    }

    void Shutdown() {
        std::lock_guard<std::mutex> lock(fLock);
        fShutdown.store(true);
        fNotEmpty.notify_all();
    }

    // Shutdown for code that must not block (library unload): the flag is set at once; the wake-up is
    // skipped when the lock stays busy for aLockBudget, and a waiting pop then sees the flag at its time-out.
    void ShutdownWithin(std::chrono::milliseconds aLockBudget) {
        fShutdown.store(true);
        const auto deadline = std::chrono::steady_clock::now() + aLockBudget;
        do {
            if (fLock.try_lock()) {
                fNotEmpty.notify_all();
                fLock.unlock();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < deadline);
    }

    bool IsShutdown() const { return fShutdown.load(); }
    std::size_t Size() const {
        std::lock_guard<std::mutex> lock(fLock);
        return fItems.size();
    }
    std::size_t Capacity() const { return fCapacity; }
    // Items ever stored (not counting pushes refused because the queue was full or shut down).
    std::uint64_t PushedTotal() const { return fPushedTotal.load(std::memory_order_acquire); }

private:
    const std::size_t fCapacity;
    const std::chrono::milliseconds fPopTimeout;
    mutable std::mutex fLock;
    std::condition_variable fNotEmpty;
    std::deque<T> fItems;
    std::atomic<bool> fShutdown{false};
    std::atomic<std::uint64_t> fPushedTotal{0};
};
