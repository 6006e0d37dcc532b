// One tick of the drive monitor over a desktop's mount table of 30 mounts: the probe reads
// the table and the device facts, asks the stick's readiness, and writes the status line.

#include "ports/Ports.h"
#include "drive/DriveMonitor.h"
#include "linux/FakeDeviceTree.h"
#include "linux/PosixFileSystem.h"
#include "support/NullPorts.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tw;

const std::string nvme = "devices/pci0000:00/0000:00:1d.0/0000:02:00.0/nvme/nvme0/nvme0n1";

struct Desktop {
    Desktop() {
        tree.disk(nvme, {259, 0}, false);
        tree.partition(nvme, "nvme0n1p1", {259, 1});
        tree.partition(nvme, "nvme0n1p2", {259, 2});
        tree.partition(nvme, "nvme0n1p3", {259, 3});
        tree.disk(test::usbStickDisk, {8, 16}, true);
        tree.partition(test::usbStickDisk, "sdb1", {8, 17});
        for (int i = 0; i < 3; ++i) {
            tree.disk("devices/virtual/block/loop" + std::to_string(i),
                      {7, static_cast<unsigned>(i)}, false);
        }
        const std::string stick = media / "ann/MY STICK";
        tw::test::makeDir(stick);
        table = "21 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
                "22 21 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
                "23 21 0:22 / /sys rw,nosuid shared:2 - sysfs sysfs rw\n"
                "24 21 0:5 / /dev rw,nosuid shared:8 - devtmpfs udev rw,size=8000000k\n"
                "25 24 0:23 / /dev/pts rw,nosuid shared:9 - devpts devpts rw\n"
                "26 24 0:24 / /dev/shm rw,nosuid shared:10 - tmpfs tmpfs rw\n"
                "27 21 0:25 / /run rw,nosuid shared:11 - tmpfs tmpfs rw,mode=755\n"
                "28 27 0:26 / /run/lock rw,nosuid shared:13 - tmpfs tmpfs rw\n"
                "29 23 0:27 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw\n"
                "30 23 0:28 / /sys/kernel/security rw shared:3 - securityfs securityfs rw\n"
                "31 23 0:29 / /sys/fs/pstore rw shared:5 - pstore pstore rw\n"
                "32 23 0:30 / /sys/fs/bpf rw shared:6 - bpf bpf rw,mode=700\n"
                "33 22 0:31 / /proc/sys/fs/binfmt_misc rw shared:14 - autofs systemd-1 rw\n"
                "34 24 0:32 / /dev/hugepages rw shared:15 - hugetlbfs hugetlbfs rw\n"
                "35 24 0:20 / /dev/mqueue rw shared:16 - mqueue mqueue rw\n"
                "36 23 0:7 / /sys/kernel/debug rw shared:17 - debugfs debugfs rw\n"
                "37 23 0:12 / /sys/kernel/tracing rw shared:18 - tracefs tracefs rw\n"
                "38 23 0:33 / /sys/fs/fuse/connections rw shared:19 - fusectl fusectl rw\n"
                "39 21 7:0 / /snap/core22/1033 ro shared:20 - squashfs /dev/loop0 ro\n"
                "40 21 7:1 / /snap/firefox/3026 ro shared:21 - squashfs /dev/loop1 ro\n"
                "41 21 7:2 / /snap/gtk/66 ro shared:22 - squashfs /dev/loop2 ro\n"
                "42 21 259:1 / /boot/efi rw,relatime shared:23 - vfat /dev/nvme0n1p1 rw\n"
                "43 21 259:3 / /home rw,relatime shared:24 - ext4 /dev/nvme0n1p3 rw\n"
                "44 21 0:34 / /tmp rw shared:25 - tmpfs tmpfs rw\n"
                "45 27 0:35 / /run/user/1000 rw shared:300 - tmpfs tmpfs rw,mode=700\n"
                "46 45 0:36 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
                "47 45 0:37 / /run/user/1000/doc rw - fuse.portal portal rw\n"
                "48 21 0:38 / /mnt/nas rw shared:301 - nfs4 nas:/export rw\n"
                "49 43 8:17 /DCIM /home/ann/photos rw shared:302 - vfat /dev/sdb1 rw\n"
                "50 21 8:17 / " +
                test::mountInfoPath(stick) +
                " rw,nosuid,nodev shared:303 - vfat /dev/sdb1 rw,uid=1000\n";
    }

    tw::test::FakeDeviceTree tree;
    tw::test::TempDir media{"bench-media"};
    std::string table;
};

// Ticks the monitor over these drives and reports how many sticks it found.
int tickOver(benchmark::State& state, PosixFileSystem& fs) {
    test::NullView view;
    test::NullHost host;
    test::NoWait clock;
    test::NullQuarantine quarantine;
    Ports ports{fs, host, view, clock, quarantine};
    AppState app;
    for (auto _ : state) {
        DriveMonitorTick(ports, app);
    }
    return app.probe.found;
}

// Ticks the monitor over the desktop's table and devices as they stand.
void tickOver(benchmark::State& state, Desktop& desktop) {
    MountSource source;
    source.mountInfo = [&desktop]() -> std::optional<std::string> { return desktop.table; };
    source.roots = desktop.tree.roots();
    PosixFileSystem fs(source);
    if (tickOver(state, fs) != 1) {
        state.SkipWithError("the stick was not found");
    }
}

void BM_MonitorTick(benchmark::State& state) {
    Desktop desktop;
    tickOver(state, desktop);
}
BENCHMARK(BM_MonitorTick)->Unit(benchmark::kMicrosecond);

// A machine with 300 mounts of loop images beside the desktop's (a build farm, snaps): the
// table is read every tick, the devices' facts only when the table changes.
void BM_MonitorTick300Mounts(benchmark::State& state) {
    Desktop desktop;
    for (unsigned i = 3; i < 273; ++i) {
        desktop.tree.disk("devices/virtual/block/loop" + std::to_string(i), {7, i}, false);
        desktop.table += std::to_string(100 + i) + " 21 7:" + std::to_string(i) + " / /srv/img" +
                         std::to_string(i) + " rw,relatime shared:" + std::to_string(400 + i) +
                         " - ext4 /dev/loop" + std::to_string(i) + " rw\n";
    }
    tickOver(state, desktop);
}
BENCHMARK(BM_MonitorTick300Mounts)->Unit(benchmark::kMicrosecond);

// This machine's own mount table and devices, as the program sees them: with
// bench/monitor-tick-loop-mounts.sh, beside hundreds of mounted loop images.
void BM_MonitorTickThisMachine(benchmark::State& state) {
    PosixFileSystem fs;
    tickOver(state, fs);
    state.counters["mounts"] =
        static_cast<double>(posix::parseMountInfo(posix::readMountInfo().value_or("")).size());
}
BENCHMARK(BM_MonitorTickThisMachine)->Unit(benchmark::kMicrosecond);

// The real table of this machine through the kernel's change signal.
void BM_WatchedMountInfo(benchmark::State& state) {
    auto read = posix::watchMountInfo();
    for (auto _ : state) {
        benchmark::DoNotOptimize(read());
    }
}
BENCHMARK(BM_WatchedMountInfo)->Unit(benchmark::kMicrosecond);

// The part of a tick that is pure text work.
void BM_ParseMountInfo(benchmark::State& state) {
    Desktop desktop;
    for (auto _ : state) {
        benchmark::DoNotOptimize(posix::parseMountInfo(desktop.table));
    }
}
BENCHMARK(BM_ParseMountInfo)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
