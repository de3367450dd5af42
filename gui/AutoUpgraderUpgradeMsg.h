#pragma once
// TAutoUpgraderUpgradeMessageForm: the updater's question, a modal dialog
// centred on the screen and above all windows, with an icon, the word-wrapped
// text (its height follows the text), "&Yes" (default) and "&Later".

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantor {

class TAutoUpgraderUpgradeMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TAutoUpgraderUpgradeMessageForm(const QString& text, QWidget* parent = nullptr);

    QLabel* textLabel() const { return text_; }
    QPushButton* yesButton() const { return yes_; }
    QPushButton* laterButton() const { return later_; }

private:
    QLabel* text_;
    QPushButton* yes_;
    QPushButton* later_;
};

}  // namespace vantor
