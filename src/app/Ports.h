#pragma once

#include "app/Host.h"
#include "app/MainView.h"
#include "drive/Clock.h"
#include "drive/DriveProbe.h"
#include "drive/FileSystem.h"
#include "drive/Quarantine.h"

#include <cstdint>
#include <optional>

namespace tw {

// The ports every procedure reaches the world through.
struct Ports {
    FileSystem& fs;
    Host& host;
    MainView& view;
    Clock& clock;
    Quarantine& quarantine; // every file removed goes here first
};

// State shared by the main window's handlers for the life of the program.
struct AppState {
    DriveProbe probe;                 // the shared probe result
    std::optional<Drive> probedDrive; // the drive the last successful probe stopped on
    std::int16_t connected = 0;       // the drive monitor's connected flag
    bool actionRunning = false;       // a drive action runs; a second one is not started
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
