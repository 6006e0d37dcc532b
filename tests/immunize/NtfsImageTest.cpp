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

    EXPECT_EQ(click(h, Ctl::Label2), (Lines{
                                         "Label7 colour green",
                                         "Timer2 off",
                                         "Label7: 正在检测" + d + "盘安全状态，请稍候......",
                                         "wait 2s",
                                         "Label7: 正在准备为" + d + "盘免疫，请稍等......",
                                         "wait 3s",
                                         "Label7: 正在为" + d + "盘执行免疫，请稍等......",
                                         "wait 1s",
                                         "wait 3s",
                                         "Label7: 免疫操作成功结束！",
                                         "box[64] 提示: 免疫操作已完成！ -> OK",
                                         "Timer2 on",
                                     }));

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
