#include "convert/spreadsheet_app.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {

std::unique_ptr<SpreadsheetApplication> SpreadsheetApplication::Create(OfficeSession& office) {
    if (!office.Available()) return nullptr;
    return std::unique_ptr<SpreadsheetApplication>(new SpreadsheetApplication(office));
}

SpreadsheetWorkbook& SpreadsheetApplication::ActiveWorkBook() {
    if (quit_ || !active_) throw AutomationError("no active workbook");
    return *active_;
}

void SpreadsheetApplication::Quit() {
    active_.reset();
    quit_ = true;
}

void SpreadsheetWorkbooks::Open(std::string_view path, SourceKind kind, const OfficeJob& details) {
    if (app_->quit_) throw AutomationError("application has quit");
    std::string disk;
    const int fd = GbkToDisk(path, disk) && FileExists(path) ? open(disk.c_str(), O_RDONLY) : -1;
    if (fd < 0) throw AutomationError("cannot open workbook");
    close(fd);
    SpreadsheetWorkbook book;
    book.app_ = app_;
    book.details_ = details;
    book.details_.source = std::string(path);
    book.details_.kind = kind;
    app_->active_ = std::move(book);
}

void SpreadsheetApplication::Check(OfficeSession::Outcome outcome) {
    switch (outcome) {
        case OfficeSession::Outcome::Done:
            return;
        case OfficeSession::Outcome::CannotStart:
            startFailed_ = true;
            throw AutomationError("cannot start");
        case OfficeSession::Outcome::Failed:
            throw AutomationError("cannot save");
        case OfficeSession::Outcome::Stopped:
            stopped_ = true;
            throw AutomationError("stopped");
    }
}

void SpreadsheetWorkbook::SaveAs(std::string_view path, int formatCode,
                                 OldContentKeeper* keeper) {
    if (!IsKnownFormat(formatCode)) throw AutomationError("unknown file format");
    if (app_->displayAlerts_ && FileExists(path)) throw AutomationError("file exists");
    OfficeJob job = details_;
    job.format = formatCode;
    job.target = std::string(path);
    std::string bytes;
    app_->Check(app_->office_.Convert(job, bytes));
    // The old file stays whole until the new one is complete.
    if (!WriteFileSafely(path, bytes, keeper)) throw AutomationError("cannot write file");
}

std::vector<SheetText> SpreadsheetWorkbook::TextOfEachSheet(int formatCode, bool hiddenSheets) {
    if (formatCode != kFormatTabText && formatCode != kFormatCommaText)
        throw AutomationError("not a text format");
    OfficeJob job = details_;
    job.format = formatCode;
    job.eachSheet = true;
    job.hiddenSheets = hiddenSheets;
    std::vector<SheetText> sheets;
    app_->Check(app_->office_.ConvertSheets(job, sheets));
    return sheets;
}

void SpreadsheetWorkbook::Close() {
    if (app_->active_ && &*app_->active_ == this) app_->active_.reset();
}

}  // namespace ferro
