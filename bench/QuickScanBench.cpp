// The quick scan's own work between its waits, over a large root, with waits that return at
// once; and the memory that reading a giant autorun.inf takes.
#include "ports/Ports.h"
#include "linux/PosixFileSystem.h"
#include "scan/ModQuickScan.h"
#include "support/NullPorts.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace tw;

constexpr int fileCount = 10'000;
constexpr int folderCount = 1'000;

// A root of plain files and folders, scale times the base size: nothing to find, so the scan
// only looks. Built once per scale, and left alone long enough that its change time lies
// before any listing of it (as on a stick plugged in).
const std::string& largeRoot(int scale) {
    static std::map<int, std::unique_ptr<test::TempDir>> dirs;
    auto& dir = dirs[scale];
    if (!dir) {
        dir = std::make_unique<test::TempDir>("bench-root");
        char name[32];
        for (int i = 0; i < fileCount * scale; ++i) {
            std::snprintf(name, sizeof name, "file%05d.dat", i);
            test::writeFile(*dir / name, "data");
        }
        for (int i = 0; i < folderCount * scale; ++i) {
            std::snprintf(name, sizeof name, "folder%04d", i);
            test::makeDir(*dir / name);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    }
    return dir->path();
}

// Reads a 200 MB autorun.inf without line ends (a sparse file) to its end.
void BM_ReadGiantAutorun(benchmark::State& state) {
    test::TempDir dir("bench-giant");
    test::writeFileOfSize(dir / "autorun.inf", 200ull * 1024 * 1024);
    PosixFileSystem fs;
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto reader = fs.openText(dir / "autorun.inf");
        while (auto line = reader->next()) {
            bytes += line->size();
        }
    }
    benchmark::DoNotOptimize(bytes);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
// First, so that the peak it reports is its own.
BENCHMARK(BM_ReadGiantAutorun)->Unit(benchmark::kMillisecond);

// Runs the quick scan over the large root with instant waits and reports the time per entry.
void scanLargeRoot(benchmark::State& state, PosixFileSystem& fs, const std::string& root,
                   int scale) {
    test::NullHost host;
    test::NullView view;
    test::NoWait clock;
    test::NullQuarantine quarantine;
    Ports ports{fs, host, view, clock, quarantine};
    for (auto _ : state) {
        QuickScan(ports, root);
    }
    state.counters["per_entry"] = benchmark::Counter((fileCount + folderCount) * scale,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// Arg 1: 10,000 files and 1,000 folders; arg 2: twice as many. The work per entry should not
// grow with the root.
void BM_QuickScanLargeRoot(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const std::string& root = largeRoot(scale);
    PosixFileSystem fs("removable=" + root);
    scanLargeRoot(state, fs, root, scale);
}
BENCHMARK(BM_QuickScanLargeRoot)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// What the scan cannot do without: one listing of the root, and for each entry one statx and
// one open, attribute read and close. The scan's time per entry is judged against this one.
void BM_QuickScanFloor(benchmark::State& state) {
    const std::string& root = largeRoot(1);
    std::size_t seen = 0;
    for (auto _ : state) {
        DIR* dir = ::opendir(root.c_str());
        const int folderFd = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            struct statx sx {};
            if (::statx(folderFd, entry->d_name, AT_SYMLINK_NOFOLLOW,
                        STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE, &sx) != 0) {
                continue;
            }
            const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            char word[64];
            if (fd >= 0) {
                seen += static_cast<std::size_t>(
                    ::fgetxattr(fd, "user.DOSATTRIB", word, sizeof word) > 0);
                ::close(fd);
            }
            ++seen;
        }
        ::closedir(dir);
    }
    benchmark::DoNotOptimize(seen);
    state.counters["per_entry"] =
        benchmark::Counter(fileCount + folderCount, benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_QuickScanFloor)->Unit(benchmark::kMillisecond);

// The same root taken for a FAT stick, where an exact miss is final and no folder is read
// for it. Each miss pays what it pays on FAT (statfs, the mount table read for the options);
// the lookups themselves still run on this machine's file system.
void BM_QuickScanLargeRootAsFat(benchmark::State& state) {
    const std::string& root = largeRoot(1);
    MountSource source;
    source.roots.volumeOfFolder = [](const std::string& folder) {
        auto volume = posix::volumeOfFolder(folder, posix::readMountInfo);
        benchmark::DoNotOptimize(posix::parseMountInfo(posix::readMountInfo().value_or("")));
        if (volume) {
            *volume = {posix::fatSuperMagic, "rw"};
        }
        return volume;
    };
    PosixFileSystem fs("removable=" + root, source);
    scanLargeRoot(state, fs, root, 1);
}
BENCHMARK(BM_QuickScanLargeRootAsFat)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
