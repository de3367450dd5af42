#pragma once
// The updater's windows for tests: answers set by the test, every call recorded.

#include "platform/EventLoop.h"
#include "update/AutoUpgraderUi.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vantor::test {

class FakeUpgraderUi : public AutoUpgraderUi {
public:
    explicit FakeUpgraderUi(EventLoop& loop) : loop_(loop) {}

    bool askUpgrade(const std::string& text) override {
        questions.push_back(text);
        if (onAsk) onAsk();
        return answerUpgrade;
    }
    bool messageBox(const std::string& caption, const std::string& text, UpgradeIcon icon,
                    UpgradeButtons buttons) override {
        boxes.push_back(caption + "|" + text);
        icons.push_back(icon);
        if (buttons == UpgradeButtons::Ok) return true;
        if (boxAnswers.empty()) return false;
        const bool a = boxAnswers.front();
        boxAnswers.pop_front();
        return a;
    }
    void outcomeBox(const std::string& caption, const std::string& text) override {
        outcomes.push_back(caption + "|" + text);
    }
    void wizardShow(const WizardOptions& o) override {
        options = o;
        open = true;
        calls.push_back("show");
    }
    void wizardFile(int, int, const std::string& allText, const std::string&) override { calls.push_back(allText); }
    void wizardFileSize(const std::string& text) override { calls.push_back(text); }
    void wizardProgress(const std::string& rate, const std::string& left, int filePercent, int allPercent) override {
        lastRate = rate;
        lastLeft = left;
        filePercents.push_back(filePercent);
        allPercents.push_back(allPercent);
        if (onProgress) onProgress();
    }
    void wizardCompleted(const std::string& note) override {
        calls.push_back("completed");
        completedNote = note;
        if (finishWhenCompleted) {
            auto finish = options.onFinish;
            loop_.post([finish] { finish(); });
        }
    }
    void wizardClose() override {
        open = false;
        calls.push_back("close");
    }

    bool answerUpgrade = true;
    std::deque<bool> boxAnswers;
    bool finishWhenCompleted = true;
    std::function<void()> onProgress;
    std::function<void()> onAsk;  // while the question is open

    std::vector<std::string> questions, boxes, outcomes, calls;
    std::vector<UpgradeIcon> icons;
    std::vector<int> filePercents, allPercents;
    std::string lastRate, lastLeft, completedNote;
    WizardOptions options;
    bool open = false;

private:
    EventLoop& loop_;
};

}  // namespace vantor::test
