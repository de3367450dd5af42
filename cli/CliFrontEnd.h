#pragma once
// The main view and the dialogs of vantor-cli: control states in memory, status
// line changes on stdout one per line, message boxes on stderr, confirmations
// answered by a fixed answer.

#include "core/Dialogs.h"
#include "core/MainView.h"

#include <array>
#include <cstdio>
#include <map>
#include <string>

namespace vantor {

class CliDialogs;

class CliView final : public MainView {
public:
    explicit CliView(std::FILE* out = stdout) : out_(out) {}
    // A status line that repeats the message these dialogs have just shown (a
    // validation message) is not printed again.
    void quietEchoesOf(const CliDialogs& dialogs) { dialogs_ = &dialogs; }

    bool resolutionChecked(int i) const override { return res_[static_cast<std::size_t>(i)]; }
    void setResolutionChecked(int i, bool on) override { res_[static_cast<std::size_t>(i)] = on; }
    bool todayResolutionChecked(int i) const override { return today_[static_cast<std::size_t>(i)]; }
    void setTodayResolutionChecked(int i, bool on) override { today_[static_cast<std::size_t>(i)] = on; }
    int choice(Choice c) const override;
    void setChoice(Choice c, int index) override { choices_[c] = index; }
    bool checked(Check c) const override;
    void setChecked(Check c, bool on) override { checks_[c] = on; }
    std::string text(Field f) const override;
    void setText(Field f, const std::string& t) override { fields_[f] = t; }
    void setLabel(Label, const std::string&) override {}
    void setEnabled(Control c, bool on) override { enabled_[c] = on; }
    bool isEnabled(Control c) const override;
    std::string status() const override { return status_; }
    void setStatus(const std::string& text) override;
    void repaint() override {}
    void showPage(int) override {}
    void showAboutView() override {}
    // Prints "Time left: about ..." when the estimate changes by a second or more.
    void setTimeLeft(std::optional<std::chrono::milliseconds> left) override;

private:
    std::FILE* out_;
    const CliDialogs* dialogs_ = nullptr;
    std::array<bool, 6> res_{};
    std::array<bool, 6> today_{};
    std::optional<std::chrono::milliseconds> shownLeft_;
    std::map<Choice, int> choices_;
    std::map<Check, bool> checks_;
    std::map<Field, std::string> fields_;
    std::map<Control, bool> enabled_;
    std::string status_;
};

class CliDialogs final : public Dialogs {
public:
    explicit CliDialogs(bool answerYes, std::FILE* err = stderr) : yes_(answerYes), err_(err) {}

    void message(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void error(const std::string& text) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;

    // The last message shown, until the next status line has been compared with it.
    const std::string& lastMessage() const { return lastMessage_; }
    void forgetLastMessage() const { lastMessage_.clear(); }

private:
    bool yes_;
    std::FILE* err_;
    mutable std::string lastMessage_;
};

}  // namespace vantor
