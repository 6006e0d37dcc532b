#include "win32/AboutWindow.h"

#include "win32/Appearance.h"
#include "win32/ControlIds.h"
#include "win32/Win32Text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <initializer_list>

namespace tw::win32 {

namespace {

constexpr DWORD labelStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP | SS_NOPREFIX;

AboutWindow* theWindow = nullptr;
WNDPROC groupBoxProc = nullptr;

std::size_t index(AboutCtl control) {
    return static_cast<std::size_t>(control);
}

void registerClasses(HINSTANCE instance, WNDPROC form, WNDPROC picture) {
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = form;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = ids::form2Class;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = picture;
    wc.lpszClassName = ids::picture1Class;
    RegisterClassExW(&wc);
}

} // namespace

void AboutWindow::show(HINSTANCE instance, HWND mainWindow) {
    if (theWindow == nullptr) {
        theWindow = new AboutWindow(instance, mainWindow);
        ShowWindow(theWindow->m_hwnd, SW_SHOWNORMAL);
        return;
    }
    ShowWindow(theWindow->m_hwnd, SW_SHOWNORMAL);
    SetWindowPos(theWindow->m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(theWindow->m_hwnd);
}

HWND AboutWindow::current() {
    return theWindow != nullptr ? theWindow->m_hwnd : nullptr;
}

AboutWindow::AboutWindow(HINSTANCE instance, HWND mainWindow)
    : m_instance(instance), m_main(mainWindow), m_dpi(windowDpi(mainWindow)), m_form(*this) {
    registerClasses(instance, &AboutWindow::windowProc, &AboutWindow::pictureProc);
    m_titleFont = storedFont(L"宋体", 12, true, m_dpi);
    m_frameFont = storedFont(L"华文行楷", 12, false, m_dpi);
    m_textFont = storedFont(L"宋体", 9, false, m_dpi);
    m_marqueeFont = storedFont(L"楷体", 9, true, m_dpi);
    m_backColors.fill(colors::systemColor(COLOR_BTNFACE));

    // Client area 5745 x 3675 twips; no frame: it is closed by a click on its surface.
    CreateWindowExW(WS_EX_TOOLWINDOW, ids::form2Class, widen(Form2::frameCaption).c_str(),
                    WS_POPUP | WS_CLIPCHILDREN, 0, 0, twipsToPixels(5745, m_dpi),
                    twipsToPixels(3675, m_dpi), mainWindow, nullptr, instance, this);
    buildControls();
    m_form.Form_Load();
    setTimer1(true);
}

AboutWindow::~AboutWindow() {
    for (HGDIOBJ object :
         std::initializer_list<HGDIOBJ>{m_titleFont, m_frameFont, m_textFont, m_marqueeFont}) {
        DeleteObject(object);
    }
    for (HBRUSH brush : m_brushes) {
        if (brush != nullptr) {
            DeleteObject(brush);
        }
    }
}

HWND AboutWindow::addLabel(HWND parent, int id, const char* text, RECT where, HFONT font) {
    HWND hwnd =
        CreateWindowExW(0, L"STATIC", widen(text).c_str(), labelStyle, where.left, where.top,
                        where.right - where.left, where.bottom - where.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const int height = std::max<int>(where.bottom - where.top, lineHeight(hwnd, font));
    SetWindowPos(hwnd, nullptr, 0, 0, where.right - where.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return hwnd;
}

int AboutWindow::pixels(float twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) * m_dpi / 1440.0));
}

void AboutWindow::buildControls() {
    m_label1 = addLabel(m_hwnd, ids::Label1, Form2::title, storedRect(240, 330, 3915, 345, m_dpi),
                        m_titleFont);
    // The frame's lines lie in the window, offset by the frame's own position; created before
    // the frame so that they lie above it.
    const auto inFrame = [this](int left, int top, int width, int height) {
        return storedRect(480 + left, 840 + top, width, height, m_dpi);
    };
    m_label4 =
        addLabel(m_hwnd, ids::Label4, Form2::versionLine, inFrame(480, 480, 4200, 255), m_textFont);
    m_label2 =
        addLabel(m_hwnd, ids::Label2, Form2::makerLine, inFrame(480, 840, 4200, 255), m_textFont);
    m_label3 =
        addLabel(m_hwnd, ids::Label3, Form2::mailLine, inFrame(480, 1200, 4200, 255), m_textFont);
    m_label6 =
        addLabel(m_hwnd, ids::Label6, Form2::rightsLine, inFrame(480, 1560, 4200, 255), m_textFont);
    const RECT frame = storedRect(480, 840, 4785, 2115, m_dpi);
    m_frame1 = CreateWindowExW(0, L"BUTTON", widen(Form2::frameCaption).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, frame.left,
                               frame.top, frame.right - frame.left, frame.bottom - frame.top,
                               m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::Frame1)),
                               m_instance, nullptr);
    SendMessageW(m_frame1, WM_SETFONT, reinterpret_cast<WPARAM>(m_frameFont), FALSE);
    // A themed group box would draw its caption in the theme's colour, not system colour 0.
    classicLook(m_frame1);
    // A group box paints only its line and caption: its inside gets the frame's colour here.
    SetWindowLongPtrW(m_frame1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    groupBoxProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        m_frame1, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AboutWindow::frameProc)));

    const RECT strip = storedRect(810, 3240, 4095, 315, m_dpi);
    m_picture1 = CreateWindowExW(
        0, ids::picture1Class, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, strip.left, strip.top,
        strip.right - strip.left, strip.bottom - strip.top, m_hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::Picture1)), m_instance, nullptr);
    SetWindowLongPtrW(m_picture1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const RECT marquee = storedRect(210, 60, 2640, 285, m_dpi);
    m_label5Top = marquee.top;
    m_label5 = addLabel(m_picture1, ids::Label5, Form2::contactLine, marquee, m_marqueeFont);
}

