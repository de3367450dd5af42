#include "cli/CliFrontEnd.h"

#include "cli/CliHints.h"
#include "run/RunEstimate.h"

namespace vantor {

bool CliView::isEnabled(Control c) const {
    auto it = enabled_.find(c);
    return it == enabled_.end() || it->second;
}

namespace {

// The text, then the line that says what to type where the text speaks of the window.
void printWithHint(std::FILE* to, const std::string& text) {
    std::fprintf(to, "%s\n", text.c_str());
    if (const std::string hint = commandLineHint(text); !hint.empty()) std::fprintf(to, "%s\n", hint.c_str());
    std::fflush(to);
}

}  // namespace

void CliView::setStatus(const std::string& text) {
    if (text == status_) return;
    status_ = text;
    const bool echo = dialogs_ && !text.empty() && text == dialogs_->lastMessage();
    if (dialogs_) dialogs_->forgetLastMessage();
    if (!echo) printWithHint(out_, text);
}

void CliView::setTimeLeft(std::optional<std::chrono::milliseconds> left) {
    if (!left) {
        shownLeft_.reset();
        return;
    }
    const auto seconds = [](std::chrono::milliseconds ms) { return (ms.count() + 999) / 1000; };
    if (shownLeft_ && seconds(*shownLeft_) == seconds(*left)) return;
    shownLeft_ = left;
    std::fprintf(out_, "Time left: %s\n", timeLeftText(*left).c_str());
    std::fflush(out_);
}

void CliDialogs::message(const std::string& text) {
    printWithHint(err_, text);
    lastMessage_ = text;
}

bool CliDialogs::confirm(const std::string& text) {
    std::fprintf(err_, "%s [%s]\n", text.c_str(), yes_ ? "Yes" : "No");
    return yes_;
}

void CliDialogs::error(const std::string& text) { printWithHint(err_, "Error: " + text); }

std::optional<std::string> CliDialogs::openFile(const std::string& title, const std::string&) {
    std::fprintf(err_, "%s (no file dialog in vantor-cli; see vantor-cli --help)\n", title.c_str());
    return std::nullopt;
}

std::optional<std::string> CliDialogs::chooseFolder(const std::string&) { return std::nullopt; }

}  // namespace vantor
