#include "convert/convert.h"

#include <memory>

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
    const std::string format = xls ? "xls" : "LibreOffice";
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

}  // namespace

ConvertOutcome SpreadsheetTo(ConvertKind kind, std::string_view source, std::string_view argument,
                             ConvertContext& context) {
    const std::string target = NewFilePath(source, argument);
    const std::string ext = NormalizeExtension(argument);
    if (target.empty()) return NotConverted(Undone::ConversionFailed);
    if (IsCommaText(kind, source) && ext == "txt")
        return PlainTextConversion(source, target, true, context);
    if (IsTabText(kind, source) && ext == "csv")
        return PlainTextConversion(source, target, false, context);
    const int code = SpreadsheetFormatCode(kind, ext);
    if (code == 0)
        return NotConverted(Undone::ConversionFailed,
                            Utf16ToGbk(u"不能转换为 ") + ext + Utf16ToGbk(u" 格式"));
    Checked checked = CheckSource(kind, source, code, target, context.textMode);
    if (checked.refused.why != Undone::None) return checked.refused;

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
        office->SetUpcoming([&context, kind, argument, code](std::size_t max) {
            std::vector<OfficeJob> jobs;
            for (const std::string& s : context.upcoming(max)) {
                const std::string t = NewFilePath(s, argument);
                if (t.empty() || (IsCommaText(kind, s) && NormalizeExtension(argument) == "txt") ||
                    (IsTabText(kind, s) && NormalizeExtension(argument) == "csv"))
                    continue;
                Checked c = CheckSource(kind, s, code, t, context.textMode);
                if (c.refused.why == Undone::None) jobs.push_back(std::move(c.job));
            }
            return jobs;
        });
    }

    // Recorded before LibreOffice is started for it; a conversion that ends
    // without writing the file withdraws the record.
    RecordedWrite recorded(context.recorder, target);
    if (recorded.refused()) return NotConverted(Undone::NotRecorded);
    std::unique_ptr<SpreadsheetApplication> app = SpreadsheetApplication::Create(*office);
    if (!app) return CannotStart();
    bool saved = false;
    try {
        app->SetVisible(false);
        app->SetDisplayAlerts(false);
        app->WorkBooks().Open(source, checked.job.kind, checked.job);
        SpreadsheetWorkbook& book = app->ActiveWorkBook();
        book.SaveAs(target, code, recorded.keeper());
        saved = true;
        recorded.Made();
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
    ConvertOutcome out;
    out.newPath = target;
    return out;
}

ConvertOutcome ConvertFile(std::string_view source, std::string_view item,
                           ConvertContext& context) {
    const ConvertItem parsed = ParseConvertItem(item);
    ConvertOutcome out;
    switch (parsed.kind) {
        case ConvertKind::XlsTo:
        case ConvertKind::CsvTo:
            return SpreadsheetTo(parsed.kind, source, parsed.argument, context);
        case ConvertKind::TxtTo:
            out.newPath = TxtTo(source, parsed.argument, context.textMode, context.recorder);
            break;
        case ConvertKind::VcfTo:
            out.newPath = VcfTo(source, parsed.argument, context.textMode, context.recorder);
            break;
        case ConvertKind::Unknown:
            break;
    }
    if (out.newPath.empty()) out.why = Undone::ConversionFailed;
    return out;
}

RunSummary ConvertFiles(const std::vector<BatchFile>& files, std::string_view item,
                        ConvertContext& context, RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
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
