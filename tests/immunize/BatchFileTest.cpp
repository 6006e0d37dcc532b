#include "immunize/Modfoldercacls.h"
#include "immunize/modfsconvert.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(BatchFiles, EachIsTwoCrLfLinesReplacedOnEveryCall) {
    struct Case {
        void (*writer)(Ports&, const std::string&);
        const char* file;
        const char* argument;
        const char* contents;
        const char* secondArgument;
        const char* secondContents;
        bool waits;
    };
    const Case cases[] = {
        {modfsconvert, "convert.bat", "E:", "@echo off\r\nconvert.exe E: /fs:ntfs /x\r\n",
         "G:", "@echo off\r\nconvert.exe G: /fs:ntfs /x\r\n", true},
        {[](Ports& ports, const std::string& target) { (void)Modfoldercacls(ports, target); },
         "cacls.bat", "E:\\autorun.inf",
         "@echo off\r\necho y|cacls.exe E:\\autorun.inf /p everyone:n\r\n", "F:\\autorun.inf",
         "@echo off\r\necho y|cacls.exe F:\\autorun.inf /p everyone:n\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        Ports ports = h.ports();
        const std::string path = h.temp / c.file;
        // A longer file of the same name is replaced, not appended to.
        writeFile(path, "@echo off\r\nrem three\r\nrem lines\r\nrem and more\r\n");
        std::vector<std::string> started;
        h.host.onStart = [&started](const std::string& p) { started.push_back(readFile(p)); };

        c.writer(ports, c.argument);
        EXPECT_EQ(readFile(path), c.contents);
        c.writer(ports, c.secondArgument);
        EXPECT_EQ(readFile(path), c.secondContents);

        const Lines oneCall = c.waits ? Lines{"wait 2s", "start " + path} : Lines{"start " + path};
        EXPECT_EQ(h.lines(), cat({oneCall, oneCall}));
        EXPECT_EQ(started, (std::vector<std::string>{c.contents, c.secondContents}));
    }
}

TEST(BatchFiles, TemporaryFolderWithSpacesReachesTheHostAsOnePath) {
    Harness h;
    TempDir base{"profile"};
    const std::string t = base.path() + native("/Documents and Settings/ann/Local Settings/Temp");
    makeDir(t);
    FakeHost host{h.transcript, t, h.program.path()};
    Ports ports{h.faulty, host, h.view, h.clock, h.quarantine};

    modfsconvert(ports, "E:");
    Modfoldercacls(ports, "E:\\autorun.inf");

    EXPECT_EQ(h.lines(), (Lines{
                             "wait 2s",
                             "start " + t + native("/convert.bat"),
                             "start " + t + native("/cacls.bat"),
                         }));
    EXPECT_EQ(readFile(t + native("/convert.bat")), "@echo off\r\nconvert.exe E: /fs:ntfs /x\r\n");
    EXPECT_EQ(readFile(t + native("/cacls.bat")),
              "@echo off\r\necho y|cacls.exe E:\\autorun.inf /p everyone:n\r\n");
}

TEST(BatchFiles, NothingStartsWhenTheFileCannotBeWritten) {
    Harness h;
    Ports ports = h.ports();
    h.faulty.refuse = [](const std::string& op, const std::string&) {
        return op == "writeTextLines";
    };

    modfsconvert(ports, "E:");
    EXPECT_FALSE(Modfoldercacls(ports, "E:\\autorun.inf"));

    EXPECT_EQ(h.lines(), Lines{});
    EXPECT_FALSE(exists(h.temp / "convert.bat"));
    EXPECT_FALSE(exists(h.temp / "cacls.bat"));
}

} // namespace
} // namespace tw::test
