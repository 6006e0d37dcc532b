#include "ports/Ports.h"

namespace tw {

PinnedPorts::PinnedPorts(const Ports& ports, const std::string& driveRoot)
    : m_fs(ports.fs.pinDrive(driveRoot)), m_ports{*m_fs, ports.host, ports.view, ports.clock,
                                                  ports.quarantine} {}

void status(MainView& view, const std::string& text) {
    view.setCaption(Ctl::Label7, text);
}

void status(MainView& view, const std::string& text, Color color) {
    view.setForeColor(Ctl::Label7, color);
    view.setCaption(Ctl::Label7, text);
}

} // namespace tw
