#include "gui/StyleQt.h"

#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <map>

namespace vantor::style {
namespace {

const QColor kFieldFill{0x0b, 0x0f, 0x15};
const QColor kFieldBorder{0x2c, 0x38, 0x4a};
const QColor kButtonFill{0x1f, 0x28, 0x34};
const QColor kButtonBorder{0x33, 0x41, 0x5a};
const QColor kDisabledFill{0x18, 0x1e, 0x27};
const QColor kDisabledBorder{0x24, 0x2d, 0x3a};
const QColor kHover{0x22, 0x2c, 0x39};
const QColor kSelected{0x1f, 0x29, 0x35};

QRectF inner(const QRect& r) { return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5); }

// A rounded panel, drawn from nine pieces of one small picture made once: its
// corners as they are, its edges and middle stretched. Filling or stroking a
// tall shape directly makes Qt's raster engine start helper threads for the
// spans, which costs more at start-up than the whole panel.
void paintPanelOn(QPainter* p, const QRect& r, int radius) {
    const int c = radius + 1;  // corner piece, border included
    const int side = 2 * c + 1;
    static std::map<int, QImage> pieces;
    QImage& picture = pieces[radius];
    if (picture.isNull()) {
        picture = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter q(&picture);
        q.setRenderHint(QPainter::Antialiasing);
        q.setPen(kPanelBorder);
        q.setBrush(kPanel);
        q.drawRoundedRect(QRectF(0.5, 0.5, side - 1, side - 1), radius, radius);
    }
    if (r.width() < 2 * c || r.height() < 2 * c) return;
    const int l = r.left(), t = r.top(), w = r.width(), h = r.height();
    const int right = l + w - c, bottom = t + h - c;
    const int mid = side - c;  // first column/row of the far pieces
    p->drawImage(QRect(l, t, c, c), picture, QRect(0, 0, c, c));
    p->drawImage(QRect(right, t, c, c), picture, QRect(mid, 0, c, c));
    p->drawImage(QRect(l, bottom, c, c), picture, QRect(0, mid, c, c));
    p->drawImage(QRect(right, bottom, c, c), picture, QRect(mid, mid, c, c));
    p->drawImage(QRect(l + c, t, w - 2 * c, c), picture, QRect(c, 0, 1, c));
    p->drawImage(QRect(l + c, bottom, w - 2 * c, c), picture, QRect(c, mid, 1, c));
    // The stretched middle rows in bands: the engine hands out at most this many
    // rows to one call, so it never starts threads for them.
    constexpr int kBand = 48;
    for (int y = t + c; y < bottom; y += kBand) {
        const int rows = std::min(kBand, bottom - y);
        p->drawImage(QRect(l, y, c, rows), picture, QRect(0, c, c, 1));
        p->drawImage(QRect(right, y, c, rows), picture, QRect(mid, c, c, 1));
        p->drawImage(QRect(l + c, y, w - 2 * c, rows), picture, QRect(c, c, 1, 1));
    }
}

void drawChevron(QPainter* p, const QPointF& centre, qreal size, bool down, const QColor& colour) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(colour, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->setBrush(Qt::NoBrush);
    const qreal h = size / 2;
    QPainterPath path;
    if (down) {
        path.moveTo(centre.x() - h, centre.y() - h / 2);
        path.lineTo(centre.x(), centre.y() + h / 2);
        path.lineTo(centre.x() + h, centre.y() - h / 2);
    } else {
        path.moveTo(centre.x() - h / 2, centre.y() - h);
        path.lineTo(centre.x() + h / 2, centre.y());
        path.lineTo(centre.x() - h / 2, centre.y() + h);
    }
    p->drawPath(path);
    p->restore();
}

// Fusion, with the frames, fields, buttons and indicators in the program's colours.
class VantorStyle final : public QProxyStyle {
public:
    VantorStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const bool enabled = option->state & State_Enabled;
        const bool hover = enabled && (option->state & State_MouseOver);
        switch (element) {
            case PE_IndicatorCheckBox:
            case PE_IndicatorRadioButton: drawIndicator(element, option, painter); return;
            case PE_PanelButtonCommand:
            case PE_PanelButtonTool: {
                const bool down = option->state & (State_Sunken | State_On);
                const bool focus = option->state & State_HasFocus;
                QColor fill = enabled ? kButtonFill : kDisabledFill;
                if (enabled && down)
                    fill = fill.lighter(130);
                else if (hover)
                    fill = fill.lighter(115);
                const QColor border = !enabled ? kDisabledBorder : hover || focus ? kAccent : kButtonBorder;
                painter->save();
                painter->setRenderHint(QPainter::Antialiasing);
                painter->setPen(border);
                painter->setBrush(fill);
                painter->drawRoundedRect(inner(option->rect), 5, 5);
                painter->restore();
                return;
            }
            case PE_PanelLineEdit:
            case PE_FrameLineEdit: {
                const bool focus = option->state & State_HasFocus;
                painter->save();
                painter->setRenderHint(QPainter::Antialiasing);
                painter->setPen(!enabled ? kDisabledBorder : focus ? kAccent : hover ? kButtonBorder : kFieldBorder);
                painter->setBrush(element == PE_PanelLineEdit ? (enabled ? kFieldFill : kDisabledFill)
                                                              : QBrush(Qt::NoBrush));
                painter->drawRoundedRect(inner(option->rect), 4, 4);
                painter->restore();
                return;
            }
            case PE_FrameFocusRect: return;  // focus shows in the borders
            default: break;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        if (control == CC_GroupBox) {
            const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
            if (!box) return;
            paintPanelOn(painter, subControlRect(control, option, SC_GroupBoxFrame, widget), 7);
            painter->save();
            QFont bold = painter->font();
            bold.setBold(true);
            painter->setFont(bold);
            painter->setPen(box->state & State_Enabled ? kAccent : kDisabled);
            painter->drawText(subControlRect(control, option, SC_GroupBoxLabel, widget),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, box->text.trimmed());
            painter->restore();
            return;
        }
        if (control == CC_ComboBox) {
            const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
            if (combo && !combo->editable) {
                const bool enabled = option->state & State_Enabled;
                const bool hover = enabled && (option->state & State_MouseOver);
                const bool focus = option->state & State_HasFocus;
                painter->save();
                painter->setRenderHint(QPainter::Antialiasing);
                painter->setPen(!enabled ? kDisabledBorder : focus || hover ? kAccent : kFieldBorder);
                painter->setBrush(enabled ? kFieldFill : kDisabledFill);
                painter->drawRoundedRect(inner(option->rect), 4, 4);
                painter->restore();
                const QRect arrow = subControlRect(control, option, SC_ComboBoxArrow, widget);
                drawChevron(painter, QRectF(arrow).center(), 7, true, enabled ? kMuted : kDisabled);
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    // Group boxes: the title above a rounded card, the contents inside it.
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control != CC_GroupBox) return QProxyStyle::subControlRect(control, option, sub, widget);
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        const QRect r = option->rect;
        const int titleHeight = box && !box->text.trimmed().isEmpty() ? option->fontMetrics.height() + 6 : 0;
        const QRect frame = r.adjusted(0, titleHeight, 0, 0);
        switch (sub) {
            case SC_GroupBoxLabel: {
                QFont bold = widget ? widget->font() : QApplication::font();
                bold.setBold(true);
                const int w = QFontMetrics(bold).horizontalAdvance(box ? box->text.trimmed() : QString()) + 4;
                return QRect(r.left() + 4, r.top(), std::min(w, r.width() - 8), titleHeight - 4);
            }
            case SC_GroupBoxFrame: return frame;
            case SC_GroupBoxContents: return frame.adjusted(12, 10, -12, -10);
            default: return QProxyStyle::subControlRect(control, option, sub, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_GroupBox) {
            const int titleHeight = option->fontMetrics.height() + 6;
            return QSize(size.width() + 24, size.height() + titleHeight + 20);
        }
        // Room around the captions of buttons and lists.
        if (type == CT_PushButton || type == CT_ToolButton)
            return QProxyStyle::sizeFromContents(type, option, size, widget) + QSize(16, 8);
        if (type == CT_ComboBox || type == CT_LineEdit)
            return QProxyStyle::sizeFromContents(type, option, size, widget) + QSize(0, 6);
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

private:
    static void drawIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter) {
        const bool enabled = option->state & State_Enabled;
        const bool on = option->state & State_On;
        const bool hover = enabled && (option->state & State_MouseOver);
        const QColor border = !enabled ? kDisabledBorder : hover || on ? kAccent : QColor(0x5a, 0x68, 0x80);
        const QColor fill = on && enabled ? kAccent : kFieldFill;
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
                painter->setPen(QPen(enabled ? QColor(0x14, 0x18, 0x1f) : kDisabled, side * 0.16, Qt::SolidLine,
                                     Qt::RoundCap, Qt::RoundJoin));
                painter->setBrush(Qt::NoBrush);
                painter->drawPath(tick);
            }
        } else {
            painter->setPen(QPen(border, 1.4));
            painter->setBrush(kFieldFill);
            painter->drawEllipse(r);
            if (on) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(enabled ? kAccent : kDisabled);
                const qreal d = side * 0.5;
                painter->drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
            }
        }
        painter->restore();
    }
};

}  // namespace

