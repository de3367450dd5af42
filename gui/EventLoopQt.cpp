#include "gui/EventLoopQt.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <exception>

namespace vantor {

EventLoopQt::EventLoopQt() : context_(new QObject), uiThread_(QThread::currentThread()) {}

EventLoopQt::~EventLoopQt() {
    // Deleting the context deletes every pending timer with it; queued tasks
    // addressed to it are dropped by Qt.
    delete context_;
}

void EventLoopQt::runGuarded(const Task& task) {
    try {
        task();
    } catch (const std::exception& e) {
        if (onError) onError(e.what());
    }
}

void EventLoopQt::post(Task task) {
    QMetaObject::invokeMethod(
        context_, [this, task = std::move(task)] { runGuarded(task); }, Qt::QueuedConnection);
}

void EventLoopQt::invokeAndWait(Task task) {
    if (isUiThread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(
        context_, [this, task = std::move(task)] { runGuarded(task); }, Qt::BlockingQueuedConnection);
}

EventLoop::TimerId EventLoopQt::startTimer(std::chrono::milliseconds delay, Task task) {
    const TimerId id = nextId_++;
    auto* timer = new QTimer(context_);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, context_, [this, id, task = std::move(task)] {
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        it->second->deleteLater();  // the running lambda belongs to it: not deleted before we return
        timers_.erase(it);
        runGuarded(task);
    });
    timers_.emplace(id, timer);
    timer->start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(delay.count(), 0, INT_MAX)));
    return id;
}

void EventLoopQt::cancelTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

bool EventLoopQt::isUiThread() const { return QThread::currentThread() == uiThread_; }

}  // namespace vantor
