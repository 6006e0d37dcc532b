#include "support/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tw::test {
namespace {

// The walk's one call per folder: each child with its kind, size and attribute word, links
// reported as links (never followed), and nothing for a folder that is not there. The quick
// scan's phases ask for one kind's detail only.
TEST(FullScanListing, EachChildWithKindSizeAndAttributes) {
    Harness h;
    writeFile(h.stick / "a.txt", "hello");
    setAttr(h.stick / "a.txt", 33);
    makeDir(h.stick / "b");
    setAttr(h.stick / "b", 18);
    writeFile(h.stick / "b/inner.txt", "x");
    const bool linked = makeFolderLink(h.stick / "c", h.temp.path());
    const auto pinned = h.real->pinDrive(h.stick.path());

    auto listed = pinned->list(h.stick.path());
    ASSERT_TRUE(listed);
    std::sort(listed->begin(), listed->end(),
              [](const EntryInfo& x, const EntryInfo& y) { return x.name < y.name; });
    ASSERT_EQ(listed->size(), linked ? 3u : 2u);
    const EntryInfo& a = (*listed)[0];
    EXPECT_EQ(a.name, "a.txt");
    EXPECT_EQ(a.path, native(h.stick / "a.txt"));
    EXPECT_EQ(a.kind, EntryKind::file);
    EXPECT_EQ(a.size, 5u);
    EXPECT_EQ(a.attributes, keptOnFile(33));
    const EntryInfo& b = (*listed)[1];
    EXPECT_EQ(b.kind, EntryKind::folder);
    EXPECT_EQ(b.attributes, keptOnFolder(18));
    if (linked) {
        EXPECT_EQ((*listed)[2].kind, EntryKind::link);
    }

    // Asked for one kind's detail, the listing still names every entry with its kind, and
    // that kind's entries carry their word (and files their size).
    for (const ListDetail detail : {ListDetail::files, ListDetail::folders}) {
        auto partial = pinned->list(h.stick.path(), detail);
        ASSERT_TRUE(partial);
        std::sort(partial->begin(), partial->end(),
                  [](const EntryInfo& x, const EntryInfo& y) { return x.name < y.name; });
        ASSERT_EQ(partial->size(), listed->size());
        for (std::size_t i = 0; i < partial->size(); ++i) {
            EXPECT_EQ((*partial)[i].path, (*listed)[i].path);
            EXPECT_EQ((*partial)[i].kind, (*listed)[i].kind);
        }
        const EntryInfo& detailed = (*partial)[detail == ListDetail::files ? 0 : 1];
        EXPECT_EQ(detailed.attributes, (detail == ListDetail::files ? a : b).attributes);
        EXPECT_EQ(detailed.size, detail == ListDetail::files ? 5u : 0u);
    }

    const auto inner = pinned->list(native(h.stick / "b"));
    ASSERT_TRUE(inner);
    ASSERT_EQ(inner->size(), 1u);
    EXPECT_EQ(inner->front().path, native(h.stick / "b/inner.txt"));
    EXPECT_FALSE(pinned->list(native(h.stick / "missing")));
    EXPECT_FALSE(pinned->list(native(h.stick / "a.txt")));
}

// A wrapper's new name is given in place, never over an existing entry in any letter case,
// and never as a path.
TEST(FullScanListing, RenamingNeverReplaces) {
    Harness h;
    makeDir(h.stick / "wrapper");
    writeFile(h.stick / "wrapper/kept.txt", "mine");
    writeFile(h.stick / "Taken", "other");
    const auto pinned = h.real->pinDrive(h.stick.path());
    const std::string wrapper = native(h.stick / "wrapper");

    const struct {
        const char* newName;
        bool done;
    } cases[] = {
        {"Taken", false}, {"taken", false}, {"a/b", false},
        {"..", false},    {"", false},      {"Visible", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newName);
        EXPECT_EQ(pinned->renameItem(wrapper, c.newName), c.done);
    }
    EXPECT_FALSE(exists(h.stick / "wrapper"));
    EXPECT_EQ(readFile(h.stick / "Visible/kept.txt"), "mine");
    EXPECT_EQ(readFile(h.stick / "Taken"), "other");
    EXPECT_FALSE(pinned->renameItem(native(h.stick / "missing"), "x"));
}

} // namespace
} // namespace tw::test
