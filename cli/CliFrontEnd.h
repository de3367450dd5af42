#pragma once
// The run view and the dialogs of vantor-cli: status line changes on stdout one
// per line, message boxes on stderr, confirmations answered by a fixed answer.

#include "core/Dialogs.h"
#include "core/RunView.h"

#include <cstdio>
#include <map>
#include <string>

namespace vantor {

class CliDialogs;

class CliView final : public RunView {
public:
    explicit CliView(std::FILE* out = stdout) : out_(out) {}
    // A status line that repeats the message these dialogs have just shown (a
    // validation message) is not printed again.
    void quietEchoesOf(const CliDialogs& dialogs) { dialogs_ = &dialogs; }

    std::string status() const override { return status_; }
    void setStatus(const std::string& text) override;
    void repaint() override {}
    void setEnabled(Control c, bool on) override { enabled_[c] = on; }
    bool isEnabled(Control c) const override;
    // Prints "Time left: about ..." when the estimate changes by a second or more.
    void setTimeLeft(std::optional<std::chrono::milliseconds> left) override;

private:
    std::FILE* out_;
    const CliDialogs* dialogs_ = nullptr;
    std::optional<std::chrono::milliseconds> shownLeft_;
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
