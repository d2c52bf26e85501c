#include "convert/convert.h"

#include <memory>
#include <optional>

#include "convert/source_check.h"
#include "convert/source_text.h"
#include "convert/spreadsheet_app.h"
#include "convert/text_convert.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "textops/textfile.h"

namespace ferro {

int SpreadsheetFormatCode(ConvertKind kind, std::string_view extension) {
    if (extension == "txt") return kFormatTabText;
    if (extension == "htm") return kFormatHtml;
    if (extension == "xml") return kFormatXml;
    if (extension == "csv" && kind == ConvertKind::XlsTo) return kFormatCommaText;
    if (extension == "xls" && kind == ConvertKind::CsvTo) return kFormatWorkbook;
    if (extension == "xlsx") return kFormatOpenXml;
    if (extension == "ods") return kFormatOpenDocument;
    return 0;
}

namespace {

ConvertOutcome NotConverted(Undone why, std::string detail = {}) {
    ConvertOutcome out;
    out.why = why;
    out.detail = std::move(detail);
    return out;
}

ConvertOutcome CannotStart() {
    ConvertOutcome out;
    out.cannotStart = true;
    return out;
}

bool IsCommaText(ConvertKind kind, std::string_view source) {
    return kind == ConvertKind::CsvTo || AnsiLower(ExtractFileExt(source)) == ".csv";
}

bool IsTabText(ConvertKind kind, std::string_view source) {
    return kind == ConvertKind::XlsTo && AnsiLower(ExtractFileExt(source)) == ".txt";
}

// The source read and checked, and the job LibreOffice is given for it; or
// why it is not converted.
struct Checked {
    ConvertOutcome refused;  // why is None when the source may be converted
    OfficeJob job;
};

Checked CheckSource(ConvertKind kind, std::string_view source, int code, std::string_view target,
                    TextMode mode) {
    Checked c;
    std::string bytes;
    if (!ReadFileBytes(source, bytes)) {
        c.refused = NotConverted(UndoneFromFs(LastFsProblem(), Undone::CannotRead));
        return c;
    }
    const bool comma = IsCommaText(kind, source), tab = IsTabText(kind, source);
    const SourceCheck check =
        CheckSpreadsheetSource(bytes, ExtractFileExt(source), kind == ConvertKind::CsvTo);
    if (!check.spreadsheet) {
        c.refused = NotConverted(Undone::NotSpreadsheet);
        return c;
    }
    c.job.source = std::string(source);
    c.job.kind = kind == ConvertKind::CsvTo ? SourceKind::CommaText : SourceKind::Auto;
    c.job.format = code;
    c.job.target = std::string(target);
    c.job.mode = mode;
    c.job.activeSheet = check.activeSheet;
    if (!comma && !tab) return c;
    const FoundEncoding found = DetectEncoding(bytes);
    c.job.utf8Source = found == FoundEncoding::Utf8 || found == FoundEncoding::Utf8Bom;
    if (found == FoundEncoding::Utf16Le || found == FoundEncoding::Utf16Be)
        bytes = SourceTextToGbk(std::move(bytes));
    // A sheet holds so many rows and columns; a table that does not fit
    // would lose the rest without a word.
    const TextTableSize size = CountTextTable(bytes, comma ? ',' : '\t');
    const bool xls = code == kFormatWorkbook;
    const std::size_t maxRows = xls ? 65536 : 1048576, maxColumns = xls ? 256 : 16384;
    const std::string format = xls                          ? "xls"
                               : code == kFormatOpenXml      ? "xlsx"
                               : code == kFormatOpenDocument ? "ods"
                                                             : "LibreOffice";
    if (size.rows > maxRows) {
        c.refused = NotConverted(Undone::ConversionFailed,
                                 Utf16ToGbk(u"源文件有 ") + std::to_string(size.rows) +
                                     Utf16ToGbk(u" 行，超过 ") + format +
                                     Utf16ToGbk(u" 表格最多的 ") + std::to_string(maxRows) +
                                     Utf16ToGbk(u" 行"));
    } else if (size.columns > maxColumns) {
        c.refused = NotConverted(Undone::ConversionFailed,
                                 Utf16ToGbk(u"源文件有 ") + std::to_string(size.columns) +
                                     Utf16ToGbk(u" 列，超过 ") + format +
                                     Utf16ToGbk(u" 表格最多的 ") + std::to_string(maxColumns) +
                                     Utf16ToGbk(u" 列"));
    }
    return c;
}

// Comma text and tab text into each other need no spreadsheet: every row
// is kept, whatever its number.
ConvertOutcome PlainTextConversion(std::string_view source, std::string_view target, bool toTab,
                                   const ConvertContext& context) {
    std::string bytes;
    if (!ReadFileBytes(source, bytes))
        return NotConverted(UndoneFromFs(LastFsProblem(), Undone::CannotRead));
    if (!LooksLikeText(bytes)) return NotConverted(Undone::NotSpreadsheet);
    ConvertOutcome out;
    out.newPath = toTab ? CommaTextToTabText(source, target, context.textMode, context.recorder)
                        : TxtTo(source, "csv", context.textMode, context.recorder);
    return out;
}

// The earlier source of the run that wrote one of the paths; null when none.
const std::string* EarlierWriter(const ConvertContext& context, std::string_view source,
                                 const std::vector<std::string>& paths) {
    for (const std::string& p : paths) {
        const std::string* writer = context.outputs.WriterOf(p);
        if (writer && *writer != source) return writer;
    }
    return nullptr;
}

ConvertOutcome SameOutput(const std::string& earlier) {
    return NotConverted(Undone::DuplicateName, SameOutputText(earlier));
}

// Writes the texts of a workbook's sheets to their files, each recorded
// first; the files written so far stay when one cannot be.
ConvertOutcome WriteSheets(std::string_view source, std::string_view argument, bool hiddenSheets,
                           const std::vector<SheetText>& sheets, ConvertContext& context) {
    std::vector<std::string> names;
    for (const SheetText& s : sheets) names.push_back(s.name);
    const std::vector<std::string> targets = SheetOutputPaths(source, argument, names);
    if (const std::string* earlier = EarlierWriter(context, source, targets))
        return SameOutput(*earlier);
    if (targets.empty())
        return NotConverted(Undone::ConversionFailed,
                            Utf16ToGbk(hiddenSheets ? u"工作簿中没有可以写出的工作表"
                                                    : u"工作簿中没有可以写出的工作表（隐藏的工作表不写出）"));
    ConvertOutcome out;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        RecordedWrite recorded(context.recorder, targets[i]);
        if (recorded.refused()) return NotConverted(Undone::NotRecorded);
        if (!WriteFileSafely(targets[i], sheets[i].bytes, recorded.keeper()))
            return NotConverted(UndoneFromFs(LastFsProblem(), Undone::CannotWrite), targets[i]);
        recorded.Made();
        context.outputs.Wrote(targets[i], source);
        out.written.push_back(targets[i]);
    }
    out.newPath = targets.front();
    return out;
}

}  // namespace

