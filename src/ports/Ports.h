#pragma once

#include "ports/Host.h"
#include "ports/MainView.h"
#include "ports/Clock.h"
#include "ports/DriveProbe.h"
#include "ports/FileSystem.h"
#include "ports/Quarantine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tw {

// The ports every procedure reaches the world through.
struct Ports {
    FileSystem& fs;
    Host& host;
    MainView& view;
    Clock& clock;
    Quarantine& quarantine; // every file removed goes here first
};

// The ports of one drive action, its file system pinned to the drive for as long as this
// lives (see FileSystem::pinDrive).
class PinnedPorts {
public:
    PinnedPorts(const Ports& ports, const std::string& driveRoot);
    PinnedPorts(const PinnedPorts&) = delete;
    PinnedPorts& operator=(const PinnedPorts&) = delete;
    Ports& get() { return m_ports; }

private:
    std::unique_ptr<FileSystem> m_fs;
    Ports m_ports;
};

// State shared by the main window's handlers for the life of the program.
struct AppState {
    DriveProbe probe;                 // the shared probe result
    std::optional<Drive> probedDrive; // the drive the last successful probe stopped on
    std::int16_t connected = 0;       // the drive monitor's connected flag
    bool actionRunning = false;       // a drive action runs; a second one is not started
    bool fullScanRunning = false;     // a click on "立即扫描（S)" then asks whether to stop it
    bool stopFullScan = false;        // the user asked the running full scan to stop
    bool askingToStop = false;        // that question is open
};

// Writes the status line: its text, and its colour where one is given.
void status(MainView& view, const std::string& text);
void status(MainView& view, const std::string& text, Color color);

// Holds the one-drive-action-at-a-time flag for the life of an action.
class ActionGuard {
public:
    explicit ActionGuard(AppState& state) : m_state(state), m_owns(!state.actionRunning) {
        m_state.actionRunning = true;
    }
    ~ActionGuard() {
        if (m_owns) {
            m_state.actionRunning = false;
        }
    }
    ActionGuard(const ActionGuard&) = delete;
    ActionGuard& operator=(const ActionGuard&) = delete;
    // False when another action was already running: the new one must not start.
    [[nodiscard]] bool acquired() const { return m_owns; }

private:
    AppState& m_state;
    bool m_owns;
};

} // namespace tw
