#pragma once
// The updater's windows as its logic sees them: the question window
// (TAutoUpgraderUpgradeMessageForm), its message boxes and the progress window
// (TAutoUpgraderWizardForm). The Qt windows implement it, vantor-cli prints,
// tests record. The logic formats every changing text; the windows own their
// fixed texts.

#include <functional>
#include <string>

namespace vantor {

enum class UpgradeIcon { Error, Warning, Question };
enum class UpgradeButtons { Ok, YesNo };

struct WizardOptions {
    bool HideFileLocation = true;
    bool StayOnTop = true;
    std::string AppTitle;
    // The window's "&Cancel", Escape and close command.
    std::function<void()> onCancel;
    // "&OK" of the completed state.
    std::function<void()> onFinish;
};

class AutoUpgraderUi {
public:
    virtual ~AutoUpgraderUi() = default;

    // The question window, modal: true only for "&Yes".
    virtual bool askUpgrade(const std::string& text) = 0;
    // A message box; true for Yes (or OK).
    virtual bool messageBox(const std::string& caption, const std::string& text, UpgradeIcon icon,
                            UpgradeButtons buttons) = 0;
    // How a check or download ended, as the main window says it besides its
    // status line ("Update aborted.", "No update available.", "No internet
    // connection."): a message box with an OK button.
    virtual void outcomeBox(const std::string& caption, const std::string& text) = 0;

    // The progress window.
    virtual void wizardShow(const WizardOptions& options) = 0;
    virtual void wizardFile(int number, int count, const std::string& allText, const std::string& url) = 0;
    virtual void wizardFileSize(const std::string& text) = 0;
    virtual void wizardProgress(const std::string& rateText, const std::string& timeLeftText, int filePercent,
                                int allPercent) = 0;
    virtual void wizardCompleted(const std::string& note) = 0;
    virtual void wizardClose() = 0;
};

}  // namespace vantor
