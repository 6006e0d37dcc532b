#include "linux/PathText.h"
#include "linux/PinnedDrive.h"

#include "linux/NtfsAcl.h"
#include "linux/PosixAttributes.h"
#include "linux/PosixFileSystem.h"
#include "linux/TextLineReader.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tw {

using posix::join;
using posix::stripTrailingSeparators;

namespace {

// A listing is reused only when the folder's change time is older than this at the moment
// of listing: a change in the same tick of the file system's clock (two seconds on FAT)
// would leave the change time as it was.
constexpr time_t listingMargin = 2;

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// An entry's status with its mount: a bind mount of a folder of the same file system has the
// same device, so the device alone cannot tell.
std::optional<EntryStatView> statEntry(int folderFd, const char* name, int flags) {
    struct statx sx {};
    if (::statx(folderFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) {
        return std::nullopt;
    }
    EntryStatView e;
    e.st.st_mode = sx.stx_mode;
    e.st.st_ino = sx.stx_ino;
    e.st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    e.st.st_nlink = sx.stx_nlink;
    e.st.st_uid = sx.stx_uid;
    e.st.st_gid = sx.stx_gid;
    e.st.st_size = static_cast<off_t>(sx.stx_size);
    e.st.st_ctim = {sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec};
    e.st.st_mtim = {sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec};
    if ((sx.stx_mask & STATX_MNT_ID) != 0) {
        e.mount = sx.stx_mnt_id;
    }
    return e;
}

} // namespace

EntryKind posix::kindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) {
        return EntryKind::folder;
    }
    if (S_ISREG(mode)) {
        return EntryKind::file;
    }
    return S_ISLNK(mode) ? EntryKind::link : EntryKind::other;
}

std::optional<std::string> posix::readLinkAt(int folderFd, const std::string& name,
                                             std::size_t sizeHint) {
    // The status may be stale or say 0 (some file systems): grow until the text fits.
    std::string text(std::max<std::size_t>(sizeHint, 64) + 1, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t n = ::readlinkat(folderFd, name.c_str(), text.data(), text.size());
        if (n < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < text.size()) {
            text.resize(static_cast<std::size_t>(n));
            return text;
        }
        text.resize(text.size() * 2);
    }
    return std::nullopt;
}

PinnedDrive::PinnedDrive(FileSystem& outside, std::string root, posix::Fd rootFd,
                         std::optional<posix::FolderVolume> volume)
    : m_outside(outside), m_root(stripTrailingSeparators(std::move(root))),
      m_rootFd(std::move(rootFd)), m_volume(std::move(volume)) {
    const auto top =
        m_rootFd.get() >= 0 ? statEntry(m_rootFd.get(), "", AT_EMPTY_PATH) : std::nullopt;
    struct statfs sf {};
    if (top && ::fstatfs(m_rootFd.get(), &sf) == 0) {
        m_magic = static_cast<unsigned long>(sf.f_type);
    }
    if (top) {
        m_dev = top->st.st_dev;
        m_mount = top->mount;
    } else {
        m_rootFd = posix::Fd(-1);
    }
}

std::optional<std::vector<std::string>> PinnedDrive::partsOf(const std::string& rawPath) const {
    const std::string path = stripTrailingSeparators(rawPath);
    std::size_t pos = 0;
    if (m_root == "/") {
        if (path.empty() || path[0] != '/') {
            return std::nullopt;
        }
    } else {
        if (path.compare(0, m_root.size(), m_root) != 0 ||
            (path.size() > m_root.size() && path[m_root.size()] != '/')) {
            return std::nullopt;
        }
        pos = m_root.size();
    }
    std::vector<std::string> parts;
    while (pos < path.size()) {
        auto next = path.find('/', pos);
        if (next == std::string::npos) {
            next = path.size();
        }
        std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
    }
    return parts;
}

