#pragma once
// Message boxes, confirmations and file/folder choosers as Qt dialogs.

#include "core/Dialogs.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace vantor {

class DialogsQt final : public Dialogs {
public:
    explicit DialogsQt(QWidget* owner = nullptr) : owner_(owner) {}

    // The window the dialogs belong to (centred on it while it is visible).
    void setOwner(QWidget* owner) { owner_ = owner; }

    void message(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void error(const std::string& text) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;

    // "Desc|mask|Desc2|mask2" (masks separated by ';') as Qt's
    // "Desc (mask);;Desc2 (mask2)" (masks separated by blanks).
    static QString qtFilter(const std::string& filter);

private:
    QWidget* parent() const;
    QPointer<QWidget> owner_;
};

}  // namespace vantor
