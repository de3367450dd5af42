#pragma once
// TForm2: the Information window. A modal window with the memo of hardware
// values, "Get info", "Save & Close" and a status bar; its logic is the
// HardwareInfo of diag/, which it shows (HardwareInfoView).

#include "diag/HardwareInfo.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vantor {

struct AppContext;

class HardwareInfoForm : public QDialog, public HardwareInfoView {
    Q_OBJECT
public:
    // Creating the window runs its startUp (the memo from the settings).
    HardwareInfoForm(AppContext& ctx, DiagTool& tool, QWidget* parent = nullptr);

    HardwareInfo& logic() { return info_; }

    // HardwareInfoView
    void showMemo(const std::vector<std::string>& lines) override;
    void setStatus(const std::string& text) override;
    void setButtonsEnabled(bool enabled) override;
    void repaint() override;
    void closeWindow() override;

    QString statusText() const;

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Runs a handler of the logic; an error it raises goes to the error box.
    void handle(const std::function<void()>& handler);

    AppContext& ctx_;
    QPlainTextEdit* memo_;
    QPushButton* button1_;
    QPushButton* button3_;
    QLabel* statusBar_;
    HardwareInfo info_;
};

}  // namespace vantor
