// The spreadsheet application as the conversions drive it: the object they
// create, hide, silence, open a workbook in, save that workbook under a
// format code, close and quit, in that order. It carries the calls out with
// LibreOffice (office.h). A refused call throws AutomationError, as a failed
// late-bound call would.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "convert/office.h"
#include "platform/fs.h"

namespace ferro {

class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SpreadsheetApplication;

class SpreadsheetWorkbook {
public:
    // Writes the workbook to path in the format the code names. An existing
    // file is replaced only while alerts are off (nobody can be asked). The
    // keeper is handed to the write (fs.h).
    void SaveAs(std::string_view path, int formatCode, OldContentKeeper* keeper = nullptr);
    // The text of each sheet in a text format (its worksheets, activated and
    // saved one by one), for the caller to write: chart sheets never, hidden
    // ones only when asked. Throws as SaveAs does.
    std::vector<SheetText> TextOfEachSheet(int formatCode, bool hiddenSheets);
    void Close();

private:
    friend class SpreadsheetWorkbooks;
    friend class SpreadsheetApplication;
    SpreadsheetApplication* app_ = nullptr;
    OfficeJob details_;  // how the source is read and the text written
};

class SpreadsheetWorkbooks {
public:
    // Opens a workbook; the file must exist and be readable. details: how
    // it is read and how text is written (its source, format and target
    // are filled in by the calls).
    void Open(std::string_view path, SourceKind kind = SourceKind::Auto,
              const OfficeJob& details = {});

private:
    friend class SpreadsheetApplication;
    SpreadsheetApplication* app_ = nullptr;
};

class SpreadsheetApplication {
public:
    // Starts the application; nullptr when it cannot be started.
    static std::unique_ptr<SpreadsheetApplication> Create(OfficeSession& office);

    void SetVisible(bool visible) { visible_ = visible; }
    void SetDisplayAlerts(bool display) { displayAlerts_ = display; }
    SpreadsheetWorkbooks& WorkBooks() { return workbooks_; }
    // The workbook opened last; throws when none is open.
    SpreadsheetWorkbook& ActiveWorkBook();
    bool HasActiveWorkBook() const { return active_.has_value(); }
    void Quit();

    // Whether LibreOffice turned out not to start when it was needed.
    bool StartFailed() const { return startFailed_; }
    // Whether a stop ended the work of LibreOffice.
    bool Stopped() const { return stopped_; }

private:
    friend class SpreadsheetWorkbook;
    friend class SpreadsheetWorkbooks;
    explicit SpreadsheetApplication(OfficeSession& office) : office_(office) {
        workbooks_.app_ = this;
    }
    // Throws for an outcome other than Done, noting a failed start or a stop.
    void Check(OfficeSession::Outcome outcome);

    OfficeSession& office_;
    SpreadsheetWorkbooks workbooks_;
    std::optional<SpreadsheetWorkbook> active_;
    bool visible_ = true;
    bool displayAlerts_ = true;
    bool quit_ = false;
    bool startFailed_ = false;
    bool stopped_ = false;
};

}  // namespace ferro
