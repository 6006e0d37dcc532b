#include "linux/NtfsAcl.h"
#include "support/AclForms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {
namespace {

using posix::Bytes;

Bytes fromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// S-1-5-32-544 and S-1-5-21-1-2-3-1001.
const std::string admins = "01020000000000052000000020020000";
const std::string user = "010500000000000515000000010000000200000003000000e9030000";
const std::string everyone = "010100000000000100000000";
// Header (revision 1, control, owner, group, SACL, DACL) with the owner and group of a new
// folder on ntfs-3g behind it, then the access list.
std::string ntfs3g(const std::string& control, const std::string& dacl) {
    return "0100" + control + "14000000240000000000000034000000" + admins + admins + dacl;
}
// One entry: type, flags, size 20, mask, Everyone.
std::string ace(const std::string& typeAndFlags, const std::string& mask) {
    return typeAndFlags + "1400" + mask + everyone;
}
const std::string denyAll = ace("0100", "ff011f00");
const std::string locked = ntfs3g("0490", "02001c0001000000" + denyAll);

// A SID's bytes from its text form S-1-<authority>-<sub>...
std::string sidHex(const std::string& text) {
    std::vector<std::uint32_t> parts;
    std::size_t pos = 4; // after "S-1-"
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('-', pos), text.size());
        parts.push_back(static_cast<std::uint32_t>(std::stoul(text.substr(pos, end - pos))));
        pos = end + 1;
    }
    Bytes b = {1, static_cast<std::uint8_t>(parts.size() - 1), 0, 0, 0, 0,
               0, static_cast<std::uint8_t>(parts[0])};
    for (std::size_t i = 1; i < parts.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            b.push_back(static_cast<std::uint8_t>(parts[i] >> shift));
        }
    }
    std::string hex;
    for (const std::uint8_t byte : b) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string le16(std::size_t v) {
    return sidHex("S-1-0-" + std::to_string(v)).substr(16, 4);
}

std::string le32(std::uint32_t v) {
    return sidHex("S-1-0-" + std::to_string(v)).substr(16, 8);
}

// The descriptor as ntfs-3g hands it out, its list built from the form.
std::string descriptorOf(const AclForm& form) {
    if (!form.hasList) {
        return ntfs3g("0080", "");
    }
    std::string entries;
    for (const AceForm& e : form.entries) {
        const std::string sid = sidHex(e.sid);
        entries += (e.allows ? "00" : "01") + le32(e.flags).substr(0, 2) +
                   le16(8 + sid.size() / 2) + le32(e.mask) + sid;
    }
    return ntfs3g("0494", "0200" + le16(8 + entries.size() / 2) + le16(form.entries.size()) +
                              "0000" + entries);
}

// The list is judged by what it grants, in order, whatever its layout.
TEST(NtfsAcl, LockedByEffectNotByLayout) {
    for (const AclForm& form : aclForms()) {
        SCOPED_TRACE(form.what);
        EXPECT_EQ(posix::locksEveryoneOut(fromHex(descriptorOf(form))), form.locked);
    }
}

TEST(NtfsAcl, OddDescriptorsAreNeverLocked) {
    struct Case {
        const char* what;
        std::string descriptor;
        bool locked;
    };
    const Case cases[] = {
        {"the rule as written here", locked, true},
        {"the list first, passed on to children, not protected",
         "01000480300000004c000000000000001400000002001c0001000000" + ace("0103", "ff011f00") +
             user + admins,
         true},
        {"an inherited allow", ntfs3g("0480", "02001c0001000000" + ace("0013", "ff011f00")), false},
        {"a generic allow of everything",
         ntfs3g("0480", "02001c0001000000" + ace("0000", "00000010")), false},
        {"a deny of everything as a generic right, then an allow",
         ntfs3g("0490", "0200300002000000" + ace("0100", "00000010") + ace("0000", "ff011f00")),
         true},
        {"an audit entry in the list", ntfs3g("0490", "02001c0001000000" + ace("0200", "ff011f00")),
         false},
        {"a null list", "0100049014000000240000000000000000000000" + admins + admins, false},
        {"cut in the entry", locked.substr(0, locked.size() - 8), false},
        {"an entry longer than its list",
         ntfs3g("0490", "02001c0001000000" + ("01001800ff011f00" + everyone) + "00000000"), false},
        {"more entries counted than held", ntfs3g("0490", "02001c0002000000" + denyAll), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(posix::locksEveryoneOut(fromHex(c.descriptor)), c.locked);
    }
}

TEST(NtfsAcl, TheRuleKeepsOwnerAndGroupAndDropsTheRest) {
    struct Case {
        const char* what;
        std::string old;
        std::optional<std::string> rule;
    };
    const Case cases[] = {
        {"a new folder on ntfs-3g", ntfs3g("0480", "02001c0001000000" + ace("0003", "ff011f00")),
         locked},
        {"the list first, a longer owner",
         "01000480300000004c000000000000001400000002001c0001000000" + ace("0003", "ff011f00") +
             user + admins,
         "0100049014000000300000000000000040000000" + user + admins + "02001c0001000000" + denyAll},
        {"no owner", "0100048000000000240000000000000034000000" + admins + admins, std::nullopt},
        {"the group cut short", locked.substr(0, 2 * (0x24 + 10)), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto rule = posix::denyEveryoneDescriptor(fromHex(c.old));
        EXPECT_EQ(rule, c.rule ? std::optional<Bytes>(fromHex(*c.rule)) : std::nullopt);
        if (rule) {
            EXPECT_TRUE(posix::locksEveryoneOut(*rule));
        }
    }
}

} // namespace
} // namespace tw::test
