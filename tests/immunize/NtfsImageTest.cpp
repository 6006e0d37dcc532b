#include "immunize/ImmunizeRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tw::test {
namespace {

// The full path of a program, from PATH or the system folders where the NTFS tools live.
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

// A fresh 16 MiB NTFS image mounted through ntfs-3g, unmounted when it goes. When it
// cannot be mounted, reason() says why.
class NtfsMount {
public:
    NtfsMount() {
        const std::string mkntfs = findTool("mkntfs");
        const std::string ntfs3g = findTool("ntfs-3g");
        if (mkntfs.empty() || ntfs3g.empty()) {
            m_reason = "mkntfs or ntfs-3g is not installed (Debian package ntfs-3g)";
            return;
        }
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            m_reason = "/dev/fuse is missing or not usable here";
            return;
        }
        const std::string image = m_dir / "img";
        m_mountPoint = m_dir / "mnt";
        const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool sized = fd >= 0 && ::ftruncate(fd, 16 * 1024 * 1024) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!sized || run({mkntfs, "-F", "-Q", image}) != 0) {
            m_reason = "mkntfs could not make an image";
            return;
        }
        makeDir(m_mountPoint);
        if (run({ntfs3g, image, m_mountPoint}) != 0) {
            m_reason = "ntfs-3g could not mount the image (FUSE not permitted?)";
            return;
        }
        m_mounted = true;
    }
    ~NtfsMount() {
        if (m_mounted && run({findTool("fusermount"), "-u", m_mountPoint}) != 0) {
            run({findTool("umount"), m_mountPoint});
        }
    }
    NtfsMount(const NtfsMount&) = delete;
    NtfsMount& operator=(const NtfsMount&) = delete;

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] const std::string& reason() const { return m_reason; }
    [[nodiscard]] const std::string& path() const { return m_mountPoint; }

private:
    TempDir m_dir{"ntfs"};
    std::string m_mountPoint;
    std::string m_reason;
    bool m_mounted = false;
};

// The attribute word NTFS stores, as ntfs-3g hands it out: 4 bytes, big-endian.
std::optional<std::uint32_t> storedNtfsAttributes(const std::string& path) {
    unsigned char raw[8];
    if (::getxattr(path.c_str(), "system.ntfs_attrib_be", raw, sizeof raw) != 4) {
        return std::nullopt;
    }
    return (std::uint32_t{raw[0]} << 24) | (std::uint32_t{raw[1]} << 16) |
           (std::uint32_t{raw[2]} << 8) | std::uint32_t{raw[3]};
}

TEST(NtfsImage, SimpleImmunizationLeavesWhatWindowsWillSee) {
    NtfsMount ntfs;
    if (!ntfs.mounted()) {
        std::cerr << "\n*** NtfsImage test SKIPPED: " << ntfs.reason() << " ***\n\n";
        GTEST_SKIP() << ntfs.reason();
    }
    Harness h;
    h.declareDrives("removable=" + ntfs.path());
    const std::string d = ntfs.path();
    const std::string a = d + "/autorun.inf";

    EXPECT_EQ(click(h, Ctl::Label2), (Lines{
                                         "Label7 colour green",
                                         "Timer2 off",
                                         "Label7: 正在检测" + d + "盘安全状态，请稍候......",
                                         "wait 2s",
                                         "Label7: 正在准备为" + d + "盘免疫，请稍等......",
                                         "wait 3s",
                                         "Label7: 正在为" + d + "盘执行免疫，请稍等......",
                                         "wait 1s",
                                         "wait 3s",
                                         "Label7: 免疫操作成功结束！",
                                         "box[64] 提示: 免疫操作已完成！ -> OK",
                                         "Timer2 on",
                                     }));

    std::vector<std::string> inside;
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
        inside.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(inside, std::vector<std::string>{guardName});
    EXPECT_EQ(getAttr(a), 7U | attr::directory);
    EXPECT_EQ(storedNtfsAttributes(a), 0x17U);
    // The guard folder keeps the attributes of a new folder: not hidden, not system.
    const auto guard = storedNtfsAttributes(a + "/" + guardName);
    ASSERT_TRUE(guard.has_value());
    EXPECT_EQ(*guard & (attr::directory | attr::hidden | attr::system), attr::directory);
}

} // namespace
} // namespace tw::test
