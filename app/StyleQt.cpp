#include "app/StyleQt.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace vantor::style {
namespace {

// Fusion, with check boxes and radio buttons drawn in the accent colour: the
// stock indicators are nearly invisible on a dark palette.
class VantorStyle final : public QProxyStyle {
public:
    VantorStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool enabled = option->state & State_Enabled;
        const bool on = option->state & State_On;
        const bool hover = enabled && (option->state & State_MouseOver);
        const QColor border = !enabled ? QColor(0x2c, 0x36, 0x44) : hover || on ? kAccent : QColor(0x5a, 0x68, 0x80);
        const QColor fill = on && enabled ? kAccent : QColor(0x0b, 0x0f, 0x15);
        QRectF r = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
        const qreal side = std::min(r.width(), r.height());
        r = QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (element == PE_IndicatorCheckBox) {
            painter->setPen(QPen(border, 1.4));
            painter->setBrush(fill);
            painter->drawRoundedRect(r, 3, 3);
            if (on) {
                QPainterPath tick;
                tick.moveTo(r.left() + side * 0.22, r.top() + side * 0.52);
                tick.lineTo(r.left() + side * 0.42, r.top() + side * 0.72);
                tick.lineTo(r.left() + side * 0.78, r.top() + side * 0.30);
                painter->setPen(QPen(enabled ? QColor(0x14, 0x18, 0x1f) : QColor(0x5a, 0x66, 0x78), side * 0.16,
                                     Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                painter->setBrush(Qt::NoBrush);
                painter->drawPath(tick);
            }
        } else {
            painter->setPen(QPen(border, 1.4));
            painter->setBrush(QColor(0x0b, 0x0f, 0x15));
            painter->drawEllipse(r);
            if (on) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(enabled ? kAccent : QColor(0x5a, 0x66, 0x78));
                const qreal d = side * 0.5;
                painter->drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
            }
        }
        painter->restore();
    }
};

}  // namespace

void applyVantorLook(QApplication& app) {
    app.setStyle(new VantorStyle);

    QPalette p;
    p.setColor(QPalette::Window, kBackground);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Base, QColor(0x0b, 0x0f, 0x15));
    p.setColor(QPalette::AlternateBase, kPanel);
    p.setColor(QPalette::Text, kText);
    p.setColor(QPalette::PlaceholderText, kMuted);
    p.setColor(QPalette::Button, QColor(0x1c, 0x24, 0x30));
    p.setColor(QPalette::ButtonText, kText);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, kAccent);
    p.setColor(QPalette::HighlightedText, QColor(0x10, 0x14, 0x1a));
    p.setColor(QPalette::Link, kLink);
    p.setColor(QPalette::ToolTipBase, QColor(0x1c, 0x24, 0x30));
    p.setColor(QPalette::ToolTipText, kText);
    p.setColor(QPalette::Light, QColor(0x2c, 0x38, 0x4a));
    p.setColor(QPalette::Midlight, QColor(0x22, 0x2b, 0x38));
    p.setColor(QPalette::Mid, QColor(0x1a, 0x21, 0x2b));
    p.setColor(QPalette::Dark, QColor(0x08, 0x0b, 0x10));
    p.setColor(QPalette::Shadow, Qt::black);
    const QColor disabled(0x5a, 0x66, 0x78);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x18, 0x1e, 0x27));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x11, 0x16, 0x1d));
    app.setPalette(p);
    app.setStyleSheet(styleSheet());
}

