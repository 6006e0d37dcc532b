#include "immunize/ImmunizeRun.h"
#include "support/NtfsImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tw::test {
namespace {

// Simple immunization on a real NTFS volume.
class NtfsImage : public NtfsImageFixture {};

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

} // namespace
} // namespace tw::test
