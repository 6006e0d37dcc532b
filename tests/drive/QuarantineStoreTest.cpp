#include "support/QuarantineStoreFixture.h"

#include "drive/QuarantineStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
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

// Room is made only by items older than 30 days, and never by one this program added however
// old the clock says it is; what cannot fit, or cannot be copied whole, leaves nothing behind
// and changes nothing, so that its original stays where it is.
TEST_F(QuarantineStore, RoomComesOnlyFromOldItemsNeverFromThisRun) {
    std::int64_t now = 1'700'000'000;
    constexpr std::int64_t day = 24 * 60 * 60;
    const auto clock = [&now] { return now; };
    std::string a;
    std::string b;
    {
        RealQuarantine q(folder, fs, 10);
        q.setClock(clock);
        a = add(q, "a", "aaaa").value();
        now += day;
        b = add(q, "b", "bbbb").value();
        now += 40 * day;
        EXPECT_FALSE(add(q, "c", "cccc"));
        EXPECT_EQ(ids(q), (std::vector<std::string>{a, b}));
        EXPECT_EQ(readFile(stored(a + ".bin")), "aaaa");
    }
    RealQuarantine q(folder, fs, 10); // the next run
    q.setClock(clock);
    EXPECT_EQ(q.bound(), 10u);
    const auto c = add(q, "c", "cccc");
    const auto d = add(q, "d", "dddd");
    ASSERT_TRUE(c && d);
    EXPECT_EQ(ids(q), (std::vector<std::string>{*c, *d}));
    EXPECT_FALSE(exists(stored(a + ".bin")));
    EXPECT_FALSE(exists(stored(b + ".bin")));

    const struct {
        const char* label;
        std::size_t claimed;
        std::string content;
        std::size_t failAfter;
    } refused[] = {
        {"only young items could make room", 4, "eeee", std::string::npos},
        {"larger than the bound", 11, std::string(11, 'x'), std::string::npos},
        {"the read fails midway", 2, "xx", 1},
        {"the file grew", 1, "xx", std::string::npos},
        {"the file shrank", 2, "x", std::string::npos},
    };
    std::vector<std::string> names = {*c + ".bin", *d + ".bin", "lock", "manifest"};
    std::sort(names.begin(), names.end());
    for (const auto& r : refused) {
        SCOPED_TRACE(r.label);
        Content reader(r.content, r.failAfter);
        EXPECT_FALSE(q.add(facts("x", r.claimed), reader));
        EXPECT_EQ(ids(q), (std::vector<std::string>{*c, *d}));
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

// The manifest is read as hostile text. A control character in a field (a NUL would cut
// "..\0" short wherever the path is handed on) costs the record but not the copy; a path that
// leaves its drive's root, or a root that is not the drive's, is never restored to.
TEST_F(QuarantineStore, HostileManifestFieldsNeverLeadOffTheStick) {
    const char sep = native("/").front();
    const std::string outside = home.path() + sep + "evil.exe";
    const std::string beside = stick.path() + sep + ".." + sep + "evil.exe";
    const struct {
        const char* label;
        std::string root;
        std::string path; // '@' stands for the raw byte below
        char raw;
        RestoreOutcome outcome;
    } cases[] = {
        {"a NUL after ..", stick.path(), stick.path() + sep + "..@" + sep + "evil.exe", '\0',
         RestoreOutcome::noOriginalPath},
        {"an escaped NUL", stick.path(), stick.path() + sep + "..\\x00" + sep + "evil.exe", '@',
         RestoreOutcome::noOriginalPath},
        {"a raw control character", stick.path(), stick.path() + sep + "a@b.exe", '\x01',
         RestoreOutcome::noOriginalPath},
        {"up and out", stick.path(), beside, '@', RestoreOutcome::failed},
        {"another place", stick.path(), outside, '@', RestoreOutcome::failed},
        {"a root that is not the drive's", home.path(), outside, '@', RestoreOutcome::otherDrive},
    };
    RealQuarantine q(folder, fs);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string id = add(q, "evil.exe", "evil").value();
        QuarantineItem item = q.list().value().back();
        item.driveRoot = c.root;
        item.originalPath = c.path;
        std::string line = manifest::encodeLine(item);
        if (const auto at = line.find('@'); at != std::string::npos) {
            line[at] = c.raw;
        }
        if (const auto at = line.find("\\\\x00"); at != std::string::npos) {
            line.replace(at, 2, "\\"); // the escape itself, not an escaped backslash
        }
        writeFile(stored("manifest"), std::string(manifest::header) + "\n" + line + "\n");

        const auto items = q.list().value();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].originalPath.empty(), c.outcome == RestoreOutcome::noOriginalPath);
        EXPECT_EQ(q.restore(id, std::nullopt).outcome, c.outcome);
        EXPECT_FALSE(exists(outside));
        EXPECT_FALSE(exists(beside));
        EXPECT_TRUE(namesIn(stick.path()).empty());
        ASSERT_TRUE(q.purge(id));
    }
    // Each damaged manifest is kept aside, none over another.
    const auto names = namesIn(folder);
    EXPECT_EQ(
        std::count_if(names.begin(), names.end(),
                      [](const std::string& n) { return n.starts_with("manifest.damaged-"); }),
        3);
}

