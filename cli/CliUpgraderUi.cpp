#include "cli/CliUpgraderUi.h"

namespace vantor {

bool CliUpgraderUi::askUpgrade(const std::string& text) {
    const bool yes = yes_ && !interrupted();
    std::fprintf(err_, "%s [%s]\n", text.c_str(), yes ? "Yes" : "Later");
    return yes;
}

bool CliUpgraderUi::messageBox(const std::string& caption, const std::string& text, UpgradeIcon,
                               UpgradeButtons buttons) {
    if (buttons == UpgradeButtons::Ok) {
        std::fprintf(err_, "%s: %s\n", caption.c_str(), text.c_str());
        return true;
    }
    std::fprintf(err_, "%s: %s [%s]\n", caption.c_str(), text.c_str(), yes_ ? "Yes" : "No");
    return yes_;
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
    // The completed window's "&OK", pressed at once, unless Ctrl+C came first.
    loop_.post([this, finish = options_.onFinish] {
        if (finish && !interrupted()) finish();
    });
}

}  // namespace vantor
