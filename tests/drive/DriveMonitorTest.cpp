#include "support/Fragments.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

// Ticks every 3000 ms once Timer2 is on.
void ticks(Harness& h, int count) {
    h.clock.idle(milliseconds(3000 * count));
}

TEST(DriveMonitor, PluggedInThenPulledOut) {
    Harness h;
    const std::string stick = h.stick.path();
    bool plugged = false;
    h.faulty.readyOverride = [&](const Drive&) { return plugged; };
    h.view.setTimer2(true);
    ticks(h, 1);
    plugged = true;
    ticks(h, 2);
    plugged = false;
    ticks(h, 1);
    ticks(h, 1);
    EXPECT_EQ(h.lines(), cat({{"Timer2 on", "Label7: 检测不到U盘，请检查是否已连接！"},
                              stickConnected(stick),
                              stickConnected(stick),
                              {
                                  "Label7: 检测到U盘已移除！",
                                  "wait 1s",
                                  "Label7: 检测不到U盘，请检查是否已连接！",
                              }}));
    // Nothing found: the paths of the last drive stay, the flag says there is none.
    EXPECT_EQ(h.state.probe.drivePath, stick);
    EXPECT_EQ(h.state.probe.autorunPath, stick + native("/autorun.inf"));
    EXPECT_EQ(h.state.probe.found, 0);
    EXPECT_EQ(h.state.connected, 0);
}

TEST(DriveMonitor, AbsentSinceStartNeverTellsOfARemoval) {
    Harness h;
    h.declareDrives("fixed=" + h.temp.path() + ";network=/mnt/nas");
    h.faulty.readyOverride = [](const Drive& d) -> bool {
        ADD_FAILURE() << "readiness asked of " << d.path;
        return true;
    };
    h.view.setTimer2(true);
    ticks(h, 3);
    EXPECT_EQ(h.lines(), (Lines{
                             "Timer2 on",
                             "Label7: 检测不到U盘，请检查是否已连接！",
                             "Label7: 检测不到U盘，请检查是否已连接！",
                             "Label7: 检测不到U盘，请检查是否已连接！",
                         }));
    EXPECT_EQ(h.state.probe.drivePath, "");
    EXPECT_EQ(h.state.probe.found, 0);
}

// The removal text keeps the colour an action left; it is said once, one interval before
// the absent text.
TEST(DriveMonitor, RemovalDuringAnActionIsToldAfterIt) {
    Harness h;
    const std::string stick = h.stick.path();
    bool plugged = true;
    h.faulty.readyOverride = [&](const Drive&) { return plugged; };
    auto form = h.form();
    form.Timer2_Timer();
    h.view.setForeColor(Ctl::Label7, colors::darkRed);
    h.view.setTimer2(false);
    plugged = false;
    ticks(h, 2);
    h.view.setTimer2(true);
    h.clock.idle(milliseconds(2999));
    h.clock.idle(milliseconds(1));
    ticks(h, 1);
    EXPECT_EQ(h.lines(), cat({stickConnected(stick),
                              {
                                  "Label7 colour darkred",
                                  "Timer2 off",
                                  "Timer2 on",
                                  "Label7: 检测到U盘已移除！",
                                  "wait 1s",
                                  "Label7: 检测不到U盘，请检查是否已连接！",
                              }}));
    EXPECT_EQ(h.view.foreColor(Ctl::Label7), colors::darkRed);
}

// A new stick after a removal: the paths follow the new drive.
TEST(DriveMonitor, AnotherStickAfterTheFirst) {
    Harness h;
    TempDir second{"second"};
    h.declareDrives("removable=" + h.stick.path());
    auto form = h.form();
    form.Timer2_Timer();
    h.declareDrives("fixed=/");
    form.Timer2_Timer();
    h.declareDrives("removable=" + second.path());
    form.Timer2_Timer();
    EXPECT_EQ(h.lines(), cat({stickConnected(h.stick.path()),
                              {"Label7: 检测到U盘已移除！", "wait 1s"},
                              stickConnected(second.path())}));
    EXPECT_EQ(h.state.probe.autorunPath, second.path() + native("/autorun.inf"));
    ASSERT_TRUE(h.state.probedDrive);
    EXPECT_EQ(h.state.probedDrive->path, second.path());
}

} // namespace
} // namespace tw::test
