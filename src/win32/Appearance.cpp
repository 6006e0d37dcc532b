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

namespace {

// Calls that Windows 7 lacks, found at run time so that the program still starts there.
template <typename Fn> Fn user32Call(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

} // namespace

UINT windowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = user32Call<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return dpi;
        }
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

namespace {
using SetThreadContextFn = HANDLE(WINAPI*)(HANDLE);
SetThreadContextFn setThreadDpiContext() {
    static const auto set = user32Call<SetThreadContextFn>("SetThreadDpiAwarenessContext");
    return set;
}
} // namespace

UnscaledWindows::UnscaledWindows() {
    if (const auto set = setThreadDpiContext()) {
        m_previous = set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1))); // unaware
    }
}

UnscaledWindows::~UnscaledWindows() {
    if (const auto set = setThreadDpiContext(); set != nullptr && m_previous != nullptr) {
        set(m_previous);
    }
}

int twipsToPixels(double twips, UINT dpi) {
    return static_cast<int>(std::floor(twips * dpi / 1440.0 + 1e-9));
}

double pixelsToTwips(int pixels, UINT dpi) {
    return pixels * 1440.0 / dpi;
}

RECT windowRectForClient(int width, int height, DWORD style, bool menu, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = user32Call<AdjustFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, width, height};
    if (adjustForDpi == nullptr || adjustForDpi(&rect, style, menu ? TRUE : FALSE, 0, dpi) == 0) {
        AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, 0);
    }
    return rect;
}

HFONT storedFont(const wchar_t* family, double points, bool bold, UINT dpi) {
    const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, family);
}

RECT storedRect(int left, int top, int width, int height, UINT dpi) {
    return {twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(left + width, dpi),
            twipsToPixels(top + height, dpi)};
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

void classicLook(HWND control) {
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static const auto setWindowTheme = [] {
        const HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
        return uxtheme == nullptr ? nullptr
                                  : reinterpret_cast<SetWindowThemeFn>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(uxtheme, "SetWindowTheme")));
    }();
    if (setWindowTheme != nullptr) {
        setWindowTheme(control, L"", L"");
    }
}

int textWidth(HWND control, HFONT font, const wchar_t* text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
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
