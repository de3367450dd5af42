#pragma once
// The program's look: Fusion with a dark palette and one accent colour, its
// frames, fields, buttons and indicators drawn by a proxy style, and a few
// painted widgets (cards, the side menu's buttons, the run button, the title
// area's buttons). No style sheets: they cost more at start-up than the whole
// window otherwise does. What shows at start uses one face (regular) in two
// sizes: every further face or size costs start-up time.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QTextLayout>
#include <QToolButton>

#include <memory>
#include <vector>

class QApplication;
class QWidget;

namespace vantor::style {

inline const QColor kBackground{0x0f, 0x14, 0x1b};
inline const QColor kHeader{0x0b, 0x0f, 0x15};
inline const QColor kPanel{0x16, 0x1d, 0x27, 235};
inline const QColor kPanelBorder{0x26, 0x31, 0x42};
inline const QColor kText{0xe4, 0xe8, 0xee};
inline const QColor kSoftText{0xc9, 0xd1, 0xdc};
inline const QColor kMuted{0x8e, 0x9a, 0xab};
inline const QColor kDisabled{0x5a, 0x66, 0x78};
inline const QColor kAccent{0xff, 0x8a, 0x1e};
inline const QColor kValue{0xff, 0xb0, 0x66};
inline const QColor kField{0xff, 0xc8, 0x91};
inline const QColor kLink{0x4f, 0xc3, 0xd9};
inline const QColor kDanger{0xc0, 0x39, 0x2b};

// Applies style, palettes and font to the whole application.
void applyVantorLook(QApplication& app);

// The application font at another size and weight.
QFont font(qreal pointSize, bool bold = false, bool underline = false);
// Paints a rounded panel (the cards' look) on the widget.
void paintPanel(QWidget* widget, const QRect& rect, int radius);
// Sets the colour of a widget's text.
void setTextColour(QWidget* widget, const QColor& colour);

// A rounded panel behind a group of controls.
class Card : public QFrame {
public:
    explicit Card(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A picture of fixed size, drawn from its QImage (no pixmap copy). Without an
// image it shows a text instead: plain (a logo) or in a box (a banner).
class Picture : public QWidget {
public:
    explicit Picture(QSize size, QWidget* parent = nullptr);
    // A null image shows the fallback text in the given font.
    void setImage(const QImage& image, const QString& fallback, const QFont& fallbackFont, bool boxed);
    bool hasImage() const { return !image_.isNull(); }
    const QString& fallbackText() const { return fallback_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QString fallback_;
    bool boxed_ = false;
};

// Word-wrapped paragraphs of read-only text, laid out once per width (a
// word-wrapped QLabel lays its text out again for every size question).
class TextBlock : public QWidget {
public:
    explicit TextBlock(const QString& text, QWidget* parent = nullptr);
    const QString& text() const { return text_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layOut(int width) const;

    QString text_;
    mutable int laidOutWidth_ = -1;
    mutable int laidOutHeight_ = 0;
    mutable std::vector<std::unique_ptr<QTextLayout>> paragraphs_;
};

// A group title of the side menu: white, with a chevron, marked while open.
class GroupHeaderButton : public QToolButton {
public:
    explicit GroupHeaderButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// An item of the side menu, marked while its view is shown.
class MenuItemButton : public QPushButton {
public:
    explicit MenuItemButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A large filled button: the run button (accent) and the stop button (danger).
class FilledButton : public QPushButton {
public:
    FilledButton(const QString& text, const QColor& colour, const QColor& textColour, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_, textColour_;
};

// A flat button of the title area showing a cross (danger: the close button)
// or a bar (minimise).
class TitleButton : public QToolButton {
public:
    TitleButton(const QString& name, bool danger, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool danger_;
};

}  // namespace vantor::style
