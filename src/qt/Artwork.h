#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

class QPainter;

namespace tw::qt {

// The main window's background: 600 x 400 pixels from the painter's origin, drawn by the
// program itself. It is drawn straight into the window wherever that needs painting: the
// window's own buffer holds it, and a second copy would only cost memory.
inline constexpr int pictureWidth = 600;
inline constexpr int pictureHeight = 400;
void drawBackground(QPainter& painter);

// The window icon: the same shield at 16, 32 and 48 pixels.
QIcon programIcon();
// The shield alone in a transparent square of size x size pixels.
QImage programIconImage(int size);
// The same shield as a scalable SVG document, for the desktop's icon theme.
QByteArray programIconSvg();

} // namespace tw::qt
