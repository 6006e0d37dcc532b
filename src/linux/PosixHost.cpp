#include "linux/PosixHost.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

namespace tw {

namespace {

// True for a folder (never a link) of this user's that nobody else can enter.
bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// Creates the folder (one level) private to this user, or takes it as it is; true only
// when it is then a private folder of ours.
bool makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return isPrivateFolder(path);
}

// The user's home folder: HOME when it is absolute, else the account's.
std::optional<std::string> homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::string(home);
    }
    if (const passwd* user = ::getpwuid(::geteuid());
        user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') {
        return std::string(user->pw_dir);
    }
    return std::nullopt;
}

// An environment variable that names a folder counts only when it is absolute: a relative
// one would point wherever the program happens to be started.
std::optional<std::string> absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    std::string folder = value;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::optional<sockaddr_un> socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Runs a program with its output read into a string, given at most this many milliseconds
// in all (then it is killed): a settings daemon that hangs must not hold the window for
// long. Nothing unless it ran and exited with status 0.
std::optional<std::string> outputOf(const std::vector<std::string>& arguments, int milliseconds) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), ::environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    std::string text;
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    bool complete = false;
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long spent =
            (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000;
        if (spent >= milliseconds || text.size() > 65536) {
            break;
        }
        pollfd readable{out[0], POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(milliseconds - spent)) < 0 && errno != EINTR) {
            break;
        }
        char buffer[512];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n == 0) {
            complete = true;
            break;
        }
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    ::close(out[0]);
    if (!complete) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return text;
}

} // namespace

std::optional<std::string> userDataFolder() {
    if (auto data = absoluteEnv("XDG_DATA_HOME")) {
        return data;
    }
    const auto home = homeFolder();
    return home ? std::optional(*home + "/.local/share") : std::nullopt;
}

std::optional<std::vector<SystemSetting>> PosixHost::systemSettings() {
    // The keys and the values system immunization gives them, as the script sets them.
    const struct {
        const char* key;
        const char* off;
    } keys[] = {{"autorun-never", "true"}, {"automount-open", "false"}};
    std::vector<SystemSetting> settings;
    for (const auto& key : keys) {
        auto value =
            outputOf({"gsettings", "get", "org.gnome.desktop.media-handling", key.key}, 5000);
        if (!value) {
            return std::nullopt;
        }
        while (!value->empty() && (value->back() == '\n' || value->back() == ' ')) {
            value->pop_back();
        }
        settings.push_back({key.key, *value, key.off, true});
    }
    return settings;
}

UndoRecordFile PosixHost::readUndoRecord() {
    using State = UndoRecordFile::State;
    const auto data = userDataFolder();
    if (!data) {
        return {};
    }
    const std::string path = *data + "/tarnwick/systemset.undo";
    // Judged before it is opened (a pipe or a device is never opened), and again on the
    // descriptor, never through a link; too large is refused by its size, unread.
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
        return {errno == ENOENT || errno == ENOTDIR ? State::absent : State::unreadable, {}};
    }
    if (!S_ISREG(named.st_mode) || named.st_size > static_cast<off_t>(maxUndoRecordSize)) {
        return {State::refused, {}};
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {errno == ELOOP ? State::refused : State::unreadable, {}};
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_ino != named.st_ino ||
        opened.st_size > static_cast<off_t>(maxUndoRecordSize)) {
        ::close(fd);
        return {State::refused, {}};
    }
    std::string text(maxUndoRecordSize + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return {};
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > maxUndoRecordSize) {
        return {State::refused, {}}; // it grew while being read
    }
    text.resize(got);
    return {State::text, std::move(text)};
}

PosixHost::PosixHost() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "tarnwick";
    const auto slash = exe.find_last_of('/');
    m_folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : exe.substr(0, slash));
    m_name = slash == std::string::npos ? exe : exe.substr(slash + 1);
    const auto dot = m_name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        m_name.resize(dot);
    }
}

