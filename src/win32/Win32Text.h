#pragma once

#include <string>
#include <string_view>

namespace tw::win32 {

// UTF-8 in the core, UTF-16 at the API. Invalid input bytes become U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// Text in the system's ANSI code page (CP_ACP), as batch files are read by cmd.exe.
// Characters the code page lacks become its default character.
std::string toAnsi(std::string_view utf8);

// The path for the API: absolute, with backslashes, prefixed \\?\ (or \\?\UNC\) so that
// names ending in dots or spaces are kept as they are. A bare drive such as "E:" names its
// root. "." components are dropped; ".." takes the folder before it away.
std::wstring apiPath(const std::string& path);

// "E:" or "E:\" (any letter case): a drive's root named by its letter.
bool isDriveLetterRoot(const std::string& path);

// Decodes one line of a text file to UTF-8 as the core's decodeLine does, with the system's
// code page 936 for the GBK pairs.
std::string decodeLine(std::string_view bytes);

} // namespace tw::win32
