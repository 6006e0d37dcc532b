#include "linux/PosixHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tw::test {
namespace {

// Sets or removes an environment variable and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        set(value);
    }
    ~ScopedEnv() { set(m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(m_name, value->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    const char* m_name;
    std::optional<std::string> m_old;
};

// The started process is real: give it up to five seconds to leave its file.
bool appearsWithin5s(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return exists(path);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The session field of a /proc/<pid>/stat line (after the command name in parentheses).
long sessionOf(const std::string& stat) {
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::string state;
    long parent = 0;
    long group = 0;
    long session = 0;
    rest >> state >> parent >> group >> session;
    return session;
}

TEST(PosixHost, TempFolderComesFromAnAbsoluteTmpdirWithoutTrailingSlashes) {
    const struct {
        std::optional<std::string> tmpdir;
        const char* folder;
    } cases[] = {
        {std::nullopt, "/tmp"},
        {"", "/tmp"},
        {"/x/", "/x"},
        {"/x", "/x"},
        {"/x//", "/x"},
        {"/", "/"},
        // Relative: the shell would read "-tmp" as an option, and "." is wherever we started.
        {"-tmp", "/tmp"},
        {".", "/tmp"},
        {"tmp/x", "/tmp"},
    };
    PosixHost host;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpdir.value_or("(unset)"));
        ScopedEnv tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(host.tempFolder(), c.folder);
    }
}

TEST(PosixHost, SecondCopySeesTheFirstUntilItEndsAndCallsItsWindowToTheFront) {
    TempDir runtime("runtime");
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
    const std::string uid = std::to_string(::getuid());

    auto first = std::make_unique<PosixHost>();
    EXPECT_FALSE(first->previousInstance());
    EXPECT_TRUE(exists(runtime / ("tarnwick-" + uid + ".lock")));
    ASSERT_GE(first->activationSocket(), 0);
    EXPECT_FALSE(first->takeActivation());
    {
        PosixHost second;
        EXPECT_TRUE(second.previousInstance());
        EXPECT_EQ(second.activationSocket(), -1);
        second.activatePreviousInstance();
        EXPECT_TRUE(first->takeActivation());
        EXPECT_FALSE(first->takeActivation()); // one request, taken once
    }
    first.reset();
    // The socket of a copy that has ended is replaced by the next copy's own.
    PosixHost third;
    EXPECT_FALSE(third.previousInstance());
    PosixHost fourth;
    EXPECT_TRUE(fourth.previousInstance());
    fourth.activatePreviousInstance();
    EXPECT_TRUE(third.takeActivation());
}

TEST(PosixHost, ActivationSocketOnlyInAPrivateFolderOfOurOwnNeverThroughALink) {
    struct Case {
        const char* name;
        bool link; // else a folder open to others
    };
    for (const Case c :
         {Case{"a link to another folder", true}, Case{"a folder open to all", false}}) {
        SCOPED_TRACE(c.name);
        TempDir runtime("runtime");
        TempDir elsewhere("elsewhere");
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
        const std::string folder = runtime / ("tarnwick-" + std::to_string(::getuid()));
        if (c.link) {
            ASSERT_EQ(::symlink(elsewhere.path().c_str(), folder.c_str()), 0);
        } else {
            makeDir(folder);
            ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
        }
        PosixHost first;
        EXPECT_FALSE(first.previousInstance());
        EXPECT_EQ(first.activationSocket(), -1);
        EXPECT_FALSE(exists(folder + "/activate"));
        EXPECT_FALSE(exists(elsewhere / "activate"));
    }
}

// Two copies must see each other wherever the environment points: the lock lives only in an
// absolute folder of ours that nobody else can enter (else a private one in our own cache),
// never in the working folder or a shared one.
TEST(PosixHost, SingleInstanceHoldsWhateverXdgRuntimeDirSays) {
    struct Case {
        const char* name;
        std::function<std::optional<std::string>(const TempDir&)> runtime;
        bool lockInRuntime; // else in ~/.cache/tarnwick-runtime
    };
    const Case cases[] = {
        {"private", [](const TempDir& t) { return t.path(); }, true},
        {"unset", [](const TempDir&) { return std::nullopt; }, false},
        {"relative", [](const TempDir&) { return std::string("."); }, false},
        {"open to all",
         [](const TempDir& t) {
             ::chmod(t.path().c_str(), 0777);
             return t.path();
         },
         false},
        {"a link to a private folder",
         [](const TempDir& t) {
             makeDir(t / "real");
             ::chmod((t / "real").c_str(), 0700);
             (void)::symlink((t / "real").c_str(), (t / "link").c_str());
             return t / "link";
         },
         false},
    };
    const std::string lockName = "tarnwick-" + std::to_string(::getuid()) + ".lock";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir runtime("runtime");
        TempDir home("home");
        TempDir working("cwd");
        ScopedEnv homeEnv("HOME", home.path());
        ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
        ScopedEnv xdg("XDG_RUNTIME_DIR", c.runtime(runtime));
        const std::string before = std::filesystem::current_path();
        std::filesystem::current_path(working.path());
        {
            PosixHost first;
            EXPECT_FALSE(first.previousInstance());
            PosixHost second;
            EXPECT_TRUE(second.previousInstance());
        }
        std::filesystem::current_path(before);
        EXPECT_EQ(exists(runtime / lockName), c.lockInRuntime);
        EXPECT_EQ(exists(home / (".cache/tarnwick-runtime/" + lockName)), !c.lockInRuntime);
        EXPECT_FALSE(exists(working / lockName));
    }
}

