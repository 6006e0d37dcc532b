#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

// A fresh 16 MiB NTFS image mounted through ntfs-3g at mountPoint, as a stick formatted on
// Windows would be; unmounted after the test. Where it cannot be mounted (ntfs-3g missing,
// FUSE not usable) the test is skipped, and says so loudly.
class NtfsImageFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills the mount point folder before the image hides it.
    virtual void underTheMountPoint(const std::string& /*folder*/) {}
    // The test has unmounted the image itself.
    void unmounted() { m_mounted = false; }
    // Pulls the stick out as the device going away leaves it: the file-system process ends,
    // its mount stays behind, and every call on it fails. True once the process has ended.
    bool pullOutStick();
    // Why the stick cannot be pulled out here (no process found, no process descriptors), or
    // nothing.
    std::optional<std::string> cannotPullOut();
    // Puts it back at the same place: the dead mount detached, the image mounted again.
    bool putBackStick();

    TempDir dir{"ntfs"};
    const std::string mountPoint = dir / "mnt";

private:
    bool m_mounted = false;
};

// The full path of a program, from PATH or the system folders; empty when there is none.
std::string findTool(const std::string& name);
// Runs a program with no shell and its output discarded; its exit status, or -1.
int run(const std::vector<std::string>& argv);

// The attribute word NTFS stores, as ntfs-3g hands it out (4 bytes, big-endian): what
// Windows will read. Nothing when the path has none.
std::optional<std::uint32_t> storedNtfsAttributes(const std::string& path);

} // namespace tw::test
