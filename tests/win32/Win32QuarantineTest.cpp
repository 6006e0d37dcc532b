#include "win32/Win32Quarantine.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::test {
namespace {

// The store lies in the user's local application data, which exists.
TEST(Win32Quarantine, LiesInTheLocalApplicationData) {
    const auto folder = Win32Quarantine::defaultFolder();
    ASSERT_TRUE(folder);
    const std::string suffix = "\\Tarnwick\\Quarantine";
    ASSERT_TRUE(folder->ends_with(suffix)) << *folder;
    EXPECT_EQ(folder->substr(1, 2), ":\\");
    EXPECT_TRUE(exists(folder->substr(0, folder->size() - suffix.size())));
}

} // namespace
} // namespace tw::test