QString styleSheet() {
    return QStringLiteral(R"(
QWidget { font-size: 10pt; }
QToolTip { color: #e4e8ee; background: #1c2430; border: 1px solid #ff8a1e; padding: 4px; }

/* cards and groups */
QGroupBox, QFrame#Card {
    background: rgba(22, 29, 39, 235);
    border: 1px solid #263142;
    border-radius: 7px;
}
QGroupBox { margin-top: 12px; padding: 16px 12px 10px 12px; }
QGroupBox::title {
    subcontrol-origin: margin; subcontrol-position: top left;
    left: 12px; padding: 0 4px; color: #ff8a1e; font-weight: bold;
}
QLabel { background: transparent; }
QLabel[role="heading"] { font-size: 15pt; font-weight: bold; color: #ffffff; padding-bottom: 2px; }
QLabel[role="caption"] { color: #8e9aab; }
QLabel[role="value"] { color: #ffb066; font-weight: bold; }
QLabel[role="text"] { color: #c9d1dc; }
QFrame#HeadingRule { background: #ff8a1e; border: none; }

/* entry fields in the accent colour */
QLineEdit {
    background: #0b0f15; color: #ffc891;
    border: 1px solid #2c384a; border-radius: 4px; padding: 4px 7px;
    selection-background-color: #ff8a1e; selection-color: #10141a;
}
QLineEdit:focus { border-color: #ff8a1e; }
QLineEdit:disabled { color: #5a6678; background: #11161d; border-color: #222b37; }
QComboBox { min-height: 22px; padding: 2px 8px; color: #ffc891; }

/* buttons */
QPushButton, QToolButton {
    background: #1f2834; color: #e4e8ee;
    border: 1px solid #33415a; border-radius: 5px; padding: 5px 12px;
}
QPushButton:hover, QToolButton:hover { border-color: #ff8a1e; }
QPushButton:pressed, QToolButton:pressed { background: #2a3543; }
QPushButton:disabled, QToolButton:disabled { color: #5a6678; border-color: #242d3a; background: #181e27; }

QPushButton#BenchButton {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffa040, stop:1 #f07410);
    color: #14181f; border: 1px solid #ffb062; border-radius: 8px;
    font-size: 13pt; font-weight: bold; padding: 10px;
}
QPushButton#BenchButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffb462, stop:1 #ff8420); }
QPushButton#BenchButton:pressed { background: #e06a0c; }
QPushButton#BenchButton:disabled { background: #232b36; color: #5a6678; border-color: #2c3644; }
QPushButton#StopButton { background: #8e2b22; border-color: #c0392b; font-weight: bold; }
QPushButton#StopButton:hover { background: #a8342a; }

QProgressBar {
    background: #0b0f15; border: 1px solid #2c384a; border-radius: 4px;
    color: #e4e8ee; text-align: center; min-height: 18px;
}
QProgressBar::chunk { background: #ff8a1e; border-radius: 3px; }

/* title area */
QToolButton#SpeedButton1, QToolButton#SpeedButton2 {
    background: transparent; border: none; border-radius: 4px;
    color: #c9d1dc; font-size: 13pt; padding: 0;
}
QToolButton#SpeedButton2:hover { background: #2a3442; }
QToolButton#SpeedButton1:hover { background: #c0392b; color: #ffffff; }
QLabel#verselabel { color: #8e9aab; font-size: 11pt; font-weight: bold; }
QLabel#TitleLabel { color: #ff8a1e; font-size: 17pt; font-weight: bold; }
QLabel#SubtitleLabel { color: #8e9aab; font-size: 11pt; }

/* side menu */
QFrame#GroupBar1 { background: rgba(22, 29, 39, 235); border: 1px solid #263142; border-radius: 7px; }
QToolButton[role="groupHeader"] {
    background: #1b232e; color: #ffffff; font-weight: bold; text-align: left;
    border: none; border-left: 3px solid transparent; border-radius: 0; padding: 9px 10px;
}
QToolButton[role="groupHeader"]:checked { border-left-color: #ff8a1e; color: #ff8a1e; background: #1f2935; }
QToolButton[role="groupHeader"]:hover { background: #222c39; }
QPushButton[role="menuItem"] {
    background: transparent; color: #c9d1dc; text-align: left;
    border: none; border-left: 3px solid transparent; border-radius: 0; padding: 6px 10px 6px 26px;
}
QPushButton[role="menuItem"]:hover { background: #222c39; color: #ffffff; }
QPushButton[role="menuItem"]:checked { color: #ff8a1e; background: #1f2935; border-left-color: #ff8a1e; }

/* status line */
QLabel#StatusInfo {
    background: rgba(8, 11, 16, 230); color: #d6dce5;
    border-top: 1px solid #263142; padding: 0 14px;
}

QDialog#Form3 { background: #0f141b; border: 1px solid #ff8a1e; }
QLabel#DonationTitle { font-size: 16pt; font-weight: bold; color: #ff8a1e; }
)");
}

}  // namespace vantor::style
