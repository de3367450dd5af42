#include "cli/CliUpgraderUi.h"

namespace vantor {

void CliUpgraderUi::interrupt() {
    if (!open_ || !options_.onCancel) return;
    interrupting_ = true;
    options_.onCancel();
    interrupting_ = false;
}

bool CliUpgraderUi::askUpgrade(const std::string& text) {
    std::fprintf(err_, "%s [%s]\n", text.c_str(), yes_ ? "Yes" : "Later");
    return yes_;
}

bool CliUpgraderUi::messageBox(const std::string& caption, const std::string& text, UpgradeIcon,
                               UpgradeButtons buttons) {
    if (buttons == UpgradeButtons::Ok) {
        std::fprintf(err_, "%s: %s\n", caption.c_str(), text.c_str());
        return true;
    }
    const bool yes = interrupting_ || yes_;
    std::fprintf(err_, "%s: %s [%s]\n", caption.c_str(), text.c_str(), yes ? "Yes" : "No");
    return yes;
}

void CliUpgraderUi::wizardShow(const WizardOptions& options) {
    options_ = options;
    open_ = true;
    lastPercent_ = -1;
}

void CliUpgraderUi::wizardFile(int, int, const std::string& allText, const std::string& url) {
    std::fprintf(out_, "%s: %s\n", allText.c_str(), url.c_str());
    std::fflush(out_);
}

void CliUpgraderUi::wizardFileSize(const std::string& text) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void CliUpgraderUi::wizardProgress(const std::string& rateText, const std::string& timeLeftText, int filePercent,
                                   int allPercent) {
    if (allPercent == lastPercent_) return;  // one line per step of the whole
    lastPercent_ = allPercent;
    std::fprintf(out_, "%d%% (file %d%%) %s, %s\n", allPercent, filePercent, rateText.c_str(), timeLeftText.c_str());
    std::fflush(out_);
}

void CliUpgraderUi::wizardCompleted(const std::string& note) {
    std::fprintf(out_, "%s\n", note.c_str());
    std::fflush(out_);
    // The completed window's "&OK", pressed at once.
    auto finish = options_.onFinish;
    loop_.post([finish] {
        if (finish) finish();
    });
}

}  // namespace vantor
