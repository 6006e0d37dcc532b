#pragma once

#include "ports/Color.h"

#include <windows.h>

namespace tw::win32 {

// A colour value of the behaviour as a Windows colour: RGB values are already one; system
// colours are read from the user's scheme (GetSysColor of their index).
COLORREF toColorRef(Color value);

// A font as stored with a control: the family as named there, the size in points at 96 dpi,
// with the Chinese character set so that the font mapper picks a Chinese face where the named
// one is missing.
HFONT storedFont(const wchar_t* family, double points, bool bold = false);

// A stored position in twips, as whole pixels (15 twips are one pixel at 96 dpi).
RECT storedRect(int left, int top, int width, int height);

// The height of a line of text in this font.
int lineHeight(HWND control, HFONT font);

// Pixels of a premultiplied 0xAARRGGBB picture as a top-down 32-bit DIB section.
HBITMAP toBitmap(int width, int height, const unsigned* pixels);

} // namespace tw::win32
