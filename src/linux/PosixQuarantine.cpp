#include "linux/PathText.h"
#include "linux/PosixQuarantine.h"

#include "drive/Sha256.h"
#include "linux/PosixIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tw {

using posix::nameOf;
using posix::parentOf;

namespace {

using posix::Fd;

constexpr const char* manifestName = "manifest";
constexpr const char* manifestNew = "manifest.new";
constexpr const char* lockName = "lock";
constexpr std::size_t chunk = 64 * 1024;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string dataName(const std::string& id) {
    return id + ".bin";
}

std::string partName(const std::string& id) {
    return id + ".part";
}

std::optional<std::size_t> readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

bool lockFile(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

// Creates the folders of path that are missing, each private to the user.
bool makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// The store's folder and its lock, held for one operation.
struct Store {
    Fd folder{-1};
    Fd lock{-1};
};

// Opens the store's folder, creating it first when asked. The folder is never reached
// through a link at its last step, and is made private to the user.
Fd openFolder(const std::string& path, bool create, bool& missing) {
    missing = false;
    if (path.empty() || path[0] != '/' || (create && !makeFolders(path))) {
        return Fd(-1);
    }
    Fd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) {
        missing = errno == ENOENT;
        return folder;
    }
    struct stat st {};
    if (::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        return Fd(-1);
    }
    if ((st.st_mode & 077) != 0) {
        (void)::fchmod(folder.get(), 0700);
    }
    return folder;
}

// Takes the store's lock, waiting for another program that holds it.
Fd lockStore(int folder) {
    Fd lock(::openat(folder, lockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    return lock.get() >= 0 && lockFile(lock.get(), LOCK_EX) ? std::move(lock) : Fd(-1);
}

// The store's folder with its lock held.
std::optional<Store> openStore(const std::string& path, bool create, bool& missing) {
    Store store;
    store.folder = openFolder(path, create, missing);
    if (store.folder.get() < 0) {
        return std::nullopt;
    }
    store.lock = lockStore(store.folder.get());
    if (store.lock.get() < 0) {
        return std::nullopt;
    }
    return store;
}

std::optional<std::string> readManifest(int folder) {
    Fd in(::openat(folder, manifestName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, chunk> buffer{};
    while (const auto n = readSome(in.get(), buffer.data(), buffer.size())) {
        if (*n == 0) {
            return text;
        }
        text.append(buffer.data(), *n);
    }
    return std::nullopt;
}

// A fresh file, flushed, renamed over the manifest, and the folder flushed: the manifest is
// always either the old one or the new one, whole.
bool saveManifest(const Store& store, const std::vector<QuarantineItem>& items) {
    const int folder = store.folder.get();
    const std::string text = encodeManifest(items);
    Fd out(
        ::openat(folder, manifestNew, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        return false;
    }
    const bool written = posix::writeAll(out.get(), text.data(), text.size()) &&
                         ::fsync(out.get()) == 0 && ::close(out.release()) == 0;
    if (!written || ::renameat(folder, manifestNew, folder, manifestName) != 0) {
        (void)::unlinkat(folder, manifestNew, 0);
        return false;
    }
    return ::fsync(folder) == 0;
}

std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    posix::DirStream dir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (const char* name = dir.open() ? dir.next() : nullptr) {
        names.emplace_back(name);
    }
    return names;
}

// The fingerprint of a stored copy, read whole.
std::optional<std::string> fingerprint(int folder, const std::string& name) {
    Fd in(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) {
        return std::nullopt;
    }
    Sha256 sha;
    std::array<char, chunk> buffer{};
    while (const auto n = readSome(in.get(), buffer.data(), buffer.size())) {
        if (*n == 0) {
            return sha.hexDigest();
        }
        sha.update(buffer.data(), *n);
    }
    return std::nullopt;
}

// The manifest's items whose copies are there, and the copies it does not name as items of
// unknown origin. Copies left half-written by a program that ended mid-copy go; a damaged
// manifest is kept aside, and any repair is written back.
std::vector<QuarantineItem> loadItems(const Store& store) {
    const int folder = store.folder.get();
    const auto text = readManifest(folder);
    DecodedManifest manifest = text ? decodeManifest(*text) : DecodedManifest{};
    bool changed = text && manifest.damaged;

    std::vector<std::string> copies;
    for (const std::string& name : namesIn(folder)) {
        if (endsWith(name, ".bin") && isQuarantineId(name.substr(0, name.size() - 4))) {
            copies.push_back(name.substr(0, name.size() - 4));
        } else if (endsWith(name, ".part")) {
            // One still being written is locked by its writer.
            Fd part(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (part.get() >= 0 && ::flock(part.get(), LOCK_EX | LOCK_NB) == 0) {
                (void)::unlinkat(folder, name.c_str(), 0);
            }
        }
    }

    std::vector<QuarantineItem> items;
    for (QuarantineItem& item : manifest.items) {
        if (std::find(copies.begin(), copies.end(), item.id) != copies.end()) {
            items.push_back(std::move(item));
        } else {
            changed = true; // a record without its copy has nothing to restore
        }
    }
    std::vector<QuarantineItem> found;
    for (const std::string& id : copies) {
        const bool known = std::any_of(items.begin(), items.end(),
                                       [&](const QuarantineItem& i) { return i.id == id; });
        struct stat st {};
        if (known || ::fstatat(folder, dataName(id).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode)) {
            continue;
        }
        const auto sha = fingerprint(folder, dataName(id));
        if (!sha) {
            continue;
        }
        QuarantineItem item;
        item.id = id;
        item.time = st.st_mtim.tv_sec;
        item.size = static_cast<std::uint64_t>(st.st_size);
        item.sha256 = *sha;
        item.attributes = attr::archive;
        item.condemnedBy = condemned::unknown;
        found.push_back(std::move(item));
    }
    if (!found.empty()) {
        std::stable_sort(found.begin(), found.end(),
                         [](const auto& a, const auto& b) { return a.time < b.time; });
        items.insert(items.end(), found.begin(), found.end());
        changed = true;
    }

    if (text && manifest.damaged) {
        const std::string aside = "manifest.damaged-" + std::to_string(std::time(nullptr));
        (void)::renameat(folder, manifestName, folder, aside.c_str());
    }
    if (changed) {
        (void)saveManifest(store, items);
    }
    return items;
}

// Letters and digits from the time, and a random tail.
std::string newId() {
    static std::random_device seed;
    static std::mt19937 random(seed());
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char id[40];
    const std::size_t n = std::strftime(id, sizeof id, "%Y%m%d-%H%M%S", &local);
    std::snprintf(id + n, sizeof id - n, "-%04x", static_cast<unsigned>(random() & 0xFFFF));
    return id;
}

// Opens a folder by its absolute path one name at a time, never through a link.
Fd openFolderNoFollow(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return Fd(-1);
    }
    Fd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::size_t start = 1;
    while (current.get() >= 0 && start < path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            return Fd(-1);
        }
        current = Fd(
            ::openat(current.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (current.get() < 0) {
        return current;
    }
    // A descriptor that can be flushed, where the folder may be read.
    Fd readable(::openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return readable.get() >= 0 ? std::move(readable) : std::move(current);
}

} // namespace

PosixQuarantine::PosixQuarantine(std::string folder, FileSystem& fs, std::uint64_t bound)
    : m_folder(std::move(folder)), m_fs(fs), m_bound(bound) {}

std::optional<std::string> PosixQuarantine::defaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/tarnwick/quarantine";
    }
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] == '/') {
        home = env;
    } else if (const passwd* user = ::getpwuid(::geteuid());
               user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') {
        home = user->pw_dir;
    } else {
        return std::nullopt;
    }
    return home + "/.local/share/tarnwick/quarantine";
}

std::optional<std::string> PosixQuarantine::add(const QuarantineFacts& facts, ByteReader& content) {
    if (facts.size > m_bound) {
        return std::nullopt;
    }
    // The copy is made without the lock: another program may use the store meanwhile.
    Store store;
    bool missing = false;
    store.folder = openFolder(m_folder, true, missing);
    const int folder = store.folder.get();
    if (folder < 0) {
        return std::nullopt;
    }
    struct statvfs space {};
    if (::fstatvfs(folder, &space) == 0 &&
        static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize < facts.size) {
        return std::nullopt;
    }

    std::string id;
    Fd part(-1);
    for (int attempt = 0; attempt < 100 && part.get() < 0; ++attempt) {
        id = newId();
        struct stat st {};
        if (::fstatat(folder, dataName(id).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            continue;
        }
        part = Fd(::openat(folder, partName(id).c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (part.get() < 0 && errno != EEXIST) {
            return std::nullopt;
        }
    }
    if (part.get() < 0 || !lockFile(part.get(), LOCK_EX | LOCK_NB)) {
        return std::nullopt;
    }
    const std::string partFile = partName(id);
    const auto fail = [&]() -> std::optional<std::string> {
        (void)::unlinkat(folder, partFile.c_str(), 0);
        return std::nullopt;
    };

    Sha256 sha;
    std::uint64_t copied = 0;
    std::array<char, chunk> buffer{};
    for (;;) {
        const auto n = content.read(buffer.data(), buffer.size());
        if (!n) {
            return fail();
        }
        if (*n == 0) {
            break;
        }
        copied += *n;
        // A file that grows while it is copied is not the file that was judged.
        if (copied > facts.size || !posix::writeAll(part.get(), buffer.data(), *n)) {
            return fail();
        }
        sha.update(buffer.data(), *n);
    }
    if (copied != facts.size || ::fsync(part.get()) != 0) {
        return fail();
    }

    QuarantineItem item;
    static_cast<QuarantineFacts&>(item) = facts;
    item.id = id;
    item.time = std::time(nullptr);
    item.sha256 = sha.hexDigest();

    store.lock = lockStore(folder);
    if (store.lock.get() < 0) {
        return fail();
    }
    std::vector<QuarantineItem> items = loadItems(store);
    const auto evicted = evictionFor(items, facts.size, m_bound);
    if (!evicted) {
        return fail();
    }
    if (::renameat2(folder, partFile.c_str(), folder, dataName(id).c_str(), RENAME_NOREPLACE) !=
        0) {
        return fail();
    }
    std::erase_if(items, [&](const QuarantineItem& i) {
        return std::find(evicted->begin(), evicted->end(), i.id) != evicted->end();
    });
    items.push_back(item);
    if (!saveManifest(store, items)) {
        (void)::unlinkat(folder, dataName(id).c_str(), 0);
        return std::nullopt;
    }
    for (const std::string& old : *evicted) {
        (void)::unlinkat(folder, dataName(old).c_str(), 0);
    }
    (void)::fsync(folder);
    return id;
}

std::optional<std::vector<QuarantineItem>> PosixQuarantine::list() {
    bool missing = false;
    auto store = openStore(m_folder, false, missing);
    if (!store) {
        return missing ? std::optional<std::vector<QuarantineItem>>(std::in_place) : std::nullopt;
    }
    return loadItems(*store);
}

RestoreResult PosixQuarantine::restore(const std::string& id,
                                       const std::optional<std::string>& folder) {
    RestoreResult result;
    result.outcome = RestoreOutcome::unknownId;
    bool missing = false;
    auto store = isQuarantineId(id) ? openStore(m_folder, false, missing) : std::nullopt;
    if (!store) {
        if (isQuarantineId(id) && !missing) {
            result.outcome = RestoreOutcome::failed;
        }
        return result;
    }
    std::vector<QuarantineItem> items = loadItems(*store);
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const QuarantineItem& i) { return i.id == id; });
    if (it == items.end()) {
        return result;
    }
    const QuarantineItem item = *it;

    // Where it goes: its own place, or a folder the user named, links and all, under its
    // own name (a copy of unknown origin under its id).
    std::string where;
    const std::string name = item.originalPath.empty() ? id : nameOf(item.originalPath);
    if (folder) {
        const auto real = posix::realPath(*folder);
        result.path = real ? (*real == "/" ? "/" + name : *real + "/" + name) : *folder;
        if (!real) {
            result.outcome = RestoreOutcome::noFolder;
            return result;
        }
        where = *real;
    } else if (item.originalPath.empty()) {
        result.outcome = RestoreOutcome::noOriginalPath;
        return result;
    } else {
        result.path = item.originalPath;
        where = parentOf(item.originalPath);
    }
    if (name.empty() || name == "." || name == "..") {
        result.outcome = RestoreOutcome::failed;
        return result;
    }

    const Fd target = openFolderNoFollow(where);
    if (target.get() < 0) {
        result.outcome = RestoreOutcome::noFolder;
        return result;
    }
    Fd in(::openat(store->folder.get(), dataName(id).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) {
        result.outcome = RestoreOutcome::damaged;
        return result;
    }
    Fd out(::openat(target.get(), name.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.get() < 0) {
        result.outcome = errno == EEXIST ? RestoreOutcome::exists : RestoreOutcome::failed;
        return result;
    }
    const auto undo = [&](RestoreOutcome outcome) {
        (void)::unlinkat(target.get(), name.c_str(), 0);
        result.outcome = outcome;
        return result;
    };

    Sha256 sha;
    std::uint64_t copied = 0;
    std::array<char, chunk> buffer{};
    for (;;) {
        const auto n = readSome(in.get(), buffer.data(), buffer.size());
        if (!n) {
            return undo(RestoreOutcome::damaged);
        }
        if (*n == 0) {
            break;
        }
        copied += *n;
        if (!posix::writeAll(out.get(), buffer.data(), *n)) {
            return undo(RestoreOutcome::failed);
        }
        sha.update(buffer.data(), *n);
    }
    if (copied != item.size || sha.hexDigest() != item.sha256) {
        return undo(RestoreOutcome::damaged);
    }
    if (::fsync(out.get()) != 0 || ::close(out.release()) != 0) {
        return undo(RestoreOutcome::failed);
    }
    (void)::fsync(target.get());

    (void)m_fs.setAttributes(result.path, item.attributes);
    result.attributesRestored = m_fs.attributes(result.path) == item.attributes;
    result.outcome = RestoreOutcome::restored;

    items.erase(std::find_if(items.begin(), items.end(),
                             [&](const QuarantineItem& i) { return i.id == id; }));
    // Should the manifest not take the change, the copy stays listed: nothing is lost.
    if (saveManifest(*store, items)) {
        (void)::unlinkat(store->folder.get(), dataName(id).c_str(), 0);
        (void)::fsync(store->folder.get());
    }
    return result;
}

bool PosixQuarantine::purge(const std::string& id) {
    bool missing = false;
    auto store = isQuarantineId(id) ? openStore(m_folder, false, missing) : std::nullopt;
    if (!store) {
        return false;
    }
    std::vector<QuarantineItem> items = loadItems(*store);
    const auto removed = std::erase_if(items, [&](const QuarantineItem& i) { return i.id == id; });
    if (removed == 0 || !saveManifest(*store, items)) {
        return false;
    }
    (void)::unlinkat(store->folder.get(), dataName(id).c_str(), 0);
    (void)::fsync(store->folder.get());
    return true;
}

std::optional<std::size_t> PosixQuarantine::purgeAll() {
    bool missing = false;
    auto store = openStore(m_folder, false, missing);
    if (!store) {
        return missing ? std::optional<std::size_t>(0) : std::nullopt;
    }
    const std::vector<QuarantineItem> items = loadItems(*store);
    if (!saveManifest(*store, {})) {
        return std::nullopt;
    }
    for (const QuarantineItem& item : items) {
        (void)::unlinkat(store->folder.get(), dataName(item.id).c_str(), 0);
    }
    (void)::fsync(store->folder.get());
    return items.size();
}

} // namespace tw
