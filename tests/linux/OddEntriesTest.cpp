#include "immunize/ImmunizeRun.h"
#include "linux/PosixFileSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// What the file-system calls tell of each kind of entry, through the unpinned layer and
// through a pinned view alike: a link's text is read, never what it names.
TEST(OddEntries, KindAndLinkTextWithoutFollowing) {
    TempDir stick("stick");
    TempDir outside("outside");
    writeFile(outside / "x.exe", "precious");
    writeFile(stick / "plain.exe", "MZ");
    makeDir(stick / "Sub");
    ASSERT_EQ(::mkfifo((stick / "pipe").c_str(), 0644), 0);
    fs::create_symlink(outside / "x.exe", stick / "off.lnk");
    fs::create_symlink("nowhere/" + std::string(300, 'n'), stick / "dangling.lnk");
    fs::create_symlink(outside.path(), stick / "outdir");
    fs::create_symlink("/dev/zero", stick / "Sub/zero");

    struct Case {
        std::string name;
        std::optional<EntryKind> kind;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"plain.exe", EntryKind::file, std::nullopt},
        {"PLAIN.EXE", EntryKind::file, std::nullopt}, // letter case as on a stick
        {"Sub", EntryKind::folder, std::nullopt},
        {"pipe", EntryKind::other, std::nullopt},
        {"off.lnk", EntryKind::link, outside / "x.exe"},
        {"dangling.lnk", EntryKind::link, "nowhere/" + std::string(300, 'n')},
        {"outdir", EntryKind::link, outside.path()},
        {"sub/zero", EntryKind::link, "/dev/zero"},
        {"outdir/x.exe", std::nullopt, std::nullopt}, // never through a link
        {"missing", std::nullopt, std::nullopt},
    };
    PosixFileSystem unpinned("removable=" + stick.path());
    const auto pinned = unpinned.pinDrive(stick.path());
    for (FileSystem* view : {static_cast<FileSystem*>(&unpinned), pinned.get()}) {
        for (const Case& c : cases) {
            SCOPED_TRACE((view == pinned.get() ? "pinned " : "unpinned ") + c.name);
            const std::string path = stick / c.name;
            EXPECT_EQ(view->kindOf(path), c.kind);
            EXPECT_EQ(view->readLink(path), c.text);
        }
    }
    EXPECT_EQ(readFile(outside / "x.exe"), "precious");
}

// A hostile entry named autorun.inf used to block the protection for good, since nothing of
// it could be copied. Each kind is now recorded in the quarantine and removed, the entry
// itself and never what a link names; only a link can be put back.
TEST(OddEntries, AutorunEntryMakesWayForTheProtection) {
    enum class Make { linkOffTheStick, fifo, danglingLink, device };
    struct Case {
        const char* label;
        Make make;
        ItemKind kind;
        bool recreatable;
    };
    const Case cases[] = {
        {"link off the stick", Make::linkOffTheStick, ItemKind::link, true},
        {"fifo", Make::fifo, ItemKind::special, false},
        {"dangling link", Make::danglingLink, ItemKind::link, true},
        {"device", Make::device, ItemKind::special, false}, // last: may be skipped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Harness h;
        TempDir outside("outside");
        TempDir restored("restored");
        const std::string d = h.stick.path();
        const std::string a = h.stick / "autorun.inf";
        const std::string target = outside / "autorun.inf";
        writeFile(target, "[autorun]\r\nopen=x.exe\r\n");
        std::string linkText;
        switch (c.make) {
        case Make::linkOffTheStick:
            linkText = target;
            break;
        case Make::danglingLink:
            linkText = "gone/autorun.inf";
            break;
        case Make::fifo:
            ASSERT_EQ(::mkfifo(a.c_str(), 0644), 0);
            break;
        case Make::device:
            if (::mknod(a.c_str(), S_IFCHR | 0644, makedev(1, 3)) != 0) {
                GTEST_SKIP() << "no device file can be made here (needs CAP_MKNOD)";
            }
            break;
        }
        if (!linkText.empty()) {
            fs::create_symlink(linkText, a);
        }

        EXPECT_EQ(click(h, Ctl::Label2),
                  cat({checking(d), threatDeleted(d), preparing(d), building(d),
                       succeeded("免疫操作已完成！"), monitorResumes}));
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(a)));
        EXPECT_EQ(readFile(target), "[autorun]\r\nopen=x.exe\r\n");

        const auto items = h.quarantine.list();
        ASSERT_TRUE(items);
        ASSERT_EQ(items->size(), 1u);
        const QuarantineItem& item = items->front();
        EXPECT_EQ(item.kind, c.kind);
        EXPECT_EQ(item.originalPath, a);
        EXPECT_EQ(item.condemnedBy, condemned::threatCheck);
        EXPECT_EQ(item.size, linkText.size());

        const RestoreResult result = h.quarantine.restore(item.id, restored.path());
        if (c.recreatable) {
            EXPECT_EQ(result.outcome, RestoreOutcome::restored);
            EXPECT_EQ(fs::read_symlink(restored / "autorun.inf").string(), linkText);
            EXPECT_EQ(h.quarantine.list()->size(), 0u);
        } else {
            EXPECT_EQ(result.outcome, RestoreOutcome::notRecreatable);
            EXPECT_EQ(namesIn(restored.path()), std::vector<std::string>{});
            EXPECT_EQ(h.quarantine.list()->size(), 1u);
        }
    }
}

} // namespace
} // namespace tw::test
