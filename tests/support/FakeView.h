#pragma once
// A main view without a window: control states in plain fields, with a record
// of status texts and repaints.

#include "core/MainView.h"

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantor::test {

class FakeView : public MainView {
public:
    FakeView() {
        for (auto c : {Control::BenchButton, Control::DebugBtn, Control::UpdateButton}) enabled[c] = true;
        for (auto c : {Control::DetailEdit, Control::DetailButton, Control::DemoEdit, Control::DemoEditButton})
            enabled[c] = false;
    }

    bool resolutionChecked(int i) const override { return res[static_cast<std::size_t>(i)]; }
    void setResolutionChecked(int i, bool on) override { res[static_cast<std::size_t>(i)] = on; }
    bool todayResolutionChecked(int i) const override { return today[static_cast<std::size_t>(i)]; }
    void setTodayResolutionChecked(int i, bool on) override { today[static_cast<std::size_t>(i)] = on; }
    int choice(Choice c) const override {
        auto it = choices.find(c);
        return it == choices.end() ? -1 : it->second;
    }
    void setChoice(Choice c, int index) override { choices[c] = index; }
    bool checked(Check c) const override {
        auto it = checks.find(c);
        return it != checks.end() && it->second;
    }
    void setChecked(Check c, bool on) override { checks[c] = on; }
    std::string text(Field f) const override {
        auto it = fields.find(f);
        return it == fields.end() ? std::string() : it->second;
    }
    void setText(Field f, const std::string& t) override { fields[f] = t; }
    void setLabel(Label l, const std::string& t) override { labels[l] = t; }
    void setEnabled(Control c, bool on) override { enabled[c] = on; }
    bool isEnabled(Control c) const override {
        auto it = enabled.find(c);
        return it != enabled.end() && it->second;
    }
    std::string status() const override { return statusText; }
    void setStatus(const std::string& t) override {
        statusText = t;
        statusHistory.push_back(t);
        if (onStatus) onStatus(t);
    }
    void repaint() override { ++repaints; }
    void showPage(int index) override { page = index; }
    void showAboutView() override { page = -1; }
    void setRunProgress(int current, int total) override { progress = {current, total}; }
    void setRunActive(bool active) override { runActive = active; }
    void setTimeLeft(std::optional<std::chrono::milliseconds> left) override { timeLeft.push_back(left); }
    void setReport(const std::string& path) override { report = path; }
    void setDebugModeActive(bool active) override { debugModeShown.push_back(active); }

    std::array<bool, 6> res{};
    std::array<bool, 6> today{};
    std::vector<std::optional<std::chrono::milliseconds>> timeLeft;
    std::map<Choice, int> choices;
    std::map<Check, bool> checks;
    std::map<Field, std::string> fields;
    std::map<Label, std::string> labels;
    std::map<Control, bool> enabled;
    std::string statusText;
    std::vector<std::string> statusHistory;
    int repaints = 0;
    int page = -2;  // -1 About view, -2 never set
    std::pair<int, int> progress{0, 0};
    bool runActive = false;
    std::string report;
    std::vector<bool> debugModeShown;
    // Called with each status text, after it is set.
    std::function<void(const std::string&)> onStatus;
};

}  // namespace vantor::test
