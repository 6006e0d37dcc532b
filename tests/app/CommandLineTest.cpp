#include "app/CommandLine.h"

#include "support/Transcript.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

// Records what the command line asks of it: one item "ID1" at /stick/x.exe.
class RecordingQuarantine final : public Quarantine {
public:
    std::optional<std::string> add(const QuarantineFacts&, ByteReader&) override { return {}; }
    std::optional<std::vector<QuarantineItem>> list() override {
        calls.push_back("list");
        return std::vector<QuarantineItem>{};
    }
    RestoreResult restore(const std::string& id,
                          const std::optional<std::string>& folder) override {
        calls.push_back("restore " + id + (folder ? " " + *folder : ""));
        return {RestoreOutcome::restored, folder.value_or("/stick") + "/x.exe", true};
    }
    bool purge(const std::string& id) override {
        calls.push_back("purge " + id);
        return id == "ID1";
    }
    std::optional<std::size_t> purgeAll() override {
        calls.push_back("purge all");
        return 1;
    }
    Lines calls;
};

// Each line: the arguments, what runs, the exit status and what it prints.
TEST(CommandLine, OneOptionAndItsArgumentsOrAUsageError) {
    const std::string seeHelp = "用法见 tarnwick --help (see tarnwick --help)\n";
    const struct {
        std::vector<std::string> arguments;
        CommandKind kind;
        Lines calls;
        int status;
        std::string out; // "" where the help is printed (checked below)
        std::string err;
    } cases[] = {
        {{}, CommandKind::window, {}, 0, "", ""},
        {{"--help"}, CommandKind::help, {}, 0, "", ""},
        {{"-h"}, CommandKind::help, {}, 0, "", ""},
        {{"--version"}, CommandKind::version, {}, 0, "Tarnwick 9.9.0.8\n", ""},
        {{"-V"}, CommandKind::version, {}, 0, "Tarnwick 9.9.0.8\n", ""},
        {{"--quarantine"},
         CommandKind::listQuarantine,
         {"list"},
         0,
         "隔离区是空的。(The quarantine is empty.)\n",
         ""},
        {{"--restore", "ID1"},
         CommandKind::restore,
         {"restore ID1"},
         0,
         "已恢复：/stick/x.exe (Restored: /stick/x.exe)\n",
         ""},
        {{"--restore", "ID1", "/home/ann"},
         CommandKind::restore,
         {"restore ID1 /home/ann"},
         0,
         "已恢复：/home/ann/x.exe (Restored: /home/ann/x.exe)\n",
         ""},
        {{"--purge", "ID1"},
         CommandKind::purge,
         {"purge ID1"},
         0,
         "已从隔离区永久删除 ID1。 (Deleted ID1 from the quarantine for good.)\n",
         ""},
        {{"--purge", "all"},
         CommandKind::purge,
         {"purge all"},
         0,
         "已清空隔离区，共删除 1 个文件。 (Emptied the quarantine: 1 item deleted.)\n",
         ""},
        {{"--purge", "ID2"},
         CommandKind::purge,
         {"purge ID2", "list"},
         1,
         "",
         "隔离区中没有编号为 ID2 的文件。 (No item ID2 in the quarantine.)\n"},
        {{"--bogus"},
         CommandKind::usageError,
         {},
         2,
         "",
         "tarnwick: 未知选项 --bogus (unknown option --bogus)\n" + seeHelp},
        {{"stick"},
         CommandKind::usageError,
         {},
         2,
         "",
         "tarnwick: 多余的参数 stick (unexpected argument stick)\n" + seeHelp},
        {{"--restore"},
         CommandKind::usageError,
         {},
         2,
         "",
         "tarnwick: 选项 --restore 的参数不对，应为：编号 [文件夹] (ID [FOLDER]) (wrong arguments "
         "for --restore)\n" +
             seeHelp},
        {{"--restore", "a", "b", "c"}, CommandKind::usageError, {}, 2, "", ""},
        {{"--purge"}, CommandKind::usageError, {}, 2, "", ""},
        {{"--quarantine", "x"}, CommandKind::usageError, {}, 2, "", ""},
        {{"--undo-system", "x"}, CommandKind::usageError, {}, 2, "", ""},
        {{"--help", "--version"}, CommandKind::usageError, {}, 2, "", ""},
        // The toolkit's own options are its business, wherever they stand.
        {{"-platform", "offscreen"}, CommandKind::window, {}, 0, "", ""},
        {{"-display", ":1", "-style", "fusion"}, CommandKind::window, {}, 0, "", ""},
        {{"--platform", "xcb", "-style=fusion"}, CommandKind::window, {}, 0, "", ""},
        {{"-platform", "offscreen", "--version"},
         CommandKind::version,
         {},
         0,
         "Tarnwick 9.9.0.8\n",
         ""},
        {{"--quarantine", "-style", "fusion"},
         CommandKind::listQuarantine,
         {"list"},
         0,
         "隔离区是空的。(The quarantine is empty.)\n",
         ""},
        {{"-platform"},
         CommandKind::usageError,
         {},
         2,
         "",
         "tarnwick: 选项 -platform 缺少参数 (-platform needs a value)\n" + seeHelp},
        {{"-platformx", "a"}, CommandKind::usageError, {}, 2, "", ""},
        {{"--restore", "-display"}, CommandKind::usageError, {}, 2, "", ""},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const std::string& a : c.arguments) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        const Command command = parseCommandLine(c.arguments);
        EXPECT_EQ(command.kind, c.kind);
        RecordingQuarantine quarantine;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runCommand(command, quarantine, "9.9.0.8", out, err), c.status);
        EXPECT_EQ(quarantine.calls, c.calls);
        if (c.kind == CommandKind::help) {
            EXPECT_TRUE(out.str().starts_with("用法 (usage): tarnwick [选项 (option)]\n"));
            EXPECT_NE(out.str().find("  --restore 编号 [文件夹] (ID [FOLDER])\n"),
                      std::string::npos);
            EXPECT_NE(out.str().find("  --purge 编号|all (ID|all)\n"), std::string::npos);
            EXPECT_NE(out.str().find("  --undo-system\n        撤销系统免疫"), std::string::npos);
            EXPECT_EQ(out.str().find("  -h"), std::string::npos); // aliases are not listed
        } else {
            EXPECT_EQ(out.str(), c.out);
        }
        if (c.status != 2 || !c.err.empty()) {
            EXPECT_EQ(err.str(), c.err);
        } else {
            EXPECT_TRUE(err.str().ends_with(seeHelp)) << err.str();
        }
    }
}

// The option that undoes system immunization brings its own work; without it the command
// is a usage error.
TEST(CommandLine, UndoSystemRunsItsHook) {
    RecordingQuarantine quarantine;
    std::ostringstream out;
    std::ostringstream err;
    const Command command = parseCommandLine({"--undo-system"});
    EXPECT_EQ(command.kind, CommandKind::undoSystem);
    CommandHooks hooks;
    EXPECT_EQ(runCommand(command, quarantine, "1", out, err, hooks), 2);
    hooks.undoSystem = [](std::ostream& o, std::ostream&) {
        o << "undone\n";
        return 0;
    };
    EXPECT_EQ(runCommand(command, quarantine, "1", out, err, hooks), 0);
    EXPECT_EQ(out.str(), "undone\n");
}

} // namespace
} // namespace tw::test
