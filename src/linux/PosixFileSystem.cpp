#include "linux/PathText.h"
#include "linux/PosixFileSystem.h"

#include "drive/DeclaredDrives.h"
#include "linux/MountTable.h"
#include "linux/NtfsAcl.h"
#include "linux/PinnedDrive.h"
#include "linux/PosixAttributes.h"
#include "linux/PosixIo.h"
#include "linux/TextLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tw {

using posix::join;
using posix::nameOf;
using posix::parentOf;
using posix::stripTrailingSeparators;

namespace {

bool lstatOf(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0;
}

// path is folder itself or lies below it.
bool isAtOrBelow(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return !path.empty() && path[0] == '/';
    }
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

// The one entry of folder equal to name ignoring case; the first in byte order when
// several are (a case-sensitive file system can hold both); nothing when none is.
std::optional<std::string> matchInFolder(const std::string& folder, const std::string& name,
                                         bool* unreadable = nullptr) {
    posix::DirStream dir(folder);
    if (unreadable != nullptr) {
        *unreadable = true;
    }
    if (!dir.open()) {
        return std::nullopt;
    }
    std::optional<std::string> match;
    bool error = false;
    while (const char* entry = dir.next(error)) {
        const std::string candidate = entry;
        if (namesEqualIgnoringCase(candidate, name) && (!match || candidate < *match)) {
            match = candidate;
        }
    }
    if (error) {
        return std::nullopt;
    }
    if (unreadable != nullptr) {
        *unreadable = false;
    }
    return match;
}

// The next code point of a UTF-8 text; a byte that starts no valid sequence stands for
// itself, apart from every letter.
char32_t nextCodePoint(const std::string& s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
        ++i;
        return c;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07u;
    }
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return 0x110000u + c;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0x110000u + c;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    i += extra + 1;
    return cp;
}

// Upper case as the FAT and NTFS up-case tables have it, for the scripts names are
// usually written in.
char32_t upper(char32_t c) {
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F) ||
        (c >= 0xFF41 && c <= 0xFF5A)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    // Latin Extended-A comes in pairs, upper case first.
    if (((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) &&
        (c % 2) == 1) {
        return c - 1;
    }
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c % 2) == 0) {
        return c - 1;
    }
    return c;
}

// A letter outside ASCII that upper() folds or folds to.
bool foldsBeyondAscii(char32_t c) {
    return (c >= 0xC0 && c <= 0x17F) || (c >= 0x391 && c <= 0x3CB) || (c >= 0x400 && c <= 0x45F) ||
           (c >= 0xFF21 && c <= 0xFF5A);
}

} // namespace