int PinnedDrive::openBeneath(int folderFd, const std::string& name, int flags) const {
    static bool haveOpenat2 = true;
    if (name.empty() || name == ".." || name.find('/') != std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    if (haveOpenat2) {
        open_how how{};
        how.flags = static_cast<unsigned int>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.resolve =
            RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, folderFd, name.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS) {
            return static_cast<int>(fd);
        }
        haveOpenat2 = false;
    }
    // Older kernels: one name, no link, and the device compared by hand.
    posix::Fd fd(::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
    const auto st = fd.get() >= 0 ? statEntry(fd.get(), "", AT_EMPTY_PATH) : std::nullopt;
    if (!st) {
        return -1;
    }
    if (!onDrive(*st)) {
        errno = EXDEV;
        return -1;
    }
    return fd.release();
}

namespace {

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// An ASCII name folds to its upper case.
bool asciiFoldsTo(const std::string& name, const std::u32string& key) {
    if (name.size() != key.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c =
            name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
        if (static_cast<char32_t>(static_cast<unsigned char>(c)) != key[i]) {
            return false;
        }
    }
    return true;
}

// One pass over the folder for the first name (in byte order) that folds to key.
std::optional<std::string> streamMatch(posix::DirStream& dir, const std::u32string& key,
                                       bool& unreadable) {
    std::optional<std::string> match;
    bool error = false;
    while (const char* entry = dir.next(error)) {
        const std::string candidate = entry;
        const bool equal =
            isAscii(candidate) ? asciiFoldsTo(candidate, key) : foldCase(candidate) == key;
        if (equal && (!match || candidate < *match)) {
            match = candidate;
        }
    }
    if (error) {
        return std::nullopt;
    }
    unreadable = false;
    return match;
}

} // namespace

std::optional<std::string> PinnedDrive::matchIgnoringCase(int folderFd, const std::string& name,
                                                          bool& unreadable) {
    unreadable = true;
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0) {
        return std::nullopt;
    }
    const std::u32string key = foldCase(name);
    const auto cached = m_listings.find(folder.st_ino);
    if (cached != m_listings.end() && sameTime(cached->second.changed, folder.st_ctim)) {
        unreadable = false;
        const auto hit = cached->second.byFolded.find(key);
        return hit == cached->second.byFolded.end() ? std::nullopt
                                                    : std::optional<std::string>(hit->second);
    }
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    posix::DirStream dir(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.open()) {
        return std::nullopt;
    }
    const bool reused = now.tv_sec - folder.st_ctim.tv_sec >= listingMargin;
    // A single lookup in a folder reads it without keeping an index of every name.
    const auto probed = m_probed.find(folder.st_ino);
    if (!reused || probed == m_probed.end() || !sameTime(probed->second, folder.st_ctim)) {
        if (reused) {
            m_probed[folder.st_ino] = folder.st_ctim;
        }
        return streamMatch(dir, key, unreadable);
    }
    m_probed.erase(probed);
    Listing listing;
    listing.changed = folder.st_ctim;
    bool error = false;
    while (const char* entry = dir.next(error)) {
        const std::string candidate = entry;
        auto [it, added] = listing.byFolded.try_emplace(foldCase(candidate), candidate);
        // Where a case-sensitive file system holds several, the first in byte order.
        if (!added && candidate < it->second) {
            it->second = candidate;
        }
    }
    if (error) {
        return std::nullopt;
    }
    unreadable = false;
    const auto hit = listing.byFolded.find(key);
    std::optional<std::string> match =
        hit == listing.byFolded.end() ? std::nullopt : std::optional<std::string>(hit->second);
    m_listings[folder.st_ino] = std::move(listing);
    return match;
}

std::optional<std::string> PinnedDrive::nameIn(int folderFd, const std::string& name,
                                               struct stat& st, bool& foreign, Presence* miss) {
    Presence why = Presence::unknown;
    const auto missed = [&]() -> std::optional<std::string> {
        if (miss != nullptr) {
            *miss = why;
        }
        return std::nullopt;
    };
    if (name == "..") {
        return missed();
    }
    if (const auto exact = statEntry(folderFd, name.c_str(), 0)) {
        st = exact->st;
        foreign = !onDrive(*exact);
        return name;
    }
    if (errno != ENOENT) {
        return missed();
    }
    if (m_volume && kernelMatchesIgnoringCase(*m_volume, name)) {
        why = Presence::absent;
        return missed();
    }
    bool unreadable = true;
    auto match = matchIgnoringCase(folderFd, name, unreadable);
    if (!match) {
        why = unreadable ? Presence::unknown : Presence::absent;
        return missed();
    }
    const auto matched = statEntry(folderFd, match->c_str(), 0);
    if (!matched) {
        return missed();
    }
    st = matched->st;
    foreign = !onDrive(*matched);
    return match;
}

