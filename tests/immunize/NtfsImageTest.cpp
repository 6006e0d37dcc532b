#include "immunize/ImmunizeRun.h"
#include "support/NtfsImage.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace tw::test {
namespace {

// Simple and deep immunization on a real NTFS volume.
class NtfsImage : public NtfsImageFixture {};

// The security descriptor ntfs-3g keeps for a path, in hex; empty when there is none.
std::string securityDescriptor(const std::string& path) {
    unsigned char raw[512];
    const ssize_t n = ::getxattr(path.c_str(), "system.ntfs_acl", raw, sizeof raw);
    std::string hex;
    for (ssize_t i = 0; i < n; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", raw[i]);
        hex += byte;
    }
    return hex;
}

TEST_F(NtfsImage, SimpleImmunizationLeavesWhatWindowsWillSee) {
    Harness h;
    h.declareDrives("removable=" + mountPoint);
    const std::string d = mountPoint;
    const std::string a = d + "/autorun.inf";

    EXPECT_EQ(click(h, Ctl::Label2),
              cat({opening(d), building(d), succeeded("免疫操作已完成！"), monitorResumes}));

    std::vector<std::string> inside;
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
        inside.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(inside, std::vector<std::string>{guardName});
    EXPECT_EQ(getAttr(a), 7U | attr::directory);
    EXPECT_EQ(storedNtfsAttributes(a), 0x17U);
    // The guard folder keeps the attributes of a new folder: not hidden, not system.
    const auto guard = storedNtfsAttributes(a + "/" + guardName);
    ASSERT_TRUE(guard.has_value());
    EXPECT_EQ(*guard & (attr::directory | attr::hidden | attr::system), attr::directory);
}

// As on Linux: no batch file runs; the file system takes the access rule itself, and it
// reads back as Windows will find it.
TEST_F(NtfsImage, DeepImmunizationLocksTheProtectiveFolderItself) {
    Harness h;
    h.host.batchFilesRun = false;
    h.declareDrives("removable=" + mountPoint);
    const std::string d = mountPoint;
    const std::string a = d + "/autorun.inf";
    // Owner and group of a new folder here (Administrators, S-1-5-32-544); ntfs-3g keeps them.
    const std::string administrators = "01020000000000052000000020020000";
    // A new folder's list: one entry allowing Everyone everything, passed on to children.
    const std::string allowEveryone = "02001c0001000000"
                                      "00031400ff011f00010100000000000100000000";
    // Protected, present, self-relative; the one entry denies Everyone everything.
    const std::string locked = "0100049014000000240000000000000034000000" + administrators +
                               administrators + "02001c0001000000" +
                               "01001400ff011f00010100000000000100000000";

    EXPECT_EQ(click(h, Ctl::Label3), cat({opening(d), driveFound, building(d), lockingNatively,
                                          succeeded("免疫操作已完成！"), monitorResumes}));
    EXPECT_EQ(securityDescriptor(a), locked);
    // The guard folder keeps the list it was made with.
    EXPECT_EQ(securityDescriptor(a + "/" + guardName), "0100048014000000240000000000000034000000" +
                                                           administrators + administrators +
                                                           allowEveryone);
    EXPECT_EQ(storedNtfsAttributes(a), 0x17U);

    // A second run finds the drive immunized and locks the folder again, to the same bytes.
    EXPECT_EQ(click(h, Ctl::Label3),
              cat({opening(d), driveFound, alreadyImmunized(d, "wait 4s"), lockingNatively,
                   succeeded("免疫操作成功结束！"), monitorResumes}));
    EXPECT_EQ(securityDescriptor(a), locked);
}

// The stick is pulled out while the immunization is announced (its file-system process ends)
// and put back at the same place during the wait: the run sees it come back, and builds and
// locks the protection on the stick as it is now.
TEST_F(NtfsImage, DeepImmunizationWaitsForAStickPulledOutAndPutBack) {
    using namespace std::chrono_literals;
    if (const auto reason = cannotPullOut()) {
        GTEST_SKIP() << *reason;
    }
    Harness h;
    h.host.batchFilesRun = false;
    h.declareDrives("removable=" + mountPoint);
    const std::string d = mountPoint;
    const std::string a = d + "/autorun.inf";
    bool pulled = false;
    bool back = false;
    after(h, 4s, [&] { pulled = pullOutStick(); });
    after(h, 8s, [&] { back = putBackStick(); });
    after(h, 600s, [] { throw std::runtime_error("the stick that came back was never seen"); });

    EXPECT_EQ(click(h, Ctl::Label3), cat({opening(d),
                                          {"wait 5s", "wait 5s", "wait 1s"},
                                          building(d),
                                          lockingNatively,
                                          succeeded("免疫操作已完成！"),
                                          monitorResumes}));
    ASSERT_TRUE(pulled);
    ASSERT_TRUE(back);
    EXPECT_TRUE(std::filesystem::is_directory(a + "/" + guardName));
    EXPECT_EQ(storedNtfsAttributes(a), 0x17U);
    EXPECT_EQ(securityDescriptor(a).substr(0, 8), "01000490"); // protected, with its list
}

} // namespace
} // namespace tw::test