bool namesEqualIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (upper(nextCodePoint(a, i)) != upper(nextCodePoint(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

std::u32string foldCase(const std::string& name) {
    std::u32string folded;
    folded.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        folded.push_back(upper(nextCodePoint(name, i)));
    }
    return folded;
}

bool kernelMatchesIgnoringCase(const posix::FolderVolume& volume, const std::string& name) {
    if (volume.type == posix::exfatSuperMagic) {
        return true;
    }
    if (volume.type != posix::fatSuperMagic) {
        return false;
    }
    // check=s makes FAT compare names exactly; msdos with nocase keeps the case it is given.
    std::size_t start = 0;
    const std::string& options = volume.superOptions;
    while (start <= options.size()) {
        const auto end = std::min(options.find(',', start), options.size());
        const std::string_view option(options.data() + start, end - start);
        if (option == "check=s" || option == "nocase") {
            return false;
        }
        start = end + 1;
    }
    // FAT folds names byte by byte through its character set: ASCII letters only.
    for (std::size_t i = 0; i < name.size();) {
        if (foldsBeyondAscii(nextCodePoint(name, i))) {
            return false;
        }
    }
    return true;
}

std::vector<Drive> parseDeclaredDrives(const std::string& declaration) {
    return parseDeclaredDrives(declaration, &posix::stripTrailingSeparators);
}

PosixFileSystem::PosixFileSystem(std::optional<std::string> declaredDrives, MountSource source)
    : m_declared(std::move(declaredDrives)), m_source(std::move(source)) {
    if (m_declared) {
        knowRoots(parseDeclaredDrives(*m_declared));
    }
}

PosixFileSystem::PosixFileSystem(MountSource source) : m_source(std::move(source)) {}

std::unique_ptr<PosixFileSystem> PosixFileSystem::fromEnvironment() {
    const char* declared = std::getenv("TARNWICK_DRIVES");
    if (declared != nullptr && *declared != '\0') {
        return std::make_unique<PosixFileSystem>(std::string(declared));
    }
    return std::make_unique<PosixFileSystem>(MountSource{});
}

void PosixFileSystem::knowRoots(const std::vector<Drive>& drives) {
    m_driveRoots.clear();
    m_guardedRoots.clear();
    for (const Drive& drive : drives) {
        m_driveRoots.push_back(drive.path);
        if (drive.type == drivetype::removable) {
            m_guardedRoots.push_back(drive.path);
        }
    }
    m_rootsKnown = true;
}

void PosixFileSystem::ensureRootsKnown() {
    if (!m_rootsKnown) {
        (void)drives();
    }
}

bool PosixFileSystem::isDriveRoot(const std::string& path) {
    ensureRootsKnown();
    return std::find(m_driveRoots.begin(), m_driveRoots.end(), path) != m_driveRoots.end();
}

const std::string* PosixFileSystem::guardedRootOf(const std::string& path) const {
    const std::string* best = nullptr;
    for (const std::string& root : m_guardedRoots) {
        if (isAtOrBelow(path, root) && (best == nullptr || root.size() > best->size())) {
            best = &root;
        }
    }
    return best;
}

std::vector<Drive> PosixFileSystem::drives() {
    if (m_declared) {
        return parseDeclaredDrives(*m_declared);
    }
    std::vector<Drive> result;
    if (const Table* t = table()) {
        result = t->drives;
    }
    knowRoots(result);
    return result;
}

const PosixFileSystem::Table* PosixFileSystem::table() {
    auto text = m_source.mountInfo ? m_source.mountInfo() : std::nullopt;
    if (!text) {
        m_table.reset();
        return nullptr;
    }
    if (m_table && m_table->text == *text) {
        return &*m_table;
    }
    Table t;
    t.records = posix::parseMountInfo(*text);
    for (posix::MountedDrive& mounted :
         posix::drivesFromMountInfo(*text, m_source.roots, &m_diskFacts)) {
        t.drives.push_back(std::move(mounted.drive));
    }
    t.text = std::move(*text);
    m_table = std::move(t);
    return &*m_table;
}

namespace {

// Mounted, and its root can be listed.
bool rootReadable(const std::string& root) {
    posix::DirStream dir(root);
    bool error = false;
    return dir.open() && (dir.next(error) != nullptr || !error);
}

} // namespace

bool PosixFileSystem::isReady(const Drive& drive) {
    const auto mounted = posix::decodeDriveId(drive);
    if (!mounted) {
        return rootReadable(drive.path);
    }
    // The drive may be an old copy: it must still be in the table, on the same device.
    if (const Table* t = table()) {
        const auto& records = t->records;
        const bool inTable =
            std::any_of(records.begin(), records.end(), [&](const posix::MountRecord& r) {
                return r.mountPoint == drive.path && r.dev == mounted->mount.dev;
            });
        if (!inTable) {
            return false;
        }
    }
    if (mounted->block && !posix::mediumPresent(*mounted->block, m_source.roots)) {
        return false;
    }
    return rootReadable(drive.path);
}

std::string PosixFileSystem::fileSystemName(const Drive& drive) {
    if (const auto mounted = posix::decodeDriveId(drive)) {
        return posix::fileSystemNameOf(mounted->mount, mounted->block, m_source.roots);
    }
    // A declared drive: the file system its folder lies on.
    const auto real = posix::realPath(drive.path);
    if (!real) {
        return {};
    }
    const std::string& folder = *real;
    const auto text = m_source.mountInfo ? m_source.mountInfo() : std::nullopt;
    if (!text) {
        return {};
    }
    std::optional<posix::MountRecord> holder;
    for (posix::MountRecord& record : posix::parseMountInfo(*text)) {
        // The deepest mount point wins; of equal ones the later mount, which hides the other.
        if (isAtOrBelow(folder, record.mountPoint) &&
            (!holder || record.mountPoint.size() >= holder->mountPoint.size())) {
            holder = std::move(record);
        }
    }
    if (!holder) {
        return {};
    }
    return posix::fileSystemNameOf(*holder, posix::blockDeviceOf(*holder, m_source.roots),
                                   m_source.roots);
}

std::string PosixFileSystem::volumeLabel(const Drive& drive) {
    const auto mounted = posix::decodeDriveId(drive);
    return mounted ? posix::volumeLabelOf(mounted->block, m_source.roots) : std::string{};
}

bool PosixFileSystem::exactMissIsFinal(const std::string& folder, const std::string& name) {
    const std::string where = folder.empty() ? "." : folder;
    const auto volume = m_source.roots.volumeOfFolder
                            ? m_source.roots.volumeOfFolder(where)
                            : posix::volumeOfFolder(where, m_source.mountInfo);
    return volume && kernelMatchesIgnoringCase(*volume, name);
}

namespace {

bool statFound(bool driveRoot, const std::string& path, struct stat& st) {
    return (driveRoot ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0;
}

} // namespace

std::optional<std::string> PosixFileSystem::findEntry(const std::string& rawPath, Presence* miss) {
    Presence why = Presence::unknown;
    const auto missed = [&]() -> std::optional<std::string> {
        if (miss != nullptr) {
            *miss = why;
        }
        return std::nullopt;
    };
    // A miss is "absent" only where the lookup said so of a folder that still answers.
    const auto absentFrom = [&](const std::string& folder) {
        struct stat holder {};
        why = ::stat(folder.empty() ? "." : folder.c_str(), &holder) == 0 && holder.st_nlink > 0
                  ? Presence::absent
                  : Presence::unknown;
        return missed();
    };
    const std::string path = stripTrailingSeparators(rawPath);
    if (path.empty()) {
        return missed();
    }
    ensureRootsKnown();
    const std::string* guard = guardedRootOf(path);
    struct stat st {};
    // Elsewhere (the temporary folder, the program's folder) names are exact: a user's
    // CONVERT.BAT is not the program's convert.bat.
    if (guard == nullptr) {
        if (lstatOf(path, st)) {
            return path;
        }
        return errno == ENOENT ? absentFrom(parentOf(path)) : missed();
    }
    // Walk the components, matching each one ignoring case where the exact name is absent.
    // Below a removable drive's root, every folder on the way must be a folder itself.
    std::string current = *guard;
    std::size_t pos = guard->size();
    if (::stat(guard->c_str(), &st) != 0) {
        return missed();
    }
    while (pos < path.size()) {
        auto next = path.find('/', pos);
        if (next == std::string::npos) {
            next = path.size();
        }
        const std::string component = path.substr(pos, next - pos);
        pos = next + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            return missed();
        }
        std::string candidate = join(current, component);
        if (!lstatOf(candidate, st)) {
            if (errno != ENOENT) {
                return missed();
            }
            if (exactMissIsFinal(current, component)) {
                return absentFrom(current);
            }
            bool unreadable = true;
            const auto match = matchInFolder(current, component, &unreadable);
            if (!match) {
                return unreadable ? missed() : absentFrom(current);
            }
            candidate = join(current, *match);
            if (!lstatOf(candidate, st)) {
                return missed();
            }
        }
        const bool last = path.find_first_not_of('/', pos) == std::string::npos;
        if (!last && !S_ISDIR(st.st_mode)) {
            why = Presence::absent; // nothing lies below a file
            return missed();
        }
        current = std::move(candidate);
    }
    return current;
}

Presence PosixFileSystem::lookup(const std::string& path) {
    Presence miss = Presence::unknown;
    const auto found = findEntry(path, &miss);
    if (!found) {
        return miss;
    }
    struct stat st {};
    if (!statFound(isDriveRoot(*found), *found, st)) {
        return errno == ENOENT ? Presence::absent : Presence::unknown;
    }
    return S_ISDIR(st.st_mode) ? Presence::folder : Presence::file;
}

std::optional<EntryKind> PosixFileSystem::kindOf(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    if (!found || !statFound(isDriveRoot(*found), *found, st)) {
        return std::nullopt;
    }
    return posix::kindOfMode(st.st_mode);
}

std::optional<std::string> PosixFileSystem::readLink(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    // A drive's root is the folder it leads to, never a link.
    if (!found || isDriveRoot(*found) || !lstatOf(*found, st) || !S_ISLNK(st.st_mode)) {
        return std::nullopt;
    }
    return posix::readLinkAt(AT_FDCWD, *found, static_cast<std::size_t>(st.st_size));
}

std::optional<PosixFileSystem::Placement> PosixFileSystem::place(const std::string& rawPath) {
    const std::string path = stripTrailingSeparators(rawPath);
    const std::string name = nameOf(path);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    const auto parent = findEntry(parentOf(path));
    if (!parent) {
        return std::nullopt;
    }
    // On a removable drive the parent must be a folder, not a link to one.
    struct stat st {};
    const bool followed = guardedRootOf(*parent) == nullptr || isDriveRoot(*parent);
    if ((followed ? ::stat(parent->c_str(), &st) : ::lstat(parent->c_str(), &st)) != 0 ||
        !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    const std::string exact = join(*parent, name);
    if (lstatOf(exact, st)) {
        return Placement{exact, true};
    }
    if (guardedRootOf(*parent) == nullptr || exactMissIsFinal(*parent, name)) {
        return Placement{exact, false};
    }
    if (const auto match = matchInFolder(*parent, name)) {
        return Placement{join(*parent, *match), true};
    }
    return Placement{exact, false};
}

bool PosixFileSystem::fileExists(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    return found && statFound(isDriveRoot(*found), *found, st) && !S_ISDIR(st.st_mode);
}

bool PosixFileSystem::folderExists(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    return found && statFound(isDriveRoot(*found), *found, st) && S_ISDIR(st.st_mode);
}

std::optional<std::vector<Entry>> PosixFileSystem::children(const std::string& folder,
                                                            bool folders) {
    const auto found = findEntry(folder);
    struct stat st {};
    if (!found || !statFound(isDriveRoot(*found), *found, st) || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    posix::DirStream dir(*found);
    if (!dir.open()) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    while (const char* entry = dir.next()) {
        const std::string name = entry;
        const std::string full = join(*found, name);
        struct stat child {};
        if (!lstatOf(full, child)) {
            continue;
        }
        if (S_ISDIR(child.st_mode) == folders) {
            entries.push_back(Entry{full, name});
        }
    }
    return entries;
}

std::optional<std::vector<Entry>> PosixFileSystem::subFolders(const std::string& folder) {
    return children(folder, true);
}

std::optional<std::vector<Entry>> PosixFileSystem::files(const std::string& folder) {
    return children(folder, false);
}

namespace {

// The attribute calls never follow links: a drive root given as one goes by its target.
std::string attributeTarget(bool driveRoot, const std::string& path) {
    if (driveRoot) {
        if (auto real = posix::realPath(path)) {
            return std::move(*real);
        }
    }
    return path;
}

} // namespace

std::optional<std::uint32_t> PosixFileSystem::attributes(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    const bool root = found && isDriveRoot(*found);
    if (!found || !statFound(root, *found, st)) {
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode)) {
        return attr::archive; // never followed
    }
    return posix::readAttributes(attributeTarget(root, *found), st);
}

bool PosixFileSystem::setAttributes(const std::string& path, std::uint32_t value) {
    const auto found = findEntry(path);
    struct stat st {};
    const bool root = found && isDriveRoot(*found);
    if (!found || !statFound(root, *found, st) || S_ISLNK(st.st_mode)) {
        return false;
    }
    return posix::writeAttributes(attributeTarget(root, *found), st, value);
}

bool PosixFileSystem::deleteFile(const std::string& path, bool force) {
    const auto found = findEntry(path);
    struct stat st {};
    if (!found || !statFound(isDriveRoot(*found), *found, st) || S_ISDIR(st.st_mode)) {
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

namespace {

// A new file in folder under a name no entry has. O_EXCL: nothing put there in advance
// (a link, another user's file) is ever opened.
int createUnique(const std::string& folder, mode_t mode, std::string& path) {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".tarnwick-%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        path = join(folder, name);
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Moves from onto to unless an entry named to exists by then.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a hard link cannot replace anything either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    struct stat st {};
    return errno == EPERM && !lstatOf(to, st) && ::rename(from.c_str(), to.c_str()) == 0;
}

// Writes a fresh file beside destination and renames it over the entry. What is there already,
// a file or a hard link to some other file, is replaced and never written into; in a sticky
// folder another user's file cannot be replaced, and the call fails. Nothing is left behind on
// a failure.
bool replaceFile(const std::string& destination, bool mayReplace, mode_t mode,
                 const std::function<bool(int fd)>& write) {
    std::string temporary;
    posix::Fd out(createUnique(parentOf(destination), mode, temporary));
    if (out.get() < 0) {
        return false;
    }
    const bool written = write(out.get()) && ::close(out.release()) == 0;
    const bool moved =
        written && (mayReplace ? ::rename(temporary.c_str(), destination.c_str()) == 0
                               : renameNoReplace(temporary, destination));
    if (!moved) {
        ::unlink(temporary.c_str());
    }
    return moved;
}

// An entry that a new file may replace: a plain file (a link, a folder or a device stays).
bool replaceable(const std::string& path) {
    struct stat st {};
    return lstatOf(path, st) && S_ISREG(st.st_mode);
}

} // namespace

bool PosixFileSystem::copyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
    const auto from = findEntry(source);
    struct stat st {};
    if (!from || !lstatOf(*from, st) || !S_ISREG(st.st_mode)) {
        return false;
    }
    const auto to = place(destination);
    if (!to || (to->exists && (!overwrite || !replaceable(to->path)))) {
        return false;
    }
    posix::Fd in(::open(from->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (in.get() < 0) {
        return false;
    }
    return replaceFile(to->path, overwrite, st.st_mode & 0777, [&](int out) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
            if (n == 0) {
                return true;
            }
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (!posix::writeAll(out, buffer, static_cast<std::size_t>(n))) {
                return false;
            }
        }
    });
}

bool PosixFileSystem::mkDir(const std::string& path) {
    const auto where = place(path);
    if (!where || where->exists) {
        return false;
    }
    return ::mkdir(where->path.c_str(), 0777) == 0;
}

std::optional<std::uint64_t> PosixFileSystem::fileLen(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::unique_ptr<LineReader> PosixFileSystem::openText(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    return posix::openTextLineReader(*found);
}

std::unique_ptr<ByteReader> PosixFileSystem::openRead(const std::string& path) {
    const auto found = findEntry(path);
    struct stat st {};
    if (!found || !lstatOf(*found, st) || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    posix::Fd fd(::open(found->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return nullptr;
    }
    return posix::byteReaderOf(std::move(fd));
}

namespace {

// The access-list calls reach a folder through a descriptor that holds it, never a link.
bool onFolder(const std::string& folder, bool driveRoot,
              const std::function<bool(const std::string&)>& call) {
    const posix::Fd fd(
        ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | (driveRoot ? 0 : O_NOFOLLOW)));
    return fd.get() >= 0 && call("/proc/self/fd/" + std::to_string(fd.get()));
}

} // namespace

bool PosixFileSystem::denyEveryone(const std::string& folder) {
    const auto found = findEntry(folder);
    return found && onFolder(*found, isDriveRoot(*found), posix::writeDenyEveryone);
}

bool PosixFileSystem::deniesEveryone(const std::string& folder) {
    const auto found = findEntry(folder);
    return found && onFolder(*found, isDriveRoot(*found), posix::readsDenyEveryone);
}

bool PosixFileSystem::writeTextLines(const std::string& path,
                                     const std::vector<std::string>& lines) {
    const auto where = place(path);
    if (!where || (where->exists && !replaceable(where->path))) {
        return false;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return replaceFile(where->path, true, 0644,
                       [&](int out) { return posix::writeAll(out, text.data(), text.size()); });
}

std::unique_ptr<FileSystem> PosixFileSystem::pinDrive(const std::string& rawRoot) {
    const std::string root = stripTrailingSeparators(rawRoot);
    const auto real = posix::realPath(root);
    posix::Fd fd(real ? ::open(real->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    if (fd.get() >= 0 && !mountedAt(root, fd.get())) {
        fd = posix::Fd(-1);
    }
    const auto volume = m_source.roots.volumeOfFolder
                            ? m_source.roots.volumeOfFolder(root)
                            : posix::volumeOfFolder(root, m_source.mountInfo);
    return std::make_unique<PinnedDrive>(*this, root, std::move(fd), volume);
}

bool PosixFileSystem::mountedAt(const std::string& root, int rootFd) {
    if (m_declared) {
        return true; // declared drives are plain folders as often as mounts
    }
    const auto text = m_source.mountInfo ? m_source.mountInfo() : std::nullopt;
    if (!text) {
        return false;
    }
    // The last mount on a folder hides the earlier ones.
    std::optional<posix::MountRecord> visible;
    for (posix::MountRecord& record : posix::parseMountInfo(*text)) {
        if (record.mountPoint == root) {
            visible = std::move(record);
        }
    }
    // Opened after the drive went away, the descriptor would hold the folder below it.
    if (!visible) {
        return false;
    }
    struct statx sx {};
    if (::statx(rootFd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) == 0 &&
        (sx.stx_mask & STATX_MNT_ID) != 0) {
        return sx.stx_mnt_id == visible->id;
    }
    struct stat st {};
    return ::fstat(rootFd, &st) == 0 && visible->dev.major == major(st.st_dev) &&
           visible->dev.minor == minor(st.st_dev);
}

std::optional<std::string> PosixFileSystem::resolveOnDrive(const std::string& driveRoot,
                                                           const std::string& target) {
    // A NUL would cut the path short at the system call.
    if (target.empty() || target.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const auto root = findEntry(driveRoot);
    const auto realRoot = root ? posix::realPath(*root) : std::nullopt;
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
    // Joined to the root as declared, so that the removable drive's rules apply on the way.
    const auto found = findEntry(relative[0] == '/' ? relative : join(*root, relative));
    if (!found) {
        return std::nullopt;
    }
    const std::string name = nameOf(*found);
    if (name.empty() || name == "." || name == "..") {
        const auto real = posix::realPath(*found);
        return real && onDrive(*real) ? real : std::nullopt;
    }
    // On a removable drive lookup has refused ".." and links on the way. The entry itself is
    // never followed, but a link leading off the drive (or nowhere) is not taken for a file
    // on it.
    const auto realParent = posix::realPath(parentOf(*found));
    if (!realParent || !onDrive(*realParent)) {
        return std::nullopt;
    }
    const std::string path = join(*realParent, name);
    struct stat st {};
    if (!lstatOf(path, st) || st.st_dev != rootStat.st_dev) {
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode)) {
        const auto destination = posix::realPath(path);
        if (!destination || !onDrive(*destination)) {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace tw
