#include "support/Fragments.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

// Form_Load, then the first tick of Timer1 up to the integrity result.
const Lines loading = {"disable Label2", "disable Label3", "Timer1 off"};
// The status line appears a second after the integrity result.
const Lines statusLineShown = {"wait 1s", "show Label7"};
// The start-up scan of a machine without fixed disks.
const Lines emptyDiskScan = cat({{
                                     "Label7: 准备扫描本地硬盘，请稍候......",
                                     "wait 2s",
                                     "Label7: 硬盘扫描完成，没有检测到Auto威胁！",
                                 },
                                 diskScanEnd});

TEST(Startup, CompanionPresentShowsIntegrityInGreenAndKeepsLabel4) {
    Harness h;
    writeFile(h.program / "systemset.dll", "");
    auto form = h.form();
    ASSERT_TRUE(form.Form_Load());
    form.Timer1_Timer();
    EXPECT_EQ(h.lines(), cat({loading,
                              {"Label5: √Tarnwick完整性良好", "Label5 colour green"},
                              statusLineShown,
                              emptyDiskScan}));
    EXPECT_TRUE(h.view.isEnabled(Ctl::Label4));
}

TEST(Startup, CompanionMissingDisablesLabel4AndStillScansAndStartsTheMonitor) {
    // A folder of the companion's name does not count as the companion file.
    for (bool folderInstead : {false, true}) {
        Harness h;
        if (folderInstead) {
            makeDir(h.program / "systemset.dll");
        }
        writeFile(h.temp / "systemset.dll", ""); // elsewhere: does not count either
        auto form = h.form();
        ASSERT_TRUE(form.Form_Load());
        form.Timer1_Timer();
        EXPECT_EQ(h.lines(),
                  cat({loading,
                       {"disable Label4", "Label5: ×系统免疫模块丢失！", "Label5 colour darkred"},
                       statusLineShown,
                       emptyDiskScan}));
        EXPECT_FALSE(h.view.isEnabled(Ctl::Label4));
        EXPECT_TRUE(h.view.timer2());
    }
}

TEST(Startup, SecondCopyShowsItsBoxAndEndsWithoutTouchingTheWindow) {
    Harness h;
    h.host.otherCopyRunning = true;
    EXPECT_FALSE(h.form().Form_Load());
    EXPECT_EQ(h.lines(),
              (Lines{"activate", "box[64] 系统提示: Tarnwick进程已经运行！ -> OK", "end"}));
}

TEST(Startup, StatusLineStaysHiddenUntilOneSecondAfterTheIntegrityResult) {
    Harness h;
    bool visibleBeforeWait = true;
    h.clock.schedule(std::chrono::milliseconds(999),
                     [&] { visibleBeforeWait = h.view.visible(Ctl::Label7); });
    auto form = h.form();
    form.Form_Load();
    form.Timer1_Timer();
    EXPECT_FALSE(visibleBeforeWait);
    EXPECT_TRUE(h.view.visible(Ctl::Label7));
}

TEST(Startup, DuringTheDiskScanOnlyLabel1Label4AndTheMenusRespond) {
    Harness h;
    writeFile(h.program / "systemset.dll", "");
    auto form = h.form();
    form.Form_Load();
    std::size_t mark = 0;
    Lines duringScan;
    // Inside the scan's first wait: the drive actions are still disabled.
    h.clock.schedule(std::chrono::milliseconds(1500), [&] {
        mark = h.transcript.size();
        form.Label_Click(Ctl::Label2);
        form.Label_Click(Ctl::Label3);
        form.Label_Click(Ctl::Label6);
        form.Label_Click(Ctl::Label1);
        form.vbhelpinfo_Click();
        duringScan = h.transcript.since(mark);
    });
    form.Timer1_Timer();
    EXPECT_EQ(duringScan, (Lines{"about", "open https://tarnwick.example.com/support"}));
}

TEST(Menus, ExitAndCloseEndTheProgramAndAboutShowsTheAboutWindow) {
    Harness h;
    auto form = h.form();
    form.vbexit_Click();
    form.Form_Unload();
    form.about_Click();
    EXPECT_EQ(h.lines(), (Lines{"end", "end", "about"}));
}

TEST(ActionLabels, HoverPressAndSurfaceResetColours) {
    Harness h;
    auto form = h.form();
    form.Form_Load(); // Label2, Label3 disabled; Label6 disabled by the stored layout
    h.transcript.clear();

    form.Label_MouseMove(Ctl::Label1);
    form.Label_MouseMove(Ctl::Label2); // disabled: no reaction
    form.Label_MouseDown(Ctl::Label1);
    form.Label_MouseMove(Ctl::Label4);
    form.Label_MouseDown(Ctl::Label6); // disabled: no reaction
    form.Form_MouseMove();             // resets every action label, disabled ones too
    EXPECT_EQ(h.lines(), (Lines{
                             "Label1 colour red",
                             "Label1 colour sys0",
                             "Label4 colour red",
                             "Label1 colour sys0",
                             "Label2 colour sys0",
                             "Label3 colour sys0",
                             "Label4 colour sys0",
                             "Label6 colour black",
                         }));

    h.view.setEnabled(Ctl::Label6, true);
    h.transcript.clear();
    form.Label_MouseMove(Ctl::Label6);
    form.Label_MouseDown(Ctl::Label6);
    form.Label_MouseMove(Ctl::Label5); // not an action label
    EXPECT_EQ(h.lines(), (Lines{"Label6 colour red", "Label6 colour sys0"}));
}

} // namespace
} // namespace tw::test
