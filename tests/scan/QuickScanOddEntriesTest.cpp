#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace tw::test {
namespace {

// Entries a crafted stick may hold that no Windows volume does: pipes and links to a device
// and off the drive. Nothing is opened that could block and nothing off the drive changes.
// None of them can be copied into the quarantine, so none is deleted: each removal is
// reported as failed, and the entries stay as they were.
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
    // executable by its name, asked about, and still there after the Yes. The pipe named
    // autorun.inf is a plain file without the extension: passed over.
    Lines phase3;
    int asked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(h.stick.path())) {
        const std::string name = entry.path().filename().string();
        if (name != "autorun.inf") {
            phase3 = cat({phase3, suspiciousNotRemoved(h.D + "/" + name)});
            h.view.answer({mb::yes});
            ++asked;
        }
    }
    ASSERT_EQ(asked, 3);

    // The pipe named autorun.inf is a file that cannot be read: no target.
    EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                  autorunNotCleaned(h.D), phase3Start, phase3}));
    EXPECT_EQ(h.view.pendingAnswers(), 0u);
    for (const char* name : {"autorun.inf", "pipe.exe", "zero.exe", "off.exe"}) {
        EXPECT_TRUE(std::filesystem::symlink_status(h.stick / name).type() !=
                    std::filesystem::file_type::not_found)
            << name;
    }
    EXPECT_EQ(h.quarantine.list()->size(), 0u);
    EXPECT_EQ(readFile(outside / "x.exe"), "precious");
    EXPECT_EQ(getAttr(outside / "x.exe"), 38u);
    struct stat zero {};
    ASSERT_EQ(::stat("/dev/zero", &zero), 0);
    EXPECT_TRUE(S_ISCHR(zero.st_mode));
}

} // namespace
} // namespace tw::test
