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
    // path() + separator + relative, relative written with '/'
    [[nodiscard]] std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};

// A path written with '/' in the platform's own form ('\\' on Windows).
std::string native(std::string path);

// Small helpers over real files for arranging a test. On Windows they take \\?\ paths, so
// names ending in dots work as they do for the product.
void writeFile(const std::string& path, const std::string& content);
void writeFileOfSize(const std::string& path, std::uint64_t size);
std::string readFile(const std::string& path);
void makeDir(const std::string& path);
bool exists(const std::string& path);
// Removes a file, or a folder with everything in it, read-only entries too; a link alone.
void removeAll(const std::string& path);
// Makes link a symbolic link to the folder target; false where the system refuses one.
bool makeFolderLink(const std::string& link, const std::string& target);
// Every name in a folder, sorted: what is left behind shows up here.
std::vector<std::string> namesIn(const std::string& folder);
// Sets the stored attribute word, as the product's backend would read it back.
void setAttr(const std::string& path, std::uint32_t value);
std::uint32_t getAttr(const std::string& path);
// The attribute word the file system under test keeps of value on a folder or a file: Wine
// drops read-only and archive on folders and always sets archive on files (Windows and the
// Linux backend keep the word as written).
std::uint32_t keptOnFolder(std::uint32_t value);
// Running under Wine, which is not Windows in a few places.
bool underWine();
std::uint32_t keptOnFile(std::uint32_t value);

} // namespace tw::test