TwipsFrame AboutWindow::mainWindowFrame() const {
    RECT outer{};
    if (m_main == nullptr || GetWindowRect(m_main, &outer) == 0) {
        return {};
    }
    return {static_cast<float>(pixelsToTwips(outer.left, m_dpi)),
            static_cast<float>(pixelsToTwips(outer.top, m_dpi)),
            static_cast<float>(pixelsToTwips(outer.right - outer.left, m_dpi))};
}

float AboutWindow::outerWidth() const {
    RECT outer{};
    GetWindowRect(m_hwnd, &outer);
    return static_cast<float>(pixelsToTwips(outer.right - outer.left, m_dpi));
}

float AboutWindow::marqueeTextWidth() const {
    // Measured in the font the label really shows, which the font mapper may have replaced.
    const std::wstring text = widen(Form2::contactLine);
    return static_cast<float>(
        pixelsToTwips(textWidth(m_label5, m_marqueeFont, text.c_str()), m_dpi));
}

void AboutWindow::setMarqueeWidth(float width) {
    RECT now{};
    GetClientRect(m_label5, &now);
    SetWindowPos(m_label5, nullptr, 0, 0,
                 static_cast<int>(std::ceil(static_cast<double>(width) * m_dpi / 1440.0)),
                 now.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH AboutWindow::brushFor(AboutCtl control) {
    HBRUSH& brush = m_brushes.at(index(control));
    if (brush == nullptr) {
        brush = CreateSolidBrush(toColorRef(m_backColors.at(index(control))));
    }
    return brush;
}

void AboutWindow::setBackColor(AboutCtl control, Color color) {
    m_backColors.at(index(control)) = color;
    HBRUSH& brush = m_brushes.at(index(control));
    if (brush != nullptr) {
        DeleteObject(brush);
        brush = nullptr;
    }
    if (m_hwnd != nullptr) {
        InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void AboutWindow::setMarqueeLeft(float left) {
    SetWindowPos(m_label5, nullptr, pixels(left), m_label5Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AboutWindow::place(float left, float top) {
    SetWindowPos(m_hwnd, nullptr, pixels(left), pixels(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AboutWindow::setTimer1(bool enabled) {
    if (enabled) {
        // Asked for 5 ms; Windows raises anything below 10 ms to 10 ms and then ticks with
        // its timer resolution: each tick runs the steps due (WM_TIMER below).
        SetTimer(m_hwnd, ids::Timer1, static_cast<UINT>(Form2::timer1IntervalMs), nullptr);
    } else {
        KillTimer(m_hwnd, ids::Timer1);
    }
}

void AboutWindow::unload() {
    // Closed now for every request that follows; the window itself goes once this handler
    // has returned.
    KillTimer(m_hwnd, ids::Timer1);
    ShowWindow(m_hwnd, SW_HIDE);
    if (theWindow == this) {
        theWindow = nullptr;
    }
    PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
}

AboutCtl AboutWindow::controlOf(HWND hwnd) const {
    const std::pair<HWND, AboutCtl> controls[] = {
        {m_label1, AboutCtl::Label1}, {m_label2, AboutCtl::Label2},    {m_label3, AboutCtl::Label3},
        {m_label4, AboutCtl::Label4}, {m_label5, AboutCtl::Label5},    {m_label6, AboutCtl::Label6},
        {m_frame1, AboutCtl::Frame1}, {m_picture1, AboutCtl::Picture1}};
    for (const auto& [h, control] : controls) {
        if (h == hwnd) {
            return control;
        }
    }
    return AboutCtl::Form;
}

HBRUSH AboutWindow::colorStatic(HDC dc, HWND control) {
    // Opaque labels: text in system colour 0 on their own background colour.
    const AboutCtl which = controlOf(control);
    SetTextColor(dc, toColorRef(colors::scrollBar));
    SetBkColor(dc, toColorRef(m_backColors.at(index(which))));
    SetBkMode(dc, OPAQUE);
    return brushFor(which);
}

void AboutWindow::fillBackground(HWND hwnd, HDC dc, AboutCtl control) {
    RECT all{};
    GetClientRect(hwnd, &all);
    FillRect(dc, &all, brushFor(control));
}

LRESULT CALLBACK AboutWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<AboutWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->onMessage(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK AboutWindow::pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
        case WM_ERASEBKGND:
            self->fillBackground(hwnd, reinterpret_cast<HDC>(wParam), AboutCtl::Picture1);
            return 1;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                self->colorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK AboutWindow::frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == WM_ERASEBKGND) {
        self->fillBackground(hwnd, reinterpret_cast<HDC>(wParam), AboutCtl::Frame1);
        return 1;
    }
    if (self != nullptr && message == WM_PAINT) {
        InvalidateRect(hwnd, nullptr, TRUE); // so that BeginPaint erases the inside first
    }
    return CallWindowProcW(groupBoxProc, hwnd, message, wParam, lParam);
}

LRESULT AboutWindow::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        fillBackground(hwnd, reinterpret_cast<HDC>(wParam), AboutCtl::Form);
        return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(
            colorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_TIMER:
        if (wParam == ids::Timer1) {
            // Windows ticks no faster than every 10 ms: the form runs the steps that are due.
            m_form.Timer1_Timer(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch()));
        }
        return 0;
    case WM_KEYDOWN:
        // Escape alone, as in the Linux window.
        if (wParam == VK_ESCAPE && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0) {
            m_form.Form_Escape();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        // Presses over the labels, the frame or the strip reach the window too (a static
        // without SS_NOTIFY and a group box let them through): only the bare surface counts.
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool bare = ChildWindowFromPointEx(hwnd, at, CWP_SKIPINVISIBLE) == hwnd;
        if (message == WM_LBUTTONDOWN) {
            m_pressed = bare;
        } else if (m_pressed && bare) {
            m_pressed = false;
            m_form.Form_Click();
        }
        return 0;
    }
    case WM_CLOSE:
        if (theWindow == this) {
            theWindow = nullptr;
        }
        DestroyWindow(hwnd);
        return 0;
    case WM_NCDESTROY:
        if (theWindow == this) {
            theWindow = nullptr;
        }
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete this;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace tw::win32
