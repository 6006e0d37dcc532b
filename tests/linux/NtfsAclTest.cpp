#include "linux/NtfsAcl.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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

TEST(NtfsAcl, OnlyTheOneExplicitDenyOfEverythingForEveryoneCounts) {
    struct Case {
        const char* what;
        std::string descriptor;
        bool denies;
    };
    const Case cases[] = {
        {"the rule as written here", locked, true},
        {"the list first, passed on to children, not protected",
         "01000480300000004c000000000000001400000002001c0001000000" + ace("0103", "ff011f00") +
             user + admins,
         true},
        {"a new folder's inheritable allow",
         ntfs3g("0480", "02001c0001000000" + ace("0003", "ff011f00")), false},
        {"an inherited allow", ntfs3g("0480", "02001c0001000000" + ace("0013", "ff011f00")), false},
        {"a deny for children only", ntfs3g("0490", "02001c0001000000" + ace("010b", "ff011f00")),
         false},
        {"an extra entry", ntfs3g("0490", "0200300002000000" + denyAll + ace("0000", "ff011f00")),
         false},
        {"read and execute only", ntfs3g("0490", "02001c0001000000" + ace("0100", "a9001200")),
         false},
        {"another group",
         ntfs3g("0490", "02001c0001000000" + denyAll.substr(0, 16) + "010100000000000500000000"),
         false},
        {"a null list", "0100049014000000240000000000000000000000" + admins + admins, false},
        {"cut in the entry", locked.substr(0, locked.size() - 8), false},
        {"an entry longer than its list",
         ntfs3g("0490", "02001c0001000000" + ("01001800ff011f00" + everyone) + "00000000"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(posix::isDenyEveryone(fromHex(c.descriptor)), c.denies);
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
            EXPECT_TRUE(posix::isDenyEveryone(*rule));
        }
    }
}

} // namespace
} // namespace tw::test
