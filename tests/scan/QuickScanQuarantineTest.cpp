#include "app/CommandLine.h"
#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tw::test {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome command(Quarantine& quarantine, const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCommand(parseCommandLine(arguments), quarantine, "9.9", out, err);
    return {status, out.str(), err.str()};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every kind of file a quick scan removes goes into the quarantine first, and comes back from
// it through the command line: the same bytes at the same place, with its attribute word.
TEST(QuickScanQuarantine, DeletedFilesComeBackByteIdenticalWithTheirAttributeWord) {
    ScanHarness h;
    std::string essay(200 * 1024, '\0');
    for (std::size_t i = 0; i < essay.size(); ++i) {
        essay[i] = static_cast<char>(i * 7 % 251);
    }
    const struct {
        std::string name;
        std::string content;
        std::uint32_t attributes;
        const char* reason;
    } files[] = {
        {"Photos.exe", std::string("MZ\x90\0\x03 disguised", 15), 33, "快速扫描：伪装文件夹病毒"},
        {"virus.exe", "MZ virus", 38, "快速扫描：AUTO类病毒"},
        {"autorun.inf", "[autorun]\r\nopen=virus.exe\r\n", 39, "快速扫描：病毒配置文件"},
        {"期末论文.docx", essay, 33, "快速扫描：病毒"},
        // Wine keeps the archive bit on every file: there a hidden one stands for a bare one.
        {"笔记.txt", "abc", underWine() ? attr::hidden : 0u, "快速扫描：病毒"},
        {"run.vbs", "WScript.Echo 1", 32, "快速扫描：可疑文件"},
    };
    makeDir(h.stick / "Photos");
    for (const auto& f : files) {
        writeFile(h.stick / f.name, f.content);
        setAttr(h.stick / f.name, f.attributes);
    }
    h.view.answer({mb::yes}); // run.vbs

    for (const std::string& line : h.quickScan()) {
        EXPECT_FALSE(contains(line, "失败")) << line;
    }
    for (const auto& f : files) {
        EXPECT_FALSE(exists(h.stick / f.name)) << f.name;
    }

    // What the quarantine knows of them, as a restart of the program finds it.
    RealQuarantine later(h.store.path(), *h.real);
    const auto items = later.list();
    ASSERT_EQ(items->size(), std::size(files));
    for (const QuarantineItem& item : *items) {
        EXPECT_EQ(item.driveRoot, h.D);
        if (item.originalPath == h.stick / "笔记.txt") {
            EXPECT_EQ(item.sha256,
                      "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        }
    }
    const Outcome listed = command(later, {"--quarantine"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.out.starts_with("已用 200.1 KB / 1.0 GB\n")) << listed.out;
    for (const auto& f : files) {
        EXPECT_TRUE(contains(listed.out, std::string(f.reason) + "\t" + (h.stick / f.name)))
            << f.name << "\n"
            << listed.out;
    }

    for (const QuarantineItem& item : *items) {
        const Outcome restored = command(later, {"--restore", item.id});
        EXPECT_EQ(restored.status, 0) << restored.err;
        EXPECT_EQ(restored.out,
                  "已恢复：" + item.originalPath + " (Restored: " + item.originalPath + ")\n");
    }
    for (const auto& f : files) {
        EXPECT_EQ(readFile(h.stick / f.name), f.content) << f.name;
        EXPECT_EQ(getAttr(h.stick / f.name), keptOnFile(f.attributes)) << f.name;
    }
    EXPECT_EQ(command(later, {"--quarantine"}).out,
              "已用 0 字节 / 1.0 GB\n隔离区是空的。(The quarantine is empty.)\n");
}

// A quarantine that cannot take the file (here: larger than its bound) leaves it on the stick,
// and the scan shows that file's failure text.
TEST(QuickScanQuarantine, AFullQuarantineKeepsTheOriginal) {
    ScanHarness h;
    makeDir(h.stick / "Photos");
    writeFileOfSize(h.stick / "Photos.exe", Harness::quarantineBound + 1);
    EXPECT_EQ(h.quickScan(),
              cat({engineStart, folderScanned(h.D), disguisedNotRemoved(h.D + native("/Photos")),
                   phase2Start(h.D), phase2Clean, phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "Photos.exe"));
    EXPECT_TRUE(namesIn(h.store.path()).empty()); // nothing half-written
}

// Two files removed in one scan into a store with room for one: the first one's copy is never
// evicted to make room for the second, which stays on the stick with its failure text.
TEST(QuickScanQuarantine, OneScanNeverEvictsWhatItRemovedEarlier) {
    ScanHarness h;
    TempDir store("small-quarantine");
    RealQuarantine small(store.path(), *h.real, 10);
    h.quarantineInUse = &small;
    for (const std::string name : {"Photos", "Music"}) {
        makeDir(h.stick / name);
        writeFile(h.stick / (name + ".exe"), "MZ" + name.substr(0, 4));
    }
    h.view.answer({mb::no}); // phase 3 asks about the one that stayed
    const Lines lines = h.quickScan();
    const auto count = [&](const std::string& part) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return contains(line, part); });
    };
    EXPECT_EQ(count(".exe处理成功！"), 1);
    EXPECT_EQ(count(".exe处理失败！"), 1);

    const auto items = small.list().value();
    ASSERT_EQ(items.size(), 1u);
    const std::string removed = items[0].originalPath;
    const bool photos = removed == h.stick / "Photos.exe";
    const std::string stayed = h.stick / (photos ? "Music.exe" : "Photos.exe");
    EXPECT_FALSE(exists(removed));
    EXPECT_TRUE(exists(stayed));
    EXPECT_EQ(command(small, {"--restore", items[0].id}).status, 0);
    EXPECT_EQ(readFile(removed), photos ? "MZPhot" : "MZMusi");
}

} // namespace
} // namespace tw::test
