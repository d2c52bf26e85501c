#include "convert/convert.h"

#include <memory>

#include "convert/spreadsheet_app.h"
#include "convert/text_convert.h"

namespace ferro {

int SpreadsheetFormatCode(ConvertKind kind, std::string_view extension) {
    if (extension == "txt") return kFormatTabText;
    if (extension == "htm") return kFormatHtml;
    if (extension == "xml") return kFormatXml;
    if (extension == "csv" && kind == ConvertKind::XlsTo) return kFormatCommaText;
    if (extension == "xls" && kind == ConvertKind::CsvTo) return kFormatWorkbook;
    return 0;
}

ConvertOutcome SpreadsheetTo(ConvertKind kind, std::string_view source, std::string_view argument,
                             ConvertContext& context) {
    const std::string target = NewFilePath(source, argument);
    if (target.empty()) return {};
    const int code = SpreadsheetFormatCode(kind, NormalizeExtension(argument));
    if (code == 0) return {};
    const SourceKind sourceKind =
        kind == ConvertKind::CsvTo ? SourceKind::CommaText : SourceKind::Auto;

    std::unique_ptr<OfficeSession> own;
    OfficeSession* office = context.office;
    if (!office) {
        own = std::make_unique<OfficeSession>();
        office = own.get();
    }
    // The session may read the following rows ahead while this call runs.
    struct Forget {
        OfficeSession* office;
        ~Forget() { office->SetUpcoming(nullptr); }
    } forget{office};
    if (context.upcoming) {
        office->SetUpcoming([&context, argument, sourceKind, code](std::size_t max) {
            std::vector<OfficeJob> jobs;
            for (const std::string& s : context.upcoming(max)) {
                const std::string t = NewFilePath(s, argument);
                if (!t.empty()) jobs.push_back(OfficeJob{s, sourceKind, code, t});
            }
            return jobs;
        });
    }

    std::unique_ptr<SpreadsheetApplication> app = SpreadsheetApplication::Create(*office);
    if (!app) return {{}, true};
    bool saved = false;
    try {
        app->SetVisible(false);
        app->SetDisplayAlerts(false);
        app->WorkBooks().Open(source, sourceKind);
        SpreadsheetWorkbook& book = app->ActiveWorkBook();
        book.SaveAs(target, code);
        saved = true;
    } catch (const AutomationError&) {
        // The application refused a step: the file is simply not converted.
    }
    // A workbook that never opened has nothing to close; the application is
    // told to quit either way.
    if (app->HasActiveWorkBook()) app->ActiveWorkBook().Close();
    app->Quit();
    if (app->StartFailed()) return {{}, true};
    return {saved ? target : std::string(), false};
}

ConvertOutcome ConvertFile(std::string_view source, std::string_view item,
                           ConvertContext& context) {
    const ConvertItem parsed = ParseConvertItem(item);
    switch (parsed.kind) {
        case ConvertKind::XlsTo:
        case ConvertKind::CsvTo:
            return SpreadsheetTo(parsed.kind, source, parsed.argument, context);
        case ConvertKind::TxtTo:
            return {TxtTo(source, parsed.argument, context.textMode)};
        case ConvertKind::VcfTo:
            return {VcfTo(source, parsed.argument, context.textMode)};
        case ConvertKind::Unknown:
            break;
    }
    return {};
}

}  // namespace ferro