ConvertOutcome SpreadsheetTo(const ConvertItem& item, std::string_view source,
                             ConvertContext& context) {
    const ConvertKind kind = item.kind;
    const std::string argument = item.argument;
    const std::string target = NewFilePath(source, argument);
    const std::string ext = NormalizeExtension(argument);
    if (target.empty()) return NotConverted(Undone::ConversionFailed);
    const bool plainToTab = IsCommaText(kind, source) && ext == "txt";
    const bool plainToComma = IsTabText(kind, source) && ext == "csv";
    const int code = SpreadsheetFormatCode(kind, ext);
    if (!plainToTab && !plainToComma && code == 0)
        return NotConverted(Undone::ConversionFailed,
                            Utf16ToGbk(u"不能转换为 ") + ext + Utf16ToGbk(u" 格式"));
    const bool eachSheet = context.allSheets && WritesEachSheet(kind, source, ext);
    if (!eachSheet) {
        if (const std::string* earlier = EarlierWriter(context, source, {target}))
            return SameOutput(*earlier);
    }
    if (plainToTab || plainToComma) return PlainTextConversion(source, target, plainToTab, context);
    // LibreOffice would read the workbook and write it over itself.
    if (OutputKey(target) == OutputKey(source))
        return NotConverted(Undone::ConversionFailed,
                            Utf16ToGbk(u"新文件就是源文件本身，源文件不会被改写"));
    Checked checked = CheckSource(kind, source, code, target, context.textMode);
    if (checked.refused.why != Undone::None) return checked.refused;
    checked.job.eachSheet = eachSheet;
    checked.job.hiddenSheets = eachSheet && item.hiddenSheets;

    std::unique_ptr<OfficeSession> own;
    OfficeSession* office = context.office;
    if (!office) {
        own = std::make_unique<OfficeSession>();
        office = own.get();
    }
    // The session may read the following rows ahead while this call runs.
    struct Forget {
        OfficeSession* office;
        ~Forget() {
            office->SetUpcoming(nullptr);
            office->SetStop(nullptr);
        }
    } forget{office};
    office->SetStop(context.stopRequested);
    if (context.upcoming) {
        office->SetUpcoming([&context, &item, code, ext](std::size_t max) {
            std::vector<OfficeJob> jobs;
            for (const std::string& s : context.upcoming(max)) {
                const std::string t = NewFilePath(s, item.argument);
                if (t.empty() || OutputKey(t) == OutputKey(s) ||
                    (IsCommaText(item.kind, s) && ext == "txt") ||
                    (IsTabText(item.kind, s) && ext == "csv"))
                    continue;
                Checked c = CheckSource(item.kind, s, code, t, context.textMode);
                c.job.eachSheet = context.allSheets && WritesEachSheet(item.kind, s, ext);
                c.job.hiddenSheets = c.job.eachSheet && item.hiddenSheets;
                if (c.refused.why == Undone::None) jobs.push_back(std::move(c.job));
            }
            return jobs;
        });
    }

    // Recorded before LibreOffice is started for it; a conversion that ends
    // without writing the file withdraws the record. Files of sheets are
    // named by what LibreOffice finds, so they are recorded as they come.
    std::optional<RecordedWrite> recorded;
    if (!eachSheet) {
        recorded.emplace(context.recorder, target);
        if (recorded->refused()) return NotConverted(Undone::NotRecorded);
    }
    std::unique_ptr<SpreadsheetApplication> app = SpreadsheetApplication::Create(*office);
    if (!app) return CannotStart();
    bool saved = false;
    std::vector<SheetText> sheets;
    try {
        app->SetVisible(false);
        app->SetDisplayAlerts(false);
        app->WorkBooks().Open(source, checked.job.kind, checked.job);
        SpreadsheetWorkbook& book = app->ActiveWorkBook();
        if (eachSheet) {
            sheets = book.TextOfEachSheet(code, checked.job.hiddenSheets);
        } else {
            book.SaveAs(target, code, recorded->keeper());
            recorded->Made();
        }
        saved = true;
    } catch (const AutomationError&) {
        // The application refused a step: the file is not converted.
    }
    // A workbook that never opened has nothing to close; the application is
    // told to quit either way.
    if (app->HasActiveWorkBook()) app->ActiveWorkBook().Close();
    app->Quit();
    if (app->StartFailed()) return CannotStart();
    if (app->Stopped()) return NotConverted(Undone::Stopped);
    if (!saved) return NotConverted(Undone::ConversionFailed, office->LastProblem());
    if (eachSheet) return WriteSheets(source, argument, checked.job.hiddenSheets, sheets, context);
    ConvertOutcome out;
    out.newPath = target;
    return out;
}

