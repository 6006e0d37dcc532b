#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace tw::qt {

// The main window's background: 600 x 400 pixels, drawn by the program itself.
inline constexpr int pictureWidth = 600;
inline constexpr int pictureHeight = 400;
QPixmap backgroundPicture(qreal devicePixelRatio);

// The window icon: the same shield at 16, 32 and 48 pixels.
QIcon programIcon();
// The shield alone in a transparent square of size x size pixels.
QImage programIconImage(int size);
// The same shield as a scalable SVG document, for the desktop's icon theme.
QByteArray programIconSvg();

} // namespace tw::qt