PosixHost::~PosixHost() {
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

std::string PosixHost::tempFolder() const {
    // Never empty and never relative: a relative TMPDIR ("-tmp") would reach the shell as
    // an option and the files would land wherever the program was started.
    return absoluteEnv("TMPDIR").value_or("/tmp");
}

bool startDetached(const std::string& program, const std::vector<std::string>& arguments) {
    // Built before the fork: the child only calls what is safe there.
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return false;
    }
    if (child == 0) {
        // Either child writes errno to the pipe when it fails; a successful exec closes it.
        const auto fail = [&ready] {
            const int error = errno;
            (void)!::write(ready[1], &error, sizeof error);
            ::_exit(127);
        };
        // Double fork: the grandchild is nobody's zombie and has no terminal.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            fail();
        }
        if (grandchild > 0) {
            ::_exit(0);
        }
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execvp(program.c_str(), const_cast<char* const*>(argv.data()));
        fail();
    }
    ::close(ready[1]);
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(ready[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(ready[0]);
    // Where SIGCHLD is ignored the kernel reaps the child itself and only the pipe tells.
    const bool childFailed = waited == child && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return n == 0 && !childFailed; // the pipe closed on a successful exec
}

bool PosixHost::startScript(const std::string& path, const std::vector<std::string>& arguments) {
    if (path.empty() || path.front() != '/' || ::access(path.c_str(), R_OK) != 0) {
        return false;
    }
    // After "--" the shell takes the next word as the script, whatever it starts with.
    std::vector<std::string> all{"--", path};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return startDetached("/bin/sh", all);
}

// Linux has no interpreter for Windows batch files, and the shell must never read one:
// their lines hold the drive path unquoted, and here that path is a mount point named
// after the volume label, which anyone who formats a stick chooses.
bool PosixHost::startBatchFile(const std::string&) {
    return false;
}

std::string PosixHost::reportFolder() const {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/tarnwick/reports";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/tarnwick/reports";
    }
    return {};
}

void PosixHost::openUrl(const std::string& url) {
    (void)startDetached("xdg-open", {url});
}

std::optional<std::string> PosixHost::runtimeFolder() const {
    // XDG_RUNTIME_DIR only as the XDG base-directory rules describe it: absolute, ours, private.
    if (const auto runtime = absoluteEnv("XDG_RUNTIME_DIR"); runtime && isPrivateFolder(*runtime)) {
        return runtime;
    }
    // Else a private folder in the user's own cache, never a shared one such as /tmp, where
    // another user could create the lock first.
    std::optional<std::string> cache = absoluteEnv("XDG_CACHE_HOME");
    if (!cache) {
        const auto home = homeFolder();
        if (!home) {
            return std::nullopt;
        }
        cache = *home + "/.cache";
        if (::mkdir(cache->c_str(), 0700) != 0 && errno != EEXIST) {
            return std::nullopt;
        }
    }
    const std::string folder = *cache + "/tarnwick-runtime";
    if (!makePrivateFolder(folder)) {
        return std::nullopt;
    }
    return folder;
}

bool PosixHost::previousInstance() {
    if (m_lockFd < 0) {
        const auto folder = runtimeFolder();
        if (!folder) {
            return false; // cannot tell; let this copy run
        }
        const std::string lockPath = *folder + "/tarnwick-" + std::to_string(::getuid()) + ".lock";
        constexpr int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
        // Only our own regular file speaks for a copy of ours. The folder is private, so
        // anything else there (a link, a pipe, a folder) is replaced by one.
        for (int attempt = 0; attempt < 2 && m_lockFd < 0; ++attempt) {
            m_lockFd = ::open(lockPath.c_str(), attempt == 0 ? flags : flags | O_EXCL, 0600);
            struct stat info {};
            if (m_lockFd >= 0 && ::fstat(m_lockFd, &info) == 0 && S_ISREG(info.st_mode) &&
                info.st_uid == ::getuid()) {
                break;
            }
            if (m_lockFd >= 0) {
                ::close(m_lockFd);
                m_lockFd = -1;
            }
            if (::unlink(lockPath.c_str()) != 0) {
                ::rmdir(lockPath.c_str());
            }
        }
        if (m_lockFd < 0) {
            return false; // cannot tell; let this copy run
        }
    }
    // The lock is held until the process ends; the kernel drops it even after a crash.
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    listenForActivation();
    return false;
}

void PosixHost::listenForActivation() {
    const auto runtime = runtimeFolder();
    if (m_listenFd >= 0 || !runtime) {
        return;
    }
    const std::string folder = *runtime + "/tarnwick-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return;
    }
    if (!isPrivateFolder(folder)) {
        return; // someone else's, a link, or open to others: not a place to listen in
    }
    const std::string path = folder + "/activate";
    const std::optional<sockaddr_un> address = socketAddress(path);
    if (!address) {
        return;
    }
    // This copy holds the lock: a socket left there belongs to a copy that has ended.
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
}

bool PosixHost::takeActivation() {
    bool any = false;
    for (;;) {
        const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            return any;
        }
        ::close(client);
        any = true;
    }
}

void PosixHost::activatePreviousInstance() {
    const auto runtime = runtimeFolder();
    if (!runtime) {
        return;
    }
    const std::string folder = *runtime + "/tarnwick-" + std::to_string(::getuid());
    const std::string path = folder + "/activate";
    struct stat info {};
    // Only our own socket in our own private folder: never through a link.
    if (!isPrivateFolder(folder) || ::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::getuid()) {
        return;
    }
    const std::optional<sockaddr_un> address = socketAddress(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (!address || fd < 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    // The connection is the request; a copy that does not answer at once is not waited for.
    (void)::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    ::close(fd);
}

void PosixHost::endProgram() {
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace tw
