#include "cli/run.h"

#include <memory>

#include "cli/cli_host.h"
#include "cli/dry_run.h"
#include "cli/json_report.h"
#include "cli/text.h"
#include "cli/text_report.h"
#include "fileops/ticked_rows.h"
#include "journal/journal.h"
#include "journal/recovery.h"
#include "ops/undo_budget.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/random.h"
#include "platform/text.h"

namespace ferro::cli {

namespace {

// A path as named on the command line, from the current folder: the
// report and the undo journal hold whole paths, so a run can be undone
// from anywhere.
// here: the current folder, asked once for all the paths of a run.
std::string FromCurrentDir(std::string path, const std::string& here) {
    while (path.size() > 2 && path.compare(0, 2, "./") == 0) path.erase(0, 2);
    if (path == ".") return here;
    if (path.empty() || path.front() != '/') path = here + "/" + path;
    return path;
}

// The search folders (separated by ';') from the current folder; an empty
// one stands for the root, as typed in the window.
std::string FoldersFromCurrentDir(std::string_view folders) {
    std::string out;
    for (std::size_t from = 0;;) {
        const std::size_t semi = folders.find(';', from);
        const std::string folder = Trim(folders.substr(from, semi - from));
        if (from > 0) out.push_back(';');
        if (!folder.empty()) out += FromCurrentDir(folder, GetCurrentDir());
        if (semi == std::string_view::npos) return out;
        from = semi + 1;
    }
}

// The files of the request as the rows of a list, every one ticked; false
// (with the messages printed) when a named file is not there.
bool ListFiles(const FileSource& source, FileList& list, Console& console) {
    if (!source.folders.empty()) {
        CliSearchHost host(source, console);
        RunSearch(list, host, source.masks, FoldersFromCurrentDir(source.folders));
    }
    bool ok = true;
    const std::string here = source.files.empty() ? std::string() : GetCurrentDir();
    for (const std::string& named : source.files) {
        const std::string path = FromCurrentDir(named, here);
        FindEntry entry;
        if (!StatPath(path, entry)) {
            PrintErr(console, FromUtf8("文件不存在：") + named + "\n");
            ok = false;
        } else if (entry.attributes & attr::Directory) {
            PrintErr(console, FromUtf8("不是文件：") + named +
                                  FromUtf8("（目录中的文件请用 --search 搜索）\n"));
            ok = false;
        } else {
            list.AddFile(entry, ExtractFileDir(path));
        }
    }
    for (int row = 1; row <= list.LastRow(); ++row)
        if (!list.Name(row).empty()) list.SetChecked(row, true);
    return ok;
}

}  // namespace

int Run(const CliRequest& r, Console& console) {
    const ops::OperationInfo& info = r.operation->info();
    FileList list;
    if (!ListFiles(r.source, list, console)) return kExitRefused;
    if (console.StopRequested()) {
        PrintErr(console, FromUtf8("已停止：已处理 0 个文件\n"));
        return kExitUndone;
    }
    if (list.IsEmpty()) {
        PrintErr(console, FromUtf8("没有源文件，请搜索后再试！\n"));
        return kExitRefused;
    }
    const std::vector<BatchFile> files = TickedFiles(list);
    if (info.twoFiles && files.size() != 2) {
        PrintErr(console, FromUtf8(info.twoFiles) + "\n");
        return kExitRefused;
    }
    // The window asks whether to go on without undo; here the answer is
    // --no-undo, given beforehand. A dry run answers as the run would,
    // dropping no older run to make room.
    std::unique_ptr<Journal> journal;
    if (r.undo && info.changesFiles) {
        journal = ops::OpenRunJournal();
        const std::vector<BatchFile> rewritten = r.job->Rewrites(files);
        const ops::UndoRoom room =
            r.dryRun ? ops::CheckUndoRoom(*journal, rewritten) : ops::MakeUndoRoom(*journal, rewritten);
        if (!room.fits) {
            PrintErr(console, ops::UndoRoomRefusal(room) + "\n");
            return kExitRefused;
        }
    }
    if (r.dryRun) return DryRun(r, list, console);
    CliRunHost host(console, journal.get(), FromUtf8(info.caption));
    // The figures as a table on standard output, unless the JSON report is
    // to stand there alone (it holds them too).
    StatisticsTable table(console);
    ops::RunInput input{list, files, r.textMode, &host};
    if (!r.json)
        input.counted = [&](const std::string& path, const FileStatistics& s) {
            host.ClearProgress();
            table.Add(path, s);
        };
    ops::RunOutcome o;
    try {
        o = r.job->Run(input);
    } catch (const Error& e) {
        host.ClearProgress();
        PrintErr(console, std::string(e.what()) + "\n");
        return kExitUndone;
    }
    host.ClearProgress();
    host.CloseRecorder();
    const RunSummary& s = o.summary;
    PrintRunReport(console, s, o.closing);
    if (r.json) console.Out(JsonReport(*r.operation, o, host.Files(s), list));
    const bool allDone = s.undone.empty() && s.error.empty() && !s.stopped;
    return allDone ? kExitDone : kExitUndone;
}

int Main(const std::vector<std::string>& args, Console& console) {
    const ParseResult parsed = ParseArgs(args);
    switch (parsed.status) {
        case ParseResult::Help:
            PrintOut(console, parsed.text);
            return kExitDone;
        case ParseResult::Refused:
            PrintErr(console, parsed.text + "\n");
            return kExitRefused;
        case ParseResult::Run:
            break;
    }
    if (!parsed.notes.empty()) PrintErr(console, parsed.notes);
    SeedRandomFromClock();  // ${LineRandStr()}, as the window's start seeds it
    // What a kill or a power cut left unfinished is mended before anything
    // else is done, as the window does at its start.
    {
        Journal journal;
        const std::string mended = StartRecoveryText(RecoverAtStart(&journal));
        if (!mended.empty()) PrintErr(console, mended);
    }
    return Run(parsed.request, console);
}

}  // namespace ferro::cli
