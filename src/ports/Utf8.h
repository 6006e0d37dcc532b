#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Length of the well-formed UTF-8 sequence at s[i] (i < s.size()), or 0 when none starts
// there.
std::size_t utf8Length(std::string_view s, std::size_t i);

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Appends the UTF-8 form of c, which must be a scalar value (not a surrogate, at most
// U+10FFFF).
void appendUtf8(std::string& out, char32_t c);

// 'A'-'Z' to 'a'-'z'; every other byte, UTF-8 included, as it is.
char lowerAscii(char c);
std::string lowerAsciiText(std::string_view s);

// Lower case (ASCII), each run of blanks (space, tab, line and page ends) one space, none at
// either end: the form in which argument patterns are written and compared.
std::string collapsedLower(std::string_view s);

} // namespace tw
