#include "platform/PlainEventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace vantor;
using namespace std::chrono_literals;

TEST(PlainEventLoop, TimersFireInDueOrderAfterPostedTasks) {
    PlainEventLoop loop;
    std::vector<int> order;
    loop.startTimer(30ms, [&] { order.push_back(3); });
    loop.startTimer(10ms, [&] { order.push_back(2); });
    loop.post([&] { order.push_back(1); });
    loop.runUntil([&] { return order.size() == 3; }, 2s);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(PlainEventLoop, CancelledTimerNeverRuns) {
    PlainEventLoop loop;
    bool fired = false, later = false;
    auto id = loop.startTimer(5ms, [&] { fired = true; });
    loop.startTimer(20ms, [&] { later = true; });
    loop.cancelTimer(id);
    loop.runUntil([&] { return later; }, 2s);
    EXPECT_TRUE(later);
    EXPECT_FALSE(fired);
}

TEST(PlainEventLoop, InvokeAndWaitRunsOnUiThreadAndBlocksWorker) {
    PlainEventLoop loop;
    const auto ui = std::this_thread::get_id();
    std::atomic<bool> workerPassed{false};
    std::thread::id ranOn;
    bool handlerDone = false;
    std::thread worker([&] {
        loop.invokeAndWait([&] {
            ranOn = std::this_thread::get_id();
            std::this_thread::sleep_for(20ms);
            handlerDone = true;
        });
        // The worker goes on only after the handler has returned.
        EXPECT_TRUE(handlerDone);
        workerPassed = true;
    });
    loop.runUntil([&] { return workerPassed.load(); }, 2s);
    worker.join();
    EXPECT_EQ(ranOn, ui);
    EXPECT_TRUE(workerPassed);
}

TEST(PlainEventLoop, InvokeAndWaitPassesExceptionsBackToTheWorker) {
    PlainEventLoop loop;
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            loop.invokeAndWait([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    loop.runUntil([&] { return caught.load(); }, 2s);
    worker.join();
    EXPECT_TRUE(caught);
}

TEST(PlainEventLoop, ProcessPendingRunsOnlyWhatIsDue) {
    PlainEventLoop loop;
    int n = 0;
    loop.post([&] { ++n; });
    loop.startTimer(1h, [&] { n += 100; });
    EXPECT_EQ(loop.processPending(), 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(loop.pendingCount(), 1u);
}

TEST(PlainEventLoop, AnErrorFromATaskOrTimerGoesToOnErrorAndTheLoopGoesOn) {
    PlainEventLoop loop;
    std::vector<std::string> errors;
    loop.onError = [&](const std::string& text) { errors.push_back(text); };
    bool later = false;
    loop.post([] { throw std::runtime_error("Failed to set data for 'Note'"); });
    loop.startTimer(1ms, [] { throw std::runtime_error("Invalid data type for 'Demo'"); });
    loop.startTimer(10ms, [&] { later = true; });
    EXPECT_TRUE(loop.runUntil([&] { return later; }, 2s));
    EXPECT_EQ(errors, (std::vector<std::string>{"Failed to set data for 'Note'", "Invalid data type for 'Demo'"}));
}
