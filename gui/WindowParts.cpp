#include "gui/WindowParts.h"

#include "gui/StyleQt.h"

#include <QFrame>
#include <QLabel>

namespace vantor::window {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QWidget* textBlock(const QString& text, const char* name) {
    auto* block = new style::TextBlock(text);
    if (name) block->setObjectName(QString::fromUtf8(name));
    style::setTextColour(block, style::kSoftText);
    return block;
}

QLabel* textLabel(const QString& text, const char* role) {
    auto* l = new QLabel(text);
    const std::string_view r(role);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    if (r == "heading") {
        l->setFont(style::font(15, true));
        style::setTextColour(l, Qt::white);
    } else if (r == "caption") {
        style::setTextColour(l, style::kMuted);
    } else {
        l->setFont(style::font(10, true));
        style::setTextColour(l, style::kValue);
    }
    return l;
}

QLabel* linkLabel(const QString& text, const char* name, qreal pointSize, bool bold) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    l->setCursor(Qt::PointingHandCursor);
    l->setFont(style::font(pointSize, bold, true));
    style::setTextColour(l, style::kLink);
    return l;
}

QFrame* card() { return new style::Card; }

}  // namespace vantor::window
