#pragma once

#include "ports/Color.h"
#include "ports/Quarantine.h"

#include <string>

namespace tw {

// The controls of the main window that the behaviour reads or writes.
enum class Ctl { Label1, Label2, Label3, Label4, Label5, Label6, Label7 };

// Message-box styles and answers, with the platform's numbers.
namespace mb {
inline constexpr int okOnly = 0;
inline constexpr int okCancel = 1;
inline constexpr int yesNo = 4;
inline constexpr int exclamation = 48;
inline constexpr int information = 64;

inline constexpr int ok = 1;
inline constexpr int cancel = 2;
inline constexpr int yes = 6;
inline constexpr int no = 7;
} // namespace mb

// The main window as the behaviour sees it. The Qt window implements it; tests use a
// recording fake.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setCaption(Ctl control, const std::string& text) = 0;
    virtual void setForeColor(Ctl control, Color color) = 0;
    virtual void setVisible(Ctl control, bool visible) = 0;
    virtual void setEnabled(Ctl control, bool enabled) = 0;
    [[nodiscard]] virtual bool isEnabled(Ctl control) const = 0;

    // Option1(index).Value
    [[nodiscard]] virtual bool optionValue(int index) const = 0;

    virtual void setTimer1(bool enabled) = 0;
    virtual void setTimer2(bool enabled) = 0;

    // A modal box over the main window; returns mb::ok, mb::cancel, mb::yes or mb::no.
    virtual int msgBox(const std::string& prompt, int style, const std::string& title) = 0;

    // Shows the one about window, not modal; brings it to the front when it is open.
    virtual void showAbout() = 0;

    // Shows the one quarantine window, not modal; brings it to the front when it is open.
    virtual void showQuarantine(Quarantine& quarantine) = 0;
};

} // namespace tw
