#include "drive/posix/PosixFileSystem.h"

#include "drive/posix/MountTable.h"
#include "drive/posix/PosixAttributes.h"
#include "drive/posix/TextLineReader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

namespace {

std::string stripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool lstatOf(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

// The one entry of folder equal to name ignoring case; nothing when none or several are.
std::optional<std::string> matchInFolder(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> match;
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (namesEqualIgnoringCase(entry->d_name, name)) {
            match = entry->d_name;
            ++count;
        }
    }
    ::closedir(dir);
    if (count != 1) {
        return std::nullopt;
    }
    return match;
}

class FdCloser {
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    [[nodiscard]] int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int driveTypeFromName(const std::string& name) {
    if (name == "removable" || name == "1") {
        return drivetype::removable;
    }
    if (name == "fixed" || name == "2") {
        return drivetype::fixed;
    }
    if (name == "network" || name == "3") {
        return drivetype::network;
    }
    if (name == "cdrom" || name == "4") {
        return drivetype::cdrom;
    }
    if (name == "ram" || name == "5") {
        return drivetype::ramDisk;
    }
    return drivetype::unknown;
}

} // namespace

bool namesEqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<Drive> parseDeclaredDrives(const std::string& declaration) {
    std::vector<Drive> drives;
    std::size_t start = 0;
    while (start <= declaration.size()) {
        auto end = declaration.find(';', start);
        if (end == std::string::npos) {
            end = declaration.size();
        }
        const std::string item = declaration.substr(start, end - start);
        const auto eq = item.find('=');
        if (eq != std::string::npos && eq + 1 < item.size()) {
            Drive drive;
            drive.type = driveTypeFromName(item.substr(0, eq));
            drive.path = stripTrailingSeparators(item.substr(eq + 1));
            drive.id = "declared:" + drive.path;
            if (drive.type != drivetype::unknown) {
                drives.push_back(std::move(drive));
            }
        }
        start = end + 1;
    }
    return drives;
}

PosixFileSystem::PosixFileSystem(std::optional<std::string> declaredDrives)
    : m_declared(std::move(declaredDrives)) {}

std::vector<Drive> PosixFileSystem::drives() {
    if (m_declared) {
        return parseDeclaredDrives(*m_declared);
    }
    return posix::readMountTable();
}

bool PosixFileSystem::isReady(const Drive& drive) {
    DIR* dir = ::opendir(drive.path.c_str());
    if (dir == nullptr) {
        return false;
    }
    ::closedir(dir);
    return true;
}

std::string PosixFileSystem::fileSystemName(const Drive& drive) {
    return posix::fileSystemNameOf(drive.path);
}

std::optional<std::string> PosixFileSystem::lookup(const std::string& rawPath) {
    const std::string path = stripTrailingSeparators(rawPath);
    if (path.empty()) {
        return std::nullopt;
    }
    struct stat st {};
    if (lstatOf(path, st)) {
        return path;
    }
    // Walk the components, matching each one ignoring case where the exact name is absent.
    std::string current = path[0] == '/' ? "/" : "";
    std::size_t pos = 0;
    while (pos < path.size()) {
        auto next = path.find('/', pos);
        if (next == std::string::npos) {
            next = path.size();
        }
        const std::string component = path.substr(pos, next - pos);
        pos = next + 1;
        if (component.empty()) {
            continue;
        }
        std::string candidate = join(current, component);
        if (!lstatOf(candidate, st)) {
            if (component == "." || component == "..") {
                return std::nullopt;
            }
            const auto match = matchInFolder(current, component);
            if (!match) {
                return std::nullopt;
            }
            candidate = join(current, *match);
        }
        current = std::move(candidate);
    }
    return current;
}

std::optional<PosixFileSystem::Placement> PosixFileSystem::place(const std::string& rawPath) {
    const std::string path = stripTrailingSeparators(rawPath);
    const std::string name = nameOf(path);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    const auto parent = lookup(parentOf(path));
    struct stat st {};
    if (!parent || ::stat(parent->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    const std::string exact = join(*parent, name);
    if (lstatOf(exact, st)) {
        return Placement{exact, true};
    }
    if (const auto match = matchInFolder(*parent, name)) {
        return Placement{join(*parent, *match), true};
    }
    return Placement{exact, false};
}

bool PosixFileSystem::fileExists(const std::string& path) {
    const auto found = lookup(path);
    struct stat st {};
    return found && lstatOf(*found, st) && !S_ISDIR(st.st_mode);
}

bool PosixFileSystem::folderExists(const std::string& path) {
    const auto found = lookup(path);
    struct stat st {};
    return found && lstatOf(*found, st) && S_ISDIR(st.st_mode);
}

std::optional<std::vector<Entry>> PosixFileSystem::children(const std::string& folder,
                                                            bool folders) {
    const auto found = lookup(folder);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    DIR* dir = ::opendir(found->c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string full = join(*found, name);
        struct stat child {};
        if (!lstatOf(full, child)) {
            continue;
        }
        if (S_ISDIR(child.st_mode) == folders) {
            entries.push_back(Entry{full, name});
        }
    }
    ::closedir(dir);
    return entries;
}

std::optional<std::vector<Entry>> PosixFileSystem::subFolders(const std::string& folder) {
    return children(folder, true);
}

std::optional<std::vector<Entry>> PosixFileSystem::files(const std::string& folder) {
    return children(folder, false);
}

std::optional<std::uint32_t> PosixFileSystem::attributes(const std::string& path) {
    const auto found = lookup(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st)) {
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode)) {
        return attr::archive; // never followed
    }
    return posix::readAttributes(*found, st);
}

bool PosixFileSystem::setAttributes(const std::string& path, std::uint32_t value) {
    const auto found = lookup(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || S_ISLNK(st.st_mode)) {
        return false;
    }
    return posix::writeAttributes(*found, st, value);
}

bool PosixFileSystem::deleteFile(const std::string& path, bool force) {
    const auto found = lookup(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || S_ISDIR(st.st_mode)) {
        return false;
    }
    if (!force && !S_ISLNK(st.st_mode)) {
        const auto value = posix::readAttributes(*found, st);
        if (value && (*value & attr::readOnly) != 0) {
            return false;
        }
    }
    return ::unlink(found->c_str()) == 0;
}

bool PosixFileSystem::copyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
    const auto from = lookup(source);
    struct stat st {};
    if (!from || !lstatOf(*from, st) || !S_ISREG(st.st_mode)) {
        return false;
    }
    const auto to = place(destination);
    if (!to) {
        return false;
    }
    if (to->exists) {
        struct stat existing {};
        if (!overwrite || !lstatOf(to->path, existing) || !S_ISREG(existing.st_mode)) {
            return false;
        }
    }
    FdCloser in(::open(from->c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        return false;
    }
    FdCloser out(::open(to->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                        st.st_mode & 0777));
    if (out.get() < 0) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (!writeAll(out.get(), buffer, static_cast<std::size_t>(n))) {
            return false;
        }
    }
    return ::close(out.release()) == 0;
}

