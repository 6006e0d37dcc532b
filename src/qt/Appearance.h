#pragma once

#include "ports/Color.h"

#include <QColor>
#include <QFont>

class QCoreApplication;
class QPalette;

namespace tw::qt {

// A colour value of the behaviour as a Qt colour. RGB values are taken as they are; system
// colours follow the palette, so that they change with the user's colour scheme:
//   0 (scroll bar)    QPalette::Midlight      17 (grey text)     QPalette::PlaceholderText
//   5 (window)        QPalette::Base          18 (button text)   QPalette::ButtonText
//   8 (window text)   QPalette::Text          15 / 16 / 20       Button / Dark / Light
//   13 / 14           Highlight / HighlightedText   others        QPalette::WindowText
QColor toQColor(Color value, const QPalette& palette);

// A font as stored with a control: the family as named there, the size in points at
// 96 dpi turned into pixels, as the positions are.
QFont storedFont(const QString& family, double points, bool bold = false);

// The stored Chinese families are not installed on Linux: all of them map onto one Noto CJK
// face, named here; bold is drawn from its regular weight.
QString oneFace();
void installFontSubstitutions();

// Loads Qt's own Chinese texts when they are installed.
void installTranslations(QCoreApplication& app);

} // namespace tw::qt
