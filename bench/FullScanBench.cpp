// The full scan's own work over a large tree with waits that return at once and a warm
// cache: CPU time per entry, its growth with the tree, and the resident memory it adds.
#include "linux/PosixFileSystem.h"
#include "ports/Ports.h"
#include "scan/FullScanRules.h"
#include "scan/ModFullScan.h"
#include "support/NullPorts.h"
#include "support/ShellLinkWriter.h"
#include "support/ShippedRules.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace tw;

// ~50 files a folder, in two levels of folders; one link in a hundred files, 200 scripts in
// every 100,000 files, the rest photos and documents.
constexpr int filesPerFolder = 50;

void makeTree(const std::string& root, int files) {
    test::LinkSpec spec;
    spec.linkInfoPath = "C:\\Program Files\\Office\\WINWORD.EXE";
    spec.arguments = "report.docx";
    const auto linkBytes = test::writeShellLink(spec);
    const std::string link(linkBytes.begin(), linkBytes.end());
    const int folders = files / filesPerFolder;
    int top = 1;
    while (top * top < folders) {
        ++top;
    }
    char name[64];
    int written = 0;
    for (int f = 0; f < folders; ++f) {
        std::snprintf(name, sizeof name, "dir%03d", f / top);
        const std::string parent = root + "/" + name;
        if (f % top == 0) {
            test::makeDir(parent);
        }
        std::snprintf(name, sizeof name, "/sub%03d", f % top);
        const std::string folder = parent + name;
        test::makeDir(folder);
        for (int i = 0; i < filesPerFolder && written < files; ++i, ++written) {
            if (written % 100 == 50) {
                std::snprintf(name, sizeof name, "/shortcut%d.lnk", i);
                test::writeFile(folder + name, link);
            } else if (written % 500 == 250) {
                std::snprintf(name, sizeof name, "/script%d.vbs", i);
                test::writeFile(folder + name, "MsgBox \"hello\"\r\n");
            } else {
                // The user's own files: photos, documents, notes.
                static const char* const kinds[] = {"/photo%d.jpg", "/report%d.docx",
                                                    "/notes%d.txt", "/scan%d.pdf"};
                std::snprintf(name, sizeof name, kinds[written % 4], i);
                std::ofstream(folder + name).put('x');
            }
        }
    }
}

// Made in a temporary folder for each run; where TARNWICK_BENCH_DIR names a folder, made
// there once and kept, since writing a million files takes minutes.
const std::string& treeOf(int files) {
    static std::map<int, std::unique_ptr<test::TempDir>> trees;
    static std::map<int, std::string> kept;
    if (const char* keep = std::getenv("TARNWICK_BENCH_DIR"); keep != nullptr && *keep != '\0') {
        std::string& path = kept[files];
        if (path.empty()) {
            path = std::string(keep) + "/tree-" + std::to_string(files);
            if (!test::exists(path + "/complete")) {
                test::removeAll(path);
                test::makeDir(path);
                makeTree(path, files);
                test::writeFile(path + "/complete", "");
            }
        }
        return path;
    }
    auto& dir = trees[files];
    if (!dir) {
        dir = std::make_unique<test::TempDir>("bench-tree");
        makeTree(dir->path(), files);
    }
    return dir->path();
}

class Silent final : public FullScanOutput {
public:
    void say(const std::string&, std::optional<Color>) override { ++said; }
    void progress(const std::string&) override {}
    std::optional<bool> ask(const std::string&) override { return false; }
    bool stopRequested() override { return false; }
    std::size_t said = 0;
};

const FullScanRules& rules() {
    static const FullScanRules shipped = *parseFullScanRules(test::shippedFullScanRules).rules;
    return shipped;
}

std::uint64_t statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stoull(line.substr(std::string(field).size()));
        }
    }
    return 0;
}

FullScanSummary scan(const std::string& root, Silent& output) {
    PosixFileSystem fs("removable=" + root);
    test::NullHost host;
    test::NullView view;
    test::NoWait clock;
    test::NullQuarantine quarantine;
    Ports ports{fs, host, view, clock, quarantine};
    return FullScan(ports, root, rules(), output, FullScanOptions{});
}

// Arg: files. 100,000 and 200,000: the time per entry should not grow with the tree.
void BM_FullScan(benchmark::State& state) {
    const std::string& root = treeOf(static_cast<int>(state.range(0)));
    Silent output;
    std::uint64_t items = 0;
    for (auto _ : state) {
        items = scan(root, output).items;
    }
    // One start text a scan, nothing more.
    if (output.said != static_cast<std::size_t>(state.iterations())) {
        state.SkipWithError("the clean tree gave findings");
    }
    state.counters["entries"] = static_cast<double>(items);
    state.counters["per_entry"] = benchmark::Counter(static_cast<double>(items),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullScan)->Arg(100'000)->Arg(200'000)->Unit(benchmark::kMillisecond);

// The resident memory a scan of 1,000,000 files adds: the peak over two scans (the first one
// warms the cache) above what was resident before the first.
void BM_FullScanMemory(benchmark::State& state) {
    const std::string& root = treeOf(static_cast<int>(state.range(0)));
    Silent output;
    for (auto _ : state) {
        const std::uint64_t before = statusKb("VmRSS:");
        // Resets the peak to what is resident now.
        std::ofstream("/proc/self/clear_refs") << "5";
        benchmark::DoNotOptimize(scan(root, output));
        const FullScanSummary summary = scan(root, output);
        state.counters["entries"] = static_cast<double>(summary.items);
        state.counters["rss_growth_MB"] = static_cast<double>(statusKb("VmHWM:") - before) / 1024.0;
    }
}
BENCHMARK(BM_FullScanMemory)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
