#pragma once

#include <windows.h>

namespace tw::win32 {

// Whether an access list, by its effect, lets no one in: neither Everyone nor the groups
// every signed-in user is in (Users, Authenticated Users, Interactive) gets any right to the
// object itself. Judged by walking the entries in order as the access check does, and also
// with the system's own evaluation where it has one. No list (nullptr) lets everyone in.
bool locksEveryoneOut(const ACL* dacl);

// The walk alone: no entry grants a right that an earlier deny to Everyone has not taken.
bool entriesGrantNothing(const ACL* dacl);

} // namespace tw::win32
