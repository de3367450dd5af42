#include "gui/EventLoopQt.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace vantor;
using namespace std::chrono_literals;

TEST(EventLoopQt, PostedTasksRunInOrderBeforeLaterTimers) {
    EventLoopQt loop;
    std::vector<int> order;
    loop.startTimer(40ms, [&] { order.push_back(4); });
    loop.startTimer(10ms, [&] { order.push_back(3); });
    loop.post([&] { order.push_back(1); });
    loop.post([&] { order.push_back(2); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 4; }, 2000));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(EventLoopQt, CancelledTimerNeverRunsAndUnknownIdsAreIgnored) {
    EventLoopQt loop;
    bool cancelled = false, kept = false;
    auto id = loop.startTimer(5ms, [&] { cancelled = true; });
    loop.startTimer(30ms, [&] { kept = true; });
    loop.cancelTimer(id);
    loop.cancelTimer(id);
    loop.cancelTimer(12345);
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept; }, 2000));
    EXPECT_FALSE(cancelled);
}

TEST(EventLoopQt, TimerStartedFromATimerAndCancelInsideItsOwnTask) {
    EventLoopQt loop;
    int fired = 0;
    EventLoop::TimerId self = 0;
    self = loop.startTimer(1ms, [&] {
        ++fired;
        loop.cancelTimer(self);  // already fired: ignored
        loop.startTimer(1ms, [&] { ++fired; });
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired == 2; }, 2000));
}

TEST(EventLoopQt, WorkerHandsOverAndWaitsForTheUiThread) {
    EventLoopQt loop;
    EXPECT_TRUE(loop.isUiThread());
    std::atomic<bool> ranOnUi{false}, workerSawResult{false}, workerIsUi{true};
    int value = 0;
    std::thread worker([&] {
        workerIsUi = loop.isUiThread();
        loop.invokeAndWait([&] {
            ranOnUi = loop.isUiThread();
            value = 42;
        });
        workerSawResult = value == 42;  // the task has returned before invokeAndWait does
        loop.post([&] { value = 43; });
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return value == 43; }, 2000));
    worker.join();
    EXPECT_FALSE(workerIsUi);
    EXPECT_TRUE(ranOnUi);
    EXPECT_TRUE(workerSawResult);

    // On the UI thread itself the task runs at once.
    bool direct = false;
    loop.invokeAndWait([&] { direct = true; });
    EXPECT_TRUE(direct);
}
