#pragma once

#include "app/Form1.h"
#include "ports/Ports.h"
#include "support/FakeHost.h"
#include "support/FakeView.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "support/Transcript.h"
#include "support/VirtualClock.h"

#ifdef _WIN32
#include "win32/Win32FileSystem.h"
#include "win32/Win32Quarantine.h"
#else
#include "linux/PosixFileSystem.h"
#include "linux/PosixQuarantine.h"
#endif

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tw::test {

// The platform's real file system, over which the scenarios run, and its quarantine store.
#ifdef _WIN32
using RealFileSystem = Win32FileSystem;
using RealQuarantine = Win32Quarantine;
#else
using RealFileSystem = PosixFileSystem;
using RealQuarantine = PosixQuarantine;
#endif

// The platform's own reading of a drive declaration such as "removable=<folder>;fixed=<folder>".
std::vector<Drive> declaredDrives(const std::string& declaration);

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
    std::unique_ptr<RealFileSystem> real;
    FaultyFileSystem faulty{*real};
    TempDir store{"quarantine"};
    // Small, so that a test can overfill it without writing much.
    static constexpr std::uint64_t quarantineBound = 64 * 1024 * 1024;
    RealQuarantine quarantine{store.path(), *real, quarantineBound};
    // The one the ports carry: a test may put a full or broken store in its place.
    Quarantine* quarantineInUse = &quarantine;
    AppState state;
};

} // namespace tw::test
