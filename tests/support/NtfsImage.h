#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tw::test {

// A fresh 16 MiB NTFS image mounted through ntfs-3g at mountPoint, as a stick formatted on
// Windows would be; unmounted after the test. Where it cannot be mounted (ntfs-3g missing,
// FUSE not usable) the test is skipped, and says so loudly.
class NtfsImageFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempDir dir{"ntfs"};
    const std::string mountPoint = dir / "mnt";

private:
    bool m_mounted = false;
};

// The attribute word NTFS stores, as ntfs-3g hands it out (4 bytes, big-endian): what
// Windows will read. Nothing when the path has none.
std::optional<std::uint32_t> storedNtfsAttributes(const std::string& path);

} // namespace tw::test
