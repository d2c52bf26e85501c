#include "cli/history.h"

#include <cstdlib>
#include <ctime>
#include <optional>

#include "cli/cli_host.h"
#include "cli/json_report.h"
#include "cli/run.h"
#include "cli/text.h"
#include "cli/text_report.h"
#include "journal/recovery.h"
#include "journal/run_log.h"
#include "journal/undo.h"
#include "ops/undo_budget.h"

namespace ferro::cli {

namespace {

std::optional<std::tm> LocalTime(int64_t ns) {
    if (ns <= 0) return std::nullopt;
    const std::time_t t = static_cast<std::time_t>(ns / 1000000000);
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::nullopt;
    return local;
}

std::string OriginText(const JournalRun& run) {
    if (run.origin == "window") return FromUtf8("窗口");
    if (run.origin == "cli") return FromUtf8("命令行");
    return {};
}

std::string RunName(const JournalRun& run) {
    if (run.operation.empty()) return FromUtf8("第 " + std::to_string(std::atoi(run.id.c_str())) + " 次处理");
    return FromUtf8("“") + run.operation + FromUtf8("”");
}

bool Refuse(Console& console, const std::string& utf8) {
    PrintErr(console, FromUtf8(utf8) + "\n");
    return false;
}

// The options of a verb: each known one at most once, nothing else.
bool ReadSwitches(const std::vector<std::string>& args, std::vector<std::pair<const char*, bool*>> known,
                  const char* verb, Console& console) {
    for (const std::string& a : args) {
        bool found = false;
        for (auto& [name, flag] : known)
            if (a == name) found = *flag = true;
        if (!found)
            return Refuse(console, "未知的选项：" + ToUtf8(a) + "（ferrovan-batch " + verb +
                                       " --help 列出可用的选项）");
    }
    return true;
}

// What undo would put back of a run, newest change first, from its log.
struct PlannedUndo {
    std::string what;  // GBK
    std::string path;  // GBK: where the file is now
};

std::vector<PlannedUndo> PlanUndo(const Journal& journal, const JournalRun& run) {
    std::vector<PlannedUndo> plan;
    journal::RunLog log;
    if (!journal::ReadRunLog(journal.RunFolder(run.id) + "/log", log)) return plan;
    for (auto it = log.doneOrder.rbegin(); it != log.doneOrder.rend(); ++it) {
        if (*it < 0 || static_cast<std::size_t>(*it) >= log.items.size()) continue;
        const journal::Item& item = log.items[*it];
        if (item.undone || item.lost) continue;
        // Where the file is now: a rename made as intended records no
        // new place but its target.
        const std::string now = !item.now.empty()                          ? item.now
                                : item.kind == journal::ItemKind::Rename ? item.to
                                                                          : item.path;
        switch (item.kind) {
            case journal::ItemKind::Rename:
                plan.push_back({FromUtf8("改回原名：") + item.path, now});
                break;
            case journal::ItemKind::Times:
                plan.push_back({FromUtf8("恢复日期"), now});
                break;
            case journal::ItemKind::Attributes:
                plan.push_back({FromUtf8("恢复属性"), now});
                break;
            case journal::ItemKind::Content:
                plan.push_back({FromUtf8("恢复原内容"), now});
                break;
            case journal::ItemKind::Create:
                plan.push_back({FromUtf8(item.IsBackup() ? "删除备份文件" : "删除处理时新建的文件"), now});
                break;
            case journal::ItemKind::Trash:
                plan.push_back({FromUtf8("从回收站放回：") + item.path, now});
                break;
            case journal::ItemKind::MakeFolder:
                plan.push_back({FromUtf8("删除处理时新建的目录（为空时）"), now});
                break;
        }
    }
    return plan;
}

std::string RunJson(const JournalRun& run) {
    return "\"run\":" + JsonString(run.id) + ",\"runOperation\":" + JsonString(run.operation) +
           ",\"runDescription\":" + JsonString(DescribeRun(run));
}

const char* const kUndoHelp =
    "用法：ferrovan-batch undo [--dry-run] [--json]\n"
    "撤销最近一次处理（窗口中或命令行上的），与窗口中的“撤销”按钮相同：处理后又被修改过的文件、\n"
    "已被占用的原名称、只读的文件不会被覆盖，列出原因后保留原样。\n"
    "\n"
    "  --dry-run\n      只列出将要恢复的更改，不修改任何文件\n"
    "  --json\n      在标准输出上以 JSON 格式列出每个文件的撤销结果\n"
    "  --help\n      显示本说明（也可以用 -h）\n"
    "\n"
    "ferrovan-batch history 列出撤销记录中的处理。\n"
    "退出状态：0 全部恢复；1 有更改未能恢复（原因列在标准错误上）；2 没有可撤销的操作、\n"
    "记录损坏需要在窗口中决定，或用法错误，没有修改任何文件。\n";

const char* const kHistoryHelp =
    "用法：ferrovan-batch history\n"
    "列出撤销记录中的处理，最近的在前：编号、时间、处理方式、在哪里处理（窗口或命令行）、\n"
    "文件所在的目录（或第一个文件）、文件数量，以及能否撤销。\n"
    "ferrovan-batch undo 撤销最近一次可以撤销的处理。\n";

}  // namespace

std::string DescribeRun(const JournalRun& run) {
    std::vector<std::string> parts;
    if (const auto t = LocalTime(run.startedNs))
        parts.push_back(std::to_string(t->tm_mon + 1) + FromUtf8("月") + std::to_string(t->tm_mday) +
                        FromUtf8("日 ") + (t->tm_hour < 10 ? "0" : "") + std::to_string(t->tm_hour) +
                        ":" + (t->tm_min < 10 ? "0" : "") + std::to_string(t->tm_min));
    if (const std::string origin = OriginText(run); !origin.empty()) parts.push_back(origin);
    if (!run.place.empty()) parts.push_back(run.place);
    parts.push_back(std::to_string(run.files) + FromUtf8(" 个文件"));
    std::string text = RunName(run) + FromUtf8("（");
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? FromUtf8("，") : "") + parts[i];
    return text + FromUtf8("）");
}

