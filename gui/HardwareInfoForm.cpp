#include "gui/HardwareInfoForm.h"

#include "core/AppContext.h"
#include "gui/StyleQt.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <exception>

namespace vantor {
namespace {

const QColor kButtonCaption{133, 163, 250};
const QColor kStatusBarColour{243, 126, 31};

}  // namespace

HardwareInfoForm::HardwareInfoForm(AppContext& ctx, DiagTool& tool, QWidget* parent)
    : QDialog(parent),
      ctx_(ctx),
      memo_(new QPlainTextEdit),
      button1_(new QPushButton(QStringLiteral("Get info"))),
      button3_(new QPushButton(QStringLiteral("Save && Close"))),
      statusBar_(new QLabel),
      info_(ctx, tool, *this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8(kInfoTitle));
    setModal(true);
    setFixedSize(620, 330);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(14, 14, 14, 12);
    body->setSpacing(10);
    memo_->setObjectName(QStringLiteral("infomemo"));
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    body->addWidget(memo_, 1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {button1_, button3_}) {
        b->setMinimumWidth(120);
        style::setTextColour(b, kButtonCaption);
        row->addWidget(b);
    }
    button1_->setObjectName(QStringLiteral("Button1"));
    button3_->setObjectName(QStringLiteral("Button3"));
    body->addLayout(row);
    layout->addLayout(body, 1);

    statusBar_->setObjectName(QStringLiteral("StatusBar"));
    statusBar_->setAutoFillBackground(true);
    QPalette bar = statusBar_->palette();
    bar.setColor(QPalette::Window, kStatusBarColour);
    bar.setColor(QPalette::WindowText, QColor(0x14, 0x18, 0x1f));
    statusBar_->setPalette(bar);
    statusBar_->setIndent(10);
    statusBar_->setFixedHeight(26);
    layout->addWidget(statusBar_);

    connect(button1_, &QPushButton::clicked, this, [this] { handle([this] { info_.collect(); }); });
    connect(button3_, &QPushButton::clicked, this, [this] { handle([this] { info_.saveAndClose(); }); });

    handle([this] { info_.startUp(); });
}

void HardwareInfoForm::handle(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ctx_.dialogs.error(e.what());
    }
}

void HardwareInfoForm::showMemo(const std::vector<std::string>& lines) {
    QStringList text;
    for (const auto& line : lines) text << QString::fromStdString(line);
    memo_->setPlainText(text.join(QLatin1Char('\n')));
}

void HardwareInfoForm::setStatus(const std::string& text) { statusBar_->setText(QString::fromStdString(text)); }

QString HardwareInfoForm::statusText() const { return statusBar_->text(); }

void HardwareInfoForm::setButtonsEnabled(bool enabled) {
    button1_->setEnabled(enabled);
    button3_->setEnabled(enabled);
}

void HardwareInfoForm::repaint() { QDialog::repaint(); }

void HardwareInfoForm::closeWindow() { accept(); }

void HardwareInfoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) handle([this] { info_.windowShown(); });
}

// Every way the window closes (Save & Close, the close box, Escape) ends here.
void HardwareInfoForm::done(int result) {
    if (isVisible()) handle([this] { info_.windowClosed(); });
    QDialog::done(result);
}

}  // namespace vantor
