#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& label = "tw");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    // path() + "/" + relative
    [[nodiscard]] std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};

// Small helpers over real files for arranging a test.
void writeFile(const std::string& path, const std::string& content);
void writeFileOfSize(const std::string& path, std::uint64_t size);
std::string readFile(const std::string& path);
void makeDir(const std::string& path);
bool exists(const std::string& path);
// Every name in a folder, sorted: what is left behind shows up here.
std::vector<std::string> namesIn(const std::string& folder);
// Sets the stored attribute word, as the product's backend would read it back.
void setAttr(const std::string& path, std::uint32_t value);
std::uint32_t getAttr(const std::string& path);

} // namespace tw::test
