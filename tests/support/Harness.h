#pragma once

#include "app/Form1.h"
#include "ports/Ports.h"
#include "linux/PosixFileSystem.h"
#include "linux/PosixQuarantine.h"
#include "support/FakeHost.h"
#include "support/FakeView.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "support/Transcript.h"
#include "support/VirtualClock.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tw::test {

// A whole program on the virtual clock: a real temporary folder declared as the removable
// drive ("stick"), a temporary folder, a program folder, the recording view and host, and
// the fault-injecting file system in front of the real one, and a quarantine in a temporary
// folder of its own.
class Harness {
public:
    Harness();

    // Replaces the declared drives, e.g. "removable=" + stick.path() + ";fixed=/x".
    void declareDrives(const std::string& declaration);

    Ports ports() { return Ports{faulty, host, view, clock, *quarantineInUse}; }
    Form1 form() { return Form1(ports(), state); }
    // The transcript from here on.
    [[nodiscard]] Lines lines() const { return transcript.lines(); }

    Transcript transcript;
    VirtualClock clock{transcript};
    TempDir stick{"stick"};
    TempDir temp{"temp"};
    TempDir program{"program"};
    FakeView view{transcript, clock};
    FakeHost host{transcript, temp.path(), program.path()};
    std::unique_ptr<PosixFileSystem> real;
    FaultyFileSystem faulty{*real};
    TempDir store{"quarantine"};
    // Small, so that a test can overfill it without writing much.
    static constexpr std::uint64_t quarantineBound = 64 * 1024 * 1024;
    PosixQuarantine quarantine{store.path(), *real, quarantineBound};
    // The one the ports carry: a test may put a full or broken store in its place.
    Quarantine* quarantineInUse = &quarantine;
    AppState state;
};

} // namespace tw::test
