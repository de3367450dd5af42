#pragma once
// TForm3: the donation appeal, shown once per installation (while Donate is "0").

#include <QDialog>

#include <functional>

class QPushButton;

namespace vantor {

inline constexpr const char* kDonationTitle = "Donate us";

class DonationForm : public QDialog {
    Q_OBJECT
public:
    // onClose runs when the button is pressed, before the window closes
    // (it writes Donate := "1").
    explicit DonationForm(std::function<void()> onClose, QWidget* parent = nullptr);

    // The appeal's text.
    static QString appealText();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::function<void()> onClose_;
    QPushButton* button_;
};

}  // namespace vantor