std::optional<PinnedDrive::Found> PinnedDrive::find(const std::vector<std::string>& parts) {
    if (m_rootFd.get() < 0) {
        return std::nullopt;
    }
    Found found;
    found.folderFd = m_rootFd.get();
    found.path = m_root;
    if (parts.empty()) {
        // A root folder removed from its file system is no drive any more.
        if (::fstat(m_rootFd.get(), &found.st) != 0 || found.st.st_nlink == 0) {
            return std::nullopt;
        }
        return found;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        struct stat st {};
        bool foreign = false;
        auto name = nameIn(found.folderFd, parts[i], st, foreign);
        // Something mounted inside the drive is not part of it.
        if (!name || foreign) {
            return std::nullopt;
        }
        found.path = join(found.path, *name);
        if (i + 1 == parts.size()) {
            found.name = std::move(*name);
            found.st = st;
            return found;
        }
        if (!S_ISDIR(st.st_mode)) {
            return std::nullopt;
        }
        posix::Fd next(openBeneath(found.folderFd, *name, O_PATH | O_DIRECTORY));
        if (next.get() < 0) {
            return std::nullopt;
        }
        found.folderFd = next.get();
        found.folder = std::move(next);
    }
    return std::nullopt;
}

std::optional<PinnedDrive::Found> PinnedDrive::findOnDrive(const std::string& path) {
    const auto parts = partsOf(path);
    return parts ? find(*parts) : std::nullopt;
}

PinnedDrive::Held PinnedDrive::openEntry(const Found& found) const {
    // Open for reading where that is harmless (a file or folder) and allowed: the calls on
    // it are then direct. A device or fifo is never opened, only held.
    const bool plain = S_ISREG(found.st.st_mode) || S_ISDIR(found.st.st_mode);
    const int readable = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    posix::Fd fd(-1);
    if (plain) {
        fd = posix::Fd(found.isRoot() ? ::openat(m_rootFd.get(), ".", readable | O_CLOEXEC)
                                      : openBeneath(found.folderFd, found.name, readable));
    }
    const bool pathOnly = fd.get() < 0;
    if (pathOnly) {
        fd = posix::Fd(found.isRoot() ? ::openat(m_rootFd.get(), ".", O_PATH | O_CLOEXEC)
                                      : openBeneath(found.folderFd, found.name, O_PATH));
    }
    const auto st = fd.get() >= 0 ? statEntry(fd.get(), "", AT_EMPTY_PATH) : std::nullopt;
    // The name may have been given to another entry since it was looked up.
    if (!st || st->st.st_ino != found.st.st_ino || !onDrive(*st)) {
        return Held{posix::Fd(-1), {}};
    }
    const int held = fd.get();
    return Held{std::move(fd), posix::HeldEntry{held, pathOnly, m_magic}};
}

bool PinnedDrive::onDrive(const EntryStatView& e) const {
    return e.st.st_dev == m_dev && (!m_mount || !e.mount || *e.mount == *m_mount);
}

bool PinnedDrive::isReady(const Drive& drive) {
    if (stripTrailingSeparators(drive.path) != m_root) {
        return m_outside.isReady(drive);
    }
    if (!find({})) {
        return false;
    }
    posix::DirStream dir(::openat(m_rootFd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    bool error = false;
    return dir.open() && (dir.next(error) != nullptr || !error);
}

bool PinnedDrive::fileExists(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.fileExists(path);
    }
    const auto found = findOnDrive(path);
    return found && !found->isRoot() && !S_ISDIR(found->st.st_mode);
}

bool PinnedDrive::folderExists(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.folderExists(path);
    }
    const auto found = findOnDrive(path);
    return found && S_ISDIR(found->st.st_mode);
}

bool PinnedDrive::answers(int folderFd) {
    struct stat st {};
    return folderFd >= 0 && ::fstat(folderFd, &st) == 0 && st.st_nlink > 0;
}

