#pragma once

#include "ports/Color.h"

namespace tw {

// The controls of the about window whose background the behaviour sets.
enum class AboutCtl { Form, Label1, Label2, Label3, Label4, Label5, Label6, Picture1, Frame1 };

// A window's outer position and width on the screen, in twips.
struct TwipsFrame {
    float left = 0;
    float top = 0;
    float width = 0;
};

// The about window as the behaviour sees it. Positions are in twips, kept in single
// precision as the window's own properties are.
class AboutView {
public:
    virtual ~AboutView() = default;

    // The main window's outer Left, Top and Width.
    [[nodiscard]] virtual TwipsFrame mainWindowFrame() const = 0;
    // The about window's own outer Width.
    [[nodiscard]] virtual float outerWidth() const = 0;

    // How wide Label5's text is in the font the window actually shows it in, in twips.
    [[nodiscard]] virtual float marqueeTextWidth() const = 0;

    virtual void setBackColor(AboutCtl control, Color color) = 0;
    // Label5's width, in twips.
    virtual void setMarqueeWidth(float width) = 0;
    // Label5's left edge, measured inside Picture1.
    virtual void setMarqueeLeft(float left) = 0;
    // Moves the window's outer top left corner.
    virtual void place(float left, float top) = 0;
    virtual void setTimer1(bool enabled) = 0;
    // Closes the window; the next request to show it loads it anew.
    virtual void unload() = 0;
};

} // namespace tw
