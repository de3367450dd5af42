#pragma once
// The program's look: Fusion with a dark palette, one accent colour, and a
// style sheet for the side menu, group captions, entry fields and buttons.

#include <QColor>
#include <QString>

class QApplication;

namespace vantor::style {

inline const QColor kBackground{0x0f, 0x14, 0x1b};
inline const QColor kPanel{0x16, 0x1d, 0x27};
inline const QColor kPanelBorder{0x26, 0x31, 0x42};
inline const QColor kText{0xe4, 0xe8, 0xee};
inline const QColor kMuted{0x8e, 0x9a, 0xab};
inline const QColor kAccent{0xff, 0x8a, 0x1e};
inline const QColor kLink{0x4f, 0xc3, 0xd9};

// Applies style, palette and style sheet to the whole application.
void applyVantorLook(QApplication& app);

QString styleSheet();

}  // namespace vantor::style
