#pragma once
// What both backends of WatchProcessExits share: the notice a watch and the
// task it posts hold together (the task may run after the watch has gone, and
// then does nothing), and the watch of a program that has ended already.

#include "platform/EventLoop.h"
#include "platform/ProcessList.h"

#include <functional>
#include <memory>
#include <utility>

namespace vantor::exit_watch {

struct Notice {
    bool cancelled = false;  // UI thread only
    std::function<void()> ended;
};

inline void postEnded(EventLoop& loop, const std::shared_ptr<Notice>& notice) {
    loop.post([notice] {
        if (notice->cancelled) return;
        notice->cancelled = true;
        auto ended = std::move(notice->ended);
        ended();
    });
}

// A program that has ended already: told on the loop's next turn.
class EndedAlready final : public ProcessExitWatch {
public:
    EndedAlready(EventLoop& loop, std::shared_ptr<Notice> notice) : notice_(std::move(notice)) {
        postEnded(loop, notice_);
    }
    ~EndedAlready() override { notice_->cancelled = true; }

private:
    std::shared_ptr<Notice> notice_;
};

}  // namespace vantor::exit_watch
