// The Linux companion script, run for real by /bin/sh in a sandbox: its own HOME, and a
// PATH that holds only what the case provides.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::optional<std::string> installedScript() {
    const char* build = std::getenv("TARNWICK_BUILD_DIR");
    if (build == nullptr) {
        return std::nullopt;
    }
    return std::string(build) + "/systemset.dll";
}

std::string findTool(const std::string& name) {
    for (const char* dir : {"/usr/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/" + name;
        if (fs::exists(path)) {
            return path;
        }
    }
    return {};
}

class Sandbox {
public:
    Sandbox() {
        makeDir(m_box / "home");
        makeDir(m_box / "bin");
        makeDir(m_box / "tmp");
        for (const char* tool : {"rm", "timeout"}) {
            const std::string path = findTool(tool);
            if (!path.empty()) {
                fs::create_symlink(path, m_box / ("bin/" + std::string(tool)));
            }
        }
    }

    void addTool(const std::string& name, const std::string& body) {
        const std::string path = m_box / ("bin/" + name);
        writeFile(path, "#!/bin/sh\n" + body);
        fs::permissions(path, fs::perms::owner_all);
    }
    void linkTool(const std::string& name, const std::string& target) {
        fs::create_symlink(target, m_box / ("bin/" + name));
    }

    // Copies the installed script to the temporary folder under this name.
    std::string place(const std::string& name) {
        const std::string copy = m_box / ("tmp/" + name);
        fs::copy_file(*installedScript(), copy);
        return copy;
    }

    // Runs a command in the sandbox's environment; returns its exit status (-1: no exit).
    int run(const std::string& command) const {
        const std::string line = "/usr/bin/env -i HOME=" + quoted(m_box / "home") +
                                 " PATH=" + quoted(m_box / "bin") +
                                 " XDG_CONFIG_HOME=" + quoted(m_box / "home/.config") +
                                 " GSETTINGS_BACKEND=keyfile GSETTINGS_LOG=" + quoted(log()) + " " +
                                 command + " </dev/null";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int runScript(const std::string& copy) const { return run("/bin/sh " + quoted(copy)); }

    [[nodiscard]] std::string log() const { return m_box / "gsettings.log"; }
    [[nodiscard]] std::string logText() const { return exists(log()) ? readFile(log()) : ""; }

private:
    TempDir m_box{"systemset"};
};

TEST(SystemSetScript, SetsTheMediaKeysWhereGsettingsIsAndAlwaysRemovesItsCopy) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    const std::string keys = "set org.gnome.desktop.media-handling autorun-never true\n"
                             "set org.gnome.desktop.media-handling automount-open false\n";
    struct Case {
        const char* name;
        std::optional<std::string> gsettings; // the fake's body; none: not on PATH
        std::string log;
    };
    const std::vector<Case> cases = {
        {"gsettings present", "printf '%s\\n' \"$*\" >> \"$GSETTINGS_LOG\"\n", keys},
        {"gsettings fails", "printf '%s\\n' \"$*\" >> \"$GSETTINGS_LOG\"\nexit 1\n", keys},
        {"gsettings absent", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        if (c.gsettings) {
            box.addTool("gsettings", *c.gsettings);
        }
        const std::string copy = box.place("systemset.bat");
        EXPECT_EQ(box.runScript(copy), 0);
        EXPECT_FALSE(exists(copy));
        EXPECT_EQ(box.logText(), c.log);
    }
}

TEST(SystemSetScript, RunByHandUnderItsInstalledNameItStays) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    Sandbox box;
    const std::string installed = box.place("systemset.dll");
    EXPECT_EQ(box.runScript(installed), 0);
    EXPECT_TRUE(exists(installed));
}

TEST(SystemSetScript, RealGsettingsStoresBothKeys) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    const std::string gsettings = findTool("gsettings");
    if (gsettings.empty() ||
        !fs::exists("/usr/share/glib-2.0/schemas/org.gnome.desktop.media-handling.gschema.xml")) {
        GTEST_SKIP() << "no gsettings with the GNOME media-handling schema here";
    }
    Sandbox box;
    box.linkTool("gsettings", gsettings);
    const std::string copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy), 0);
    EXPECT_FALSE(exists(copy));
    const std::string out = box.log() + ".get";
    EXPECT_EQ(
        box.run("gsettings get org.gnome.desktop.media-handling autorun-never > " + quoted(out)),
        0);
    EXPECT_EQ(readFile(out), "true\n");
    EXPECT_EQ(
        box.run("gsettings get org.gnome.desktop.media-handling automount-open > " + quoted(out)),
        0);
    EXPECT_EQ(readFile(out), "false\n");
}

} // namespace
} // namespace tw::test