void paintPanel(QWidget* widget, const QRect& r, int radius) {
    QPainter p(widget);
    paintPanelOn(&p, r, radius);
}

void applyVantorLook(QApplication& app) {
    app.setStyle(new VantorStyle);

    // The family the system resolves its default to, named directly: every size
    // and weight of it is then found without going through the alias again.
    QFont base = QApplication::font();
    base.setPointSizeF(10);
    base.setFamilies({QFontInfo(base).family()});
    app.setFont(base);

    QPalette p;
    p.setColor(QPalette::Window, kBackground);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Base, kFieldFill);
    p.setColor(QPalette::AlternateBase, QColor(0x16, 0x1d, 0x27));
    p.setColor(QPalette::Text, kText);
    p.setColor(QPalette::PlaceholderText, kMuted);
    p.setColor(QPalette::Button, kButtonFill);
    p.setColor(QPalette::ButtonText, kText);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, kAccent);
    p.setColor(QPalette::HighlightedText, QColor(0x10, 0x14, 0x1a));
    p.setColor(QPalette::Link, kLink);
    p.setColor(QPalette::ToolTipBase, QColor(0x1c, 0x24, 0x30));
    p.setColor(QPalette::ToolTipText, kText);
    p.setColor(QPalette::Light, kFieldBorder);
    p.setColor(QPalette::Midlight, QColor(0x22, 0x2b, 0x38));
    p.setColor(QPalette::Mid, QColor(0x1a, 0x21, 0x2b));
    p.setColor(QPalette::Dark, QColor(0x08, 0x0b, 0x10));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, kDisabled);
    p.setColor(QPalette::Disabled, QPalette::Button, kDisabledFill);
    p.setColor(QPalette::Disabled, QPalette::Base, kDisabledFill);
    app.setPalette(p);

    // Entry fields and lists show their values in the accent's light tone.
    QPalette field = p;
    field.setColor(QPalette::Active, QPalette::Text, kField);
    field.setColor(QPalette::Inactive, QPalette::Text, kField);
    field.setColor(QPalette::Active, QPalette::ButtonText, kField);
    field.setColor(QPalette::Inactive, QPalette::ButtonText, kField);
    app.setPalette(field, "QLineEdit");
    app.setPalette(field, "QComboBox");
}