// In our private folder anything at the lock's name that is not our own regular file (a link,
// a pipe held open by a squatter, a folder) is replaced, so that copies still see each other
// and nothing is written through the link.
TEST(PosixHost, PlantedLockDoesNotSwitchSingleInstanceOff) {
    struct Case {
        const char* name;
        std::function<void(const std::string& lock, const TempDir& elsewhere)> plant;
    };
    const Case cases[] = {
        {"a link to another file",
         [](const std::string& lock, const TempDir& elsewhere) {
             writeFile(elsewhere / "target", "keep");
             ASSERT_EQ(::symlink((elsewhere / "target").c_str(), lock.c_str()), 0);
         }},
        {"a dangling link",
         [](const std::string& lock, const TempDir& elsewhere) {
             ASSERT_EQ(::symlink((elsewhere / "none").c_str(), lock.c_str()), 0);
         }},
        {"a named pipe", [](const std::string& lock,
                            const TempDir&) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }},
        {"a folder", [](const std::string& lock, const TempDir&) { makeDir(lock); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir runtime("runtime");
        TempDir elsewhere("elsewhere");
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
        const std::string lock = runtime / ("tarnwick-" + std::to_string(::getuid()) + ".lock");
        c.plant(lock, elsewhere);
        // A squatter holds a lock on what was planted, as a running copy would.
        const int held = ::open(lock.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (held >= 0) {
            (void)::flock(held, LOCK_EX | LOCK_NB);
        }
        {
            PosixHost first;
            EXPECT_FALSE(first.previousInstance());
            PosixHost second;
            EXPECT_TRUE(second.previousInstance());
        }
        if (held >= 0) {
            ::close(held);
        }
        struct stat info {};
        ASSERT_EQ(::lstat(lock.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        if (exists(elsewhere / "target")) {
            EXPECT_EQ(readFile(elsewhere / "target"), "keep");
        }
        EXPECT_FALSE(exists(elsewhere / "none"));
    }
}

// The undo record is read only as a small regular file of its own name: a link, a pipe, a
// folder or a file too large to be a record is refused unread, and a relative XDG_DATA_HOME
// is passed over for ~/.local/share, as the companion script does.
TEST(PosixHost, UndoRecordIsReadOnlyAsASmallRegularFile) {
    using State = UndoRecordFile::State;
    struct Case {
        const char* name;
        std::function<void(const std::string& record, const TempDir& elsewhere)> place;
        State state;
        std::string text;
    };
    const Case cases[] = {
        {"absent", [](const std::string&, const TempDir&) {}, State::absent, ""},
        {"a record",
         [](const std::string& record, const TempDir&) {
             writeFile(record, "autorun-never false\n");
         },
         State::text, "autorun-never false\n"},
        {"a link to a record",
         [](const std::string& record, const TempDir& elsewhere) {
             writeFile(elsewhere / "r", "autorun-never false\n");
             ASSERT_EQ(::symlink((elsewhere / "r").c_str(), record.c_str()), 0);
         },
         State::refused, ""},
        {"a named pipe",
         [](const std::string& record, const TempDir&) {
             ASSERT_EQ(::mkfifo(record.c_str(), 0600), 0);
         },
         State::refused, ""},
        {"a folder", [](const std::string& record, const TempDir&) { makeDir(record); },
         State::refused, ""},
        {"80 MB",
         [](const std::string& record, const TempDir&) {
             writeFile(record, "");
             ASSERT_EQ(::truncate(record.c_str(), 80L << 20), 0);
         },
         State::refused, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir home("home");
        TempDir elsewhere("elsewhere");
        ScopedEnv homeEnv("HOME", home.path());
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        makeDir(home / ".local");
        makeDir(home / ".local/share");
        makeDir(home / ".local/share/tarnwick");
        c.place(home / ".local/share/tarnwick/systemset.undo", elsewhere);
        PosixHost host;
        const UndoRecordFile record = host.readUndoRecord();
        EXPECT_EQ(record.state, c.state);
        EXPECT_EQ(record.text, c.text);
    }
}

// The settings come from gsettings as the script reads them; a gsettings that fails or is
// missing gives nothing rather than a guess.
TEST(PosixHost, SystemSettingsAreReadWithGsettings) {
    struct Case {
        const char* name;
        std::optional<std::string> body;
        std::optional<std::vector<std::string>> values;
    };
    const Case cases[] = {
        {"values", "case $3 in autorun-never) echo true ;; automount-open) echo 'false' ;; esac\n",
         std::vector<std::string>{"true", "false"}},
        {"no such schema", "echo 'No such schema' >&2; exit 1\n", std::nullopt},
        {"no gsettings", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir bin("bin");
        if (c.body) {
            writeFile(bin / "gsettings", "#!/bin/sh\n" + *c.body);
            ASSERT_EQ(::chmod((bin / "gsettings").c_str(), 0755), 0);
        }
        ScopedEnv path("PATH", bin.path());
        PosixHost host;
        const auto settings = host.systemSettings();
        ASSERT_EQ(settings.has_value(), c.values.has_value());
        if (!settings) {
            continue;
        }
        ASSERT_EQ(settings->size(), 2u);
        EXPECT_EQ((*settings)[0].name, "autorun-never");
        EXPECT_EQ((*settings)[0].value, (*c.values)[0]);
        EXPECT_EQ((*settings)[0].off, "true");
        EXPECT_EQ((*settings)[1].name, "automount-open");
        EXPECT_EQ((*settings)[1].value, (*c.values)[1]);
        EXPECT_EQ((*settings)[1].off, "false");
    }
}

TEST(PosixHost, ScriptRunsDetachedWithItsPathAndEachArgumentWhole) {
    TempDir base("host");
    const std::string folder = base / "Local Settings/Temp files";
    makeDir(folder);
    const std::string script = folder + "/systemset.bat";
    const std::string record = folder + "/record";
    // Read through the shell's own pid: the substitutions run in subshells with a pipe.
    writeFile(script,
              "in=$(readlink /proc/$$/fd/0)\n"
              "out=$(readlink /proc/$$/fd/1)\n"
              "err=$(readlink /proc/$$/fd/2)\n"
              "stat=$(cat /proc/$$/stat)\n"
              "printf '%s\\n' \"$0\" \"$#\" \"$1\" \"$2\" \"$in\" \"$out\" \"$err\" \"$stat\" > '" +
                  record +
                  ".part'\n"
                  "mv '" +
                  record + ".part' '" + record + "'\n");

    PosixHost host;
    ASSERT_TRUE(host.startScript(script, {"undo", "two words"}));
    ASSERT_TRUE(appearsWithin5s(record));

    const std::vector<std::string> lines = splitLines(readFile(record));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], script);
    EXPECT_EQ(lines[1], "2");
    EXPECT_EQ(lines[2], "undo");
    EXPECT_EQ(lines[3], "two words");
    EXPECT_EQ(lines[4], "/dev/null");
    EXPECT_EQ(lines[5], "/dev/null");
    EXPECT_EQ(lines[6], "/dev/null");
    EXPECT_NE(sessionOf(lines[7]), static_cast<long>(::getsid(0)));
    EXPECT_NE(sessionOf(lines[7]), 0);

    EXPECT_FALSE(host.startScript(folder + "/missing.bat", {}));
    // A relative path is refused: the shell might take it for an option.
    EXPECT_FALSE(host.startScript("-tmp/systemset.bat", {}));
}

TEST(PosixHost, BatchFileIsNeverReadByTheShell) {
    TempDir base("host");
    const std::string batch = base / "convert.bat";
    const std::string marker = base / "substituted";
    const std::string marker2 = base / "chained";
    // What a volume label can put into the drive path of a batch file's second line.
    writeFile(batch, "@echo off\r\nconvert.exe $(touch " + marker + ") /fs:ntfs /x\r\n" +
                         "echo y|cacls.exe /media/x;touch " + marker2 + "; /p everyone:n\r\n");
    ASSERT_EQ(::chmod(batch.c_str(), 0755), 0);

    PosixHost host;
    EXPECT_FALSE(host.canStartBatchFiles());
    EXPECT_FALSE(host.startBatchFile(batch));
    // Long enough for a wrongly started shell to have run both lines.
    for (int i = 0; i < 10 && !exists(marker) && !exists(marker2); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(exists(marker));
    EXPECT_FALSE(exists(marker2));
}

} // namespace
} // namespace tw::test
