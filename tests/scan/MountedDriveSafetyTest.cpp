#ifdef TARNWICK_HAVE_POSIX

// A real stick mounted over a folder that holds files of the system disk, and file systems
// mounted inside a drive: a drive action works on its own drive or not at all.

#include "immunize/ImmunizeRun.h"
#include "scan/ScanFixture.h"
#include "support/NtfsImage.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <fstream>
#include <string>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

// The control file that cuts the FUSE connection of the file system mounted at folder, as a
// stick pulled out leaves it (every call on it fails from then on); empty where the machine
// has no FUSE control file system to offer.
std::string abortFileOf(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        return {};
    }
    const std::string connections = "/sys/fs/fuse/connections";
    const std::string abort = connections + "/" + std::to_string(minor(st.st_dev)) + "/abort";
    if (!exists(abort)) {
        ::mount("fusectl", connections.c_str(), "fusectl", 0, nullptr);
    }
    return exists(abort) ? abort : std::string();
}

bool pullOut(const std::string& abortFile) {
    std::ofstream out(abortFile);
    out << "1\n";
    return static_cast<bool>(out.flush());
}

// The folder below the mount point holds what the reproduction put there: files that
// every phase and both immunizations would act on, were they on the stick.
class MountedOverFiles : public NtfsImageFixture {
protected:
    void underTheMountPoint(const std::string& folder) override {
        writeFile(folder + "/host.dat", "system disk");
        setAttr(folder + "/host.dat", attr::archive | attr::hidden);
        writeFile(folder + "/tool.exe", "MZ tool");
        setAttr(folder + "/tool.exe", 0x26);
        makeDir(folder + "/HostDir");
        writeFile(folder + "/HostDir.exe", "MZ host");
        writeFile(folder + "/autorun.inf", "[autorun]\r\nopen=tool.exe\r\n");
    }
    void SetUp() override {
        NtfsImageFixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The stick: one folder with an executable posing as it (a folder made here carries the
        // archive bit too).
        makeDir(mountPoint + "/Photos");
        writeFile(mountPoint + "/Photos.exe", "MZ disguised");
        h.declareDrives("removable=" + mountPoint);
        h.view.option[0] = true;
    }
    // Below the mount point, once the stick is gone from it.
    void expectSystemDiskUntouched() {
        EXPECT_EQ(readFile(mountPoint + "/host.dat"), "system disk");
        EXPECT_EQ(getAttr(mountPoint + "/host.dat"), attr::archive | attr::hidden);
        EXPECT_EQ(readFile(mountPoint + "/tool.exe"), "MZ tool");
        EXPECT_EQ(readFile(mountPoint + "/HostDir.exe"), "MZ host");
        EXPECT_EQ(readFile(mountPoint + "/autorun.inf"), "[autorun]\r\nopen=tool.exe\r\n");
        EXPECT_FALSE(exists(mountPoint + "/Photos.exe"));
        EXPECT_FALSE(exists(mountPoint + "/autorun.inf/" + guardName));
    }
    ScanHarness h;
};

// A plain unmount is refused while the scan holds the stick (as Windows says a drive is in
// use); a lazy one detaches it, and the scan finishes on the stick itself.
TEST_F(MountedOverFiles, UnmountDuringQuickScanNeverReachesTheFolderBelow) {
    const std::string& d = mountPoint;
    int plain = 0;
    int lazy = -1;
    h.clock.schedule(milliseconds(6000), [&] { // the first folder's wait
        plain = run({findTool("fusermount"), "-u", d});
        lazy = run({findTool("fusermount"), "-u", "-z", d});
    });
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  engineStart,
                                  folderScanned(d),
                                  disguisedRemoved(d + "/Photos"),
                                  abnormalRepaired(d + "/Photos"),
                                  phase2Start(d),
                                  phase2Clean,
                                  phase3Start,
                                  phase3Clean,
                                  scanFinished}));
    EXPECT_NE(plain, 0);
    ASSERT_EQ(lazy, 0);
    unmounted();
    expectSystemDiskUntouched();
}

// Pulled out during phase 1: nothing below the mount point is read or changed, and no phase
// calls the stick clean.
TEST_F(MountedOverFiles, StickPulledOutDuringQuickScan) {
    const std::string& d = mountPoint;
    const std::string abort = abortFileOf(d);
    if (abort.empty()) {
        GTEST_SKIP() << "no FUSE control file system here to pull the stick out with";
    }
    h.clock.schedule(milliseconds(6000), [&] { ASSERT_TRUE(pullOut(abort)); });
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  engineStart,
                                  folderScanned(d),
                                  phaseUnreadable,
                                  phase2Start(d),
                                  phaseUnreadable,
                                  phase3Start,
                                  phaseUnreadable,
                                  scanUnfinished}));
    EXPECT_EQ(run({findTool("fusermount"), "-u", d}), 0);
    unmounted();
    expectSystemDiskUntouched();
}

