// The verdicts on generated sticks, read through the platform's own file system: every
// family's items judged as the generator says, and not one sign on the clean stick.
#include "scan/FullScanVerdict.h"

#include "support/Harness.h"
#include "support/StickGenerator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

std::string dataFile(const std::string& name);

const FullScanRules& shippedRules() {
    static const FullScanRules rules = [] {
        test::RealFileSystem fs;
        RulesLoad load = loadFullScanRules(fs, dataFile("fullscan.rules"));
        if (!load.rules) {
            throw std::runtime_error(load.error);
        }
        return *load.rules;
    }();
    return rules;
}

std::string dataFile(const std::string& name) {
    return test::native(std::string(TARNWICK_SOURCE_DIR) + "/data/" + name);
}

// What the verdicts make of a whole stick, gathered as a walk would: the links first (they
// name payloads and what was hidden), then the folders, then the other files.
struct Outcome {
    std::set<std::string> malicious;
    std::set<std::string> suspicious;
    std::set<std::string> restored;
    std::set<std::string> renamed;
};

struct Item {
    std::string stickPath;
    std::string folder;
    EntryInfo info;
    std::vector<Neighbour> neighbours;
};

class StickJudge {
public:
    StickJudge(std::string root, std::string label)
        : m_root(std::move(root)), m_label(std::move(label)), m_fs("removable=" + m_root) {
        collect("");
    }

    Outcome run() {
        Outcome out;
        std::set<std::string> payloads;
        for (const Item& item : m_items) {
            if (item.info.kind != EntryKind::file || !endsWith(item.info.name, ".lnk")) {
                continue;
            }
            const std::vector<unsigned char> bytes = head(item.info.path, maxShellLinkBytes);
            const auto link = parseShellLink(bytes);
            if (!link) {
                continue;
            }
            LinkFinding finding{
                &*link,      item.info.name,
                item.folder, item.neighbours,
                m_label,     [&](const std::string& p) { return m_fs.lookup(native(p)); }};
            const LinkVerdict v = judgeLink(finding, shippedRules());
            record(out, item.stickPath, v.verdict);
            if (v.verdict != Verdict::malicious) {
                continue;
            }
            payloads.insert(v.namedFiles.begin(), v.namedFiles.end());
            for (const std::string& name : v.imitated) {
                restoreIfHidden(out, join(item.folder, name));
            }
            for (const auto* list : {&v.namedFolders, &v.openedFiles}) {
                for (const std::string& p : *list) {
                    restoreIfHidden(out, p);
                }
            }
        }
        std::set<std::string> wrappers;
        for (const Item& item : m_items) {
            if (item.info.kind != EntryKind::folder) {
                continue;
            }
            FolderFinding finding{item.info.name, item.folder, item.info.attributes, std::nullopt,
                                  m_label};
            const std::string ini = item.info.path + m_fs.separator() + "desktop.ini";
            if (m_fs.lookup(ini) == Presence::file) {
                const std::vector<unsigned char> bytes = head(ini, 4096);
                finding.desktopIni = std::string(bytes.begin(), bytes.end());
            }
            const FolderVerdict v = judgeFolder(finding, shippedRules());
            if (v.wrapper) {
                wrappers.insert(item.stickPath);
                out.restored.insert(item.stickPath);
                if (finding.desktopIni && desktopIniHasClsid(*finding.desktopIni)) {
                    out.malicious.insert(item.stickPath + "/desktop.ini");
                }
            }
            if (v.needsVisibleName) {
                out.renamed.insert(item.stickPath);
            }
        }
        for (const Item& item : m_items) {
            if (item.info.kind != EntryKind::file || endsWith(item.info.name, ".lnk") ||
                out.malicious.count(item.stickPath) != 0) {
                continue;
            }
            PayloadFinding finding{item.info.name, item.folder, item.info.attributes,
                                   item.neighbours};
            const std::vector<unsigned char> bytes = head(item.info.path, 64);
            finding.encodedScript = startsEncodedScript(bytes);
            finding.namedByMaliciousLink = payloads.count(item.stickPath) != 0;
            finding.insideWrapper = std::any_of(wrappers.begin(), wrappers.end(), [&](auto& w) {
                return item.stickPath.rfind(w + "/", 0) == 0;
            });
            finding.besideMaliciousPayload =
                std::any_of(payloads.begin(), payloads.end(), [&](const std::string& p) {
                    return p.rfind(join(item.folder, ""), 0) == 0 &&
                           p.find('/', join(item.folder, "").size()) == std::string::npos;
                });
            const PayloadVerdict v = judgePayload(finding, shippedRules());
            record(out, item.stickPath, v.verdict);
            // A folder that a malicious folder-named program stood in for.
            for (const SignFound& s : v.signs) {
                if (v.verdict == Verdict::malicious && s.sign == Sign::imitatesHiddenItem) {
                    const std::string name = item.info.name;
                    out.restored.insert(join(item.folder, name.substr(0, name.rfind('.'))));
                }
            }
        }
        return out;
    }

private:
    static bool endsWith(const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() &&
               std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    }
    static std::string join(const std::string& folder, const std::string& name) {
        return folder.empty() ? name : folder + "/" + name;
    }
    std::string native(const std::string& stickPath) const {
        return test::native(m_root + "/" + stickPath);
    }

