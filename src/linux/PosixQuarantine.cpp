#include "linux/PosixQuarantine.h"

#include "linux/PosixIo.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tw {

namespace {

using posix::Fd;

constexpr const char* lockName = "lock";

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

// A regular file of folder opened to read, never through a link and never waiting on a FIFO.
Fd openRegular(int folder, const std::string& name, int flags) {
    Fd fd(::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fd(-1);
    }
    return fd;
}

// A file being written in a folder held open; it goes unless kept.
class PosixWriter final : public FileWriter {
public:
    PosixWriter(Fd folder, std::string name, Fd file)
        : m_folder(std::move(folder)), m_name(std::move(name)), m_file(std::move(file)) {}
    ~PosixWriter() override {
        if (!m_kept) {
            m_file = Fd(-1);
            (void)::unlinkat(m_folder.get(), m_name.c_str(), 0);
        }
    }
    PosixWriter(const PosixWriter&) = delete;
    PosixWriter& operator=(const PosixWriter&) = delete;

    bool write(const char* data, std::size_t size) override {
        return posix::writeAll(m_file.get(), data, size);
    }
    bool flush() override { return ::fsync(m_file.get()) == 0; }
    bool keep() override {
        m_kept = true;
        return ::close(m_file.release()) == 0 && ::fsync(m_folder.get()) == 0;
    }

private:
    Fd m_folder;
    std::string m_name;
    Fd m_file;
    bool m_kept = false;
};

class PosixStoreFolder final : public StoreFolder {
public:
    explicit PosixStoreFolder(Fd folder) : m_folder(std::move(folder)) {}

