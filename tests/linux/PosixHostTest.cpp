#include "linux/PosixHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

TEST(PosixHost, TempFolderComesFromTmpdirWithoutTrailingSlashes) {
    const struct {
        std::optional<std::string> tmpdir;
        const char* folder;
    } cases[] = {
        {std::nullopt, "/tmp"}, {"", "/tmp"},   {"/x/", "/x"},
        {"/x", "/x"},           {"/x//", "/x"}, {"/", "/"},
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

TEST(PosixHost, LockFileThatIsNotOurOwnRegularFileIsIgnored) {
    struct Case {
        const char* name;
        bool otherOwner; // else a named pipe of ours
    };
    for (const Case c : {Case{"a named pipe", false}, Case{"another user's file", true}}) {
        SCOPED_TRACE(c.name);
        if (c.otherOwner && ::geteuid() != 0) {
            GTEST_SKIP() << "giving the file to another user needs root";
        }
        TempDir runtime("runtime");
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
        const std::string lock = runtime / ("tarnwick-" + std::to_string(::getuid()) + ".lock");
        if (c.otherOwner) {
            writeFile(lock, "");
            ASSERT_EQ(::chmod(lock.c_str(), 0666), 0);
            ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
        } else {
            ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
        }
        // The squatter holds a lock on it, as a running copy would.
        const int held = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

        PosixHost host;
        EXPECT_FALSE(host.previousInstance());
        ::close(held);
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
