#pragma once
// The user-interface thread's event loop, as the core sees it. Everything the
// program decides runs on that thread; worker threads hand their notifications
// over through post() or invokeAndWait(). Waits are timers, never sleeps.

#include <chrono>
#include <cstdint>
#include <functional>

namespace vantor {

class EventLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~EventLoop() = default;

    // Queue a task for the UI thread. Safe from any thread.
    virtual void post(Task task) = 0;

    // From a worker thread: run the task on the UI thread and block until it has
    // returned. Called on the UI thread itself, the task runs at once.
    virtual void invokeAndWait(Task task) = 0;

    // Single-shot timer on the UI thread. UI thread only.
    virtual TimerId startTimer(std::chrono::milliseconds delay, Task task) = 0;

    // Cancels a pending timer; unknown or fired ids are ignored. UI thread only.
    virtual void cancelTimer(TimerId id) = 0;

    // Whether the calling thread is the UI thread.
    virtual bool isUiThread() const = 0;
};

}  // namespace vantor
