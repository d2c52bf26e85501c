#include "cli/verbs.h"

#include "cli/history.h"
#include "cli/run.h"
#include "cli/text.h"
#include "platform/fs.h"
#include "platform/error.h"
#include "presets/preset.h"

namespace ferro::cli {

namespace {

const char* const kVerbs[] = {"run", "presets", "history", "undo"};

const char* const kPresetsHelp =
    "用法：ferrovan-batch presets [--names]\n"
    "列出保存的方案（窗口中的“保存方案”）和各自的处理方式。方案保存在\n"
    "$XDG_CONFIG_HOME/ferrovan-batch/presets/（默认 ~/.config/ferrovan-batch/presets/），每个方案一个\n"
    "文本文件，可以复制到其他电脑上使用。\n"
    "用方案处理：ferrovan-batch run --preset 名称 [选项] [文件...]（选项改变方案中的设置）。\n"
    "\n"
    "  --names\n      只列出方案的名称，每行一个\n";

}  // namespace

bool IsVerb(std::string_view word) {
    for (const char* v : kVerbs)
        if (word == v) return true;
    return false;
}

bool LooksLikeVerb(std::string_view word) {
    if (word.empty() || IsVerb(word) || word.front() == '-') return false;
    for (char c : word)
        if (!((c >= 'a' && c <= 'z') || c == '-')) return false;
    FindEntry entry;
    return !StatPath(GetCurrentDir() + "/" + std::string(word), entry);
}

std::string VerbUsage() {
    return FromUtf8(
        "用法：ferrovan-batch [选项] [文件或目录...]      打开窗口\n"
        "      ferrovan-batch run 处理方式 [选项] [文件...]  不打开窗口，直接处理\n"
        "      ferrovan-batch run --preset 方案 [选项] [文件...]\n"
        "      ferrovan-batch presets                      列出保存的方案\n"
        "      ferrovan-batch history                      列出撤销记录中的处理\n"
        "      ferrovan-batch undo [--dry-run] [--json]    撤销最近一次处理\n"
        "ferrovan-batch --help 显示完整说明。\n");
}

int RefuseVerb(std::string_view word, Console& console) {
    PrintErr(console, FromUtf8("未知的命令：") + std::string(word) + "\n" + VerbUsage());
    return kExitRefused;
}

int PresetsMain(const std::vector<std::string>& args, Console& console) {
    bool namesOnly = false;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            PrintOut(console, FromUtf8(kPresetsHelp));
            return kExitDone;
        }
        if (a != "--names") {
            PrintErr(console, FromUtf8("未知的选项：") + a + FromUtf8("（ferrovan-batch presets --help 列出可用的选项）\n"));
            return kExitRefused;
        }
        namesOnly = true;
    }
    const presets::PresetStore store;
    const std::vector<std::string> names = store.Names();
    if (names.empty() && !namesOnly) {
        PrintErr(console, FromUtf8("还没有保存的方案（在窗口中按“保存方案”，保存在 ") + store.folder() + "）\n");
        return kExitDone;
    }
    std::string out;
    for (const std::string& name : names) {
        out += name;
        if (!namesOnly) {
            try {
                const presets::LoadedPreset p = store.Load(name);
                out += "\t" + std::string(p.preset.operation->info().name) + "\t" +
                       FromUtf8(p.preset.operation->info().caption);
            } catch (const Error& e) {
                out += "\t" + std::string(e.what());
            }
        }
        out += "\n";
    }
    PrintOut(console, out);
    return kExitDone;
}

int VerbMain(std::string_view verb, const std::vector<std::string>& args, Console& console) {
    if (verb == "run") return Main(args, console);
    if (verb == "presets") return PresetsMain(args, console);
    if (verb == "history") return HistoryMain(args, console);
    if (verb == "undo") return UndoMain(args, console);
    return RefuseVerb(verb, console);
}

}  // namespace ferro::cli
