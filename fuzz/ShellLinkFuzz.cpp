// Feeds arbitrary bytes to the shell link parser and the link verdict, checking what the full
// scan relies on: every text is well-formed UTF-8 and bounded by the input, counts stay
// capped, and every path the verdict asks about lies on the stick.
#include "ports/Utf8.h"
#include "scan/FullScanVerdict.h"
#include "scan/ShellLink.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const tw::FullScanRules& rules() {
    static const tw::FullScanRules r =
        *tw::parseFullScanRules("tarnwick-fullscan-rules 1\n"
                                "[interpreters]\ncmd.exe\nwscript.exe\nrundll32.exe\n"
                                "[candidate-extensions]\n.lnk\n"
                                "[argument-signs]\nopens-folder = start explorer\n"
                                "remote-installer = msiexec*http\n"
                                "[settings]\npadding-threshold = 8\n")
             .rules;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto link = tw::parseShellLink(std::span<const unsigned char>(data, size));
    if (!link) {
        return 0;
    }
    check(size >= 0x4C);
    const std::string* texts[] = {
        &link->rootClsid,
        &link->idVolume,
        &link->idPath,
        &link->localBasePath,
        &link->commonPathSuffix,
        &link->networkPath,
        &link->deviceName,
        &link->linkInfoPath,
        &link->name,
        &link->relativePath,
        &link->workingDir,
        &link->arguments,
        &link->iconLocation,
        &link->environmentTarget,
        &link->iconEnvironmentTarget,
        &link->knownFolderId,
        &link->controlPanelItemPath,
    };
    for (const std::string* text : texts) {
        check(tw::isValidUtf8(*text));
        // A code unit or byte of input becomes at most three bytes of UTF-8; a LinkInfo path
        // joins two strings whose offsets may point at the same bytes.
        check(text->size() <= 6 * size + 64);
    }
    check(link->idItemCount <= 64 && link->idNames.size() <= link->idItemCount);
    for (const std::string& n : link->idNames) {
        check(tw::isValidUtf8(n) && n.size() <= 3 * size);
    }
    check(tw::isValidUtf8(link->target()));

    tw::LinkFinding finding{
        &*link, "KINGSTON.lnk", "a/b", {{"x", true, 2}}, "KINGSTON", [](const std::string& p) {
            check(!p.empty() && p.front() != '/' && p.back() != '/');
            check(p.find('\\') == std::string::npos);
            std::size_t start = 0;
            while (start <= p.size()) {
                const std::size_t end = std::min(p.find('/', start), p.size());
                const std::string_view part = std::string_view(p).substr(start, end - start);
                check(!part.empty() && part != "." && part != "..");
                start = end + 1;
            }
            return p.size() % 3 == 0 ? tw::Presence::file : tw::Presence::absent;
        }};
    const tw::LinkVerdict v = tw::judgeLink(finding, rules());
    check(v.namedFiles.size() <= 33);
    for (const tw::SignFound& s : v.signs) {
        check(!s.reason.empty() && tw::isValidUtf8(s.reason));
    }
    return 0;
}