// Restoring to the original place needs the drive it came from, mounted where it was: a stick
// pulled out leaves the folder below its mount point, another stick may sit at the same place,
// and a record from an older store names no drive. Each asks for a folder; once the drive is
// back, the file goes home.
TEST_F(QuarantineStore, RestoresHomeOnlyOntoTheDriveItCameFrom) {
    RealQuarantine q(folder, fs);
    const std::string id = add(q, "photo.jpg", "jpeg").value();
    const std::filesystem::path root(stick.path());
    const std::filesystem::path away(stick.path() + "-away");
    std::filesystem::rename(root, away);
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::otherDrive);
    makeDir(stick.path());
    const RestoreResult other = q.restore(id, std::nullopt);
    EXPECT_EQ(other.outcome, RestoreOutcome::otherDrive);
    EXPECT_EQ(other.path, stick / "photo.jpg");
    EXPECT_TRUE(namesIn(stick.path()).empty());
    removeAll(stick.path());
    std::filesystem::rename(away, root);

    // The same item as an older store recorded it: no kind, no drive identity.
    const QuarantineItem item = q.list().value().front();
    std::vector<std::string> fields(1);
    for (const char c : manifest::encodeLine(item)) {
        if (c == '\t') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    fields.erase(fields.begin() + 5, fields.begin() + 7); // its kind and drive identity
    std::string version1 = fields.front();
    for (std::size_t i = 1; i < fields.size(); ++i) {
        version1 += "\t" + fields[i];
    }
    const std::string manifestNow = readFile(stored("manifest"));
    writeFile(stored("manifest"), std::string(manifest::headerVersion1) + "\n" + version1 + "\n");
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::otherDrive);
    EXPECT_EQ(q.list().value().front().originalPath, item.originalPath);
    writeFile(stored("manifest"), manifestNow);

    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::restored);
    EXPECT_EQ(readFile(stick / "photo.jpg"), "jpeg");
}

// A FIFO or device file holds no data: its record tells what it was, it counts nothing
// against the bound, and it is never made again, not even in a folder the user names.
TEST_F(QuarantineStore, AFifoOrDeviceIsRecordedButNeverMadeAgain) {
    RealQuarantine q(folder, fs);
    const auto id = q.addRecord(facts("pipe", 0), ItemKind::special, "");
    ASSERT_TRUE(id);
    EXPECT_FALSE(q.addRecord(facts("x", 0), ItemKind::file, ""));
    const QuarantineItem item = q.list().value().at(0);
    EXPECT_EQ(item.kind, ItemKind::special);
    EXPECT_EQ(item.size, 0u);
    EXPECT_EQ(item.originalPath, stick / "pipe");
    TempDir elsewhere("elsewhere");
    EXPECT_EQ(q.restore(*id, std::nullopt).outcome, RestoreOutcome::notRecreatable);
    EXPECT_EQ(q.restore(*id, elsewhere.path()).outcome, RestoreOutcome::notRecreatable);
    EXPECT_TRUE(namesIn(stick.path()).empty());
    EXPECT_TRUE(namesIn(elsewhere.path()).empty());
    EXPECT_TRUE(q.purge(*id));
}

} // namespace
} // namespace tw::test