ConvertOutcome ConvertFile(std::string_view source, std::string_view item,
                           ConvertContext& context) {
    const ConvertItem parsed = ParseConvertItem(item);
    const std::string ext = NormalizeExtension(parsed.argument);
    ConvertOutcome out;
    switch (parsed.kind) {
        case ConvertKind::XlsTo:
        case ConvertKind::CsvTo:
            out = SpreadsheetTo(parsed, source, context);
            break;
        case ConvertKind::TxtTo:
        case ConvertKind::VcfTo: {
            const std::string target = NewFilePath(source, parsed.argument);
            const bool writes = parsed.kind == ConvertKind::TxtTo || ext == "csv" || ext == "txt";
            if (const std::string* earlier = EarlierWriter(context, source, {target});
                writes && !target.empty() && earlier)
                return SameOutput(*earlier);
            out.newPath = parsed.kind == ConvertKind::TxtTo
                              ? TxtTo(source, parsed.argument, context.textMode, context.recorder)
                              : VcfTo(source, parsed.argument, context.textMode, context.recorder);
            break;
        }
        case ConvertKind::Unknown:
            break;
    }
    if (out.newPath.empty()) {
        if (out.why == Undone::None && !out.cannotStart) out.why = Undone::ConversionFailed;
        return out;
    }
    if (out.written.empty()) out.written.push_back(out.newPath);
    for (const std::string& path : out.written) context.outputs.Wrote(path, source);
    return out;
}

RunSummary ConvertFiles(const std::vector<BatchFile>& files, std::string_view item,
                        ConvertContext& context, RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
    context.outputs.Clear();
    std::size_t current = 0;
    const auto upcoming = context.upcoming;
    ChangeRecorder* const recorder = context.recorder;
    if (!recorder && host) context.recorder = host->recorder();
    if (!upcoming) {
        context.upcoming = [&](std::size_t max) {
            std::vector<std::string> paths;
            for (std::size_t i = current + 1; i < files.size() && paths.size() < max; ++i)
                paths.push_back(files[i].path);
            return paths;
        };
    }
    run.ForEach(files, [&](const BatchFile& f) {
        current = static_cast<std::size_t>(&f - files.data());
        ProcessPendingMessages();
        try {
            const ConvertOutcome out = ConvertFile(f.path, item, context);
            if (out.cannotStart)
                run.Skip(f.row, f.path, Undone::ConversionFailed, Utf16ToGbk(u"无法启动Excel"));
            else if (out.newPath.empty())
                run.Skip(f.row, f.path, out.why == Undone::None ? Undone::ConversionFailed : out.why,
                         out.detail);
            else
                run.Done(f.row, f.path);
        } catch (const TextFileError& e) {
            // A new file that cannot be recorded is not written; the others
            // may well be.
            if (e.why() == Undone::NotRecorded) run.Skip(f.row, f.path, e.why());
            else run.Abort(f.row, f.path, e.why(), e.what());
        }
    });
    context.upcoming = upcoming;
    context.recorder = recorder;
    return run.Take();
}

}  // namespace ferro
