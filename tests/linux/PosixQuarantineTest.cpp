#include "support/QuarantineStoreFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

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

// Entries planted in the store where the program keeps its own files never block it (a
// FIFO opened to read waits for a writer for ever) and never pass for its files.
TEST_F(QuarantineStore, PlantedFifosNeverBlockNorPassForItsFiles) {
    const struct {
        const char* name;
        bool stays; // not a name the store uses: left alone
    } planted[] = {
        {"manifest", false},
        {"manifest.new", false},
        {"lock", false},
        {"20200101-000000-dead.part", false},
        {"20200101-000000-beef.bin", true},
    };
    for (const auto& p : planted) {
        SCOPED_TRACE(p.name);
        PosixQuarantine q(folder, fs);
        const std::string kept = add(q, "kept.exe", "kept").value();
        removeAll(stored(p.name));
        ASSERT_EQ(::mkfifo(stored(p.name).c_str(), 0600), 0);
        const auto items = q.list();
        ASSERT_TRUE(items);
        ASSERT_EQ(items->size(), 1u);
        EXPECT_EQ(items->front().id, kept);
        const std::string added = add(q, "new.exe", "new").value();
        EXPECT_EQ(ids(q), (std::vector<std::string>{kept, added}));
        // Without its manifest the copy is one of unknown origin: restored into a folder.
        TempDir elsewhere("elsewhere");
        EXPECT_EQ(q.restore(kept, elsewhere.path()).outcome, RestoreOutcome::restored);
        EXPECT_EQ(namesIn(elsewhere.path()).size(), 1u);
        struct stat st {};
        const bool fifo = ::lstat(stored(p.name).c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
        EXPECT_EQ(fifo, p.stays);
        EXPECT_EQ(q.purgeAll(), 1u);
        removeAll(folder);
    }
}

// A link on a stick holds no data: its record keeps its text, and restoring makes the link
// again, text for text, never following it and never over an entry.
TEST_F(QuarantineStore, ALinkComesBackAsTheSameLink) {
    PosixQuarantine q(folder, fs);
    const std::string text = "../../home/ann/.bashrc";
    const auto id = q.addRecord(facts("autorun.inf", 0), ItemKind::link, text);
    ASSERT_TRUE(id);
    const QuarantineItem item = q.list().value().at(0);
    EXPECT_EQ(item.kind, ItemKind::link);
    EXPECT_EQ(item.size, text.size());

    writeFile(stick / "autorun.inf", "mine");
    EXPECT_EQ(q.restore(*id, std::nullopt).outcome, RestoreOutcome::exists);
    EXPECT_EQ(readFile(stick / "autorun.inf"), "mine");
    removeAll(stick / "autorun.inf");

    const RestoreResult result = q.restore(*id, std::nullopt);
    EXPECT_EQ(result.outcome, RestoreOutcome::restored);
    char target[256] = {};
    const auto n = ::readlink((stick / "autorun.inf").c_str(), target, sizeof target);
    EXPECT_EQ(std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0), text);
    EXPECT_TRUE(q.list().value().empty());
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