QFont font(qreal pointSize, bool bold, bool underline) {
    QFont f = QApplication::font();
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, colour);
        p.setColor(group, QPalette::Text, colour);
        p.setColor(group, QPalette::ButtonText, colour);
    }
    widget->setPalette(p);
}

// ---- painted widgets ------------------------------------------------------------------------

Card::Card(QWidget* parent) : QFrame(parent) { setObjectName(QStringLiteral("Card")); }

void Card::paintEvent(QPaintEvent*) { paintPanel(this, rect(), 7); }

Picture::Picture(QSize size, QWidget* parent) : QWidget(parent) { setFixedSize(size); }

void Picture::setImage(const QImage& image, const QString& fallback, const QFont& fallbackFont, bool boxed) {
    image_ = image.isNull() || image.size() == size()
                 ? image
                 : image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    fallback_ = fallback;
    boxed_ = boxed;
    setFont(fallbackFont);
    update();
}

void Picture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!image_.isNull()) {
        const QRect target(QPoint((width() - image_.width()) / 2, (height() - image_.height()) / 2), image_.size());
        p.drawImage(target, image_);
        return;
    }
    if (fallback_.isEmpty()) return;
    if (boxed_) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0x33, 0x41, 0x5a));
        p.setBrush(QColor(0x1c, 0x24, 0x30));
        p.drawRoundedRect(inner(rect()), 6, 6);
    }
    p.setPen(boxed_ ? kValue : kAccent);
    p.drawText(rect(), Qt::AlignCenter, fallback_);
}

