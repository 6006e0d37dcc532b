#include "scan/ShellLink.h"

#include "support/ShellLinkWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::LinkSpec;
using test::writeShellLink;

// Parses a copy of exactly these bytes on the heap, so that the sanitizer build catches any
// read past them.
std::optional<ShellLink> parse(const std::vector<unsigned char>& bytes) {
    const auto copy = std::make_unique<unsigned char[]>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return parseShellLink(std::span<const unsigned char>(copy.get(), bytes.size()));
}

const std::string cmd = "C:\\Windows\\system32\\cmd.exe";
const std::string thisPc = "{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

LinkSpec forbixLike() {
    LinkSpec s;
    s.idPath = cmd;
    s.arguments = "/c start wscript /e:VBScript.Encode Manuel.doc & start explorer Work & exit";
    s.showCommand = 7;
    s.iconLocation = "%SystemRoot%\\system32\\SHELL32.dll";
    s.iconIndex = 4;
    return s;
}

// What the parser reads from links the writer makes, field by field.
TEST(ShellLink, WrittenLinks) {
    struct Case {
        std::string what;
        LinkSpec spec;
        std::string target;
        std::string linkInfoPath;
        std::string idPath;
        std::string arguments;
    };
    LinkSpec split;
    split.linkInfoPath = "C:\\Program Files\\WPS\\wps.exe";
    split.linkInfoSplit = 7;
    split.idPath = "C:\\Program Files\\WPS\\wps.exe";
    LinkSpec unicodeInfo;
    unicodeInfo.linkInfoPath = "E:\\文档\\报告.docx";
    unicodeInfo.linkInfoUnicode = true;
    LinkSpec share;
    share.networkShare = "\\\\fileserver\\public\\plan.xlsx";
    LinkSpec env;
    env.environmentTarget = "%windir%\\system32\\cmd.exe";
    env.arguments = "/c x.bat";
    LinkSpec narrow = forbixLike();
    narrow.unicode = false;
    LinkSpec zeroInfo = forbixLike();
    zeroInfo.zeroLinkInfo = true;
    LinkSpec forced;
    forced.linkInfoPath = "C:\\old\\app.exe";
    forced.idPath = "C:\\new\\app.exe";
    forced.extraFlags = linkflag::forceNoLinkInfo;
    LinkSpec relative;
    relative.relativePath = "..\\docs\\readme.txt";
    LinkSpec wideNames;
    wideNames.idPath = "E:\\照片\\春节 2026\\全家福.jpg";
    LinkSpec padded;
    padded.idPath = cmd;
    padded.arguments = std::string(4000, ' ') + "/c start x.vbs";
    LinkSpec emptyName = forbixLike();
    emptyName.name = "";
    emptyName.workingDir = "";

    const Case cases[] = {
        {"ID list only", forbixLike(), cmd, "", cmd, *forbixLike().arguments},
        {"LinkInfo base and suffix", split, *split.linkInfoPath, *split.linkInfoPath, *split.idPath,
         ""},
        {"Unicode LinkInfo", unicodeInfo, *unicodeInfo.linkInfoPath, *unicodeInfo.linkInfoPath, "",
         ""},
        {"network share", share, *share.networkShare, *share.networkShare, "", ""},
        {"environment block", env, *env.environmentTarget, "", "", "/c x.bat"},
        {"code-page strings", narrow, cmd, "", cmd, *forbixLike().arguments},
        {"LinkInfo of zeros", zeroInfo, cmd, "", cmd, *forbixLike().arguments},
        {"LinkInfo forced off", forced, "C:\\new\\app.exe", "C:\\old\\app.exe", "C:\\new\\app.exe",
         ""},
        {"relative path only", relative, "..\\docs\\readme.txt", "", "", ""},
        {"long names in the ID list", wideNames, *wideNames.idPath, "", *wideNames.idPath, ""},
        {"padded arguments", padded, cmd, "", cmd, *padded.arguments},
        {"empty strings", emptyName, cmd, "", cmd, *forbixLike().arguments},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto link = parse(writeShellLink(c.spec));
        ASSERT_TRUE(link);
        EXPECT_EQ(link->target(), c.target);
        EXPECT_EQ(link->linkInfoPath, c.linkInfoPath);
        EXPECT_EQ(link->idPath, c.idPath);
        EXPECT_EQ(link->arguments, c.arguments);
        EXPECT_FALSE(link->damaged);
        EXPECT_FALSE(link->exploitForm());
    }
}

