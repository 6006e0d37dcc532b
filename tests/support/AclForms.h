#pragma once

#include <cstdint>
#include <vector>

namespace tw::test {

// The forms an access list on the protective folder may take, written by this program, by
// cacls or by Windows passing entries on from the parent, and whether each keeps everyone
// out. Linux judges them as descriptor bytes, Windows as lists built with its own calls.
namespace sid {
inline constexpr const char* everyone = "S-1-1-0";
inline constexpr const char* users = "S-1-5-32-545";
inline constexpr const char* authenticatedUsers = "S-1-5-11";
} // namespace sid

inline constexpr std::uint32_t fileAllAccess = 0x1F01FF;
inline constexpr std::uint32_t readAndExecute = 0x1200A9;
inline constexpr std::uint8_t passedOn = 0x03;    // object and container inherit
inline constexpr std::uint8_t inheritOnly = 0x08; // for children only
inline constexpr std::uint8_t inherited = 0x10;   // came from the parent

struct AceForm {
    bool allows;
    std::uint8_t flags;
    std::uint32_t mask;
    const char* sid;
};

struct AclForm {
    const char* what;
    bool hasList;
    std::vector<AceForm> entries;
    bool locked;
};

inline std::vector<AclForm> aclForms() {
    const AceForm denyAll{false, 0, fileAllAccess, sid::everyone};
    return {
        {"one deny entry", true, {denyAll}, true},
        {"one allow with an empty mask", true, {{true, 0, 0, sid::everyone}}, true},
        {"deny, then inherited allows",
         true,
         {denyAll,
          {true, inherited | passedOn, fileAllAccess, sid::users},
          {true, inherited | passedOn, fileAllAccess, sid::authenticatedUsers},
          {true, inherited | passedOn, fileAllAccess, sid::everyone}},
         true},
        {"an allow for Users before the deny",
         true,
         {{true, 0, readAndExecute, sid::users}, denyAll},
         false},
        {"an empty list", true, {}, true},
        {"no list", false, {}, false},
        {"a new folder's allow for Everyone",
         true,
         {{true, passedOn, fileAllAccess, sid::everyone}},
         false},
        {"a deny of reading only, then an inherited allow",
         true,
         {{false, 0, 0x120089, sid::everyone},
          {true, inherited | passedOn, fileAllAccess, sid::authenticatedUsers}},
         false},
        {"an allow for children only",
         true,
         {{true, passedOn | inheritOnly, fileAllAccess, sid::users}},
         true},
    };
}

} // namespace tw::test