    bool lock() override {
        for (int attempt = 0; attempt < 2; ++attempt) {
            Fd lock(::openat(m_folder.get(), lockName,
                             O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
            struct stat st {};
            if (lock.get() >= 0 && ::fstat(lock.get(), &st) == 0 && S_ISREG(st.st_mode)) {
                m_lock = std::move(lock);
                return lockFile(m_lock.get(), LOCK_EX);
            }
            // Anything else in its place (a FIFO, a link, a folder) is not ours: it goes.
            if (!remove(lockName)) {
                return false;
            }
        }
        return false;
    }

    std::unique_ptr<FileWriter> create(const std::string& name) override {
        Fd file(::openat(m_folder.get(), name.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.get() < 0) {
            return nullptr;
        }
        // Locked while it is written: another program then leaves it alone.
        (void)lockFile(file.get(), LOCK_EX | LOCK_NB);
        Fd folder(::fcntl(m_folder.get(), F_DUPFD_CLOEXEC, 0));
        if (folder.get() < 0) {
            (void)::unlinkat(m_folder.get(), name.c_str(), 0);
            return nullptr;
        }
        return std::make_unique<PosixWriter>(std::move(folder), name, std::move(file));
    }

    std::unique_ptr<ByteReader> read(const std::string& name) override {
        Fd fd = openRegular(m_folder.get(), name, O_RDONLY);
        return fd.get() >= 0 ? posix::byteReaderOf(std::move(fd)) : nullptr;
    }

    bool rename(const std::string& from, const std::string& to, bool replace) override {
        return ::renameat2(m_folder.get(), from.c_str(), m_folder.get(), to.c_str(),
                           replace ? 0 : RENAME_NOREPLACE) == 0 &&
               ::fsync(m_folder.get()) == 0;
    }

    bool remove(const std::string& name) override {
        const int folder = m_folder.get();
        return ::unlinkat(folder, name.c_str(), 0) == 0 ||
               (errno == EISDIR && ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0);
    }

    void removeLeftover(const std::string& name) override {
        // One still being written is locked by its writer.
        const Fd part = openRegular(m_folder.get(), name, O_RDONLY);
        if (part.get() >= 0 && ::flock(part.get(), LOCK_EX | LOCK_NB) == 0) {
            (void)::unlinkat(m_folder.get(), name.c_str(), 0);
        }
    }

    std::optional<std::vector<StoredEntry>> list() override {
        posix::DirStream dir(::openat(m_folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir.open()) {
            return std::nullopt;
        }
        std::vector<StoredEntry> entries;
        bool error = false;
        while (const char* name = dir.next(error)) {
            struct stat st {};
            if (::fstatat(m_folder.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue; // gone meanwhile
            }
            StoredEntry entry;
            entry.name = name;
            entry.kind = S_ISREG(st.st_mode)   ? EntryKind::file
                         : S_ISDIR(st.st_mode) ? EntryKind::folder
                         : S_ISLNK(st.st_mode) ? EntryKind::link
                                               : EntryKind::other;
            entry.size = static_cast<std::uint64_t>(st.st_size);
            entry.time = st.st_mtim.tv_sec;
            entries.push_back(std::move(entry));
        }
        return error ? std::nullopt : std::optional(std::move(entries));
    }

    std::optional<std::uint64_t> freeSpace() override {
        struct statvfs space {};
        if (::fstatvfs(m_folder.get(), &space) != 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
    }

private:
    Fd m_folder;
    Fd m_lock{-1};
};

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

// The block device a mounted file system lives on: the source the mount table names (a
// FUSE file system such as ntfs-3g names its device there), else the file system's own.
dev_t blockDeviceOf(dev_t fsDevice) {
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string wanted =
        std::to_string(major(fsDevice)) + ":" + std::to_string(minor(fsDevice));
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id;
        std::string parent;
        std::string numbers;
        fields >> id >> parent >> numbers;
        const auto dash = line.find(" - ");
        if (numbers != wanted || dash == std::string::npos) {
            continue;
        }
        std::istringstream tail(line.substr(dash + 3));
        std::string type;
        std::string source;
        tail >> type >> source;
        struct stat st {};
        if (!source.empty() && source[0] == '/' && ::stat(source.c_str(), &st) == 0 &&
            S_ISBLK(st.st_mode)) {
            return st.st_rdev;
        }
        break;
    }
    return fsDevice;
}

// The UUID udev names the block device by; empty when it names none.
std::string uuidOf(dev_t device) {
    const std::string folder = "/dev/disk/by-uuid";
    posix::DirStream dir(folder);
    while (const char* name = dir.open() ? dir.next() : nullptr) {
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            st.st_rdev == device) {
            return name;
        }
    }
    return {};
}

} // namespace

std::unique_ptr<StoreFolder> PosixQuarantinePlatform::openStore(bool create, bool& missing) {
    missing = false;
    const std::string& path = m_folder;
    if (path.empty() || path[0] != '/' || (create && !makeFolders(path))) {
        return nullptr;
    }
    Fd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) {
        missing = errno == ENOENT;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        return nullptr;
    }
    if ((st.st_mode & 077) != 0) {
        (void)::fchmod(folder.get(), 0700);
    }
    return std::make_unique<PosixStoreFolder>(std::move(folder));
}

std::optional<std::string> PosixQuarantinePlatform::volumeIdentity(const std::string& root) {
    struct stat st {};
    if (root.empty() || ::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    const dev_t device = blockDeviceOf(st.st_dev);
    const std::string uuid = uuidOf(device);
    const std::string volume = !uuid.empty() ? "uuid:" + uuid
                                             : "dev:" + std::to_string(major(st.st_dev)) + ":" +
                                                   std::to_string(minor(st.st_dev));
    return volume + "/" + std::to_string(st.st_ino);
}

std::optional<std::string> PosixQuarantinePlatform::realFolder(const std::string& folder) {
    const auto real = posix::realPath(folder);
    struct stat st {};
    if (!real || ::stat(real->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return real;
}

std::unique_ptr<FileWriter> PosixQuarantinePlatform::createOutside(const std::string& folder,
                                                                   const std::string& name,
                                                                   PlaceOutcome& outcome) {
    Fd target = openFolderNoFollow(folder);
    if (target.get() < 0) {
        outcome = PlaceOutcome::noFolder;
        return nullptr;
    }
    Fd file(::openat(target.get(), name.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        outcome = errno == EEXIST ? PlaceOutcome::exists : PlaceOutcome::failed;
        return nullptr;
    }
    outcome = PlaceOutcome::placed;
    return std::make_unique<PosixWriter>(std::move(target), name, std::move(file));
}

PlaceOutcome PosixQuarantinePlatform::createLink(const std::string& folder, const std::string& name,
                                                 const std::string& text) {
    if (text.empty() || text.find('\0') != std::string::npos) {
        return PlaceOutcome::failed;
    }
    const Fd target = openFolderNoFollow(folder);
    if (target.get() < 0) {
        return PlaceOutcome::noFolder;
    }
    if (::symlinkat(text.c_str(), target.get(), name.c_str()) != 0) {
        return errno == EEXIST ? PlaceOutcome::exists : PlaceOutcome::failed;
    }
    (void)::fsync(target.get());
    return PlaceOutcome::placed;
}

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

} // namespace tw