TEST(ShellLink, HeaderStringsAndBlocks) {
    LinkSpec spec = forbixLike();
    spec.name = "文件夹";
    spec.workingDir = "%CD%";
    spec.fileAttributes = 0x10;
    spec.fileSize = 289792;
    spec.environmentTarget = "%ComSpec%";
    const auto link = parse(writeShellLink(spec));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->showCommand, showcmd::minNoActive);
    EXPECT_EQ(link->fileAttributes, 0x10u);
    EXPECT_EQ(link->fileSize, 289792u);
    EXPECT_EQ(link->iconIndex, 4);
    EXPECT_EQ(link->name, "文件夹");
    EXPECT_EQ(link->workingDir, "%CD%");
    EXPECT_EQ(link->iconLocation, "%SystemRoot%\\system32\\SHELL32.dll");
    EXPECT_EQ(link->rootClsid, thisPc);
    EXPECT_EQ(link->idVolume, "C:\\");
    EXPECT_EQ(link->idNames, (std::vector<std::string>{"Windows", "system32", "cmd.exe"}));
    EXPECT_EQ(link->idItemCount, 5u);
    EXPECT_FALSE(link->hasLinkInfo);
    // The environment block names the target before the ID list does.
    EXPECT_EQ(link->target(), "%ComSpec%");
}

