#include "win32/Appearance.h"

#include <cmath>
#include <cstring>

namespace tw::win32 {

COLORREF toColorRef(Color value) {
    if (colors::isSystemColor(value)) {
        return GetSysColor(static_cast<int>(colors::systemIndex(value)));
    }
    return static_cast<COLORREF>(value & 0xFFFFFFu);
}

HFONT storedFont(const wchar_t* family, double points, bool bold) {
    const int height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, family);
}

RECT storedRect(int left, int top, int width, int height) {
    return {left / 15, top / 15, (left + width) / 15, (top + height) / 15};
}

int lineHeight(HWND control, HFONT font) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return metrics.tmHeight;
}

HBITMAP toBitmap(int width, int height, const unsigned* pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        std::memcpy(bits, pixels,
                    static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    }
    return bitmap;
}

} // namespace tw::win32