Presence PinnedDrive::lookup(const std::string& path) {
    const auto parts = partsOf(path);
    if (!parts) {
        return m_outside.lookup(path);
    }
    if (!answers(m_rootFd.get())) {
        return Presence::unknown;
    }
    int folderFd = m_rootFd.get();
    posix::Fd held(-1);
    for (std::size_t i = 0; i < parts->size(); ++i) {
        const std::string& part = (*parts)[i];
        if (part == "..") {
            return Presence::unknown;
        }
        struct stat st {};
        bool foreign = false;
        Presence miss = Presence::unknown;
        const auto name = nameIn(folderFd, part, st, foreign, &miss);
        if (!name) {
            // A miss counts only where the folder, and the drive, still answer afterwards: a
            // folder taken off its volume says ENOENT to every name.
            return miss == Presence::absent && answers(folderFd) && answers(m_rootFd.get())
                       ? Presence::absent
                       : Presence::unknown;
        }
        if (foreign) {
            return Presence::unknown; // what lies below a mount inside the drive is hidden
        }
        const bool last = i + 1 == parts->size();
        if (last) {
            return S_ISDIR(st.st_mode) ? Presence::folder : Presence::file;
        }
        if (!S_ISDIR(st.st_mode)) {
            return Presence::absent; // no name can lie below a file
        }
        posix::Fd next(openBeneath(folderFd, *name, O_PATH | O_DIRECTORY));
        if (next.get() < 0) {
            return Presence::unknown;
        }
        folderFd = next.get();
        held = std::move(next);
    }
    return Presence::folder; // the root itself
}

std::optional<EntryKind> PinnedDrive::kindOf(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.kindOf(path);
    }
    const auto found = findOnDrive(path);
    if (!found) {
        return std::nullopt;
    }
    return posix::kindOfMode(found->st.st_mode);
}

std::optional<std::string> PinnedDrive::readLink(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.readLink(path);
    }
    const auto found = findOnDrive(path);
    if (!found || found->isRoot() || !S_ISLNK(found->st.st_mode)) {
        return std::nullopt;
    }
    return posix::readLinkAt(found->folderFd, found->name,
                             static_cast<std::size_t>(found->st.st_size));
}

std::optional<PinnedDrive::FolderToList> PinnedDrive::openFolderToList(const std::string& path) {
    const auto found = findOnDrive(path);
    if (!found || !S_ISDIR(found->st.st_mode)) {
        return std::nullopt;
    }
    return FolderToList{found->path,
                        found->isRoot()
                            ? ::openat(m_rootFd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                            : openBeneath(found->folderFd, found->name, O_RDONLY | O_DIRECTORY)};
}

std::optional<std::vector<Entry>> PinnedDrive::children(const std::string& folder, bool folders) {
    const auto found = openFolderToList(folder);
    if (!found) {
        return std::nullopt;
    }
    posix::DirStream dir(found->fd);
    if (!dir.open()) {
        return std::nullopt;
    }
    std::vector<Entry> entries;
    bool error = false;
    while (const char* name = dir.next(error)) {
        const auto entry = statEntry(dir.fd(), name, 0);
        if (!entry || !onDrive(*entry)) {
            continue;
        }
        if (S_ISDIR(entry->st.st_mode) == folders) {
            entries.push_back(Entry{join(found->path, name), name});
        }
    }
    if (error) {
        return std::nullopt;
    }
    return entries;
}

std::optional<std::vector<Entry>> PinnedDrive::subFolders(const std::string& folder) {
    return partsOf(folder) ? children(folder, true) : m_outside.subFolders(folder);
}

std::optional<std::vector<Entry>> PinnedDrive::files(const std::string& folder) {
    return partsOf(folder) ? children(folder, false) : m_outside.files(folder);
}

std::optional<std::uint32_t> PinnedDrive::attributes(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.attributes(path);
    }
    const auto found = findOnDrive(path);
    if (!found) {
        return std::nullopt;
    }
    if (S_ISLNK(found->st.st_mode)) {
        return attr::archive; // never followed
    }
    const Held held = openEntry(*found);
    if (held.fd.get() < 0) {
        return std::nullopt;
    }
    return posix::readAttributes(held.entry, found->st);
}

bool PinnedDrive::setAttributes(const std::string& path, std::uint32_t value) {
    if (!partsOf(path)) {
        return m_outside.setAttributes(path, value);
    }
    const auto found = findOnDrive(path);
    if (!found || S_ISLNK(found->st.st_mode)) {
        return false;
    }
    const Held held = openEntry(*found);
    return held.fd.get() >= 0 && posix::writeAttributes(held.entry, found->st, value);
}

bool PinnedDrive::deleteFile(const std::string& path, bool force) {
    if (!partsOf(path)) {
        return m_outside.deleteFile(path, force);
    }
    const auto found = findOnDrive(path);
    if (!found || found->isRoot() || S_ISDIR(found->st.st_mode)) {
        return false;
    }
    if (!force && !S_ISLNK(found->st.st_mode)) {
        const auto value = attributes(path);
        if (!value || (*value & attr::readOnly) != 0) {
            return false;
        }
    }
    return ::unlinkat(found->folderFd, found->name.c_str(), 0) == 0;
}

