// The log queue on the platform's own lock and condition: order, capacity, and that every waiting pop
// is woken (a lost wake-up would leave a log thread asleep for its whole time-out, or a shutdown hanging).
#include "runtime/BoundedQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
// Long enough that a pop which is not woken makes the test run into CTest's time-out.
constexpr std::chrono::milliseconds kLongWait{600000};

TEST(BoundedQueue, KeepsOrderRefusesWhenFullAndHandsOutTheRestAfterShutdown) {
    tZR_BoundedQueue<int> queue(3, std::chrono::milliseconds(1));
    int out = -1;
    EXPECT_FALSE(queue.TryPop(out));
    EXPECT_EQ(queue.Pop(out), tZR_QueueResult::qr_TimedOut);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(queue.Push(int(i)), tZR_QueueResult::qr_Success);
    }
    EXPECT_EQ(queue.Push(4), tZR_QueueResult::qr_TimedOut);
    EXPECT_EQ(queue.PushedTotal(), 3u);
    ASSERT_TRUE(queue.TryPop(out));
    EXPECT_EQ(out, 1);
    queue.Shutdown();
    queue.Shutdown();
    EXPECT_EQ(queue.Push(5), tZR_QueueResult::qr_Success); // accepted and dropped
    ASSERT_EQ(queue.Pop(out), tZR_QueueResult::qr_Success);
    EXPECT_EQ(out, 2);
    ASSERT_EQ(queue.Pop(out), tZR_QueueResult::qr_Success);
    EXPECT_EQ(out, 3);
    ASSERT_EQ(queue.Pop(out), tZR_QueueResult::qr_Success);
    EXPECT_EQ(out, 0); // empty and shut down: at once, with a default item
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(BoundedQueue, WaitingPopsAreWokenByPushAndByShutdown) {
    tZR_BoundedQueue<int> queue(100, kLongWait);
    constexpr int kConsumers = 4;
    std::atomic<int> sum{0};
    std::atomic<int> woken{0};
    std::vector<std::thread> consumers;
    for (int c = 0; c < kConsumers; ++c) {
        consumers.emplace_back([&] {
            for (int round = 0; round < 1000; ++round) {
                int item = 0;
                if (queue.Pop(item) != tZR_QueueResult::qr_Success) {
                    continue;
                }
                if (item == 0) {
                    woken.fetch_add(1);
                    return;
                }
                sum.fetch_add(item);
            }
        });
    }
    int expected = 0;
    for (int i = 1; i <= 50; ++i) {
        EXPECT_EQ(queue.Push(int(i)), tZR_QueueResult::qr_Success);
        expected += i;
    }
    // Items still queued are handed out before the empty item that ends each consumer.
    queue.ShutdownWithin(std::chrono::milliseconds(1000));
    for (std::thread& t : consumers) {
        t.join();
    }
    EXPECT_EQ(sum.load(), expected);
    EXPECT_EQ(woken.load(), kConsumers);
}

TEST(BoundedQueue, TakesBlocksInOrderAndALingerEndsWhenHalfFullOrShutDown) {
    tZR_BoundedQueue<int> queue(4, kLongWait);
    for (int i = 1; i <= 3; ++i) {
        queue.Push(int(i));
    }
    std::vector<int> taken{0};
    EXPECT_EQ(queue.TakeUpTo(taken, 2), 2u);
    EXPECT_EQ(queue.TakeUpTo(taken, 5), 1u);
    EXPECT_EQ(queue.TakeUpTo(taken, 5), 0u);
    EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3}));

    // A linger that nothing ended would run into CTest's time-out.
    std::thread lingering([&] { queue.Linger(kLongWait); });
    queue.Push(1);
    queue.Push(2); // half of 4
    lingering.join();
    lingering = std::thread([&] { queue.Linger(kLongWait); });
    EXPECT_EQ(queue.TakeUpTo(taken, 5), 2u);
    queue.Shutdown();
    lingering.join();
}
} // namespace
