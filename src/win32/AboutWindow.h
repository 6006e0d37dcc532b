#pragma once

#include "app/Form2.h"
#include "ports/AboutView.h"

#include <windows.h>

#include <array>

namespace tw::win32 {

// The about window: a thin view over plain Win32 controls (IDs by stored name, text readable
// by WM_GETTEXT); its load, marquee ticks and surface clicks go to Form2's handlers.
class AboutWindow final : public AboutView {
public:
    // Shows the one about window, placed from the main window; brings it to the front when
    // it is open, loads it anew when it was closed.
    static void show(HINSTANCE instance, HWND mainWindow);
    // The about window while it is open, else nullptr.
    static HWND current();

    [[nodiscard]] TwipsFrame mainWindowFrame() const override;
    [[nodiscard]] float outerWidth() const override;
    [[nodiscard]] float marqueeTextWidth() const override;
    void setBackColor(AboutCtl control, Color color) override;
    void setMarqueeWidth(float width) override;
    void setMarqueeLeft(float left) override;
    void place(float left, float top) override;
    void setTimer1(bool enabled) override;
    void unload() override;

    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

private:
    AboutWindow(HINSTANCE instance, HWND mainWindow);
    ~AboutWindow() override;

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    HWND addLabel(HWND parent, int id, const char* text, RECT where, HFONT font);
    HBRUSH colorStatic(HDC dc, HWND control);
    HBRUSH brushFor(AboutCtl control);
    [[nodiscard]] AboutCtl controlOf(HWND hwnd) const;
    void fillBackground(HWND hwnd, HDC dc, AboutCtl control);

    [[nodiscard]] int pixels(float twips) const;

    HINSTANCE m_instance;
    HWND m_main;
    UINT m_dpi = 96;
    HWND m_hwnd = nullptr;
    Form2 m_form;
    bool m_pressed = false;
    HFONT m_titleFont = nullptr;
    HFONT m_frameFont = nullptr;
    HFONT m_textFont = nullptr;
    HFONT m_marqueeFont = nullptr;
    // Label1 to Label6, Frame1, Picture1
    HWND m_label1 = nullptr;
    HWND m_label2 = nullptr;
    HWND m_label3 = nullptr;
    HWND m_label4 = nullptr;
    HWND m_label5 = nullptr;
    HWND m_label6 = nullptr;
    HWND m_frame1 = nullptr;
    HWND m_picture1 = nullptr;
    int m_label5Top = 0;
    std::array<Color, 9> m_backColors{}; // by AboutCtl
    std::array<HBRUSH, 9> m_brushes{};   // by AboutCtl, made when a colour is set
};

} // namespace tw::win32