// No drive action copies or writes text files on its drive: refused rather than done
// through a path.
bool PinnedDrive::copyFile(const std::string& source, const std::string& destination,
                           bool overwrite) {
    if (partsOf(source) || partsOf(destination)) {
        return false;
    }
    return m_outside.copyFile(source, destination, overwrite);
}

bool PinnedDrive::writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    return !partsOf(path) && m_outside.writeTextLines(path, lines);
}

bool PinnedDrive::mkDir(const std::string& path) {
    const auto parts = partsOf(path);
    if (!parts) {
        return m_outside.mkDir(path);
    }
    if (parts->empty()) {
        return false;
    }
    std::vector<std::string> parentParts(parts->begin(), parts->end() - 1);
    const std::string& name = parts->back();
    auto parent = find(parentParts);
    if (!parent || !S_ISDIR(parent->st.st_mode) || name == "..") {
        return false;
    }
    posix::Fd folder(parent->isRoot()
                         ? ::openat(m_rootFd.get(), ".", O_PATH | O_CLOEXEC)
                         : openBeneath(parent->folderFd, parent->name, O_PATH | O_DIRECTORY));
    struct stat st {};
    bool foreign = false;
    if (folder.get() < 0 || nameIn(folder.get(), name, st, foreign)) {
        return false; // the name (in any case) is taken
    }
    return ::mkdirat(folder.get(), name.c_str(), 0777) == 0;
}

std::optional<std::uint64_t> PinnedDrive::fileLen(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.fileLen(path);
    }
    const auto found = findOnDrive(path);
    if (!found || S_ISDIR(found->st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(found->st.st_size);
}

std::unique_ptr<LineReader> PinnedDrive::openText(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.openText(path);
    }
    const auto found = findOnDrive(path);
    if (!found || !S_ISREG(found->st.st_mode)) {
        return nullptr;
    }
    return posix::textLineReaderOf(
        openBeneath(found->folderFd, found->name, O_RDONLY | O_NONBLOCK));
}

std::unique_ptr<ByteReader> PinnedDrive::openRead(const std::string& path) {
    if (!partsOf(path)) {
        return m_outside.openRead(path);
    }
    const auto found = findOnDrive(path);
    if (!found || !S_ISREG(found->st.st_mode)) {
        return nullptr;
    }
    posix::Fd fd(openBeneath(found->folderFd, found->name, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    return posix::byteReaderOf(std::move(fd));
}

bool PinnedDrive::denyEveryone(const std::string& folder) {
    return onHeldFolder(
        folder, [&](const std::string& held) { return posix::writeDenyEveryone(held); },
        [&] { return m_outside.denyEveryone(folder); });
}

bool PinnedDrive::deniesEveryone(const std::string& folder) {
    return onHeldFolder(
        folder, [&](const std::string& held) { return posix::readsDenyEveryone(held); },
        [&] { return m_outside.deniesEveryone(folder); });
}

bool PinnedDrive::onHeldFolder(const std::string& folder,
                               const std::function<bool(const std::string&)>& onDriveCall,
                               const std::function<bool()>& elsewhere) {
    if (!partsOf(folder)) {
        return elsewhere();
    }
    const auto found = findOnDrive(folder);
    if (!found || !S_ISDIR(found->st.st_mode)) {
        return false;
    }
    // The access list is reached through the descriptor's own /proc link, never a path.
    const Held held = openEntry(*found);
    return held.fd.get() >= 0 && onDriveCall("/proc/self/fd/" + std::to_string(held.fd.get()));
}

std::optional<std::string> PinnedDrive::resolveOnDrive(const std::string& driveRoot,
                                                       const std::string& target) {
    if (stripTrailingSeparators(driveRoot) != m_root) {
        return m_outside.resolveOnDrive(driveRoot, target);
    }
    // A NUL would cut the name short at the system call.
    if (target.empty() || target.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    // Names written on Windows separate folders with backslashes.
    std::string relative = target;
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    const auto parts = partsOf(relative[0] == '/' ? relative : join(m_root, relative));
    if (!parts) {
        return std::nullopt;
    }
    for (const std::string& part : *parts) {
        if (part == "..") {
            return std::nullopt;
        }
    }
    // A link is never followed: what it leads to is not taken for a file of the drive.
    const auto found = find(*parts);
    if (!found || S_ISLNK(found->st.st_mode)) {
        return std::nullopt;
    }
    return found->path;
}

} // namespace tw