    void collect(const std::string& folder) {
        const auto entries = m_fs.list(folder.empty() ? m_root : native(folder));
        ASSERT_TRUE(entries) << folder;
        std::vector<Neighbour> neighbours;
        for (const EntryInfo& e : *entries) {
            neighbours.push_back(Neighbour{e.name, e.kind == EntryKind::folder, e.attributes});
        }
        for (const EntryInfo& e : *entries) {
            m_items.push_back(Item{join(folder, e.name), folder, e, neighbours});
            if (e.kind == EntryKind::folder) {
                collect(join(folder, e.name));
            }
        }
    }

    std::vector<unsigned char> head(const std::string& path, std::size_t size) {
        std::vector<unsigned char> bytes(size);
        const auto reader = m_fs.openRead(path);
        std::size_t got = 0;
        while (reader && got < size) {
            const auto n = reader->read(reinterpret_cast<char*>(bytes.data() + got), size - got);
            if (!n || *n == 0) {
                break;
            }
            got += *n;
        }
        bytes.resize(got);
        return bytes;
    }

    void record(Outcome& out, const std::string& path, Verdict v) {
        if (v == Verdict::malicious) {
            out.malicious.insert(path);
        } else if (v == Verdict::suspicious) {
            out.suspicious.insert(path);
        }
    }
    void restoreIfHidden(Outcome& out, const std::string& stickPath) {
        const auto a = m_fs.attributes(native(stickPath));
        if (a && (*a & attr::hidden) != 0) {
            out.restored.insert(stickPath);
        }
    }

    std::string m_root;
    std::string m_label;
    test::RealFileSystem m_fs;
    std::vector<Item> m_items;
};

std::set<std::string> asSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

TEST(FullScanVerdictSticks, EveryFamily) {
    for (const test::Family family : test::allFamilies()) {
        SCOPED_TRACE(test::familyName(family));
        test::TempDir stick("stick");
        const test::GeneratedStick made = test::makeInfectedStick(stick.path(), family);
        const Outcome got = StickJudge(stick.path(), made.label).run();
        EXPECT_EQ(got.malicious, asSet(made.malicious));
        EXPECT_EQ(got.suspicious, asSet(made.suspicious));
        EXPECT_EQ(got.restored, asSet(made.restored));
        EXPECT_EQ(got.renamed, asSet(made.renamed));
        for (const std::string& p : made.untouched) {
            EXPECT_EQ(got.malicious.count(p) + got.suspicious.count(p), 0u) << p;
        }
    }
}

TEST(FullScanVerdictSticks, CleanStickHasNoSigns) {
    test::TempDir stick("stick");
    const test::GeneratedStick made = test::makeCleanStick(stick.path());
    const Outcome got = StickJudge(stick.path(), made.label).run();
    EXPECT_EQ(got.malicious, std::set<std::string>());
    EXPECT_EQ(got.suspicious, std::set<std::string>());
    EXPECT_EQ(got.restored, std::set<std::string>());
    EXPECT_EQ(got.renamed, std::set<std::string>());
    EXPECT_GE(made.untouched.size(), 20u);
}

} // namespace
} // namespace tw
