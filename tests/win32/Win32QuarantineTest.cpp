#include "win32/Win32Quarantine.h"

#include "support/QuarantineStoreFixture.h"
#include "support/TempDir.h"
#include "win32/Win32FileSystem.h"

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

// A file put back outside the store is made in the folder held open, never over an existing
// entry and never through a reparse point; one not kept goes through its own handle, also
// once its attribute word made it read-only.
TEST(Win32Quarantine, PutsFilesBackThroughTheFolderHeldOpen) {
    TempDir stick{"stick"};
    TempDir outside{"outside"};
    makeDir(stick / "sub");
    writeFile(stick / "sub/mine.exe", "mine");
    setAttr(stick / "sub/mine.exe", 0x21);
    const bool linked = makeFolderLink(stick / "link", outside.path());
    Win32QuarantinePlatform platform(stick / "store");

    struct Case {
        const char* what;
        std::string folder;
        std::string name;
        PlaceOutcome outcome;
    };
    const Case refused[] = {
        {"the name is taken", stick / "sub", "mine.exe", PlaceOutcome::exists},
        {"the name is taken in another case", stick / "sub", "MINE.EXE", PlaceOutcome::exists},
        {"a folder takes the name", stick.path(), "sub", PlaceOutcome::exists},
        {"the folder is missing", stick / "missing", "x.exe", PlaceOutcome::noFolder},
        {"the folder is a file", stick / "sub/mine.exe", "x.exe", PlaceOutcome::noFolder},
        {"a way up", stick / "sub\\..\\sub", "x.exe", PlaceOutcome::noFolder},
        {"a name with a separator", stick / "sub", "a\\x.exe", PlaceOutcome::failed},
        {"a stream", stick / "sub", "x.exe:hidden", PlaceOutcome::failed},
        {"the folder is a link", stick / "link", "x.exe", PlaceOutcome::noFolder},
        {"a folder below a link", stick / "link\\deeper", "x.exe", PlaceOutcome::noFolder},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        PlaceOutcome outcome = PlaceOutcome::placed;
        EXPECT_EQ(platform.createOutside(c.folder, c.name, outcome), nullptr);
        const bool throughLink = c.folder.find("link") != std::string::npos;
        if (!throughLink || linked) {
            EXPECT_EQ(outcome, c.outcome);
        }
    }
    EXPECT_EQ(readFile(stick / "sub/mine.exe"), "mine");
    EXPECT_EQ(getAttr(stick / "sub/mine.exe"), 0x21u);
    EXPECT_TRUE(namesIn(outside.path()).empty());
    EXPECT_EQ(namesIn(stick / "sub"), std::vector<std::string>{"mine.exe"});

    // Not kept: it goes, read-only, hidden and system as it is by then.
    for (const std::uint32_t word : {0u, 0x27u}) {
        PlaceOutcome outcome = PlaceOutcome::failed;
        auto out = platform.createOutside(stick / "sub", "half.exe", outcome);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(outcome, PlaceOutcome::placed);
        EXPECT_TRUE(out->write("MZ", 2));
        if (word != 0) {
            EXPECT_EQ(out->setAttributes(word), true);
        }
        out.reset();
        EXPECT_FALSE(exists(stick / "sub/half.exe")) << word;
    }

    // Kept: its bytes and its attribute word, written on its handle and read back.
    PlaceOutcome outcome = PlaceOutcome::failed;
    auto out = platform.createOutside(stick / "sub", "back.exe", outcome);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->write("MZ\0back", 7));
    EXPECT_EQ(out->setAttributes(0x27), true);
    EXPECT_TRUE(out->flush());
    EXPECT_TRUE(out->keep());
    out.reset();
    EXPECT_EQ(readFile(stick / "sub/back.exe"), std::string("MZ\0back", 7));
    EXPECT_EQ(getAttr(stick / "sub/back.exe"), 0x27u);
    setAttr(stick / "sub/back.exe", 0x20);
}

using Win32QuarantineStore = QuarantineStoreFixture;

// Through the store: the attribute word comes back with the file, a taken name is never
// replaced, and a link record becomes a link only where the system lets the user make one.
TEST_F(Win32QuarantineStore, RestoresAttributesAndLinksOrSaysItCannot) {
    RealQuarantine q(folder, fs);
    Content hiddenTool("tool");
    const std::string id = q.add(facts("tool.exe", 4, 0x27), hiddenTool).value();
    writeFile(stick / "tool.exe", "mine");
    const std::uint32_t before = getAttr(stick / "tool.exe");
    EXPECT_EQ(q.restore(id, std::nullopt).outcome, RestoreOutcome::exists);
    EXPECT_EQ(readFile(stick / "tool.exe"), "mine");
    EXPECT_EQ(getAttr(stick / "tool.exe"), before);
    removeAll(stick / "tool.exe");

    const RestoreResult back = q.restore(id, std::nullopt);
    EXPECT_EQ(back.outcome, RestoreOutcome::restored);
    EXPECT_TRUE(back.attributesRestored);
    EXPECT_EQ(readFile(stick / "tool.exe"), "tool");
    EXPECT_EQ(getAttr(stick / "tool.exe"), 0x27u);
    setAttr(stick / "tool.exe", 0x20);

    const std::string link = q.addRecord(facts("shortcut", 8), ItemKind::link, "tool.exe").value();
    writeFile(stick / "shortcut", "mine");
    EXPECT_EQ(q.restore(link, std::nullopt).outcome, RestoreOutcome::exists);
    EXPECT_EQ(readFile(stick / "shortcut"), "mine");
    removeAll(stick / "shortcut");
    const RestoreResult made = q.restore(link, std::nullopt);
    // Where links may not be made it says so, makes nothing and keeps the record.
    const bool allowed = made.outcome == RestoreOutcome::restored;
    if (!allowed) {
        EXPECT_EQ(made.outcome, RestoreOutcome::failed);
    }
    const std::vector<std::string> names = allowed
                                               ? std::vector<std::string>{"shortcut", "tool.exe"}
                                               : std::vector<std::string>{"tool.exe"};
    EXPECT_EQ(namesIn(stick.path()), names);
    EXPECT_EQ(ids(q).size(), allowed ? 0u : 1u);
}

} // namespace
} // namespace tw::test
