#include "win32/Win32Acl.h"

#include <aclapi.h>

#include <array>
#include <cstdint>

namespace tw::win32 {

namespace {

constexpr ACCESS_MASK fileAllAccess = 0x1F01FF;

ACCESS_MASK fileRights(ACCESS_MASK mask) {
    GENERIC_MAPPING files{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
    ::MapGenericMask(&mask, &files);
    return mask & fileAllAccess;
}

bool isAllow(BYTE type) {
    return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_COMPOUND_ACE_TYPE ||
           type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
           type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
}

bool isDeny(BYTE type) {
    return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// A well-known SID in a buffer of its own.
struct WellKnown {
    explicit WellKnown(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof bytes;
        ok = ::CreateWellKnownSid(type, nullptr, bytes.data(), &size) != FALSE;
    }
    PSID sid() { return bytes.data(); }
    std::array<std::uint8_t, SECURITY_MAX_SID_SIZE> bytes{};
    bool ok = false;
};

// The system's own evaluation for each group every user is in: nothing when it has none
// (Wine answers that it is not implemented).
enum class Verdict { locked, open, unavailable };

Verdict systemVerdict(const ACL* dacl) {
    for (const WELL_KNOWN_SID_TYPE type :
         {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid, WinInteractiveSid}) {
        WellKnown group(type);
        if (!group.ok) {
            return Verdict::unavailable;
        }
        TRUSTEE_W trustee{};
        ::BuildTrusteeWithSidW(&trustee, group.sid());
        ACCESS_MASK rights = 0;
        if (::GetEffectiveRightsFromAclW(const_cast<ACL*>(dacl), &trustee, &rights) !=
            ERROR_SUCCESS) {
            return Verdict::unavailable;
        }
        if (fileRights(rights) != 0) {
            return Verdict::open;
        }
    }
    return Verdict::locked;
}

} // namespace

bool entriesGrantNothing(const ACL* dacl) {
    if (dacl == nullptr) {
        return false;
    }
    WellKnown everyone(WinWorldSid);
    if (!everyone.ok) {
        return false;
    }
    ACCESS_MASK deniedToAll = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(const_cast<ACL*>(dacl), i, &entry)) {
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        const bool allows = isAllow(header->AceType);
        if (!allows && !isDeny(header->AceType)) {
            return false; // cannot be judged, so not counted as locked
        }
        // An entry only passed on to children does not apply to the folder itself.
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue;
        }
        // Every allow and deny kind keeps its mask right after the header.
        const ACCESS_MASK rights = fileRights(static_cast<const ACCESS_ALLOWED_ACE*>(entry)->Mask);
        if (allows && (rights & ~deniedToAll) != 0) {
            return false;
        }
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            const auto* denied = static_cast<const ACCESS_DENIED_ACE*>(entry);
            auto* sid = const_cast<DWORD*>(&denied->SidStart);
            if (::IsValidSid(sid) && ::EqualSid(sid, everyone.sid())) {
                deniedToAll |= rights;
            }
        }
    }
    return true;
}

bool locksEveryoneOut(const ACL* dacl) {
    if (!entriesGrantNothing(dacl)) {
        return false;
    }
    return systemVerdict(dacl) != Verdict::open;
}

} // namespace tw::win32
