#pragma once

#include "ports/Color.h"

#include <windows.h>

namespace tw::win32 {

// A colour value of the behaviour as a Windows colour: RGB values are already one; system
// colours are read from the user's scheme (GetSysColor of their index).
COLORREF toColorRef(Color value);

// The resolution a window is drawn at: its monitor's under per-monitor awareness, else the
// system's. Pixels per inch; 96 at 100 %.
UINT windowDpi(HWND window);

// Twips as whole pixels at a resolution (15 twips are one pixel at 96 dpi), and back.
int twipsToPixels(double twips, UINT dpi);
double pixelsToTwips(int pixels, UINT dpi);

// A font as stored with a control: the family as named there, the size in points at the
// window's resolution, with the Chinese character set so that the font mapper picks a Chinese
// face where the named one is missing.
HFONT storedFont(const wchar_t* family, double points, bool bold = false, UINT dpi = 96);

// A stored position in twips, as whole pixels at a resolution.
RECT storedRect(int left, int top, int width, int height, UINT dpi = 96);

// The outer size of a window whose client area is width x height at a resolution.
RECT windowRectForClient(int width, int height, DWORD style, bool menu, UINT dpi);

// While it lives, the windows this thread creates are laid out for 96 dpi and Windows scales
// them as a whole (Windows 10 1607 and later; elsewhere nothing changes): for a window that
// does not scale itself, in a program that otherwise does.
class UnscaledWindows {
public:
    UnscaledWindows();
    ~UnscaledWindows();
    UnscaledWindows(const UnscaledWindows&) = delete;
    UnscaledWindows& operator=(const UnscaledWindows&) = delete;

private:
    HANDLE m_previous = nullptr;
};

// Draws a control without the visual style, so that it keeps the colours the program gives it.
void classicLook(HWND control);

// The height of a line of text in this font.
int lineHeight(HWND control, HFONT font);

// The width of a text in this font, in pixels.
int textWidth(HWND control, HFONT font, const wchar_t* text);

// Pixels of a premultiplied 0xAARRGGBB picture as a top-down 32-bit DIB section.
HBITMAP toBitmap(int width, int height, const unsigned* pixels);

} // namespace tw::win32
