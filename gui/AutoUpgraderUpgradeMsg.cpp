#include "gui/AutoUpgraderUpgradeMsg.h"

#include "update/AutoUpgrader.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace vantor {

TAutoUpgraderUpgradeMessageForm::TAutoUpgraderUpgradeMessageForm(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("AutoUpgraderUpgradeMessageForm"));
    setWindowTitle(QString::fromUtf8(kUpdateCaption));
    setModal(true);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    text_ = new QLabel(text);
    text_->setObjectName(QStringLiteral("MsgLabel"));
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    text_->setMaximumWidth(420);

    yes_ = new QPushButton(QStringLiteral("&Yes"));
    yes_->setObjectName(QStringLiteral("YesBtn"));
    yes_->setDefault(true);
    later_ = new QPushButton(QStringLiteral("&Later"));
    later_->setObjectName(QStringLiteral("LaterBtn"));
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(later_, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes_);
    buttons->addWidget(later_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    // The window's height follows the text.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

}  // namespace vantor
