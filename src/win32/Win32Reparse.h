#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw::win32 {

// The text of a link from the bytes FSCTL_GET_REPARSE_POINT returns: the name shown for a
// symbolic link or junction (the name the system substitutes, without its \??\ prefix, when
// none is shown), the UTF-8 text of a WSL link. Nothing for any other kind of reparse point
// or for bytes that do not hold what they claim.
std::optional<std::string> reparseLinkText(std::string_view bytes);

} // namespace tw::win32