bool PosixFileSystem::mkDir(const std::string& path) {
    const auto where = place(path);
    if (!where || where->exists) {
        return false;
    }
    return ::mkdir(where->path.c_str(), 0777) == 0;
}

std::optional<std::uint64_t> PosixFileSystem::fileLen(const std::string& path) {
    const auto found = lookup(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::unique_ptr<LineReader> PosixFileSystem::openText(const std::string& path) {
    const auto found = lookup(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    return posix::openTextLineReader(*found);
}

bool PosixFileSystem::writeTextLines(const std::string& path,
                                     const std::vector<std::string>& lines) {
    const auto where = place(path);
    if (!where) {
        return false;
    }
    FdCloser out(::open(where->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                        0644));
    if (out.get() < 0) {
        return false;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    if (!writeAll(out.get(), text.data(), text.size())) {
        return false;
    }
    return ::close(out.release()) == 0;
}

std::optional<std::string> PosixFileSystem::resolveOnDrive(const std::string& driveRoot,
                                                           const std::string& target) {
    // A NUL would cut the path short at the system call.
    if (target.empty() || target.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const auto realPathOf = [](const std::string& path) -> std::optional<std::string> {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) {
            return std::nullopt;
        }
        std::string result = real;
        std::free(real);
        return result;
    };
    const auto root = lookup(driveRoot);
    const auto realRoot = root ? realPathOf(*root) : std::nullopt;
    struct stat rootStat {};
    if (!realRoot || ::stat(realRoot->c_str(), &rootStat) != 0 || !S_ISDIR(rootStat.st_mode)) {
        return std::nullopt;
    }
    // On the drive: below its root and on its file system (not on something mounted inside).
    const auto onDrive = [&](const std::string& realPath) {
        const std::string& r = *realRoot;
        const bool below = r == "/" || realPath == r ||
                           (realPath.size() > r.size() && realPath.compare(0, r.size(), r) == 0 &&
                            realPath[r.size()] == '/');
        struct stat st {};
        return below && ::stat(realPath.c_str(), &st) == 0 && st.st_dev == rootStat.st_dev;
    };

    // Names written on Windows separate folders with backslashes.
    std::string relative = target;
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    const auto found = lookup(relative[0] == '/' ? relative : join(*realRoot, relative));
    if (!found) {
        return std::nullopt;
    }
    const std::string name = nameOf(*found);
    if (name.empty() || name == "." || name == "..") {
        const auto real = realPathOf(*found);
        return real && onDrive(*real) ? real : std::nullopt;
    }
    // The folders on the way may be links within the drive; the entry itself is never
    // followed, but a link leading off the drive (or nowhere) is not taken for a file on it.
    const auto realParent = realPathOf(parentOf(*found));
    if (!realParent || !onDrive(*realParent)) {
        return std::nullopt;
    }
    const std::string path = join(*realParent, name);
    struct stat st {};
    if (!lstatOf(path, st) || st.st_dev != rootStat.st_dev) {
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode)) {
        const auto destination = realPathOf(path);
        if (!destination || !onDrive(*destination)) {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace tw
