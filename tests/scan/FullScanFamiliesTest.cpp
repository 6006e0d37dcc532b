#include "scan/FullScanFixture.h"
#include "support/StickGenerator.h"

#include <gtest/gtest.h>

#include <map>

namespace tw::test {
namespace {

// What an item is before the scan: its attribute word and, for a file, its content.
struct Kept {
    std::uint32_t attributes = 0;
    std::optional<std::string> content;
};

std::map<std::string, Kept> snapshot(const TempDir& stick, const std::vector<std::string>& items) {
    std::map<std::string, Kept> out;
    for (const std::string& item : items) {
        const std::string path = stick / item;
        Kept kept{getAttr(path), std::nullopt};
        if ((kept.attributes & attr::directory) == 0) {
            kept.content = readFile(path);
        }
        out[item] = kept;
    }
    return out;
}

// The name a renamed wrapper got beside where it was: the one new name of that folder.
std::string renamedTo(const TempDir& stick, const std::string& item) {
    const auto cut = item.rfind('/');
    const std::string parent = cut == std::string::npos ? "" : item.substr(0, cut + 1);
    for (const std::string& name : namesIn(parent.empty() ? stick.path() : stick / parent)) {
        if (name.starts_with("Tarnwick恢复的文件夹")) {
            return parent + name;
        }
    }
    return item;
}

// Each family's stick, scanned from the window with Yes to every question: what is malicious
// is in the quarantine without a question, what is suspicious was asked about by name, what
// the worm hid is visible again (renamed where its name could not be seen), and the user's
// own items are as they were.
TEST(FullScanFamilies, EachFamilyIsFoundAndCleaned) {
    for (const Family family : allFamilies()) {
        SCOPED_TRACE(familyName(family));
        FullScanHarness h;
        const GeneratedStick made = makeInfectedStick(h.stick.path(), family);
        h.faulty.labelOverride = made.label;
        const auto before = snapshot(h.stick, made.untouched);
        for (std::size_t i = 0; i < made.suspicious.size(); ++i) {
            h.view.answer({mb::yes});
        }
        const Lines lines = h.clickScan();
        EXPECT_EQ(h.view.pendingAnswers(), 0u);

        // Items inside a renamed wrapper are found under its new name; what was shown again
        // keeps its content, its other attributes are checked above.
        const auto nowAt = [&](const std::string& item) {
            for (const std::string& wrapper : made.renamed) {
                if (item.starts_with(wrapper + "/")) {
                    return renamedTo(h.stick, wrapper) + item.substr(wrapper.size());
                }
            }
            return item;
        };
        // In the quarantine under the path it had when it was removed: before or after its
        // wrapper got a visible name.
        std::vector<std::string> removed;
        for (const QuarantineItem& item :
             h.quarantine.list().value_or(std::vector<QuarantineItem>{})) {
            removed.push_back(item.originalPath);
        }
        EXPECT_EQ(removed.size(), made.malicious.size() + made.suspicious.size());
        const auto isRemoved = [&](const std::string& item) {
            for (const std::string& path :
                 {native(h.stick / item), native(h.stick / nowAt(item))}) {
                if (std::find(removed.begin(), removed.end(), path) != removed.end()) {
                    return !exists(path);
                }
            }
            return false;
        };
        for (const std::string& item : made.malicious) {
            EXPECT_TRUE(isRemoved(item)) << item;
        }
        for (const std::string& item : made.suspicious) {
            EXPECT_TRUE(isRemoved(item)) << item;
            const std::string asked = "box[4] 提示: 发现可疑文件";
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.starts_with(asked + native(h.stick / item)) ||
                       line.starts_with(asked + native(h.stick / nowAt(item)));
            })) << item;
        }

        for (const std::string& item : made.renamed) {
            EXPECT_FALSE(exists(h.stick / item)) << item;
            EXPECT_NE(renamedTo(h.stick, item), item) << item;
        }
        for (const std::string& item : made.restored) {
            const bool renamed =
                std::find(made.renamed.begin(), made.renamed.end(), item) != made.renamed.end();
            const std::string now = renamed ? renamedTo(h.stick, item) : item;
            EXPECT_EQ(getAttr(h.stick / now) & (attr::hidden | attr::system), 0u) << item;
        }
        for (const auto& [item, kept] : before) {
            const bool restored =
                std::find(made.restored.begin(), made.restored.end(), item) != made.restored.end();
            if (!restored) {
                EXPECT_EQ(getAttr(h.stick / nowAt(item)), kept.attributes) << item;
            }
            if (kept.content) {
                EXPECT_EQ(readFile(h.stick / nowAt(item)), *kept.content) << item;
            }
        }
        EXPECT_NE(h.report().find("[隔离] "), std::string::npos);
    }
}

// The user's own links of every kind, their hidden files and Windows' folders: nothing is
// found, nothing asked, nothing changed.
TEST(FullScanFamilies, TheCleanStickGivesNoFinding) {
    FullScanHarness h;
    const GeneratedStick made = makeCleanStick(h.stick.path());
    h.faulty.labelOverride = made.label;
    const auto before = snapshot(h.stick, made.untouched);
    const Lines lines = h.clickScan();
    for (const std::string& line : lines) {
        EXPECT_FALSE(line.starts_with("Label7: 发现") || line.starts_with("box[4]")) << line;
    }
    EXPECT_TRUE(h.quarantine.list().value_or(std::vector<QuarantineItem>{}).empty());
    for (const auto& [item, kept] : before) {
        EXPECT_EQ(getAttr(h.stick / item), kept.attributes) << item;
        if (kept.content) {
            EXPECT_EQ(readFile(h.stick / item), *kept.content) << item;
        }
    }
    EXPECT_NE(h.report().find("没有发现威胁，也没有被隐藏的项目。"), std::string::npos);
    EXPECT_NE(
        lines[lines.size() - 2].find("清除威胁 0 个，恢复被隐藏的项目 0 个，留待处理的可疑项 0 个"),
        std::string::npos);
}

} // namespace
} // namespace tw::test
