#include "immunize/ImmunizeRun.h"
#include "support/Fragments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tw::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SimpleImmunization, EmptyDriveGetsBothFoldersAndTheMonitorResumesAnIntervalLater) {
    Harness h;
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    // The calls that build and test the folders, with their exact paths.
    Lines calls;
    h.faulty.refuse = [&calls](const std::string& op, const std::string& path) {
        if (op == "mkDir" || op == "setAttributes" || path.find(guardName) != std::string::npos) {
            calls.push_back(op + " " + path);
        }
        return false;
    };

    EXPECT_EQ(click(h, Ctl::Label2),
              cat({opening(d), building(d), succeeded("免疫操作已完成！"), monitorResumes}));
    // The guard folder's path keeps its trailing full stops and separator.
    EXPECT_EQ(calls, (Lines{
                         "mkDir " + a,
                         "mkDir " + a + native("/Velmora免疫文件夹.../"),
                         "setAttributes " + a,
                         "lookup " + a + native("/Velmora免疫文件夹.../"),
                     }));
    EXPECT_EQ(namesIn(d), std::vector<std::string>{"autorun.inf"});
    EXPECT_EQ(getAttr(a), keptOnFolder(7U | attr::directory));
    // The guard folder keeps its three full stops and is left with plain folder attributes.
    EXPECT_EQ(namesIn(a), std::vector<std::string>{guardName});
    EXPECT_EQ(getAttr(a + native("/") + guardName), attr::directory);

    const std::size_t mark = h.transcript.size();
    h.clock.idle(2999ms);
    EXPECT_EQ(h.transcript.size(), mark);
    h.clock.idle(1ms);
    EXPECT_EQ(h.transcript.since(mark), stickConnected(d));
}

TEST(SimpleImmunization, SecondRunReportsImmunityAndLeavesTheAttributesAlone) {
    Harness h;
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    click(h, Ctl::Label2);
    ASSERT_EQ(getAttr(a), keptOnFolder(23U));
    // Someone changed them since; an immunized drive is not touched.
    setAttr(a, attr::hidden);

    EXPECT_EQ(click(h, Ctl::Label2), cat({opening(d), alreadyImmunized(d, "wait 2s"),
                                          succeeded("免疫操作成功结束！"), monitorResumes}));
    EXPECT_EQ(getAttr(a), attr::hidden | attr::directory);
}

TEST(SimpleImmunization, HandMadeAutorunFolderIsReinforced) {
    Harness h;
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    makeDir(a);
    writeFile(a + native("/desktop.ini"), "[.ShellClassInfo]\r\n");
    setAttr(a, attr::hidden | attr::archive);

    EXPECT_EQ(click(h, Ctl::Label2), cat({opening(d), reinforcing(d, "wait 2s"),
                                          succeeded("免疫操作成功结束！"), monitorResumes}));
    // Written whole: the archive bit it had is gone.
    EXPECT_EQ(getAttr(a), keptOnFolder(7U | attr::directory));
    EXPECT_EQ(namesIn(a), (std::vector<std::string>{guardName, "desktop.ini"}));
    EXPECT_EQ(readFile(a + native("/desktop.ini")), "[.ShellClassInfo]\r\n");
}

TEST(SimpleImmunization, WriteProtectedMediumEndsInTheFailureOfItsPath) {
    struct Case {
        const char* what;
        bool protectiveFolderThere;
        const char* statusText;
        const char* boxText;
    };
    const Case cases[] = {
        {"fresh", false, "操作结束！但免疫未成功建立！", "免疫操作失败！"},
        {"reinforcement", true, "操作结束！但免疫加强操作失败！", "免疫加强操作失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        const std::string d = h.stick.path();
        const std::string a = d + native("/autorun.inf");
        if (c.protectiveFolderThere) {
            makeDir(a);
        }
        h.faulty.refuse = [](const std::string& op, const std::string&) {
            return op == "mkDir" || op == "setAttributes" || op == "deleteFile" ||
                   op == "writeTextLines";
        };

        const Lines middle = c.protectiveFolderThere ? reinforcing(d, "wait 2s") : building(d);
        EXPECT_EQ(click(h, Ctl::Label2),
                  cat({opening(d), middle, failed(c.statusText, c.boxText), monitorResumes}));
        EXPECT_EQ(namesIn(d), c.protectiveFolderThere ? std::vector<std::string>{"autorun.inf"}
                                                      : std::vector<std::string>{});
        if (c.protectiveFolderThere) {
            EXPECT_EQ(getAttr(a), attr::directory);
        }
    }
}

} // namespace
} // namespace tw::test
