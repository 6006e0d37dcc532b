#pragma once

#include <string>

namespace tw::posix {

// The text of Linux paths, taken apart and put together without touching the file system.

// "/a/b/" is "/a/b"; "/" stays.
std::string stripTrailingSeparators(std::string path);
// The folder part: "/a/b" gives "/a", "/a" gives "/", a bare name gives ".".
std::string parentOf(const std::string& path);
// The last name: "/a/b" gives "b".
std::string nameOf(const std::string& path);
// folder + "/" + name, without doubling the separator; a name alone where folder is "" or ".".
std::string join(const std::string& folder, const std::string& name);

} // namespace tw::posix
