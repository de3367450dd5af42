#pragma once
// The event loop on Qt's own: tasks and timers run on the thread that created
// this object (the UI thread), inside QApplication's loop.

#include "platform/EventLoop.h"

#include <functional>
#include <map>
#include <string>

class QObject;
class QThread;
class QTimer;

namespace vantor {

class EventLoopQt final : public EventLoop {
public:
    // The constructing thread becomes the UI thread. Needs a QCoreApplication.
    EventLoopQt();
    ~EventLoopQt() override;

    void post(Task task) override;
    void invokeAndWait(Task task) override;
    TimerId startTimer(std::chrono::milliseconds delay, Task task) override;
    void cancelTimer(TimerId id) override;
    bool isUiThread() const override;

    // Called with the text of an exception that a task or timer let through (Qt's
    // own loop must not see it): the front end shows its general error box.
    std::function<void(const std::string&)> onError;

    // Timers started and not yet fired or cancelled.
    std::size_t pendingTimers() const { return timers_.size(); }

private:
    void runGuarded(const Task& task);

    QObject* context_;
    QThread* uiThread_;
    std::map<TimerId, QTimer*> timers_;
    TimerId nextId_ = 1;
};

}  // namespace vantor
