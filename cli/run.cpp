#include "cli/run.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <utility>

#include "cli/text.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "fileops/extension_change.h"
#include "fileops/preview.h"
#include "fileops/rename.h"
#include "fileops/ticked_rows.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/recovery.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/random.h"
#include "textops/file_combine.h"
#include "textops/file_statistics.h"
#include "textops/key_merge.h"
#include "textops/line_sync.h"
#include "textops/text_batch.h"
#include "textops/text_preview.h"
#include "textops/textfile.h"

namespace ferro::cli {

namespace {

void PrintErr(Console& console, std::string_view gbk) { console.Err(ToUtf8(gbk)); }
void PrintOut(Console& console, std::string_view gbk) { console.Out(ToUtf8(gbk)); }

// The search group's settings, fixed for the whole search.
class CliSearchHost : public SearchHost {
public:
    CliSearchHost(const FileSource& source, const Console& console)
        : source_(source), console_(console) {}

    SearchBounds ReadBounds() override {
        SearchBounds b;
        b.minSize = source_.minSize;
        b.maxSize = source_.maxSize;
        b.date = source_.dateType;
        b.minDay = source_.minDay;
        b.maxDay = source_.maxDay;
        return b;
    }
    bool SizeFilterOn() override { return source_.sizeFilter; }
    bool DateFilterOn() override { return source_.dateFilter; }
    bool IncludeSubfolders() override { return source_.subfolders; }
    bool StopRequested() override { return console_.StopRequested(); }

private:
    const FileSource& source_;
    const Console& console_;
};

// Follows a run: a progress line on a terminal ("已处理 n/N 文件名", drawn
// again in place at most ten times a second), every file's result kept for
// the report, Ctrl+C as the stop request, and the changes recorded in the
// undo journal (when there is one) under the operation's caption.
class CliRunHost : public RunHost {
public:
    CliRunHost(Console& console, Journal* journal, std::string operation)
        : console_(console),
          progress_(console.ErrIsTerminal()),
          journal_(journal),
          operation_(std::move(operation)) {}
    ~CliRunHost() override {
        ClearProgress();
        CloseRecorder();
    }