// Simple immunization: a plain unmount is refused; the stick pulled out while the
// immunization is prepared ends in the failure texts, with nothing built below.
TEST_F(MountedOverFiles, StickPulledOutDuringSimpleImmunization) {
    const std::string& d = mountPoint;
    const std::string abort = abortFileOf(d);
    if (abort.empty()) {
        GTEST_SKIP() << "no FUSE control file system here to pull the stick out with";
    }
    int plain = 0;
    after(h, milliseconds(3000), [&] {
        plain = run({findTool("fusermount"), "-u", d});
        ASSERT_TRUE(pullOut(abort));
    });
    EXPECT_EQ(click(h, Ctl::Label2),
              cat({opening(d), building(d),
                   failed("操作结束！但免疫未成功建立！", "免疫操作失败！"), monitorResumes}));
    EXPECT_NE(plain, 0);
    EXPECT_EQ(run({findTool("fusermount"), "-u", d}), 0);
    unmounted();
    expectSystemDiskUntouched();
}

// A stick with one script on it, pulled out (its file-system process ended) while phase 3
// asks about the script; the user answers 是(Y).
class StickPulledDuringQuestion : public NtfsImageFixture {
protected:
    ScanHarness h;
};

TEST_F(StickPulledDuringQuestion, NothingIsClaimedAndNothingIsLost) {
    if (const auto reason = cannotPullOut()) {
        GTEST_SKIP() << *reason;
    }
    const std::string& d = mountPoint;
    const std::string script = d + "/notes.vbs";
    writeFile(script, "WScript.Echo 1");
    ASSERT_EQ(getAttr(script), attr::archive);
    h.declareDrives("removable=" + d);
    h.view.option[0] = true;
    h.view.answer({mb::yes});
    bool pulled = false;
    h.view.duringBox = [&] { pulled = pullOutStick(); };

    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  upToPhase3(d),
                                  {
                                      "Label7 colour darkred",
                                      "Label7: 发现可疑文件" + script + "，等待处理......",
                                      "box[4] 提示: 发现可疑文件" + script + "，是否删除? -> Yes",
                                      "wait 1s",
                                      "Label7: 可疑文件清除失败！",
                                      "wait 2s",
                                  },
                                  scanUnfinished}));
    ASSERT_TRUE(pulled);
    ASSERT_TRUE(putBackStick());
    EXPECT_EQ(readFile(script), "WScript.Echo 1");
    EXPECT_EQ(h.quarantine.list()->size(), 0U);
}

// A folder bound over another, undone when the test ends however it ends.
class BindMount {
public:
    BindMount(const std::string& from, const std::string& onto) : m_onto(onto) {
        makeDir(onto);
        m_mounted = ::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (m_mounted) {
            ::umount2(m_onto.c_str(), MNT_DETACH);
        }
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    [[nodiscard]] bool mounted() const { return m_mounted; }

private:
    std::string m_onto;
    bool m_mounted = false;
};

// Folders of another file system bound inside the stick are not part of it: the scan does
// not see them, immunization builds nothing in them, their attributes stay.
TEST(MountInsideTheDrive, IsNeverTouched) {
    ScanHarness h;
    h.view.option[0] = true;
    TempDir elsewhere{"elsewhere"};
    TempDir docs{"docs"};
    setAttr(docs.path(), attr::directory | attr::hidden);
    const BindMount autorun(elsewhere.path(), h.stick / "autorun.inf");
    const BindMount folder(docs.path(), h.stick / "Docs");
    if (!autorun.mounted() || !folder.mounted()) {
        GTEST_SKIP() << "bind mounts need root";
    }
    const std::string& d = h.D;
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"}, cleanScan(d), scanFinished}));
    EXPECT_EQ(click(h, Ctl::Label2),
              cat({opening(d), building(d),
                   failed("操作结束！但免疫未成功建立！", "免疫操作失败！"), monitorResumes}));
    EXPECT_FALSE(exists(elsewhere / guardName));
    EXPECT_EQ(getAttr(elsewhere.path()), attr::directory);
    EXPECT_EQ(getAttr(docs.path()), attr::directory | attr::hidden);
}

} // namespace
} // namespace tw::test

#endif
