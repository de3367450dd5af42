#pragma once
// Message boxes, confirmations and file/folder choosers, behind one interface so
// that a test answers them without a real dialog.

#include <optional>
#include <string>

namespace vantor {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with one OK button.
    virtual void message(const std::string& text) = 0;
    // A confirmation box with Yes and No; true for Yes.
    virtual bool confirm(const std::string& text) = 0;
    // The application's general error box (errors no handler caught).
    virtual void error(const std::string& text) = 0;
    // A file-open dialog. filter is "Description|mask". Empty optional on cancel.
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& filter) = 0;
    // A folder chooser. Empty optional on cancel.
    virtual std::optional<std::string> chooseFolder(const std::string& title) = 0;
};

}  // namespace vantor
