#pragma once
// TAutoUpgraderWizardForm: the progress window of an update's downloads. A
// picture on the left, the title, the "Current file" group (size, rate, time
// left, bar) and the "All files" group ("Downloading %d of %d", bar), "&Next >"
// (the finish button, disabled until the end) and "&Cancel" (default, also
// Escape). "&Cancel", Escape and the close command ask the logic; the window
// closes only when the logic says so.

#include "update/AutoUpgraderUi.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vantor {

class TAutoUpgraderWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TAutoUpgraderWizardForm(const WizardOptions& options, QWidget* parent = nullptr);

    void setFile(const QString& allText, const QString& url);
    void setFileSize(const QString& text);
    void setProgress(const QString& rate, const QString& timeLeft, int filePercent, int allPercent);
    void setCompleted(const QString& note);
    // Closes the window (the logic's word).
    void closeByLogic();

    QLabel* title() const { return title_; }
    QLabel* note() const { return note_; }
    QLabel* fileSize() const { return fileSize_; }
    QLabel* rate() const { return rate_; }
    QLabel* timeLeft() const { return timeLeft_; }
    QLabel* allFiles() const { return allFiles_; }
    QLabel* locationCaption() const { return locationCaption_; }
    QProgressBar* fileBar() const { return fileBar_; }
    QProgressBar* allBar() const { return allBar_; }
    QGroupBox* currentGroup() const { return currentGroup_; }
    QGroupBox* allGroup() const { return allGroup_; }
    QPushButton* finishButton() const { return next_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    WizardOptions options_;
    bool closing_ = false;
    QLabel *title_, *note_, *locationCaption_, *location_, *fileSize_, *rate_, *timeLeft_, *allFiles_;
    QProgressBar *fileBar_, *allBar_;
    QGroupBox *currentGroup_, *allGroup_;
    QPushButton *next_, *cancel_;
};

}  // namespace vantor
