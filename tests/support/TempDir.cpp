#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef TARNWICK_HAVE_POSIX
#include "linux/PosixFileSystem.h"
#endif

namespace fs = std::filesystem;

namespace tw::test {

TempDir::TempDir(const std::string& label) {
    std::string pattern = (fs::temp_directory_path() / ("tarnwick-" + label + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make read-only leftovers removable first.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all,
                        fs::perm_options::add | fs::perm_options::nofollow, ec);
    }
    fs::remove_all(m_path, ec);
}

std::string TempDir::operator/(const std::string& relative) const {
    return m_path + "/" + relative;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void writeFileOfSize(const std::string& path, std::uint64_t size) {
    writeFile(path, "");
    fs::resize_file(path, size);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void makeDir(const std::string& path) {
    fs::create_directories(path);
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

#ifdef TARNWICK_HAVE_POSIX
void setAttr(const std::string& path, std::uint32_t value) {
    PosixFileSystem posix;
    if (!posix.setAttributes(path, value)) {
        throw std::runtime_error("cannot set attributes of " + path);
    }
}

std::uint32_t getAttr(const std::string& path) {
    PosixFileSystem posix;
    const auto value = posix.attributes(path);
    if (!value) {
        throw std::runtime_error("cannot read attributes of " + path);
    }
    return *value;
}
#endif

} // namespace tw::test
