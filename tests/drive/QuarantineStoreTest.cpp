#include "support/QuarantineStoreFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

// The same cases run against the Linux store and, under Wine, the Windows one.
namespace tw::test {
namespace {

using QuarantineStore = QuarantineStoreFixture;

// What goes in survives a restart whole, even names no line-based file would hold; copies
// keep no original extension, so a click cannot start one.
TEST_F(QuarantineStore, SurvivesARestartAndKeepsCopiesThatCannotRun) {
    const std::string odd = "a\tb\nc\\d 文件.exe";
    std::string first;
    std::string second;
    {
        RealQuarantine q(folder, fs);
        EXPECT_EQ(q.list()->size(), 0u); // no store yet: empty, and nothing created
        EXPECT_FALSE(exists(folder));
        first = add(q, odd, "abc", 39).value();
        second = add(q, "setup.exe", "MZ").value();
    }
    RealQuarantine restarted(folder, fs);
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

    std::vector<std::string> names = {first + ".bin", second + ".bin", "lock", "manifest"};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(namesIn(folder), names);
    EXPECT_EQ(readFile(stored(first + ".bin")), "abc");
}

// The bound: the oldest items make room; what cannot fit, or cannot be copied whole, leaves
// nothing behind and changes nothing.
TEST_F(QuarantineStore, BoundEvictsTheOldestAndAFailedCopyLeavesNothing) {
    RealQuarantine q(folder, fs, 10);
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
    std::vector<std::string> names = {*b + ".bin", *c + ".bin", "lock", "manifest"};
    std::sort(names.begin(), names.end());
    for (const auto& r : refused) {
        SCOPED_TRACE(r.label);
        Content reader(r.content, r.failAfter);
        EXPECT_FALSE(q.add(facts("x", r.claimed), reader));
        EXPECT_EQ(ids(q), (std::vector<std::string>{*b, *c}));
        EXPECT_EQ(namesIn(folder), names);
    }
    EXPECT_EQ(readFile(stored(*c + ".bin")), "cccc");
}

// A damaged or missing manifest loses no copy: what it still names keeps its record, the
// rest comes back as copies of unknown origin, restored into a folder the user gives. A copy
// left half-written by a program that ended mid-copy goes.
TEST_F(QuarantineStore, ADamagedOrMissingManifestLosesNoCopy) {
    RealQuarantine q(folder, fs);
    const std::string kept = add(q, "kept.exe", "kept").value();
    const std::string lost = add(q, "lost.exe", "abc").value();
    const std::string manifest = readFile(stored("manifest"));
    const auto lostLine = manifest.find(lost);
    writeFile(stored("manifest"), manifest.substr(0, lostLine) + "garbage\n");
    writeFile(stored("20200101-000000-dead.part"), "half");

    const auto items = RealQuarantine(folder, fs).list();
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
    EXPECT_FALSE(exists(stored("20200101-000000-dead.part")));

    EXPECT_EQ(q.restore(lost, std::nullopt).outcome, RestoreOutcome::noOriginalPath);
    TempDir elsewhere("elsewhere");
    EXPECT_EQ(q.restore(lost, elsewhere.path()).outcome, RestoreOutcome::restored);
    EXPECT_EQ(readFile(elsewhere / lost), "abc");

    removeAll(stored("manifest"));
    EXPECT_EQ(ids(q), std::vector<std::string>{kept});
}

// Restoring never replaces an entry, never goes through a link, and never hands back a copy
// that no longer matches its fingerprint; a restored item leaves the quarantine.
TEST_F(QuarantineStore, RestoreNeverReplacesNorFollowsLinks) {
    RealQuarantine q(folder, fs);
    makeDir(stick / "sub");
    Content tool("tool");
    const std::string id = q.add(facts("sub/tool.exe", 4, 33), tool).value();

    writeFile(stick / "sub/tool.exe", "mine");
    RestoreResult result = q.restore(id, std::nullopt);
    EXPECT_EQ(result.outcome, RestoreOutcome::exists);
    EXPECT_EQ(result.path, stick / "sub/tool.exe");
    EXPECT_EQ(readFile(stick / "sub/tool.exe"), "mine");

    // A folder on the way that is a link to another place.
    TempDir outside("outside");
    Content linked("linked");
    const std::string throughLink = q.add(facts("link/tool.exe", 6), linked).value();
    if (makeFolderLink(stick / "link", outside.path())) {
        EXPECT_EQ(q.restore(throughLink, std::nullopt).outcome, RestoreOutcome::noFolder);
        EXPECT_TRUE(namesIn(outside.path()).empty());
    }
    EXPECT_EQ(q.restore(id, outside / "missing").outcome, RestoreOutcome::noFolder);
    EXPECT_EQ(q.restore("../../etc", std::nullopt).outcome, RestoreOutcome::unknownId);
    ASSERT_TRUE(q.purge(throughLink));

    removeAll(stick / "sub/tool.exe");
    result = q.restore(id, std::nullopt);
    EXPECT_EQ(result.outcome, RestoreOutcome::restored);
    EXPECT_TRUE(result.attributesRestored);
    EXPECT_EQ(readFile(stick / "sub/tool.exe"), "tool");
    EXPECT_EQ(fs.attributes(stick / "sub/tool.exe"), 33u);
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::unknownId);

    const std::string damaged = add(q, "x.exe", "original").value();
    writeFile(stored(damaged + ".bin"), "changed!");
    EXPECT_EQ(q.restore(damaged, std::nullopt).outcome, RestoreOutcome::damaged);
    EXPECT_FALSE(exists(stick / "x.exe"));
    EXPECT_EQ(ids(q), std::vector<std::string>{damaged});
}

TEST_F(QuarantineStore, PurgeOneOrAll) {
    RealQuarantine q(folder, fs);
    const std::string a = add(q, "a", "a").value();
    const std::string b = add(q, "b", "b").value();
    const std::string c = add(q, "c", "c").value();
    EXPECT_TRUE(q.purge(b));
    EXPECT_FALSE(q.purge(b));
    EXPECT_FALSE(exists(stored(b + ".bin")));
    EXPECT_EQ(ids(q), (std::vector<std::string>{a, c}));
    EXPECT_EQ(q.purgeAll(), 2u);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"lock", "manifest"}));
}

} // namespace
} // namespace tw::test
