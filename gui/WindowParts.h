#pragma once
// Pieces the main window's files share: its geometry and small widget makers.

#include "gui/MainWindow.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <string_view>

class QFrame;
class QLabel;
class QWidget;

namespace vantor::window {

QString qs(std::string_view s);

// Geometry of the fixed window.
inline constexpr int kMargin = 16;
inline constexpr int kHeaderHeight = 60;
inline constexpr int kStatusHeight = 34;
inline constexpr int kMenuWidth = 216;
inline constexpr QRect kMenuArea{kMargin, kHeaderHeight + 10, kMenuWidth,
                                 kWindowHeight - kHeaderHeight - kStatusHeight - 24};
inline constexpr QRect kContentArea{kMargin * 2 + kMenuWidth, kHeaderHeight + 10,
                                    kWindowWidth - kMargin * 3 - kMenuWidth,
                                    kWindowHeight - kHeaderHeight - kStatusHeight - 24};

inline constexpr QSize kLargeBanner{600, 100};
inline constexpr QSize kSmallBanner{468, 60};

inline constexpr const char* kSponsorFallback = "Our sponsor: Aldermere Components";

// Paragraphs of read-only text.
QWidget* textBlock(const QString& text, const char* name = nullptr);
// A one-line label: "heading", "caption" or "value".
QLabel* textLabel(const QString& text, const char* role);
QLabel* linkLabel(const QString& text, const char* name, qreal pointSize = 10, bool bold = false);
QFrame* card();

}  // namespace vantor::window
