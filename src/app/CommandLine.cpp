#include "app/CommandLine.h"

#include "app/QuarantineCommands.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tw {

namespace {

constexpr std::array<OptionSpec, 9> options = {{
    {"--quarantine", CommandKind::listQuarantine, 0, 0, "",
     "列出隔离区中的文件 (list the files in the quarantine)"},
    {"--restore", CommandKind::restore, 1, 2, "编号 [文件夹] (ID [FOLDER])",
     "把文件恢复到原位置，或恢复到指定文件夹；不会覆盖已有文件\n"
     "        (put a file back where it was, or into FOLDER; never over an existing file)"},
    {"--purge", CommandKind::purge, 1, 1, "编号|all (ID|all)",
     "从隔离区永久删除一个文件或全部文件 (delete one item or all for good)"},
    {"--undo-system", CommandKind::undoSystem, 0, 0, "",
     "撤销系统免疫：恢复免疫前的自动播放设置\n"
     "        (put back the AutoPlay settings that system immunization changed)"},
    {"--full-scan", CommandKind::fullScan, 1, 2, "路径 [--dry-run] (PATH [--dry-run])",
     "完全扫描挂载在该路径的U盘：威胁移入隔离区，恢复被隐藏的文件，不提问，可疑文件只列出；\n"
     "        --dry-run 只检查不更改。退出码：0 未发现，1 有发现，2 出错\n"
     "        (scan the whole removable drive at PATH without a window; --dry-run changes\n"
     "        nothing; exit 0 nothing found, 1 found, 2 error)"},
    {"--help", CommandKind::help, 0, 0, "", "显示本帮助 (show this help)"},
    {"-h", CommandKind::help, 0, 0, "", ""},
    {"--version", CommandKind::version, 0, 0, "", "显示版本 (show the version)"},
    {"-V", CommandKind::version, 0, 0, "", ""},
}};

const OptionSpec* findOption(std::string_view name) {
    for (const OptionSpec& option : options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// The window toolkit's own options and the value each takes, in its one-dash or two-dash
// spelling or as name=value: they belong to the window and are left to it.
constexpr std::array<std::string_view, 3> toolkitOptions = {"platform", "display", "style"};

// How many arguments a toolkit option at this place takes (0: not one of them).
std::size_t toolkitOptionLength(std::string_view argument) {
    if (argument.starts_with("--")) {
        argument.remove_prefix(2);
    } else if (argument.starts_with("-")) {
        argument.remove_prefix(1);
    } else {
        return 0;
    }
    const auto equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    if (std::find(toolkitOptions.begin(), toolkitOptions.end(), name) == toolkitOptions.end()) {
        return 0;
    }
    return equals == std::string_view::npos ? 2 : 1;
}

Command usageError(std::string error) {
    Command command;
    command.kind = CommandKind::usageError;
    command.error = std::move(error);
    return command;
}

void printHelp(std::ostream& out, const std::string& quarantineFolder) {
    out << "用法 (usage): tarnwick [选项 (option)]\n"
           "不带选项时打开主窗口。(Without an option the main window opens.)\n\n"
           "选项 (options):\n";
    for (const OptionSpec& option : options) {
        if (option.help.empty()) {
            continue;
        }
        out << "  " << option.name;
        if (!option.argumentsHelp.empty()) {
            out << ' ' << option.argumentsHelp;
        }
        out << "\n        " << option.help << '\n';
    }
    out << "\n隔离区 (quarantine): " << quarantineFolder << '\n';
}

int listItems(Quarantine& quarantine, std::ostream& out, std::ostream& err) {
    const auto items = quarantine.list();
    if (!items) {
        err << "无法读取隔离区。(The quarantine cannot be read.)\n";
        return 1;
    }
    if (quarantine.bound() > 0) {
        out << quarantineUsageText(*items, quarantine.bound()) << '\n';
    }
    if (items->empty()) {
        out << "隔离区是空的。(The quarantine is empty.)\n";
        return 0;
    }
    out << "隔离区中有 " << items->size() << " 个文件。(" << items->size()
        << (items->size() == 1 ? " item" : " items") << " in the quarantine.)\n"
        << "编号 (ID)\t时间 (time)\t大小 (size)\t原因 (reason)\t原位置 (original path)\n";
    for (const QuarantineRow& row : quarantineRows(*items)) {
        const auto& [time, path, reason, size] = row.cells;
        out << row.id << '\t' << time << '\t' << size << '\t' << reason << '\t' << path << '\n';
    }
    return 0;
}

int printReport(const QuarantineReport& report, std::ostream& out, std::ostream& err) {
    (report.ok ? out : err) << report.zh << " (" << report.en << ")\n";
    return report.ok ? 0 : 1;
}

} // namespace

std::span<const OptionSpec> commandLineOptions() {
    return options;
}

Command parseCommandLine(const std::vector<std::string>& given) {
    std::vector<std::string> arguments;
    for (std::size_t i = 0; i < given.size();) {
        const std::size_t length = toolkitOptionLength(given[i]);
        if (length == 0) {
            arguments.push_back(given[i++]);
            continue;
        }
        if (i + length > given.size()) {
            return usageError("选项 " + given[i] + " 缺少参数 (" + given[i] + " needs a value)");
        }
        i += length;
    }
    if (arguments.empty()) {
        return {};
    }
    const std::string& name = arguments.front();
    const OptionSpec* option = findOption(name);
    if (option == nullptr) {
        if (!name.empty() && name.front() == '-') {
            return usageError("未知选项 " + name + " (unknown option " + name + ")");
        }
        return usageError("多余的参数 " + name + " (unexpected argument " + name + ")");
    }
    const std::size_t count = arguments.size() - 1;
    if (count < option->minArguments || count > option->maxArguments) {
        std::string expected = option->argumentsHelp.empty()
                                   ? std::string("不带参数 (takes no argument)")
                                   : std::string(option->argumentsHelp);
        return usageError("选项 " + name + " 的参数不对，应为：" + expected +
                          " (wrong arguments for " + name + ")");
    }
    Command command;
    command.kind = option->kind;
    command.arguments.assign(arguments.begin() + 1, arguments.end());
    return command;
}

int runCommand(const Command& command, Quarantine& quarantine, const std::string& version,
               std::ostream& out, std::ostream& err, const CommandHooks& hooks) {
    const auto& args = command.arguments;
    switch (command.kind) {
    case CommandKind::window:
        return 0;
    case CommandKind::help:
        printHelp(out, hooks.quarantineFolder);
        return 0;
    case CommandKind::version:
        out << "Tarnwick " << version << '\n';
        return 0;
    case CommandKind::listQuarantine:
        return listItems(quarantine, out, err);
    case CommandKind::restore:
        return printReport(restoreItem(quarantine, args.at(0),
                                       args.size() > 1 ? std::optional(args[1]) : std::nullopt),
                           out, err);
    case CommandKind::purge:
        return printReport(args.at(0) == "all" ? purgeAllItems(quarantine)
                                               : purgeItem(quarantine, args.at(0)),
                           out, err);
    case CommandKind::undoSystem:
        if (hooks.undoSystem) {
            return hooks.undoSystem(out, err);
        }
        break;
    case CommandKind::fullScan:
        if (hooks.fullScan) {
            return hooks.fullScan(args, out, err);
        }
        break;
    case CommandKind::usageError:
        err << "tarnwick: " << command.error << '\n';
        break;
    }
    err << "用法见 tarnwick --help (see tarnwick --help)\n";
    return 2;
}

} // namespace tw
