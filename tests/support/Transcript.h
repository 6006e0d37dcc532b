#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace tw::test {

// One line per thing the user would see or the program would do, in order.
class Transcript {
public:
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    [[nodiscard]] const std::vector<std::string>& lines() const { return m_lines; }
    // Lines added since a mark taken with size().
    [[nodiscard]] std::vector<std::string> since(std::size_t mark) const {
        return {m_lines.begin() + static_cast<std::ptrdiff_t>(mark), m_lines.end()};
    }
    [[nodiscard]] std::size_t size() const { return m_lines.size(); }
    void clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
};

using Lines = std::vector<std::string>;

// Joins blocks of expected lines into one transcript.
inline Lines cat(std::initializer_list<Lines> blocks) {
    Lines all;
    for (const Lines& block : blocks) {
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

} // namespace tw::test
