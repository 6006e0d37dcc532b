#include "support/Harness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(Startup, CompanionPresentNoFixedDiskRunsToTheMonitor) {
    Harness h;
    writeFile(h.program / "systemset.dll", "");
    auto form = h.form();
    ASSERT_TRUE(form.Form_Load());
    form.Timer1_Timer();
    EXPECT_EQ(h.lines(), (Lines{
                             "disable Label2",
                             "disable Label3",
                             "Timer1 off",
                             "Label5: √Tarnwick完整性良好",
                             "Label5 colour green",
                             "wait 1s",
                             "show Label7",
                             "Label7: 准备扫描本地硬盘，请稍候......",
                             "wait 2s",
                             "Label7: 硬盘扫描完成，没有检测到Auto威胁！",
                             "Timer2 on",
                             "enable Label2",
                             "enable Label3",
                             "enable Label6",
                             "wait 2s",
                         }));
}

} // namespace
} // namespace tw::test
