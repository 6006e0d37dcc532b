#include "support/NtfsImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace tw::test {

std::string findTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    folders += ":/usr/local/sbin:/usr/sbin:/sbin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Runs a program with no shell and its output discarded; its exit status, or -1.
int run(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

// Makes and mounts the image; why it could not, or nothing.
std::optional<std::string> mountImage(const std::string& image, const std::string& mountPoint) {
    const std::string mkntfs = findTool("mkntfs");
    const std::string ntfs3g = findTool("ntfs-3g");
    if (mkntfs.empty() || ntfs3g.empty()) {
        return "mkntfs or ntfs-3g is not installed (Debian package ntfs-3g)";
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        return "/dev/fuse is missing or not usable here";
    }
    const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool sized = fd >= 0 && ::ftruncate(fd, 16 * 1024 * 1024) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!sized || run({mkntfs, "-F", "-Q", image}) != 0) {
        return "mkntfs could not make an image";
    }
    makeDir(mountPoint);
    if (run({ntfs3g, image, mountPoint}) != 0) {
        return "ntfs-3g could not mount the image (needs root and FUSE)";
    }
    return std::nullopt;
}

} // namespace

void NtfsImageFixture::SetUp() {
    makeDir(mountPoint);
    underTheMountPoint(mountPoint);
    if (const auto reason = mountImage(dir / "ntfs.img", mountPoint)) {
        std::cerr << "\n*** NTFS TEST NOT RUN: " << *reason << " ***\n\n";
        GTEST_SKIP() << *reason;
    }
    m_mounted = true;
}

namespace {

// The arguments a process was started with.
std::vector<std::string> commandLineOf(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        args.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

// The ntfs-3g process serving image at mountPoint; 0 when there is none.
pid_t ntfs3gServing(const std::string& image, const std::string& mountPoint) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    pid_t found = 0;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const auto args = commandLineOf(pid);
        const auto has = [&](const std::string& arg) {
            return std::find(args.begin(), args.end(), arg) != args.end();
        };
        if (!args.empty() && args[0].find("ntfs-3g") != std::string::npos && has(image) &&
            has(mountPoint)) {
            found = static_cast<pid_t>(std::stol(pid));
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace

bool NtfsImageFixture::pullOutStick() {
    const pid_t pid = ntfs3gServing(dir / "ntfs.img", mountPoint);
    if (pid == 0) {
        return false;
    }
    // Waits for the end through a descriptor of the process: no polling loop.
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (process < 0 || ::kill(pid, SIGKILL) != 0) {
        if (process >= 0) {
            ::close(process);
        }
        return false;
    }
    pollfd ended{process, POLLIN, 0};
    const bool done = ::poll(&ended, 1, 10'000) == 1;
    ::close(process);
    return done;
}

std::optional<std::string> NtfsImageFixture::cannotPullOut() {
    const pid_t pid = ntfs3gServing(dir / "ntfs.img", mountPoint);
    if (pid == 0) {
        return "the ntfs-3g process of the image cannot be found in /proc";
    }
    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (process < 0) {
        return "this kernel has no process descriptors (pidfd_open)";
    }
    ::close(process);
    return std::nullopt;
}

bool NtfsImageFixture::putBackStick() {
    if (run({findTool("fusermount"), "-u", "-z", mountPoint}) != 0 &&
        run({findTool("umount"), "-l", mountPoint}) != 0) {
        return false;
    }
    m_mounted = run({findTool("ntfs-3g"), dir / "ntfs.img", mountPoint}) == 0;
    return m_mounted;
}

void NtfsImageFixture::TearDown() {
    if (m_mounted && run({findTool("fusermount"), "-u", mountPoint}) != 0) {
        EXPECT_EQ(run({findTool("umount"), mountPoint}), 0) << "could not unmount " << mountPoint;
    }
}

std::optional<std::uint32_t> storedNtfsAttributes(const std::string& path) {
    unsigned char raw[8];
    if (::lgetxattr(path.c_str(), "system.ntfs_attrib_be", raw, sizeof raw) != 4) {
        return std::nullopt;
    }
    return (std::uint32_t{raw[0]} << 24) | (std::uint32_t{raw[1]} << 16) |
           (std::uint32_t{raw[2]} << 8) | std::uint32_t{raw[3]};
}

} // namespace tw::test
