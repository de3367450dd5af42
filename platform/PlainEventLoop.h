#pragma once
// Event loop without a window system: a task queue plus timers on a steady clock.
// Serves the command-line front end and the tests.

#include "platform/EventLoop.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace vantor {

class PlainEventLoop final : public EventLoop {
public:
    // The constructing thread becomes the UI thread.
    PlainEventLoop();

    void post(Task task) override;
    void invokeAndWait(Task task) override;
    TimerId startTimer(std::chrono::milliseconds delay, Task task) override;
    void cancelTimer(TimerId id) override;
    bool isUiThread() const override;

    // Runs tasks and timers until quit() is called.
    void run();
    // Runs until pred() is true (checked after every task) or the timeout passes.
    // Returns pred().
    bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Runs what is due now without waiting. Returns the number of tasks run.
    int processPending();
    void quit();

    // Number of queued tasks plus pending timers.
    std::size_t pendingCount() const;

    // Called with the text of an exception that a task or timer let through;
    // the loop then goes on. Unset, the exception leaves run()/runUntil().
    std::function<void(const std::string&)> onError;

private:
    using Clock = std::chrono::steady_clock;
    bool runOne(Clock::time_point deadline);

    std::thread::id uiThread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::multimap<Clock::time_point, std::pair<TimerId, Task>> timers_;
    TimerId nextTimer_ = 1;
    bool quit_ = false;
};

}  // namespace vantor