// Shell-folder, applet and exploit links: what the ID list and the folder blocks tell.
TEST(ShellLink, ControlPanelAndFolderBlocks) {
    struct Case {
        std::string what;
        LinkSpec spec;
        bool intoControlPanel;
        std::string appletFile;
        bool exploit;
    };
    LinkSpec shellFolder;
    shellFolder.rootClsid = thisPc;
    LinkSpec applet;
    applet.controlPanelFile = "C:\\Windows\\System32\\main.cpl";
    LinkSpec special = applet;
    special.controlPanelFile = "E:\\~wtr4141.dll";
    special.specialFolderId = 3;
    LinkSpec known = special;
    known.specialFolderId.reset();
    known.knownFolderId = "{82A74AEB-AEB4-465C-A014-D097EE346D63}";
    LinkSpec blockWithoutPanel;
    blockWithoutPanel.idPath = "C:\\Users\\me\\Documents";
    blockWithoutPanel.knownFolderId = "{FDD39AD0-238F-46AF-ADB4-6C85480369C7}";
    const Case cases[] = {
        {"This PC", shellFolder, false, "", false},
        {"an applet", applet, true, *applet.controlPanelFile, false},
        {"special-folder block", special, true, "E:\\~wtr4141.dll", true},
        {"known-folder block", known, true, "E:\\~wtr4141.dll", true},
        {"a known folder of the user's", blockWithoutPanel, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto link = parse(writeShellLink(c.spec));
        ASSERT_TRUE(link);
        EXPECT_EQ(link->idIntoControlPanel, c.intoControlPanel);
        EXPECT_EQ(link->controlPanelItemPath, c.appletFile);
        EXPECT_EQ(link->exploitForm(), c.exploit);
        EXPECT_FALSE(link->damaged);
    }
    const auto known2 = parse(writeShellLink(known));
    EXPECT_EQ(known2->knownFolderId, "{82A74AEB-AEB4-465C-A014-D097EE346D63}");
    EXPECT_EQ(parse(writeShellLink(special))->specialFolderId, 3u);
    EXPECT_EQ(parse(writeShellLink(shellFolder))->rootClsid, thisPc);
}

// Text the link's writer could not have meant: unpaired surrogates and code-page bytes whose
// code page is unknown. Each comes out as U+FFFD, and the rest of the text survives.
TEST(ShellLink, BrokenText) {
    struct Case {
        std::u16string units;
        std::string text;
    };
    const Case cases[] = {
        {u"a\xD800"
         u"b",
         "a\xEF\xBF\xBD"
         "b"},
        {u"\xDC00x", "\xEF\xBF\xBDx"},
        {u"x\xD83D", "x\xEF\xBF\xBD"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {u"a\0b", "a"}, // the shell stops at a NUL
    };
    for (const Case& c : cases) {
        LinkSpec spec;
        spec.idPath = cmd;
        spec.rawArguments = c.units;
        const auto link = parse(writeShellLink(spec));
        ASSERT_TRUE(link);
        EXPECT_EQ(link->arguments, c.text);
    }

    LinkSpec narrow;
    narrow.unicode = false;
    narrow.arguments = "/c AB";
    std::vector<unsigned char> bytes = writeShellLink(narrow);
    const std::string marker = "AB";
    const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(at, bytes.end());
    *at = 0xC4;
    EXPECT_EQ(parse(bytes)->arguments, "/c \xEF\xBF\xBD"
                                       "B");
}

std::vector<unsigned char> fullLink() {
    LinkSpec spec = forbixLike();
    spec.linkInfoPath = "C:\\Windows\\system32\\cmd.exe";
    spec.linkInfoUnicode = true;
    spec.name = "name";
    spec.workingDir = "C:\\";
    spec.environmentTarget = "%ComSpec%";
    spec.knownFolderId = "{82A74AEB-AEB4-465C-A014-D097EE346D63}";
    spec.controlPanelFile = "E:\\x.dll";
    return writeShellLink(spec);
}

// Not a shell link at all, or a link cut anywhere: the parser refuses the first, reads the
// second as far as it goes and never past its end.
TEST(ShellLink, CutAndRejected) {
    const std::vector<unsigned char> bytes = fullLink();
    const auto whole = parse(bytes);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->damaged);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const auto cut = parse(std::vector<unsigned char>(
            bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
        if (size < 0x4C) {
            EXPECT_FALSE(cut) << size;
            continue;
        }
        ASSERT_TRUE(cut) << size;
        EXPECT_TRUE(cut->damaged) << size;
        EXPECT_LE(cut->arguments.size(), whole->arguments.size());
    }

    std::vector<unsigned char> wrongSize = bytes;
    wrongSize[0] = 0x4D;
    std::vector<unsigned char> wrongClsid = bytes;
    wrongClsid[19] = 0x47;
    EXPECT_FALSE(parse(wrongSize));
    EXPECT_FALSE(parse(wrongClsid));
    EXPECT_FALSE(parse({}));
}

// Counts that point past the end or loop: each structure is read as far as the bytes go.
TEST(ShellLink, HostileCounts) {
    auto patch32 = [](std::vector<unsigned char> b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
        }
        return b;
    };
    LinkSpec plain;
    plain.idPath = cmd;
    plain.arguments = "/c x";
    const std::vector<unsigned char> base = writeShellLink(plain);
    const std::size_t listAt = 0x4C;

    LinkSpec infoFirst;
    infoFirst.linkInfoPath = cmd;
    infoFirst.arguments = "/c x";
    const std::vector<unsigned char> info = writeShellLink(infoFirst);

    std::vector<unsigned char> manyBlocks = base;
    manyBlocks.resize(manyBlocks.size() - 4);
    for (int i = 0; i < 2000; ++i) {
        const std::vector<unsigned char> block = {8, 0, 0, 0, 0x99, 0, 0, 0xA0};
        manyBlocks.insert(manyBlocks.end(), block.begin(), block.end());
    }
    LinkSpec tinyItem = plain;
    tinyItem.rawIdItems = {{1, 0}};

    const std::vector<std::vector<unsigned char>> inputs = {
        patch32(base, listAt, 0xFFFF),        // ID list longer than the file
        patch32(info, 0x4C, 0x7FFFFFFF),      // LinkInfo longer than the file
        patch32(info, 0x4C + 16, 0xFFFFFF00), // base path offset far outside
        patch32(base, base.size() - 4, 0x40), // a block past the end
        manyBlocks,
        writeShellLink(tinyItem),
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        const auto link = parse(inputs[i]);
        ASSERT_TRUE(link);
        EXPECT_TRUE(link->damaged);
        EXPECT_LE(link->idItemCount, 64u);
    }
    // A LinkInfo of zeros, its size too: the strings after it are still read.
    LinkSpec zeros;
    zeros.zeroLinkInfo = true;
    zeros.arguments = "/c start x.vbs";
    std::vector<unsigned char> allZero = writeShellLink(zeros);
    std::fill(allZero.begin() + 0x4C, allZero.begin() + 0x4C + 0x1C, 0);
    const auto zeroed = parse(allZero);
    ASSERT_TRUE(zeroed);
    EXPECT_TRUE(zeroed->damaged);
    EXPECT_EQ(zeroed->arguments, "/c start x.vbs");

    // A base path offset outside the LinkInfo reads as no base path; the rest still counts.
    const auto outside = parse(inputs[2]);
    EXPECT_EQ(outside->localBasePath, "");
    EXPECT_EQ(outside->arguments, "/c x");

    // A string count larger than the file: the string ends where the file does.
    std::vector<unsigned char> longString = base;
    const std::string marker = "/";
    const auto at =
        std::search(longString.begin(), longString.end(), marker.begin(), marker.end()) - 2;
    at[0] = 0xFF;
    at[1] = 0xFF;
    const auto cut = parse(longString);
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->damaged);
    EXPECT_EQ(cut->arguments.substr(0, 4), "/c x");
}

} // namespace
} // namespace tw
