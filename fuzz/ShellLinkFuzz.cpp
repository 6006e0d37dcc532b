// Feeds arbitrary bytes to the shell link parser and the link verdict, checking what the full
// scan relies on: every text is well-formed UTF-8 and bounded by the input, counts stay
// capped, and every path the verdict asks about lies on the stick.
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

bool wellFormed(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t length = 1;
        std::uint32_t cp = lead;
        std::uint32_t minimum = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                length = 2;
                cp = lead & 0x1Fu;
                minimum = 0x80;
            } else if ((lead & 0xF0) == 0xE0) {
                length = 3;
                cp = lead & 0x0Fu;
                minimum = 0x800;
            } else if ((lead & 0xF8) == 0xF0) {
                length = 4;
                cp = lead & 0x07u;
                minimum = 0x10000;
            } else {
                return false;
            }
        }
        if (i + length > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
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
        check(wellFormed(*text));
        // A code unit or byte of input becomes at most three bytes of UTF-8; a LinkInfo path
        // joins two strings whose offsets may point at the same bytes.
        check(text->size() <= 6 * size + 64);
    }
    check(link->idItemCount <= 64 && link->idNames.size() <= link->idItemCount);
    for (const std::string& n : link->idNames) {
        check(wellFormed(n) && n.size() <= 3 * size);
    }
    check(wellFormed(link->target()));

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
        check(!s.reason.empty() && wellFormed(s.reason));
    }
    return 0;
}
