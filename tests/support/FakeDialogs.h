#pragma once
// Dialogs answered by the test: queued answers, recorded questions.

#include "core/Dialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vantor::test {

class FakeDialogs : public Dialogs {
public:
    void message(const std::string& text) override { messages.push_back(text); }
    bool confirm(const std::string& text) override {
        confirmations.push_back(text);
        if (answers.empty()) return defaultAnswer;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void error(const std::string& text) override { errors.push_back(text); }
    std::optional<std::string> openFile(const std::string& title, const std::string& filter) override {
        fileDialogs.push_back(title + "|" + filter);
        auto r = nextFile;
        nextFile.reset();
        return r;
    }
    std::optional<std::string> chooseFolder(const std::string& title) override {
        folderDialogs.push_back(title);
        auto r = nextFolder;
        nextFolder.reset();
        return r;
    }

    std::vector<std::string> messages, confirmations, errors, fileDialogs, folderDialogs;
    std::deque<bool> answers;
    bool defaultAnswer = false;
    std::optional<std::string> nextFile, nextFolder;
};

}  // namespace vantor::test
