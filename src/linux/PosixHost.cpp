#include "linux/PosixHost.h"

#include <fcntl.h>
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
#include <optional>

namespace tw {

namespace {

// True for a folder (never a link) of this user's that nobody else can enter.
bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
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

} // namespace

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
    // Never the empty string: that would put the working files in the root.
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') {
        std::string folder = tmp;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        return folder;
    }
    return "/tmp";
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
    if (::access(path.c_str(), R_OK) != 0) {
        return false;
    }
    std::vector<std::string> all{path};
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

std::string PosixHost::runtimeFolder() const {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (runtime != nullptr && *runtime != '\0') ? runtime : tempFolder();
}

bool PosixHost::previousInstance() {
    const std::string lockPath =
        runtimeFolder() + "/tarnwick-" + std::to_string(::getuid()) + ".lock";
    if (m_lockFd < 0) {
        m_lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        // In a shared temporary folder another user can create the file first and hold
        // a lock on it: only our own regular file speaks for a copy of ours.
        struct stat info {};
        if (m_lockFd >= 0 && (::fstat(m_lockFd, &info) != 0 || !S_ISREG(info.st_mode) ||
                              info.st_uid != ::getuid())) {
            ::close(m_lockFd);
            m_lockFd = -1;
        }
    }
    if (m_lockFd < 0) {
        return false; // cannot tell; let this copy run
    }
    // The lock is held until the process ends; the kernel drops it even after a crash.
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    listenForActivation();
    return false;
}

void PosixHost::listenForActivation() {
    if (m_listenFd >= 0) {
        return;
    }
    const std::string folder = runtimeFolder() + "/tarnwick-" + std::to_string(::getuid());
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
    const std::string folder = runtimeFolder() + "/tarnwick-" + std::to_string(::getuid());
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
