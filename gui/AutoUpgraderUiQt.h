#pragma once
// The updater's windows as Qt shows them: the question window, the message
// boxes with their own caption and icon, and the progress window.

#include "update/AutoUpgraderUi.h"

#include "gui/AutoUpgraderWizard.h"

#include <QPointer>
#include <QWidget>

namespace vantor {

class AutoUpgraderUiQt final : public AutoUpgraderUi {
public:
    explicit AutoUpgraderUiQt(QWidget* owner = nullptr) : owner_(owner) {}
    ~AutoUpgraderUiQt() override;

    bool askUpgrade(const std::string& text) override;
    bool messageBox(const std::string& caption, const std::string& text, UpgradeIcon icon,
                    UpgradeButtons buttons) override;
    void outcomeBox(const std::string& caption, const std::string& text) override;
    void wizardShow(const WizardOptions& options) override;
    void wizardFile(int number, int count, const std::string& allText, const std::string& url) override;
    void wizardFileSize(const std::string& text) override;
    void wizardProgress(const std::string& rateText, const std::string& timeLeftText, int filePercent,
                        int allPercent) override;
    void wizardCompleted(const std::string& note) override;
    void wizardClose() override;

    TAutoUpgraderWizardForm* wizard() const { return wizard_; }

private:
    QPointer<QWidget> owner_;
    QPointer<TAutoUpgraderWizardForm> wizard_;
};

}  // namespace vantor
