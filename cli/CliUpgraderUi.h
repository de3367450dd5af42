#pragma once
// The updater's windows in vantor-cli: the question and the message boxes on
// stderr with their fixed answer, the progress as lines on stdout, the
// completed state confirmed at once. An outcome box prints nothing: the status
// line has shown it and the command prints how it ended, once. After Ctrl+C
// (interruptRequested) the question is answered Later and the completed state
// is not confirmed, so the command's cancel ends the update instead.

#include "platform/EventLoop.h"
#include "update/AutoUpgraderUi.h"

#include <cstdio>
#include <functional>

namespace vantor {

class CliUpgraderUi final : public AutoUpgraderUi {
public:
    CliUpgraderUi(EventLoop& loop, bool answerYes, std::FILE* out = stdout, std::FILE* err = stderr)
        : loop_(loop), yes_(answerYes), out_(out), err_(err) {}

    // True once the user asked to stop (Ctrl+C).
    std::function<bool()> interruptRequested;

    bool askUpgrade(const std::string& text) override;
    bool messageBox(const std::string& caption, const std::string& text, UpgradeIcon icon,
                    UpgradeButtons buttons) override;
    void outcomeBox(const std::string&, const std::string&) override {}
    void wizardShow(const WizardOptions& options) override;
    void wizardFile(int number, int count, const std::string& allText, const std::string& url) override;
    void wizardFileSize(const std::string& text) override;
    void wizardProgress(const std::string& rateText, const std::string& timeLeftText, int filePercent,
                        int allPercent) override;
    void wizardCompleted(const std::string& note) override;
    void wizardClose() override { open_ = false; }

private:
    EventLoop& loop_;
    bool yes_;
    std::FILE* out_;
    std::FILE* err_;
    WizardOptions options_;
    bool interrupted() const { return interruptRequested && interruptRequested(); }

    bool open_ = false;
    int lastPercent_ = -1;
};

}  // namespace vantor
