// Work shared by two threads: every part done once, failures passed on,
// and a helper that is busy elsewhere never holds the caller up.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/workers.h"

namespace ferro {
namespace {

TEST(OnTwoThreads, EveryIndexOnceWithAPoolOrAThreadOfItsOwn) {
    WorkerPool pool(1);
    for (WorkerPool* helper : {&pool, static_cast<WorkerPool*>(nullptr)}) {
        for (const std::size_t count : {0u, 1u, 2u, 15u, 16u, 17u, 33u, 1000u, 4099u}) {
            std::vector<std::atomic<int>> seen(count);
            OnTwoThreads(
                count,
                [&](std::size_t from, std::size_t to) {
                    ASSERT_LE(from, to);
                    ASSERT_LE(to, count);
                    for (std::size_t i = from; i < to; ++i) seen[i].fetch_add(1);
                },
                helper);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(seen[i].load(), 1) << count << " at " << i;
        }
    }
}

TEST(OnTwoThreads, AFailureIsThrownOnTheCallersThreadAfterBothStop) {
    std::atomic<int> inside{0}, after{0};
    std::atomic<bool> returned{false};
    {
        WorkerPool pool(1);
        EXPECT_THROW(OnTwoThreads(
                         1600,
                         [&](std::size_t from, std::size_t) {
                             ++inside;
                             if (returned) ++after;
                             if (from == 800) throw std::runtime_error("part failed");
                             --inside;
                         },
                         &pool),
                     std::runtime_error);
        returned = true;
        // No part is still running once the call is over (the failed one
        // left its count behind)...
        EXPECT_EQ(inside.load(), 1);
    }
    // ... and none started later, the pool's task included.
    EXPECT_EQ(after.load(), 0);
}

TEST(OnTwoThreads, ABusyHelperLeavesTheWholeWorkToTheCaller) {
    WorkerPool pool(1);
    std::mutex mutex;
    std::condition_variable open;
    bool gate = false;
    pool.Submit([&] {
        std::unique_lock<std::mutex> lock(mutex);
        open.wait(lock, [&] { return gate; });
    });
    std::vector<int> seen(500, 0);
    OnTwoThreads(
        500,
        [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) ++seen[i];
        },
        &pool);
    for (int v : seen) ASSERT_EQ(v, 1);
    {
        std::lock_guard<std::mutex> lock(mutex);
        gate = true;
    }
    open.notify_all();
    // The helper's share task runs now, finds nothing left and touches
    // nothing of the finished call (ASan would say).
}

}  // namespace
}  // namespace ferro
