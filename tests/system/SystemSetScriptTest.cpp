// The Linux companion script, run for real by /bin/sh in a sandbox: its own HOME, and a
// PATH that holds only what the case provides.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
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
        for (const char* tool : {"rm", "timeout", "mkdir", "mv", "mktemp", "wc"}) {
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
    int run(const std::string& command, const std::string& env = "") const {
        const std::string line = "/usr/bin/env -i " + env + " HOME=" + quoted(m_box / "home") +
                                 " PATH=" + quoted(m_box / "bin") +
                                 " XDG_CONFIG_HOME=" + quoted(m_box / "home/.config") +
                                 " GSETTINGS_BACKEND=keyfile GSETTINGS_LOG=" + quoted(log()) + " " +
                                 command + " </dev/null";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs the script as Tarnwick does, with "undo" or nothing, and what it prints discarded.
    int runScript(const std::string& copy, const std::string& mode = "",
                  const std::string& env = "") const {
        return run("/bin/sh " + quoted(copy) + " " + mode + " >/dev/null", env);
    }
    // Reads a setting with the gsettings of the machine.
    [[nodiscard]] std::string get(const std::string& key) const {
        const std::string out = m_box / "get.out";
        run("gsettings get org.gnome.desktop.media-handling " + key + " > " + quoted(out));
        return exists(out) ? readFile(out) : "";
    }

    [[nodiscard]] std::string log() const { return m_box / "gsettings.log"; }
    [[nodiscard]] std::string logText() const { return exists(log()) ? readFile(log()) : ""; }
    // The outcome the working copy leaves for Tarnwick, taken away as Tarnwick does.
    [[nodiscard]] std::string takeOutcome() const {
        const std::string path = m_box / "tmp/systemset.out";
        const std::string text = exists(path) ? readFile(path) : "(none)";
        fs::remove(path);
        return text;
    }
    [[nodiscard]] std::string record() const {
        const std::string path = m_box / "home/.local/share/tarnwick/systemset.undo";
        return exists(path) ? readFile(path) : "(none)";
    }
    [[nodiscard]] std::string recordPath() const {
        return m_box / "home/.local/share/tarnwick/systemset.undo";
    }
    [[nodiscard]] std::string path(const std::string& relative) const { return m_box / relative; }
    [[nodiscard]] std::string keyfile() const {
        const std::string path = m_box / "home/.config/glib-2.0/settings/keyfile";
        return exists(path) ? readFile(path) : "";
    }

private:
    TempDir m_box{"systemset"};
};

std::string realGsettingsWithTheSchema() {
    const std::string gsettings = findTool("gsettings");
    if (gsettings.empty() ||
        !fs::exists("/usr/share/glib-2.0/schemas/org.gnome.desktop.media-handling.gschema.xml")) {
        return {};
    }
    return gsettings;
}

// Where the desktop lacks the settings, or a setting cannot be written, the working copy
// says so and still removes itself; nothing is recorded that was not found.
TEST(SystemSetScript, OutcomeWithoutTheSettingsOrWhenWritingFailsAndTheCopyAlwaysGoes) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    const std::string fakeBody = "printf '%s\\n' \"$*\" >> \"$GSETTINGS_LOG\"\n"
                                 "case $1 in get) echo false ;; set) exit 1 ;; esac\n";
    struct Case {
        const char* name;
        std::optional<std::string> gsettings; // the fake's body; none: not on PATH
        const char* mode;
        std::string outcome;
        std::string record;
    };
    const std::vector<Case> cases = {
        {"no gsettings", std::nullopt, "", "unsupported\n", "(none)"},
        {"no gsettings, undo", std::nullopt, "undo", "norecord\n", "(none)"},
        {"a setting cannot be written", fakeBody, "", "failed\n",
         "autorun-never false\nautomount-open false\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        if (c.gsettings) {
            box.addTool("gsettings", *c.gsettings);
        }
        const std::string copy = box.place("systemset.bat");
        EXPECT_EQ(box.runScript(copy, c.mode), c.outcome == "norecord\n" ? 0 : 1);
        EXPECT_FALSE(exists(copy));
        EXPECT_EQ(box.takeOutcome(), c.outcome);
        EXPECT_EQ(box.record(), c.record);
    }

    // A desktop that is not GNOME: gsettings is there, GNOME's settings are not.
    const std::string gsettings = realGsettingsWithTheSchema();
    if (gsettings.empty()) {
        GTEST_SKIP() << "no gsettings with the GNOME media-handling schema here";
    }
    Sandbox box;
    box.linkTool("gsettings", gsettings);
    TempDir noSchemas("schemas");
    const std::string copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy, "", "XDG_DATA_DIRS=" + quoted(noSchemas.path())), 1);
    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(box.takeOutcome(), "unsupported\n");
    EXPECT_EQ(box.record(), "(none)");
}

TEST(SystemSetScript, RunByHandUnderItsInstalledNameItStaysAndLeavesNoOutcomeFile) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    Sandbox box;
    const std::string installed = box.place("systemset.dll");
    EXPECT_EQ(box.runScript(installed), 1); // no gsettings here
    EXPECT_TRUE(exists(installed));
    EXPECT_EQ(box.takeOutcome(), "(none)");
}

