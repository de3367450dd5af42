#include "platform/PlainEventLoop.h"

#include <exception>
#include <future>

namespace vantor {

PlainEventLoop::PlainEventLoop() : uiThread_(std::this_thread::get_id()) {}

bool PlainEventLoop::isUiThread() const { return std::this_thread::get_id() == uiThread_; }

void PlainEventLoop::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void PlainEventLoop::invokeAndWait(Task task) {
    if (isUiThread()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    post([&task, &done] {
        try {
            task();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    finished.get();
}

EventLoop::TimerId PlainEventLoop::startTimer(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(mutex_);
    TimerId id = nextTimer_++;
    timers_.emplace(Clock::now() + delay, std::make_pair(id, std::move(task)));
    wake_.notify_all();
    return id;
}

void PlainEventLoop::cancelTimer(TimerId id) {
    std::lock_guard lock(mutex_);
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.first == id) {
            timers_.erase(it);
            return;
        }
    }
}

std::size_t PlainEventLoop::pendingCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size() + timers_.size();
}

// Runs one task or due timer, waiting until the deadline at most. Posted tasks
// go before timers, in the order they were posted.
bool PlainEventLoop::runOne(Clock::time_point deadline) {
    Task task;
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (quit_) return false;
            if (!tasks_.empty()) {
                task = std::move(tasks_.front());
                tasks_.pop_front();
                break;
            }
            auto now = Clock::now();
            if (!timers_.empty() && timers_.begin()->first <= now) {
                task = std::move(timers_.begin()->second.second);
                timers_.erase(timers_.begin());
                break;
            }
            if (now >= deadline) return false;
            auto until = deadline;
            if (!timers_.empty() && timers_.begin()->first < until) until = timers_.begin()->first;
            wake_.wait_until(lock, until);
        }
    }
    if (!onError) {
        task();
        return true;
    }
    try {
        task();
    } catch (const std::exception& e) {
        onError(e.what());
    }
    return true;
}

void PlainEventLoop::run() {
    {
        std::lock_guard lock(mutex_);
        quit_ = false;
    }
    while (true) {
        runOne(Clock::now() + std::chrono::hours(24));
        std::lock_guard lock(mutex_);
        if (quit_) break;
    }
}

bool PlainEventLoop::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(mutex_);
        quit_ = false;
    }
    const auto deadline = Clock::now() + timeout;
    while (!pred()) {
        if (!runOne(deadline)) {
            std::lock_guard lock(mutex_);
            if (quit_ || Clock::now() >= deadline) break;
        }
    }
    return pred();
}

int PlainEventLoop::processPending() {
    int n = 0;
    const auto now = Clock::now();
    while (runOne(now)) ++n;
    return n;
}

void PlainEventLoop::quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
}

}  // namespace vantor
