// The link parser against Debian's lnkinfo (liblnk-utils), on links with LinkInfo: lnkinfo
// gives no path for links whose target is only in the ID list, and stops at an empty string.
#include "scan/ShellLink.h"

#include "support/ShellLinkWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tw {
namespace {

#ifndef _WIN32
// lnkinfo's "Name : value" lines, by name.
std::map<std::string, std::string> lnkinfo(const std::string& path) {
    std::map<std::string, std::string> fields;
    FILE* pipe = ::popen(("lnkinfo '" + path + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return fields;
    }
    std::string out;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, got);
    }
    ::pclose(pipe);
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        end = end == std::string::npos ? out.size() : end;
        const std::string line = out.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(": ");
        if (line.rfind("\t", 0) != 0 || line.rfind("\t\t", 0) == 0 || colon == std::string::npos) {
            continue;
        }
        std::string name = line.substr(1, colon - 1);
        while (!name.empty() && (name.back() == '\t' || name.back() == ' ')) {
            name.pop_back();
        }
        fields.emplace(name, line.substr(colon + 2));
    }
    return fields;
}

bool haveLnkinfo() {
    return std::system("command -v lnkinfo >/dev/null 2>&1") == 0;
}
#endif

TEST(ShellLinkOracle, AgreesWithLnkinfo) {
#ifdef _WIN32
    GTEST_SKIP() << "lnkinfo is a Debian tool";
#else
    if (!haveLnkinfo()) {
        GTEST_SKIP() << "lnkinfo is missing: bash scripts/setup.sh --test installs it";
    }
    test::LinkSpec local;
    local.linkInfoPath = "C:\\Program Files\\WPS Office\\wps.exe";
    local.linkInfoSplit = 7;
    local.idPath = *local.linkInfoPath;
    local.arguments = "/n \"D:\\报告 2026.docx\"";
    local.workingDir = "C:\\Program Files\\WPS Office";
    local.iconLocation = "%SystemRoot%\\system32\\shell32.dll";
    local.name = "文字处理";
    test::LinkSpec wide;
    wide.linkInfoPath = "E:\\文档\\报告.docx";
    wide.linkInfoUnicode = true;
    wide.relativePath = ".\\文档\\报告.docx";
    test::LinkSpec share;
    share.networkShare = "\\\\fileserver\\public\\计划\\plan.xlsx";
    share.arguments = "-x";
    test::LinkSpec padded;
    padded.linkInfoPath = "C:\\Windows\\System32\\cmd.exe";
    padded.arguments = std::string(300, ' ') + "/c start u123456.vbs & exit";
    padded.environmentTarget = "%windir%\\system32\\cmd.exe";
    padded.showCommand = 7;
    test::LinkSpec narrow = local;
    narrow.unicode = false;
    narrow.name = "notes";
    narrow.arguments = "/n D:\\a.docx";

    const std::vector<test::LinkSpec> specs = {local, wide, share, padded, narrow};
    test::TempDir dir("lnk");
    for (std::size_t i = 0; i < specs.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<unsigned char> bytes = test::writeShellLink(specs[i]);
        const std::string path = dir / ("l" + std::to_string(i) + ".lnk");
        test::writeFile(path, std::string(bytes.begin(), bytes.end()));
        const auto link = parseShellLink(bytes);
        ASSERT_TRUE(link);
        auto fields = lnkinfo(path);
        ASSERT_FALSE(fields.empty());
        const std::pair<std::string, std::string> expected[] = {
            {specs[i].networkShare ? "Network path" : "Local path", link->linkInfoPath},
            {"Description", link->name},
            {"Relative path", link->relativePath},
            {"Working directory", link->workingDir},
            {"Command line arguments", link->arguments},
            {"Icon location", link->iconLocation},
            {"Environment variables location", link->environmentTarget},
        };
        for (const auto& [name, value] : expected) {
            SCOPED_TRACE(name);
            if (value.empty()) {
                EXPECT_EQ(fields.count(name), 0u);
            } else {
                EXPECT_EQ(fields[name], value);
            }
        }
    }
#endif
}

} // namespace
} // namespace tw
