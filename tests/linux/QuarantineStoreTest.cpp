#include "linux/PosixFileSystem.h"
#include "linux/PosixQuarantine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {
namespace {

// Hands out its text, or fails after failAfter bytes as a pulled stick would.
class Content final : public ByteReader {
public:
    explicit Content(std::string text, std::size_t failAfter = std::string::npos)
        : m_text(std::move(text)), m_failAfter(failAfter) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        if (m_at >= m_failAfter) {
            return std::nullopt;
        }
        const std::size_t n = std::min({size, m_text.size() - m_at, m_failAfter - m_at});
        std::copy_n(m_text.data() + m_at, n, buffer);
        m_at += n;
        return n;
    }

private:
    std::string m_text;
    std::size_t m_failAfter;
    std::size_t m_at = 0;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class QuarantineStore : public ::testing::Test {
protected:
    QuarantineFacts facts(const std::string& name, std::size_t size,
                          std::uint32_t attributes = 32) {
        QuarantineFacts f;
        f.originalPath = stick / name;
        f.driveRoot = stick.path();
        f.driveLabel = "STICK";
        f.size = size;
        f.attributes = attributes;
        f.condemnedBy = condemned::markedFile;
        return f;
    }
    std::optional<std::string> add(PosixQuarantine& q, const std::string& name,
                                   const std::string& content, std::uint32_t attributes = 32) {
        Content reader(content);
        return q.add(facts(name, content.size(), attributes), reader);
    }
    std::vector<std::string> ids(PosixQuarantine& q) {
        std::vector<std::string> result;
        const auto items = q.list();
        for (const QuarantineItem& item : items.value()) {
            result.push_back(item.id);
        }
        return result;
    }

    TempDir stick{"stick"};
    TempDir home{"home"};
    const std::string folder = home / "data/tarnwick/quarantine";
    PosixFileSystem fs{"removable=" + stick.path()};
};

// What goes in survives a restart whole, even names no line-based file would hold; copies
// cannot be run by a click and the store is the user's alone.
TEST_F(QuarantineStore, SurvivesARestartAndKeepsCopiesThatCannotRun) {
    const std::string odd = "a\tb\nc\\d 文件.exe";
    std::string first;
    std::string second;
    {
        PosixQuarantine q(folder, fs);
        EXPECT_EQ(q.list()->size(), 0u); // no store yet: empty, and nothing created
        EXPECT_FALSE(exists(folder));
        first = add(q, odd, "abc", 39).value();
        second = add(q, "setup.exe", "MZ").value();
    }
    PosixQuarantine restarted(folder, fs);
    const auto items = restarted.list();
    ASSERT_EQ(items->size(), 2u);
    const QuarantineItem& item = items->front();
    EXPECT_EQ(item.id, first);
    EXPECT_EQ(item.originalPath, stick / odd);
    EXPECT_EQ(item.driveRoot, stick.path());
    EXPECT_EQ(item.driveLabel, "STICK");
    EXPECT_EQ(item.size, 3u);
    EXPECT_EQ(item.attributes, 39u);
    EXPECT_EQ(item.condemnedBy, condemned::markedFile);
    EXPECT_EQ(item.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(items->back().id, second);

    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(home / "data/tarnwick"), 0700u);
    std::vector<std::string> stored = {first + ".bin", second + ".bin", "lock", "manifest"};
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(namesIn(folder), stored);
    EXPECT_EQ(modeOf(folder + "/" + first + ".bin"), 0600u);
    EXPECT_EQ(readFile(folder + "/" + first + ".bin"), "abc");
}

// The bound: the oldest items make room; what cannot fit, or cannot be copied whole, leaves
// nothing behind and changes nothing.
TEST_F(QuarantineStore, BoundEvictsTheOldestAndAFailedCopyLeavesNothing) {
    PosixQuarantine q(folder, fs, 10);
    const auto a = add(q, "a", "aaaa");
    const auto b = add(q, "b", "bbbb");
    const auto c = add(q, "c", "cccc");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(ids(q), (std::vector<std::string>{*b, *c}));

    const struct {
        const char* label;
        std::size_t claimed;
        std::string content;
        std::size_t failAfter;
    } refused[] = {
        {"larger than the bound", 11, std::string(11, 'x'), std::string::npos},
        {"the read fails midway", 6, "xxxxxx", 3},
        {"the file grew", 2, "xxxx", std::string::npos},
        {"the file shrank", 6, "xx", std::string::npos},
    };
    std::vector<std::string> stored = {*b + ".bin", *c + ".bin", "lock", "manifest"};
    std::sort(stored.begin(), stored.end());
    for (const auto& r : refused) {
        SCOPED_TRACE(r.label);
        Content reader(r.content, r.failAfter);
        EXPECT_FALSE(q.add(facts("x", r.claimed), reader));
        EXPECT_EQ(ids(q), (std::vector<std::string>{*b, *c}));
        EXPECT_EQ(namesIn(folder), stored);
    }
    EXPECT_EQ(readFile(folder + "/" + *c + ".bin"), "cccc");
}

// A damaged or missing manifest loses no copy: what it still names keeps its record, the
// rest comes back as copies of unknown origin, restored into a folder the user gives. A copy
// left half-written by a program that ended mid-copy goes.
TEST_F(QuarantineStore, ADamagedOrMissingManifestLosesNoCopy) {
    PosixQuarantine q(folder, fs);
    const std::string kept = add(q, "kept.exe", "kept").value();
    const std::string lost = add(q, "lost.exe", "abc").value();
    const std::string manifest = readFile(folder + "/manifest");
    const auto lostLine = manifest.find(lost);
    writeFile(folder + "/manifest", manifest.substr(0, lostLine) + "garbage\n");
    writeFile(folder + "/20200101-000000-dead.part", "half");

    const auto items = PosixQuarantine(folder, fs).list();
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ(items->at(0).id, kept);
    EXPECT_EQ(items->at(0).originalPath, stick / "kept.exe");
    EXPECT_EQ(items->at(1).id, lost);
    EXPECT_EQ(items->at(1).originalPath, "");
    EXPECT_EQ(items->at(1).condemnedBy, condemned::unknown);
    EXPECT_EQ(items->at(1).size, 3u);
    EXPECT_EQ(items->at(1).sha256,
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const auto names = namesIn(folder);
    EXPECT_EQ(
        std::count_if(names.begin(), names.end(),
                      [](const std::string& n) { return n.starts_with("manifest.damaged-"); }),
        1);
    EXPECT_FALSE(exists(folder + "/20200101-000000-dead.part"));

    EXPECT_EQ(q.restore(lost, std::nullopt).outcome, RestoreOutcome::noOriginalPath);
    TempDir elsewhere("elsewhere");
    EXPECT_EQ(q.restore(lost, elsewhere.path()).outcome, RestoreOutcome::restored);
    EXPECT_EQ(readFile(elsewhere / lost), "abc");

    std::filesystem::remove(folder + "/manifest");
    EXPECT_EQ(ids(q), std::vector<std::string>{kept});
}

// Restoring never replaces an entry, never goes through a link, and never hands back a copy
// that no longer matches its fingerprint; a restored item leaves the quarantine.
TEST_F(QuarantineStore, RestoreNeverReplacesNorFollowsLinks) {
    PosixQuarantine q(folder, fs);
    makeDir(stick / "sub");
    QuarantineFacts inSub = facts("sub/tool.exe", 4, 33);
    Content tool("tool");
    const std::string id = q.add(inSub, tool).value();

    writeFile(stick / "sub/tool.exe", "mine");
    RestoreResult result = q.restore(id, std::nullopt);
    EXPECT_EQ(result.outcome, RestoreOutcome::exists);
    EXPECT_EQ(result.path, stick / "sub/tool.exe");
    EXPECT_EQ(readFile(stick / "sub/tool.exe"), "mine");

    // The folder on the way is now a link to another place.
    TempDir outside("outside");
    std::filesystem::remove_all(stick / "sub");
    std::filesystem::create_directory_symlink(outside.path(), stick / "sub");
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::noFolder);
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_EQ(q.restore(id, outside / "missing").outcome, RestoreOutcome::noFolder);
    EXPECT_EQ(q.restore("../../etc", std::nullopt).outcome, RestoreOutcome::unknownId);

    std::filesystem::remove(stick / "sub");
    makeDir(stick / "sub");
    result = q.restore(id, std::nullopt);
    EXPECT_EQ(result.outcome, RestoreOutcome::restored);
    EXPECT_TRUE(result.attributesRestored);
    EXPECT_EQ(readFile(stick / "sub/tool.exe"), "tool");
    EXPECT_EQ(fs.attributes(stick / "sub/tool.exe"), 33u);
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::unknownId);

    const std::string damaged = add(q, "x.exe", "original").value();
    writeFile(folder + "/" + damaged + ".bin", "changed!");
    EXPECT_EQ(q.restore(damaged, std::nullopt).outcome, RestoreOutcome::damaged);
    EXPECT_FALSE(exists(stick / "x.exe"));
    EXPECT_EQ(ids(q), std::vector<std::string>{damaged});
}

TEST_F(QuarantineStore, PurgeOneOrAll) {
    PosixQuarantine q(folder, fs);
    const std::string a = add(q, "a", "a").value();
    const std::string b = add(q, "b", "b").value();
    const std::string c = add(q, "c", "c").value();
    EXPECT_TRUE(q.purge(b));
    EXPECT_FALSE(q.purge(b));
    EXPECT_FALSE(exists(folder + "/" + b + ".bin"));
    EXPECT_EQ(ids(q), (std::vector<std::string>{a, c}));
    EXPECT_EQ(q.purgeAll(), 2u);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"lock", "manifest"}));
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
