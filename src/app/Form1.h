#pragma once

#include "app/Maker.h"
#include "ports/Ports.h"

namespace tw {

// The main window's event handlers. The window itself (a Qt widget, or a fake in tests)
// forwards its events here.
class Form1 {
public:
    Form1(Ports ports, AppState& state) : m_ports(ports), m_state(state) {}

    // Before the window is first shown. False when the program has ended (a second copy).
    bool Form_Load();
    // The start-up sequence, on the first tick of Timer1.
    void Timer1_Timer();
    // The drive monitor, on every tick of Timer2.
    void Timer2_Timer();

    void Label_Click(Ctl label);
    void Label_MouseMove(Ctl label);
    void Label_MouseDown(Ctl label);
    // The pointer moves over the bare window surface.
    void Form_MouseMove();

    void vbquarantine_Click();
    void vbexit_Click();
    void vbhelpinfo_Click();
    void about_Click();
    // The menu item that puts back what system immunization changed.
    void vbundosystem_Click();
    // The menu item that opens the newest full-scan report.
    void vbreport_Click();
    void Form_Unload();

    static constexpr const char* supportUrl = maker::supportUrl;
    // How both windows show the text of a disabled label: the platform's grey text, whatever
    // colour the label holds.
    static constexpr Color disabledForeColor = colors::grayText;

private:
    Ports m_ports;
    AppState& m_state;
};

} // namespace tw
