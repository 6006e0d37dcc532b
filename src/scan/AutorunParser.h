#pragma once

#include <string>
#include <string_view>

namespace tw {

// Finds the program an autorun.inf file launches. Fed the file's lines one by one (UTF-8,
// without their line ends); a line whose first four characters are exactly "open" or
// "Open" sets the target to the rest of the line after its fifth character. The last such
// line wins. Holds nothing but the current target.
class AutorunParser {
public:
    void feed(std::string_view line);
    [[nodiscard]] const std::string& target() const { return m_target; }

private:
    std::string m_target;
};

} // namespace tw
