#include "gui/AutoUpgraderUiQt.h"

#include "gui/AutoUpgraderUpgradeMsg.h"
#include "gui/AutoUpgraderWizard.h"

#include <QMessageBox>

namespace vantor {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

AutoUpgraderUiQt::~AutoUpgraderUiQt() { delete wizard_.data(); }

bool AutoUpgraderUiQt::askUpgrade(const std::string& text) {
    TAutoUpgraderUpgradeMessageForm form(q(text));
    return form.exec() == QDialog::Accepted;
}

void AutoUpgraderUiQt::outcomeBox(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Information, q(caption), q(text), QMessageBox::Ok,
                    owner_ && owner_->isVisible() ? owner_.data() : nullptr);
    box.exec();
}

bool AutoUpgraderUiQt::messageBox(const std::string& caption, const std::string& text, UpgradeIcon icon,
                                  UpgradeButtons buttons) {
    const QMessageBox::Icon qicon = icon == UpgradeIcon::Error     ? QMessageBox::Critical
                                    : icon == UpgradeIcon::Warning ? QMessageBox::Warning
                                                                   : QMessageBox::Question;
    const bool yesNo = buttons == UpgradeButtons::YesNo;
    QWidget* parent = wizard_ && wizard_->isVisible() ? static_cast<QWidget*>(wizard_.data())
                      : owner_ && owner_->isVisible() ? owner_.data()
                                                      : nullptr;
    QMessageBox box(qicon, q(caption), q(text), yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    if (yesNo) box.setDefaultButton(QMessageBox::Yes);
    const int answer = box.exec();
    return yesNo ? answer == QMessageBox::Yes : true;
}

void AutoUpgraderUiQt::wizardShow(const WizardOptions& options) {
    delete wizard_.data();
    wizard_ = new TAutoUpgraderWizardForm(options);
    wizard_->setAttribute(Qt::WA_DeleteOnClose);
    wizard_->show();
}

void AutoUpgraderUiQt::wizardFile(int, int, const std::string& allText, const std::string& url) {
    if (wizard_) wizard_->setFile(q(allText), q(url));
}

void AutoUpgraderUiQt::wizardFileSize(const std::string& text) {
    if (wizard_) wizard_->setFileSize(q(text));
}

void AutoUpgraderUiQt::wizardProgress(const std::string& rateText, const std::string& timeLeftText, int filePercent,
                                      int allPercent) {
    if (wizard_) wizard_->setProgress(q(rateText), q(timeLeftText), filePercent, allPercent);
}

void AutoUpgraderUiQt::wizardCompleted(const std::string& note) {
    if (wizard_) wizard_->setCompleted(q(note));
}

void AutoUpgraderUiQt::wizardClose() {
    if (wizard_) wizard_->closeByLogic();
}

}  // namespace vantor
