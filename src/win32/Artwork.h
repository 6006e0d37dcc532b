#pragma once

#include <cstdint>
#include <vector>

namespace tw::win32 {

// A picture drawn by the program itself: width x height pixels, rows top to bottom, each
// pixel 0xAARRGGBB with premultiplied alpha (the layout of a 32-bit Windows DIB).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The main window's background (600 x 400 at 96 dpi): a dark header for the action labels,
// the program's shield, a light ground, the status strip. The same picture the Linux shell
// draws. At a higher resolution it is drawn anew at scale times the size, sharp.
inline constexpr int pictureWidth = 600;
inline constexpr int pictureHeight = 400;
Picture backgroundPicture(double scale = 1.0);

// The program's shield with its tick on a transparent square of size x size pixels.
Picture iconPicture(int size);

} // namespace tw::win32