// On a private settings database: the values found before the first change are recorded
// once, and undo puts them back, a default as a default, and forgets them.
TEST(SystemSetScript, RecordsWhatItFoundAndUndoPutsItBack) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    const std::string gsettings = realGsettingsWithTheSchema();
    if (gsettings.empty()) {
        GTEST_SKIP() << "no gsettings with the GNOME media-handling schema here";
    }
    Sandbox box;
    box.linkTool("gsettings", gsettings);
    // The user's own choice for one key; the other one is left at its default (false).
    ASSERT_EQ(box.run("gsettings set org.gnome.desktop.media-handling automount-open false"), 0);

    std::string copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy), 0);
    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(box.takeOutcome(), "done\n");
    EXPECT_EQ(box.get("autorun-never"), "true\n");
    EXPECT_EQ(box.get("automount-open"), "false\n");
    const std::string found = "autorun-never false\nautomount-open false\n";
    EXPECT_EQ(box.record(), found);

    // A second run finds the program's own values: the record keeps the first ones.
    copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy), 0);
    EXPECT_EQ(box.takeOutcome(), "done\n");
    EXPECT_EQ(box.record(), found);

    copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy, "undo"), 0);
    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(box.takeOutcome(), "done\n");
    EXPECT_EQ(box.get("autorun-never"), "false\n");
    EXPECT_EQ(box.get("automount-open"), "false\n");
    // The default is a default again; the user's own choice stays a choice.
    EXPECT_EQ(box.keyfile().find("autorun-never"), std::string::npos) << box.keyfile();
    EXPECT_NE(box.keyfile().find("automount-open=false"), std::string::npos) << box.keyfile();
    EXPECT_EQ(box.record(), "(none)");

    copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy, "undo"), 0);
    EXPECT_EQ(box.takeOutcome(), "norecord\n");
}

// Undo judges the record before it changes anything: a link, a pipe, a large file, binary
// bytes or lines it does not write are refused with "badrecord" and kept; the copy still goes.
// A switch-off over such a record changes nothing, for it could never be undone.
TEST(SystemSetScript, RefusesARecordItDidNotWriteAndKeepsIt) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    const std::string allowing = "printf '%s\\n' \"$*\" >> \"$GSETTINGS_LOG\"\n"
                                 "case $1 in get) echo false ;; esac\n";
    struct Case {
        const char* name;
        std::function<void(const Sandbox&)> place;
    };
    const Case cases[] = {
        {"a link to a good record",
         [](const Sandbox& box) {
             writeFile(box.path("elsewhere"), "autorun-never false\n");
             fs::create_symlink(box.path("elsewhere"), box.recordPath());
         }},
        {"a named pipe",
         [](const Sandbox& box) { ASSERT_EQ(::mkfifo(box.recordPath().c_str(), 0600), 0); }},
        {"80 MB",
         [](const Sandbox& box) {
             writeFile(box.recordPath(), "autorun-never false\n");
             fs::resize_file(box.recordPath(), 80u << 20);
         }},
        {"binary",
         [](const Sandbox& box) {
             writeFile(box.recordPath(), std::string("\x7f"
                                                     "ELF\x02\x01\0\0autorun-never true\n",
                                                     27));
         }},
        {"a shell command",
         [](const Sandbox& box) { writeFile(box.recordPath(), "autorun-never $(touch x)\n"); }},
        {"a key twice",
         [](const Sandbox& box) {
             writeFile(box.recordPath(), "autorun-never false\nautorun-never true\n");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.addTool("gsettings", allowing);
        fs::create_directories(fs::path(box.recordPath()).parent_path());
        c.place(box);
        const auto kept = fs::symlink_status(box.recordPath());
        for (const char* mode : {"undo", ""}) {
            SCOPED_TRACE(*mode == '\0' ? "switch-off" : mode);
            const std::string copy = box.place("systemset.bat");
            EXPECT_EQ(box.runScript(copy, mode), 1);
            EXPECT_FALSE(exists(copy));
            EXPECT_EQ(box.takeOutcome(), *mode == '\0' ? "failed\n" : "badrecord\n");
        }
        EXPECT_EQ(fs::symlink_status(box.recordPath()).type(), kept.type());
        EXPECT_EQ(box.logText().find(" set "), std::string::npos) << box.logText();
        EXPECT_EQ(box.logText().find("reset"), std::string::npos) << box.logText();
    }
}

// In the shared temporary folder the outcome is never written through a link planted at its
// name; a relative XDG_DATA_HOME is passed over for ~/.local/share, as Tarnwick does.
TEST(SystemSetScript, WritesNothingThroughPlantedLinksNorToARelativeDataFolder) {
    ASSERT_TRUE(installedScript()) << "TARNWICK_BUILD_DIR is not set";
    Sandbox box;
    box.addTool("gsettings", "case $1 in get) echo false ;; esac\n");
    writeFile(box.path("victim"), "keep");
    fs::create_symlink(box.path("victim"), box.path("tmp/systemset.out"));
    const std::string copy = box.place("systemset.bat");
    EXPECT_EQ(box.runScript(copy, "", "XDG_DATA_HOME=relative/data"), 0);
    EXPECT_EQ(readFile(box.path("victim")), "keep");
    EXPECT_FALSE(fs::is_symlink(box.path("tmp/systemset.out")));
    EXPECT_EQ(box.takeOutcome(), "done\n");
    EXPECT_EQ(box.record(), "autorun-never false\nautomount-open false\n");
    EXPECT_FALSE(fs::exists("relative/data"));
    // Nothing else is left in the temporary folder.
    EXPECT_TRUE(fs::is_empty(box.path("tmp")));
}

} // namespace
} // namespace tw::test
