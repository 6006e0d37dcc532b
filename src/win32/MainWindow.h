#pragma once

#include "ports/MainView.h"

#include <windows.h>

#include <array>
#include <optional>
#include <vector>

namespace tw {
class Form1;
}

namespace tw::win32 {

// The main window: a thin view over plain Win32 controls. Every control is a real STATIC or
// BUTTON window whose ID is its stored name (ControlIds.h) and whose text WM_GETTEXT reads;
// every event goes to Form1's handlers.
class MainWindow final : public MainView {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Events reach the handlers from here on.
    void attach(Form1& form) { m_form = &form; }
    void show();
    [[nodiscard]] HWND handle() const { return m_hwnd; }
    // Keyboard shortcuts and the dialog keys of the option buttons; true when handled.
    bool preTranslate(MSG& msg);
    // The resolution the window is laid out for, in pixels per inch.
    [[nodiscard]] UINT dpi() const { return m_dpi; }

    void setCaption(Ctl control, const std::string& text) override;
    void setForeColor(Ctl control, Color color) override;
    void setVisible(Ctl control, bool visible) override;
    void setEnabled(Ctl control, bool enabled) override;
    [[nodiscard]] bool isEnabled(Ctl control) const override;
    [[nodiscard]] bool optionValue(int index) const override;
    void setTimer1(bool enabled) override;
    void setTimer2(bool enabled) override;
    int msgBox(const std::string& prompt, int style, const std::string& title) override;
    void showAbout() override;
    void showQuarantine(Quarantine& quarantine) override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK actionLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The stored fonts of the window's controls.
    enum Font { formFont, boldFont, smallFont, bannerFont, fontCount };
    // A control as stored: its place in twips and its font, applied anew at each resolution.
    struct Placed {
        HWND hwnd;
        RECT twips; // left, top, width, height
        Font font;
    };

    void buildControls();
    void buildMenus();
    HWND addLabel(int id, const wchar_t* caption, RECT twips, Font font);
    // Fonts, places, the picture and the window's size for the resolution in m_dpi.
    void makeFonts();
    void layOut();
    void fitClientArea(const RECT* suggested);
    void fitLabel5();
    void makePicture();
    void onDpiChanged(UINT dpi, const RECT* suggested);
    void onLabelMouse(Ctl control, UINT message, LPARAM lParam);
    [[nodiscard]] HWND label(Ctl control) const;
    [[nodiscard]] std::optional<Ctl> actionLabel(int id) const;
    HBRUSH colorStatic(HDC dc, HWND control);
    void paint();

    HINSTANCE m_instance;
    HWND m_hwnd = nullptr;
    Form1* m_form = nullptr;
    UINT m_dpi = 96;
    HBITMAP m_picture = nullptr;
    HBRUSH m_pictureBrush = nullptr;
    HBRUSH m_optionBrush = nullptr;
    std::array<HFONT, fontCount> m_fonts{};
    HACCEL m_accelerators = nullptr;
    std::vector<Placed> m_placed;
    std::array<HWND, 7> m_labels{}; // Label1 to Label7, by Ctl
    std::array<Color, 7> m_colors{};
    HWND m_label8 = nullptr;
    std::array<HWND, 2> m_options{};
    bool m_timer1 = false;
    bool m_timer2 = false;
    // The action label a press started on: a click is a press and a release over it.
    std::optional<Ctl> m_pressed;
};

} // namespace tw::win32
