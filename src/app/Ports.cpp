#include "app/Ports.h"

namespace tw {

void status(MainView& view, const std::string& text) {
    view.setCaption(Ctl::Label7, text);
}

void status(MainView& view, const std::string& text, Color color) {
    view.setForeColor(Ctl::Label7, color);
    view.setCaption(Ctl::Label7, text);
}

} // namespace tw
