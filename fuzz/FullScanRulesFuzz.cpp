// Feeds arbitrary text to the rules parser, checking that a file it accepts holds only what
// the full scan can use: bounded, well-formed, lower-case entries and sane settings.
#include "scan/FullScanRules.h"

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

bool lowerCase(std::string_view s) {
    for (const char c : s) {
        if (c >= 'A' && c <= 'Z') {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Most inputs start with the version line, so that the fuzzer reaches the sections.
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1) != 0) {
        text = "tarnwick-fullscan-rules 1\n" + text.substr(1);
    }
    const tw::RulesLoad load = tw::parseFullScanRules(text);
    check(load.rules.has_value() == load.error.empty());
    if (!load.rules) {
        return 0;
    }
    const tw::FullScanRules& r = *load.rules;
    check(r.version == tw::fullScanRulesVersion);
    check(!r.interpreters.empty() && !r.candidateExtensions.empty());
    std::size_t entries = r.argumentSigns.size();
    for (const auto* list :
         {&r.interpreters, &r.wrapperNames, &r.recycleLikeNames, &r.payloadPatterns,
          &r.scriptExtensions, &r.executableExtensions, &r.decoyExtensions, &r.candidateExtensions,
          &r.candidateNames, &r.untouchedFolders}) {
        entries += list->size();
        for (const std::string& e : *list) {
            check(!e.empty() && e.size() <= tw::maxRulesLineBytes && lowerCase(e));
        }
    }
    check(entries <= tw::maxRulesEntries);
    for (const auto* list : {&r.scriptExtensions, &r.executableExtensions, &r.decoyExtensions,
                             &r.candidateExtensions}) {
        for (const std::string& e : *list) {
            check(e.size() >= 2 && e[0] == '.' && e.find('.', 1) == std::string::npos);
        }
    }
    for (const tw::ArgumentPattern& p : r.argumentSigns) {
        check(lowerCase(p.pattern) && p.pattern.find_first_not_of('*') != std::string::npos);
    }
    check(r.paddingThreshold == 0 || (r.paddingThreshold >= 2 && r.paddingThreshold <= 4096));
    // Every pattern against a few names, and the input's last line as a name.
    const std::string_view last = std::string_view(text).substr(text.rfind('\n') + 1);
    for (const std::string_view name : {std::string_view("u123.vbs"), std::string_view(""),
                                        std::string_view("~A.FAT32"), last.substr(0, 300)}) {
        (void)r.isPayloadName(name);
        (void)r.isCandidate(name);
        (void)r.isInterpreter(name);
    }
    return 0;
}
