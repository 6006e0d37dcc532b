#include "win32/Win32Acl.h"

#include "support/AclForms.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

namespace tw::test {
namespace {

// An access list built from the form with the system's own calls.
class BuiltAcl {
public:
    explicit BuiltAcl(const AclForm& form) : m_buffer(1024) {
        m_acl = reinterpret_cast<ACL*>(m_buffer.data());
        ok = ::InitializeAcl(m_acl, static_cast<DWORD>(m_buffer.size()), ACL_REVISION) != FALSE;
        for (const AceForm& e : form.entries) {
            const std::wstring text(e.sid, e.sid + std::char_traits<char>::length(e.sid));
            PSID sid = nullptr;
            if (!::ConvertStringSidToSidW(text.c_str(), &sid)) {
                ok = false;
                continue;
            }
            const BOOL added =
                e.allows ? ::AddAccessAllowedAceEx(m_acl, ACL_REVISION, e.flags, e.mask, sid)
                         : ::AddAccessDeniedAceEx(m_acl, ACL_REVISION, e.flags, e.mask, sid);
            ok = ok && added != FALSE;
            ::LocalFree(sid);
        }
        if (!form.hasList) {
            m_acl = nullptr;
        }
    }
    [[nodiscard]] const ACL* acl() const { return m_acl; }
    bool ok = false;

private:
    std::vector<unsigned char> m_buffer;
    ACL* m_acl = nullptr;
};

// The same forms the Linux build judges as bytes, here as lists the system built.
TEST(Win32Acl, LockedByEffectNotByLayout) {
    for (const AclForm& form : aclForms()) {
        SCOPED_TRACE(form.what);
        const BuiltAcl built(form);
        ASSERT_TRUE(built.ok);
        EXPECT_EQ(win32::entriesGrantNothing(built.acl()), form.locked);
        EXPECT_EQ(win32::locksEveryoneOut(built.acl()), form.locked);
    }
}

} // namespace
} // namespace tw::test