    void Started(int total) override { total_ = total; }
    void FileStarted(int index, std::string_view path) override {
        if (!progress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
        lastShown_ = now;
        shown_ = true;
        const std::string line = FromUtf8("已处理 ") + std::to_string(index) + "/" +
                                 std::to_string(total_) + " " + ExtractFileName(path);
        console_.Err("\r" + ToUtf8(line) + "\x1b[K");
    }
    void FileFinished(const FileResult& result) override { results_.push_back(result); }
    bool StopRequested() override { return console_.StopRequested(); }
    ChangeRecorder* recorder() override {
        if (!recorder_ && journal_) recorder_ = journal_->StartRun(operation_, "cli");
        return recorder_.get();
    }

    // The run's record is complete on disk.
    void CloseRecorder() {
        if (recorder_) recorder_->Close();
        recorder_.reset();
    }

    void ClearProgress() {
        if (shown_) console_.Err("\r\x1b[K");
        shown_ = false;
    }

    // Every file of the run in order: those the run told of, then those it
    // never reached.
    std::vector<FileResult> Files(const RunSummary& summary) const {
        std::vector<FileResult> files = results_;
        std::set<std::pair<int, std::string>> told;
        for (const FileResult& r : results_) told.emplace(r.row, r.path);
        for (const FileResult& r : summary.undone)
            if (!told.count({r.row, r.path})) files.push_back(r);
        return files;
    }

private:
    Console& console_;
    bool progress_;
    bool shown_ = false;
    int total_ = 0;
    std::chrono::steady_clock::time_point lastShown_;
    std::vector<FileResult> results_;
    Journal* journal_;
    std::string operation_;
    std::unique_ptr<RunRecorder> recorder_;
};

// What a run gives besides its summary.
struct Outcome {
    RunSummary summary;
    std::string closing;  // the window's closing message for a whole run
    int records = -1;     // key merge and line sync count records, not files
    std::vector<std::pair<std::string, FileStatistics>> statistics;
};

const char* ResultCode(Undone why) {
    switch (why) {
        case Undone::None: return "done";
        case Undone::NameExists: return "name-exists";
        case Undone::DuplicateName: return "duplicate-name";
        case Undone::NameNotAllowed: return "name-not-allowed";
        case Undone::Unchanged: return "unchanged";
        case Undone::ReadOnly: return "read-only";
        case Undone::Missing: return "missing";
        case Undone::CannotRead: return "cannot-read";
        case Undone::CannotWrite: return "cannot-write";
        case Undone::NotSpreadsheet: return "not-spreadsheet";
        case Undone::ConversionFailed: return "conversion-failed";
        case Undone::Stopped: return "stopped";
        case Undone::BackupFailed: return "backup-failed";
        case Undone::NotText: return "not-text";
        case Undone::TooLong: return "too-long";
        case Undone::NoListLine: return "no-list-line";
        case Undone::NotReached: return "not-reached";
        case Undone::NoTrash: return "no-trash";
        case Undone::NotRecorded: return "not-recorded";
        case Undone::ChangedSince: return "changed-since";
        case Undone::BackupNameTooLong: return "backup-name-too-long";
        case Undone::BackupKept: return "backup-kept";
        case Undone::RecordDamaged: return "record-damaged";
    }
    return "";
}

std::string FilesClosing(int done) {
    return FromUtf8("成功处理文件总数量：") + std::to_string(done);
}
std::string TextClosing(int done) {
    return FromUtf8("成功处理完成,共处理 ") + std::to_string(done) + FromUtf8(" 个文件!");
}
std::string RecordsClosing(int records) {
    return FromUtf8("成功处理完成,共处理 ") + std::to_string(records) + FromUtf8(" 条记录!");
}

TextBatchOptions TextOptions(const CliRequest& r) {
    TextBatchOptions options;
    options.backup = r.backup;
    options.mode = r.textMode;
    return options;
}

// Key merge and line sync: the source is read, the target rewritten. The
// run is over the target alone, the one file that changes.
template <class Merge>
Outcome MergeIntoTarget(const BatchFile& target, CliRunHost& host, Merge&& merge) {
    Outcome o;
    RunTracker run(&host, 1);
    if (run.Next(target.row, target.path)) {
        try {
            o.records = merge();
            run.Done(target.row, target.path);
        } catch (const TextFileError& e) {
            run.Abort(target.row, target.path, e.why(), e.what());
        }
    } else {
        run.StopRemaining(target.row, target.path);
    }
    o.summary = run.Take();
    o.closing = RecordsClosing(o.records < 0 ? 0 : o.records);
    return o;
}

// The figures as a table on standard output, unless the JSON report is to
// stand there alone (it holds them too).
Outcome Statistics(const std::vector<BatchFile>& files, TextMode mode, bool table,
                   CliRunHost& host, Console& console) {
    Outcome o;
    RunTracker run(&host, static_cast<int>(files.size()));
    bool header = false;
    run.ForEach(files, [&](const BatchFile& f) {
        try {
            FindEntry entry;
            const int64_t size = StatPath(f.path, entry) ? entry.size : 0;
            const FileStatistics s = CountFileStatistics(LoadTextFile(f.path, mode).lines, size);
            o.statistics.emplace_back(f.path, s);
            run.Done(f.row, f.path);
            if (!table) return;
            host.ClearProgress();
            if (!header) {
                PrintOut(console, FromUtf8("文件\t文件大小\t总行数\t空行数\t数据行数\t行最大字符数\t"
                                           "行最小字符数\t行平均字符数\n"));
                header = true;
            }
            std::string line = f.path;
            for (int64_t v : {s.size, s.allLines, s.emptyLines, s.dataLines, s.longest,
                              s.shortest, s.average})
                line += "\t" + std::to_string(v);
            PrintOut(console, line + "\n");
        } catch (const TextFileError& e) {
            // Nothing is written: one unreadable file need not hide the rest.
            run.Skip(f.row, f.path, e.why());
        }
    });
    o.summary = run.Take();
    o.closing = FromUtf8("成功统计完成!");
    return o;
}

// The rule of an operation that rewrites text files line by line; empty for
// the others. state must outlive the rule.
LineOperation TextRuleOf(const CliRequest& r, PatternReplaceState& state) {
    switch (r.operation) {
        case Operation::Cut:
            return LineCutOperation(r.cut);
        case Operation::Insert:
            return LineInsertOperation(r.insert);
        case Operation::Pattern:
            return PatternReplaceOperation(r.pattern, state);
        case Operation::DeleteLines:
            return LineDeleteOperation(r.deleteLines);
        case Operation::ExtractLines:
            return LineExtractOperation(r.extractLines);
        case Operation::NewLines: {
            auto block = std::make_shared<const NewLineBlock>(NewLineBlock::Parse(r.newLinesText));
            return [&r, block](const LineList& in, LineSink& out) {
                InsertNewLines(r.newLines, block->ForFile(in), in, out);
            };
        }
        default:
            return LineTransform();
    }
}

Outcome RunOperation(const CliRequest& r, FileList& list, CliRunHost& host, Console& console) {
    const std::vector<BatchFile> ticked = TickedFiles(list);
    const TextBatchOptions options = TextOptions(r);
    auto rewrite = [&](const LineOperation& transform) {
        Outcome o;
        o.summary = RewriteTextFiles(ticked, options, transform, &host);
        o.closing = TextClosing(o.summary.done);
        return o;
    };
    Outcome o;
    switch (r.operation) {
        case Operation::Extension:
            o.summary = ChangeExtensions(list, r.extensionPattern, &host);
            o.closing = FilesClosing(o.summary.done);
            return o;
        case Operation::Rename:
            o.summary = RenameFiles(list, r.renamePattern, ProgramDir(), &host);
            o.closing = FilesClosing(o.summary.done);
            return o;
        case Operation::Dates:
            o.summary = ChangeDates(list, r.dates, &host);
            o.closing = FilesClosing(o.summary.done);
            return o;
        case Operation::Attributes:
            o.summary = ChangeAttributes(list, r.attributes, &host);
            o.closing = FilesClosing(o.summary.done);
            return o;
        case Operation::Statistics:
            return Statistics(ticked, r.textMode, !r.json, host, console);
        case Operation::KeyMerge:
            return MergeIntoTarget(ticked[1], host, [&] {
                return MergeKeyFiles(ticked[0].path, ticked[1].path,
                                     {r.backup, r.textMode, host.recorder()});
            });
        case Operation::LineSync:
            return MergeIntoTarget(ticked[1], host, [&] {
                return SyncLineFiles(r.syncKeywords, ticked[0].path, ticked[1].path,
                                     {r.backup, r.textMode, host.recorder()});
            });
        case Operation::Cut:
        case Operation::Insert:
        case Operation::Pattern:
        case Operation::DeleteLines:
        case Operation::ExtractLines:
        case Operation::NewLines: {
            if (r.operation == Operation::NewLines) SeedRandomFromClock();  // ${LineRandStr()}
            PatternReplaceState state;  // the separator is decided afresh by every run
            return rewrite(TextRuleOf(r, state));
        }
        case Operation::Combine:
            o.summary = CombineFiles(ticked, options, &host);
            o.closing = TextClosing(o.summary.done);
            return o;
        case Operation::Convert: {
            RemoveStaleOfficeFolders();
            OfficeSession office;  // one LibreOffice profile for the whole run
            ConvertContext context;
            context.office = &office;
            context.textMode = r.textMode;
            context.allSheets = r.convertAllSheets;
            context.stopRequested = [&console] { return console.StopRequested(); };
            o.summary = ConvertFiles(ticked, r.convertFormat, context, &host);
            o.closing = TextClosing(o.summary.done);
            return o;
        }
    }
    return o;
}

std::string JsonReport(const CliRequest& r, const Outcome& o, const std::vector<FileResult>& files,
                       const FileList& list) {
    const RunSummary& s = o.summary;
    std::string j = "{\"operation\":\"";
    j += OperationName(r.operation);
    j += "\",\"total\":" + std::to_string(s.total);
    j += ",\"done\":" + std::to_string(s.done);
    j += ",\"stopped\":";
    j += s.stopped ? "true" : "false";
    j += ",\"error\":" + (s.error.empty() ? std::string("null") : JsonString(s.error));
    if (o.records >= 0) j += ",\"records\":" + std::to_string(o.records);
    j += ",\"files\":[";
    bool first = true;
    for (const FileResult& f : files) {
        if (!first) j += ',';
        first = false;
        j += "{" + JsonPathMember("path", f.path);
        j += ",\"result\":\"";
        j += ResultCode(f.why);
        j += "\",\"reason\":" + JsonString(UndoneText(f.why));
        if (!f.detail.empty()) j += ",\"detail\":" + JsonString(f.detail);
        // A renamed file's row holds its new name.
        if (f.done() && f.row > 0 && f.row <= list.LastRow() && list.Path(f.row) != f.path)
            j += "," + JsonPathMember("newPath", list.Path(f.row));
        for (const auto& [path, st] : o.statistics) {
            if (path != f.path) continue;
            j += ",\"statistics\":{\"size\":" + std::to_string(st.size) +
                 ",\"lines\":" + std::to_string(st.allLines) +
                 ",\"emptyLines\":" + std::to_string(st.emptyLines) +
                 ",\"dataLines\":" + std::to_string(st.dataLines) +
                 ",\"longest\":" + std::to_string(st.longest) +
                 ",\"shortest\":" + std::to_string(st.shortest) +
                 ",\"average\":" + std::to_string(st.average) + "}";
            break;
        }
        j += '}';
    }
    j += "]}\n";
    return j;
}

// The preview of a name or metadata operation, settled over every row;
// null for the other operations.
std::unique_ptr<ChangePreview> PreviewOf(const CliRequest& r, const FileList& list) {
    switch (r.operation) {
        case Operation::Rename: return ChangePreview::ForRename(list, r.renamePattern, ProgramDir());
        case Operation::Extension: return ChangePreview::ForExtension(list, r.extensionPattern);
        case Operation::Dates: return ChangePreview::ForDates(list, r.dates);
        case Operation::Attributes: return ChangePreview::ForAttributes(list, r.attributes);
        default: return nullptr;
    }
}

// What a dry run shows: for the name and metadata operations, what the run
// would do to each file (the new name, times or attributes, or why it would
// leave the file as it is), worked out by the run's own rules; for the
// others, the files the run would process. Nothing is written.
int DryRun(const CliRequest& r, const FileList& list, Console& console) {
    const std::vector<BatchFile> ticked = TickedFiles(list);
    const std::unique_ptr<ChangePreview> preview = PreviewOf(r, list);
    if (preview) preview->Advance(0);
    // The line operations: each file read and run through the rule in memory
    // (a piece at a time where the run reads it so: only the counts are kept).
    PatternReplaceState state;
    const LineOperation rule = TextRuleOf(r, state);
    // The conversions: the files each source writes, and the sources left
    // undone because an earlier one writes their output.
    std::vector<PlannedOutput> outputs;
    if (r.operation == Operation::Convert)
        outputs = PlanOutputs(ticked, r.convertFormat, r.convertAllSheets);
    int refused = 0;
    std::string text, json;
    for (const BatchFile& f : ticked) {
        json += json.empty() ? "{" : ",{";
        json += JsonPathMember("path", f.path);
        text += f.path;
        if (r.operation == Operation::Convert) {
            std::string sameAs, list;
            for (const PlannedOutput& p : outputs) {
                if (p.row != f.row || p.source != f.path) continue;
                sameAs = p.sameAs;
                list += (list.empty() ? "" : ",") + JsonString(p.output);
                if (sameAs.empty()) text += " -> " + p.output;
            }
            if (!sameAs.empty()) {
                ++refused;
                json += ",\"result\":\"" + std::string(ResultCode(Undone::DuplicateName)) +
                        "\",\"reason\":" + JsonString(UndoneText(Undone::DuplicateName)) +
                        ",\"detail\":" + JsonString(SameOutputText(sameAs));
                text += "  " + FromUtf8("不处理：") + SameOutputText(sameAs);
            } else {
                json += ",\"outputs\":[" + list + "]";
            }
        } else if (rule.gbk) {
            TextPreview p = PreviewTextFile(f.path, r.textMode, rule);
            if (!p.ok()) {
                ++refused;
                json += ",\"result\":\"" + std::string(ResultCode(p.why)) +
                        "\",\"reason\":" + JsonString(UndoneText(p.why));
                text += "  " + FromUtf8("不处理：") + UndoneText(p.why);
            } else {
                LineDiff::Options counting;
                counting.maxShown = 0;
                std::unique_ptr<LineDiff> diff =
                    p.diff ? std::move(p.diff) : std::make_unique<LineDiff>(p.before, p.after, counting);
                while (!diff->Advance(std::size_t(1) << 20)) {
                }
                const bool same = diff->removed() == 0 && diff->added() == 0;
                json += ",\"result\":\"" + std::string(same ? "unchanged" : "change") +
                        "\",\"removed\":" + std::to_string(diff->removed()) +
                        ",\"added\":" + std::to_string(diff->added());
                text += same ? "  " + FromUtf8("没有变化")
                             : "  " + FromUtf8("删除 ") + std::to_string(diff->removed()) +
                                   FromUtf8(" 行，新增 ") + std::to_string(diff->added()) +
                                   FromUtf8(" 行");
            }
        } else if (preview) {
            const PlannedChange c = *preview->Row(f.row);
            json += ",\"result\":\"";
            json += c.why == Undone::None ? "change" : ResultCode(c.why);
            json += "\"";
            if (c.why == Undone::None) {
                json += "," + JsonPathMember("after", c.after);
                text += " -> " + c.after;
            } else {
                json += ",\"reason\":" + JsonString(UndoneText(c.why));
                text += "  " + FromUtf8("不处理：") + UndoneText(c.why);
            }
        }
        json += "}";
        text += "\n";
    }
    if (r.json) {
        std::string j = "{\"operation\":\"";
        j += OperationName(r.operation);
        j += "\",\"dryRun\":true,\"total\":" + std::to_string(ticked.size());
        if (preview)
            j += ",\"changing\":" + std::to_string(preview->changing()) +
                 ",\"skipping\":" + std::to_string(preview->skipping());
        console.Out(j + ",\"files\":[" + json + "]}\n");
    } else {
        PrintOut(console, text);
    }
    std::string summary =
        preview ? FromUtf8("将更改 ") + std::to_string(preview->changing()) +
                      FromUtf8(" 个文件，跳过 ") + std::to_string(preview->skipping()) + FromUtf8(" 个")
                : FromUtf8("将处理 ") + std::to_string(ticked.size() - refused) + FromUtf8(" 个文件") +
                      (refused ? FromUtf8("，跳过 ") + std::to_string(refused) + FromUtf8(" 个") : "");
    PrintErr(console, summary + FromUtf8("（试运行，没有修改任何文件）\n"));
    return kExitDone;
}

// The files of the request as the rows of a list, every one ticked; false
// (with the messages printed) when a named file is not there.
bool ListFiles(const FileSource& source, FileList& list, Console& console) {
    if (!source.folders.empty()) {
        CliSearchHost host(source, console);
        RunSearch(list, host, source.masks, source.folders);
    }
    bool ok = true;
    for (const std::string& named : source.files) {
        std::string path = named;
        while (path.size() > 2 && path.compare(0, 2, "./") == 0) path.erase(0, 2);
        if (path.front() != '/') path = GetCurrentDir() + "/" + path;
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

// The files whose old contents the journal keeps: those the operation
// rewrites.
std::vector<BatchFile> RewrittenFiles(Operation op, const FileList& list) {
    std::vector<BatchFile> ticked = TickedFiles(list);
    switch (op) {
        case Operation::Cut:
        case Operation::Insert:
        case Operation::Pattern:
        case Operation::DeleteLines:
        case Operation::ExtractLines:
        case Operation::NewLines:
            return ticked;
        case Operation::KeyMerge:
        case Operation::LineSync:
        case Operation::Combine:
            return {ticked.back()};
        default:
            return {};
    }
}

std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes >= (uint64_t{1} << 30))
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / double(uint64_t{1} << 30));
    else if (bytes >= (uint64_t{1} << 20))
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / double(1 << 20));
    else
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
    return text;
}

// Whether the old contents of the files fit the journal (older runs go to
// make room). The window asks whether to go on without undo; here the
// answer is --no-undo, given beforehand.
bool JournalHasRoom(Journal& journal, const std::vector<BatchFile>& files, Console& console) {
    const uint64_t bytes = EstimateOldContentBytes(files);
    if (bytes == 0 || journal.MakeRoom(bytes)) return true;
    PrintErr(console, FromUtf8("这些文件的原内容共 " + SizeText(bytes) + "，超出撤销记录的上限 " +
                               SizeText(journal.budget()) +
                               "，处理后将无法撤销。\n如果不需要撤销，请加上 --no-undo 再试。\n"));
    return false;
}

}  // namespace

