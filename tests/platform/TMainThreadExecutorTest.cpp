#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/TMainThreadExecutor.h"
#include "support/Wait.h"

namespace {

TEST(TMainThreadExecutorTest, StepsRunOnTheMainThreadInOrderWhileTheCallerWaits)
{
    TMainThreadExecutor executor;
    const auto mainThread = std::this_thread::get_id();
    std::vector<int> order;  // touched on the main thread only
    constexpr int kThreads = 4, kSteps = 200;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kSteps; ++i) {
                int seen = -1;
                executor.Run([&] {
                    EXPECT_EQ(std::this_thread::get_id(), mainThread);
                    order.push_back(t * kSteps + i);
                    seen = i;
                });
                EXPECT_EQ(seen, i);  // the step is over when Run returns
            }
            ++finished;
        });
    EXPECT_TRUE(WaitUntil([&] { return finished == kThreads; }, 60000));
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(order.size(), std::size_t(kThreads * kSteps));
    // Each thread's steps keep their order.
    std::vector<int> last(kThreads, -1);
    for (int value : order) {
        EXPECT_GT(value % kSteps, last[value / kSteps]);
        last[value / kSteps] = value % kSteps;
    }
}

TEST(TMainThreadExecutorTest, AnErrorOfTheStepIsRaisedInTheCaller)
{
    TMainThreadExecutor executor;
    auto caller = std::async(std::launch::async, [&] {
        try {
            executor.Run([] { throw Exception(QStringLiteral("falló")); });
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString();
    });
    ASSERT_TRUE(WaitUntil([&] { return caller.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(caller.get(), QStringLiteral("falló"));
    // On the main thread the step runs at once, its error as well.
    bool ran = false;
    executor.Run([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(executor.Run([] { throw Exception("x"); }), Exception);
}

TEST(TMainThreadExecutorTest, ShutdownFailsPendingAndLaterSteps)
{
    TMainThreadExecutor executor;
    std::atomic<bool> ran{false};
    std::atomic<bool> queued{false};
    auto pending = std::async(std::launch::async, [&] {
        queued = true;
        try {
            executor.Run([&] { ran = true; });
            return 0;
        } catch (const EExecutorClosed&) {
            return 1;
        }
    });
    // Without running the loop the step stays queued; the shutdown releases its caller.
    while (!queued)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    executor.Shutdown();
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(pending.get(), 1);
    RunEventsFor(50);
    EXPECT_FALSE(ran);

    auto later = std::async(std::launch::async, [&] {
        try {
            executor.Run([] {});
            return 0;
        } catch (const EExecutorClosed&) {
            return 1;
        }
    });
    ASSERT_EQ(later.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(later.get(), 1);
}

TEST(TMainThreadExecutorTest, AStepMayRunANestedLoop)
{
    TMainThreadExecutor executor;
    std::atomic<int> done{0};
    auto inner = [&] { executor.Run([] {}); ++done; };
    std::thread second;
    std::thread first([&] {
        executor.Run([&] {
            // As a modal box: a nested loop that serves another thread's step.
            second = std::thread(inner);
            EXPECT_TRUE(WaitUntil([&] { return done == 1; }));
        });
        ++done;
    });
    EXPECT_TRUE(WaitUntil([&] { return done == 2; }));
    first.join();
    second.join();
}

}  // namespace