TextBlock::TextBlock(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TextBlock::layOut(int width) const {
    if (width == laidOutWidth_) return;
    laidOutWidth_ = width;
    paragraphs_.clear();
    const QFontMetricsF fm(font());
    qreal y = 0;
    for (const QString& paragraph : text_.split(QLatin1Char('\n'))) {
        auto layout = std::make_unique<QTextLayout>(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout->setTextOption(option);
        layout->beginLayout();
        if (paragraph.isEmpty()) {
            // An empty line between paragraphs.
            QTextLine line = layout->createLine();
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += fm.lineSpacing();
        }
        for (QTextLine line = paragraph.isEmpty() ? QTextLine() : layout->createLine(); line.isValid();
             line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout->endLayout();
        paragraphs_.push_back(std::move(layout));
    }
    laidOutHeight_ = static_cast<int>(std::ceil(y));
}

int TextBlock::heightForWidth(int width) const {
    layOut(width);
    return laidOutHeight_;
}

QSize TextBlock::sizeHint() const {
    const int width = laidOutWidth_ > 0 ? laidOutWidth_ : 400;
    return QSize(width, heightForWidth(width));
}

QSize TextBlock::minimumSizeHint() const { return QSize(100, fontMetrics().height()); }

void TextBlock::paintEvent(QPaintEvent*) {
    layOut(width());
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    for (const auto& paragraph : paragraphs_) paragraph->draw(&p, QPointF(0, 0));
}

void TextBlock::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        laidOutWidth_ = -1;
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

GroupHeaderButton::GroupHeaderButton(const QString& text, QWidget* parent) : QToolButton(parent) {
    setText(text);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QSize GroupHeaderButton::sizeHint() const { return QSize(120, fontMetrics().height() + 20); }

void GroupHeaderButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool open = isChecked();
    const bool hover = underMouse();
    p.fillRect(rect(), open ? kSelected : hover ? kHover : QColor(0x1b, 0x23, 0x2e));
    if (open) p.fillRect(QRect(0, 0, 3, height()), kAccent);
    drawChevron(&p, QPointF(17, height() / 2.0), 8, open, open ? kAccent : kMuted);
    p.setPen(open ? kAccent : QColor(Qt::white));
    p.drawText(rect().adjusted(30, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        p.setPen(kButtonBorder);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

MenuItemButton::MenuItemButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize MenuItemButton::sizeHint() const { return QSize(120, fontMetrics().height() + 13); }

void MenuItemButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool marked = isChecked();
    const bool hover = underMouse();
    if (marked) {
        p.fillRect(rect(), kSelected);
        p.fillRect(QRect(0, 0, 3, height()), kAccent);
    } else if (hover) {
        p.fillRect(rect(), kHover);
    }
    p.setPen(marked ? kAccent : hover ? QColor(Qt::white) : kSoftText);
    // "&&" shows as "&".
    p.drawText(rect().adjusted(30, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        p.setPen(kButtonBorder);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

FilledButton::FilledButton(const QString& text, const QColor& colour, const QColor& textColour, QWidget* parent)
    : QPushButton(text, parent), colour_(colour), textColour_(textColour) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize FilledButton::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(text()) + iconSize().width() + 40, fontMetrics().height() + 20);
}

void FilledButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const bool hover = enabled && underMouse();
    QColor c = colour_;
    if (isDown())
        c = c.darker(112);
    else if (hover)
        c = c.lighter(110);
    if (enabled) {
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, c.lighter(112));
        g.setColorAt(1, c.darker(106));
        p.setBrush(g);
        p.setPen(QPen(c.lighter(125), 1));
    } else {
        p.setBrush(QColor(0x23, 0x2b, 0x36));
        p.setPen(QColor(0x2c, 0x36, 0x44));
    }
    p.drawRoundedRect(inner(rect()), 8, 8);
    if (hasFocus()) {
        p.setPen(QPen(QColor(255, 255, 255, 120), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 6, 6);
    }

    const QColor fg = enabled ? textColour_ : kDisabled;
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int iconWidth = icon().isNull() ? 0 : iconSize().width() + 8;
    const int x = (width() - textWidth - iconWidth) / 2;
    if (iconWidth) {
        const QRect iconRect(x, (height() - iconSize().height()) / 2, iconSize().width(), iconSize().height());
        icon().paint(&p, iconRect, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    p.setPen(fg);
    p.drawText(QRect(x + iconWidth, 0, textWidth + 2, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

TitleButton::TitleButton(const QString& name, bool danger, QWidget* parent) : QToolButton(parent), danger_(danger) {
    setText(name);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void TitleButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool hover = underMouse() || isDown();
    if (hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(danger_ ? kDanger : QColor(0x2a, 0x34, 0x42));
        p.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    // The glyph is drawn, not typed: no font has to be looked up for it.
    p.setPen(QPen(hover && danger_ ? QColor(Qt::white) : kSoftText, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = QRectF(rect()).center();
    const qreal h = 5;
    if (danger_) {
        p.drawLine(QPointF(c.x() - h, c.y() - h), QPointF(c.x() + h, c.y() + h));
        p.drawLine(QPointF(c.x() - h, c.y() + h), QPointF(c.x() + h, c.y() - h));
    } else {
        p.drawLine(QPointF(c.x() - h, c.y() + 0.5), QPointF(c.x() + h, c.y() + 0.5));
    }
}

}  // namespace vantor::style