int Run(const CliRequest& r, Console& console) {
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
    const bool twoFiles = r.operation == Operation::KeyMerge || r.operation == Operation::LineSync;
    if (twoFiles && TickedFiles(list).size() != 2) {
        PrintErr(console, FromUtf8(r.operation == Operation::KeyMerge
                                       ? "请选择需要按关键字进行合并的两个文件！\n"
                                       : "请选择需要按关键字进行同步的两个文件！\n"));
        return kExitRefused;
    }
    if (r.dryRun) return DryRun(r, list, console);

    std::unique_ptr<Journal> journal;
    if (r.undo && r.operation != Operation::Statistics) {
        journal = std::make_unique<Journal>();
        if (!JournalHasRoom(*journal, RewrittenFiles(r.operation, list), console)) return kExitRefused;
    }
    CliRunHost host(console, journal.get(), FromUtf8(OperationCaption(r.operation)));
    Outcome o;
    try {
        o = RunOperation(r, list, host, console);
    } catch (const Error& e) {
        host.ClearProgress();
        PrintErr(console, std::string(e.what()) + "\n");
        return kExitUndone;
    }
    host.ClearProgress();
    host.CloseRecorder();
    const RunSummary& s = o.summary;
    PrintErr(console, RunReportText(s, o.closing) + "\n" + UndoneListText(s));
    if (r.json) console.Out(JsonReport(r, o, host.Files(s), list));
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
