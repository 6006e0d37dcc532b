#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

namespace tw::test {
namespace {

// Entries a crafted stick may hold that no Windows volume does: pipes and links to a device
// and off the drive. Nothing is opened that could block and nothing off the drive changes.
// None holds data: each is recorded in the quarantine (a link with its text) and the entry
// itself removed, reported as any removal is.
TEST(QuickScanOddEntries, PipesAndLinksToDevicesAndOffTheDrive) {
    ScanHarness h;
    TempDir outside("outside");
    writeFile(outside / "x.exe", "precious");
    setAttr(outside / "x.exe", 38);
    ASSERT_EQ(::mkfifo((h.stick / "autorun.inf").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((h.stick / "pipe.exe").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", h.stick / "zero.exe");
    std::filesystem::create_symlink(outside / "x.exe", h.stick / "off.exe");

    // Phase 3 meets the root's files in the directory's own order; each is a small plain
    // executable by its name, asked about, and gone after the Yes. The pipe named
    // autorun.inf is gone by then.
    Lines phase3;
    int asked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(h.stick.path())) {
        const std::string name = entry.path().filename().string();
        if (name != "autorun.inf") {
            phase3 = cat({phase3, suspiciousRemoved(h.D + "/" + name)});
            h.view.answer({mb::yes});
            ++asked;
        }
    }
    ASSERT_EQ(asked, 3);

    // The pipe named autorun.inf cannot be read: no target.
    EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                  autorunCleaned(h.D), phase3Start, phase3}));
    EXPECT_EQ(h.view.pendingAnswers(), 0u);
    EXPECT_EQ(namesIn(h.D), std::vector<std::string>{});

    std::map<std::string, std::pair<ItemKind, std::uint64_t>> recorded;
    const auto items = h.quarantine.list();
    ASSERT_TRUE(items);
    for (const QuarantineItem& item : *items) {
        recorded[item.originalPath] = {item.kind, item.size};
    }
    const std::map<std::string, std::pair<ItemKind, std::uint64_t>> expected = {
        {h.D + "/autorun.inf", {ItemKind::special, 0}},
        {h.D + "/pipe.exe", {ItemKind::special, 0}},
        {h.D + "/zero.exe", {ItemKind::link, 9}},
        {h.D + "/off.exe", {ItemKind::link, (outside / "x.exe").size()}},
    };
    EXPECT_EQ(recorded, expected);
    EXPECT_EQ(readFile(outside / "x.exe"), "precious");
    EXPECT_EQ(getAttr(outside / "x.exe"), 38u);
    struct stat zero {};
    ASSERT_EQ(::stat("/dev/zero", &zero), 0);
    EXPECT_TRUE(S_ISCHR(zero.st_mode));
}

} // namespace
} // namespace tw::test
