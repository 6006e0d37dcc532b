// Reading the quarantine's manifest: 10k, 20k and 40k items must cost time in proportion
// (the store once compared every line with every other), and a hostile 256 MiB manifest
// must not cost memory in proportion to it. The store runs over a platform part in memory,
// so that the figures are the core's and not the disk's.

#include "drive/QuarantineStore.h"
#include "linux/PosixFileSystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace tw;

// The peak resident memory of this process so far, in KiB.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// Hands out one line again and again up to a total, never holding more than the line.
class RepeatingReader final : public ByteReader {
public:
    RepeatingReader(std::string head, std::string line, std::uint64_t total)
        : m_head(std::move(head)), m_line(std::move(line)), m_total(total) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        std::size_t n = 0;
        while (n < size && m_at < m_total) {
            const std::string& part = m_at < m_head.size() ? m_head : m_line;
            const std::size_t offset =
                m_at < m_head.size() ? m_at : (m_at - m_head.size()) % m_line.size();
            const std::size_t take = std::min(
                {size - n, part.size() - offset, static_cast<std::size_t>(m_total - m_at)});
            std::copy_n(part.data() + offset, take, buffer + n);
            n += take;
            m_at += take;
        }
        return n;
    }

private:
    std::string m_head;
    std::string m_line;
    std::uint64_t m_total;
    std::uint64_t m_at = 0;
};

struct Files {
    std::map<std::string, std::string> content;
    std::unique_ptr<ByteReader> hostileManifest; // handed out once in place of "manifest"
};

class MemoryWriter final : public FileWriter {
public:
    MemoryWriter(Files& files, std::string name) : m_files(files), m_name(std::move(name)) {}
    bool write(const char* data, std::size_t size) override {
        m_text.append(data, size);
        return true;
    }
    bool flush() override { return true; }
    bool keep() override {
        m_files.content[m_name] = std::move(m_text);
        return true;
    }

private:
    Files& m_files;
    std::string m_name;
    std::string m_text;
};

class MemoryFolder final : public StoreFolder {
public:
    explicit MemoryFolder(Files& files) : m_files(files) {}
    bool lock() override { return true; }
    std::unique_ptr<FileWriter> create(const std::string& name) override {
        return m_files.content.contains(name) ? nullptr
                                              : std::make_unique<MemoryWriter>(m_files, name);
    }
    std::unique_ptr<ByteReader> read(const std::string& name) override {
        if (name == "manifest" && m_files.hostileManifest) {
            return std::move(m_files.hostileManifest);
        }
        const auto it = m_files.content.find(name);
        return it == m_files.content.end() ? nullptr : std::make_unique<TextBytes>(it->second);
    }
    bool rename(const std::string& from, const std::string& to, bool replace) override {
        if (!m_files.content.contains(from) || (!replace && m_files.content.contains(to))) {
            return false;
        }
        m_files.content[to] = std::move(m_files.content[from]);
        m_files.content.erase(from);
        return true;
    }
    bool remove(const std::string& name) override { return m_files.content.erase(name) > 0; }
    void removeLeftover(const std::string& name) override { m_files.content.erase(name); }
    std::optional<std::vector<StoredEntry>> list() override {
        std::vector<StoredEntry> entries;
        for (const auto& [name, text] : m_files.content) {
            entries.push_back({name, EntryKind::file, text.size(), 0});
        }
        return entries;
    }
    std::optional<std::uint64_t> freeSpace() override { return std::nullopt; }

private:
    Files& m_files;
};

class MemoryPlatform final : public QuarantinePlatform {
public:
    explicit MemoryPlatform(Files& files) : m_files(files) {}
    std::unique_ptr<StoreFolder> openStore(bool, bool& missing) override {
        missing = false;
        return std::make_unique<MemoryFolder>(m_files);
    }
    std::optional<std::string> volumeIdentity(const std::string&) override { return "v"; }
    std::optional<std::string> realFolder(const std::string& folder) override { return folder; }
    std::unique_ptr<FileWriter> createOutside(const std::string&, const std::string&,
                                              PlaceOutcome& outcome) override {
        outcome = PlaceOutcome::failed;
        return nullptr;
    }
    PlaceOutcome createLink(const std::string&, const std::string&, const std::string&) override {
        return PlaceOutcome::failed;
    }
    [[nodiscard]] std::string separators() const override { return "/"; }

private:
    Files& m_files;
};

constexpr const char* emptySha = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

QuarantineItem itemNumber(std::int64_t n) {
    QuarantineItem item;
    item.id = "20240501-120000-" + std::to_string(n);
    item.time = 1'714'564'800 + n;
    item.sha256 = emptySha;
    item.attributes = 32;
    item.condemnedBy = condemned::markedFile;
    item.driveRoot = "/media/ann/STICK";
    item.originalPath = "/media/ann/STICK/folder " + std::to_string(n) + "/setup.exe";
    item.volume = "uuid:1234-ABCD/1";
    return item;
}

void ManifestOfItems(benchmark::State& state) {
    Files files;
    std::string manifest(manifest::header);
    manifest += '\n';
    for (std::int64_t n = 0; n < state.range(0); ++n) {
        const QuarantineItem item = itemNumber(n);
        manifest += manifest::encodeLine(item) + '\n';
        files.content[item.id + ".bin"] = "";
    }
    files.content["manifest"] = manifest;
    PosixFileSystem fs(std::string("removable=/nonexistent"));
    QuarantineStore store(std::make_unique<MemoryPlatform>(files), fs);
    for (auto _ : state) {
        const auto items = store.list();
        if (!items || items->size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the store lost items");
            break;
        }
        benchmark::DoNotOptimize(items);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ManifestOfItems)->Arg(10'000)->Arg(20'000)->Arg(40'000)->Complexity(benchmark::oN);

// 256 MiB of lines naming copies that are not there, or one line of that length: read once,
// the store keeps nothing of them. The counter is the growth of the peak resident memory.
void HostileManifest(benchmark::State& state) {
    constexpr std::uint64_t size = std::uint64_t{256} << 20;
    const bool oneLine = state.range(0) == 1;
    for (auto _ : state) {
        Files files;
        const std::string head = std::string(manifest::header) + '\n';
        files.hostileManifest = std::make_unique<RepeatingReader>(
            head, oneLine ? std::string(4096, 'x') : manifest::encodeLine(itemNumber(7)) + '\n',
            size);
        files.content["manifest"] = "";
        PosixFileSystem fs(std::string("removable=/nonexistent"));
        QuarantineStore store(std::make_unique<MemoryPlatform>(files), fs);
        const long before = peakKiB();
        const auto items = store.list();
        state.counters["peak_growth_MiB"] = static_cast<double>(peakKiB() - before) / 1024.0;
        if (!items || !items->empty()) {
            state.SkipWithError("a record without its copy was kept");
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(HostileManifest)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
