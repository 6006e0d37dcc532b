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
#ifdef _WIN32
#include "win32/Win32FileSystem.h"
#include "win32/Win32Text.h"

#include <windows.h>

#include <random>
#include <vector>
#endif

namespace fs = std::filesystem;

namespace tw::test {

std::string TempDir::operator/(const std::string& relative) const {
    return m_path + native("/" + relative);
}

#ifdef _WIN32
namespace {

std::wstring api(const std::string& path) {
    return win32::apiPath(path);
}

// Removes a folder and everything in it, read-only entries too; reparse points go alone.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = folder + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            const DWORD a = found.dwFileAttributes;
            if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0 && (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                removeTree(child);
            } else if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                ::RemoveDirectoryW(child.c_str());
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

TempDir::TempDir(const std::string& label) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::string base = win32::narrow(std::wstring(buffer, n));
    while (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            base + "\\tarnwick-" + label + "-" + std::to_string(random() % 1000000000u);
        if (::CreateDirectoryW(api(candidate).c_str(), nullptr)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    removeTree(api(m_path));
}

std::string native(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

void writeFile(const std::string& path, const std::string& content) {
    const HANDLE h = ::CreateFileW(api(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok =
        h != INVALID_HANDLE_VALUE &&
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
    }
    if (!ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

void writeFileOfSize(const std::string& path, std::uint64_t size) {
    writeFile(path, "");
    const HANDLE h = ::CreateFileW(api(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = h != INVALID_HANDLE_VALUE && ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN) &&
                    ::SetEndOfFile(h);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
    }
    if (!ok) {
        throw std::runtime_error("cannot size " + path);
    }
}

std::string readFile(const std::string& path) {
    const HANDLE h = ::CreateFileW(api(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string text;
    if (h == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        text.append(buffer, n);
    }
    ::CloseHandle(h);
    return text;
}

void makeDir(const std::string& path) {
    // Each missing folder on the way, as create_directories does.
    for (std::size_t sep = path.find('\\', 3);; sep = path.find('\\', sep + 1)) {
        const std::string part = sep == std::string::npos ? path : path.substr(0, sep);
        if (::GetFileAttributesW(api(part).c_str()) == INVALID_FILE_ATTRIBUTES &&
            !::CreateDirectoryW(api(part).c_str(), nullptr)) {
            throw std::runtime_error("cannot make " + part);
        }
        if (sep == std::string::npos) {
            return;
        }
    }
}

bool exists(const std::string& path) {
    return ::GetFileAttributesW(api(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeAll(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(api(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    ::SetFileAttributesW(api(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileW(api(path).c_str());
    } else if ((a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::RemoveDirectoryW(api(path).c_str());
    } else {
        removeTree(api(path));
    }
}

// True only when a link is there afterwards: Wine reports success and makes nothing.
bool makeFolderLink(const std::string& link, const std::string& target) {
    return ::CreateSymbolicLinkW(api(link).c_str(), api(target).c_str(),
                                 SYMBOLIC_LINK_FLAG_DIRECTORY) != 0 &&
           ::GetFileAttributesW(api(link).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((api(folder) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot list " + folder);
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(win32::narrow(name));
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void setAttr(const std::string& path, std::uint32_t value) {
    Win32FileSystem fs;
    if (!fs.setAttributes(path, value)) {
        throw std::runtime_error("cannot set attributes of " + path);
    }
}

std::uint32_t getAttr(const std::string& path) {
    Win32FileSystem fs;
    const auto value = fs.attributes(path);
    if (!value) {
        throw std::runtime_error("cannot read attributes of " + path);
    }
    return *value;
}

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::uint32_t keptOnFolder(std::uint32_t value) {
    return underWine() ? value & ~std::uint32_t{0x21} : value;
}

std::uint32_t keptOnFile(std::uint32_t value) {
    return underWine() ? value | 0x20u : value;
}
#else
bool underWine() {
    return false;
}

std::uint32_t keptOnFolder(std::uint32_t value) {
    return value;
}

std::uint32_t keptOnFile(std::uint32_t value) {
    return value;
}

std::string native(std::string path) {
    return path;
}

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

void removeAll(const std::string& path) {
    fs::remove_all(path);
}

bool makeFolderLink(const std::string& link, const std::string& target) {
    std::error_code ec;
    fs::create_directory_symlink(target, link, ec);
    return !ec;
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
#endif

} // namespace tw::test
