#include "drive/modUsbCheck.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tw::test {
namespace {

struct ProbeCase {
    const char* name;
    const char* drives;          // a declaration, in drive order
    std::set<std::string> ready; // drives whose root can be read
    DriveProbe before;
    DriveProbe after;
    std::vector<std::string> asked; // whose readiness the probe asked, in order
};

// Only removable drives count, and only their readiness is asked: a hung network mount
// must never be touched.
TEST(modUsbCheck, FirstReadyRemovableDrive) {
    const DriveProbe earlier{"/media/old", "/media/old/autorun.inf", 1};
    const std::vector<ProbeCase> cases = {
        {"two removable drives: the first is reported, the later one not asked",
         "fixed=/;removable=/media/a;removable=/media/b",
         {"/", "/media/a", "/media/b"},
         {},
         {"/media/a", "/media/a/autorun.inf", 1},
         {"/media/a"}},
        {"a card reader without a card is skipped",
         "removable=/media/reader;removable=/media/stick",
         {"/media/stick"},
         {},
         {"/media/stick", "/media/stick/autorun.inf", 1},
         {"/media/reader", "/media/stick"}},
        {"fixed, RAM and CD-ROM drives are ignored and keep the earlier paths",
         "fixed=/;ram=/tmp;cdrom=/media/disc;fixed=/media/usbdisk",
         {"/", "/tmp", "/media/disc", "/media/usbdisk"},
         earlier,
         {"/media/old", "/media/old/autorun.inf", 0},
         {}},
        {"a network drive is never asked",
         "network=/mnt/nas;removable=/media/stick",
         {"/media/stick"},
         {},
         {"/media/stick", "/media/stick/autorun.inf", 1},
         {"/media/stick"}},
        {"no drives at all", "", {}, earlier, {"/media/old", "/media/old/autorun.inf", 0}, {}},
        {"a root drive path gets no doubled separator",
         "removable=/",
         {"/"},
         {},
         {"/", "/autorun.inf", 1},
         {"/"}},
    };
    for (const auto& c : cases) {
        Harness h;
        h.declareDrives(c.drives);
        std::vector<std::string> asked;
        h.faulty.readyOverride = [&](const Drive& d) {
            asked.push_back(d.path);
            return c.ready.count(d.path) > 0;
        };
        DriveProbe probe = c.before;
        std::optional<Drive> probed;
        modUsbCheck(h.faulty, probe, &probed);
        EXPECT_EQ(probe.drivePath, c.after.drivePath) << c.name;
        EXPECT_EQ(probe.autorunPath, c.after.autorunPath) << c.name;
        EXPECT_EQ(probe.found, c.after.found) << c.name;
        EXPECT_EQ(asked, c.asked) << c.name;
        if (c.after.found == 1) {
            ASSERT_TRUE(probed) << c.name;
            EXPECT_EQ(probed->path, c.after.drivePath) << c.name;
            EXPECT_EQ(probed->type, drivetype::removable) << c.name;
        } else {
            EXPECT_FALSE(probed) << c.name;
        }
    }
}

} // namespace
} // namespace tw::test
