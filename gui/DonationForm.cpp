#include "gui/DonationForm.h"

#include "gui/StyleQt.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace vantor {

QString DonationForm::appealText() {
    return QStringLiteral(
        "Quorvane publishes free benchmark programs for Half-Life 2, Counter-Strike: Source and "
        "Day of Defeat: Source. They are made in our free time, while the test hardware and the web "
        "server cost money. If our benchmarks are useful to you, please support our work.\n\n"
        "See the \u201cDonate us\u201d section for more information. This window will never appear again.\n\n"
        "Thank you.");
}

DonationForm::DonationForm(std::function<void()> onClose, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), onClose_(std::move(onClose)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QString::fromUtf8(kDonationTitle));
    setModal(true);
    setFixedWidth(460);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 20);
    layout->setSpacing(14);

    auto* title = new QLabel(QString::fromUtf8(kDonationTitle));
    title->setObjectName(QStringLiteral("DonationTitle"));
    title->setFont(style::font(16, true));
    style::setTextColour(title, style::kAccent);
    layout->addWidget(title);

    auto* text = new QLabel(appealText());
    text->setObjectName(QStringLiteral("DonationText"));
    text->setWordWrap(true);
    style::setTextColour(text, QColor(0xd6, 0xdc, 0xe5));
    text->setFixedWidth(408);
    layout->addWidget(text);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    button_ = new QPushButton(QStringLiteral("Close"));
    button_->setObjectName(QStringLiteral("Button1"));
    button_->setDefault(true);
    button_->setMinimumWidth(110);
    row->addWidget(button_);
    layout->addLayout(row);

    connect(button_, &QPushButton::clicked, this, [this] {
        if (onClose_) onClose_();
        accept();
    });
    ensurePolished();
    text->ensurePolished();
    text->setFixedHeight(text->heightForWidth(408));
    adjustSize();

    // Centred on the screen.
    QScreen* s = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (s) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void DonationForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), style::kBackground);
    p.fillRect(QRect(0, 0, width(), 4), style::kAccent);
    p.setPen(style::kPanelBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void DonationForm::mousePressEvent(QMouseEvent* event) {
    // Frameless: dragged by its background.
    if (event->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
}

}  // namespace vantor