std::string UndoStateText(const JournalRun& run, bool next) {
    if (run.undone) return FromUtf8("已撤销");
    if (run.live) return FromUtf8("正在处理");
    if (run.setAside) return FromUtf8("已搁置");
    std::string text = FromUtf8(next ? "可以撤销（下一个）" : "可以撤销");
    if (run.damaged) text += FromUtf8("，记录损坏");
    else if (run.interrupted) text += FromUtf8("，未正常结束");
    return text;
}

int HistoryMain(const std::vector<std::string>& args, Console& console) {
    bool help = false, h = false;
    if (!ReadSwitches(args, {{"--help", &help}, {"-h", &h}}, "history", console)) return kExitRefused;
    if (help || h) {
        PrintOut(console, FromUtf8(kHistoryHelp));
        return kExitDone;
    }
    const std::unique_ptr<Journal> journal = ops::OpenRunJournal();
    const std::vector<JournalRun> runs = journal->Runs();
    if (runs.empty()) {
        PrintErr(console, FromUtf8("撤销记录中没有处理\n"));
        return kExitDone;
    }
    const std::optional<JournalRun> next = journal->NextToUndo();
    std::string out = FromUtf8("编号\t时间\t处理方式\t在哪里\t目录或第一个文件\t文件数\t撤销\n");
    for (const JournalRun& run : runs) {
        std::string when;
        if (const auto t = LocalTime(run.startedNs)) {
            char buf[32];
            std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &*t);
            when = buf;
        }
        out += run.id + "\t" + when + "\t" + run.operation + "\t" + OriginText(run) + "\t" + run.place +
               "\t" + std::to_string(run.files) + "\t" + UndoStateText(run, next && next->id == run.id) +
               "\n";
    }
    PrintOut(console, out);
    return kExitDone;
}

int UndoMain(const std::vector<std::string>& args, Console& console) {
    bool dryRun = false, json = false, help = false, h = false;
    if (!ReadSwitches(args, {{"--dry-run", &dryRun}, {"--json", &json}, {"--help", &help}, {"-h", &h}},
                      "undo", console))
        return kExitRefused;
    if (help || h) {
        PrintOut(console, FromUtf8(kUndoHelp));
        return kExitDone;
    }
    const std::unique_ptr<Journal> journal = ops::OpenRunJournal();
    // A run a kill cut short is mended first, as at every start.
    const std::string mended = StartRecoveryText(RecoverAtStart(journal.get()));
    if (!mended.empty()) PrintErr(console, mended);
    std::optional<JournalRun> next = journal->NextToUndo();
    // Its record read whole: damage the journal's index cannot show.
    if (next) next = journal->Inspect(next->id);
    if (!next) {
        PrintErr(console, FromUtf8("没有可撤销的操作！\n"));
        return kExitRefused;
    }
    if (next->damaged) {
        // The window asks what to do with it; here nobody can be asked.
        PrintErr(console, DamagedRunText(*next) + "\n" +
                              FromUtf8("请在窗口中按“撤销”，选择撤销其中可以读出的部分，或者搁置这个记录。\n"));
        return kExitRefused;
    }
    if (dryRun) {
        const std::vector<PlannedUndo> plan = PlanUndo(*journal, *next);
        if (json) {
            std::string j = "{\"operation\":\"undo\",\"dryRun\":true," + RunJson(*next) + ",\"changes\":[";
            for (std::size_t i = 0; i < plan.size(); ++i)
                j += std::string(i ? "," : "") + "{" + JsonPathMember("path", plan[i].path) +
                     ",\"change\":" + JsonString(plan[i].what) + "}";
            console.Out(j + "]}\n");
        } else {
            std::string out = FromUtf8("将撤销") + DescribeRun(*next) + "\n";
            for (const PlannedUndo& p : plan) out += p.path + "\t" + p.what + "\n";
            PrintOut(console, out);
        }
        PrintErr(console, FromUtf8("共 " + std::to_string(plan.size()) + " 项更改将被恢复，没有修改任何文件\n"));
        return kExitDone;
    }
    PrintErr(console, FromUtf8("撤销") + DescribeRun(*next) + "\n");
    CliRunHost host(console, nullptr, std::string());
    const UndoResult result = UndoRun(*journal, next->id, &host);
    host.ClearProgress();
    const RunSummary& s = result.summary;
    PrintRunReport(console, s, UndoClosingText(result));
    if (json) {
        std::string j = "{\"operation\":\"undo\"," + RunJson(*next) + ",\"total\":" + std::to_string(s.total) +
                        ",\"done\":" + std::to_string(s.done) + ",\"complete\":" +
                        (result.complete() ? "true" : "false") + ",\"stopped\":" + (s.stopped ? "true" : "false") +
                        ",\"error\":" + (s.error.empty() ? std::string("null") : JsonString(s.error)) +
                        ",\"files\":[";
        bool first = true;
        for (const FileResult& f : host.Files(s)) {
            j += std::string(first ? "" : ",") + "{" + JsonPathMember("path", f.path) + ",\"result\":\"" +
                 ResultCode(f.why) + "\",\"reason\":" + JsonString(UndoneText(f.why)) + "}";
            first = false;
        }
        console.Out(j + "]}\n");
    }
    return result.complete() ? kExitDone : kExitUndone;
}

}  // namespace ferro::cli
