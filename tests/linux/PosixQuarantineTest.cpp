#include "support/QuarantineStoreFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tw::test {
namespace {

using QuarantineStore = QuarantineStoreFixture;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// The store and its copies are the user's alone, and no copy can be run.
TEST_F(QuarantineStore, IsPrivateAndItsCopiesCannotRun) {
    PosixQuarantine q(folder, fs);
    const std::string id = add(q, "setup.exe", "MZ", 39).value();
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(home / "data/tarnwick"), 0700u);
    EXPECT_EQ(modeOf(stored(id + ".bin")), 0600u);
}

// The store lies in the user's data folder: XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share.
TEST(QuarantineFolder, FollowsTheDataHome) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::optional<std::string> data = savedData ? std::optional(savedData) : std::nullopt;
    const std::optional<std::string> home = savedHome ? std::optional(savedHome) : std::nullopt;

    ::setenv("HOME", "/home/ann", 1);
    ::setenv("XDG_DATA_HOME", "/data/ann", 1);
    EXPECT_EQ(PosixQuarantine::defaultFolder(), "/data/ann/tarnwick/quarantine");
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(PosixQuarantine::defaultFolder(), "/home/ann/.local/share/tarnwick/quarantine");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(PosixQuarantine::defaultFolder(), "/home/ann/.local/share/tarnwick/quarantine");

    data ? ::setenv("XDG_DATA_HOME", data->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    home ? ::setenv("HOME", home->c_str(), 1) : ::unsetenv("HOME");
}

} // namespace
} // namespace tw::test
