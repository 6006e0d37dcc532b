#pragma once

#include <QIcon>
#include <QPixmap>

namespace tw::qt {

// The main window's background: 600 x 400 pixels, drawn by the program itself.
inline constexpr int pictureWidth = 600;
inline constexpr int pictureHeight = 400;
QPixmap backgroundPicture(qreal devicePixelRatio);

// The window icon: the same shield at 16, 32 and 48 pixels.
QIcon programIcon();

} // namespace tw::qt
