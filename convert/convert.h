// The conversion dispatcher: one source file and the conversion item of the
// page, "${XlsTo(ext)}", "${CsvTo(ext)}", "${TxtTo(ext)}" or "${VcfTo(ext)}".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "convert/convert_item.h"
#include "convert/office.h"
#include "convert/outputs.h"
#include "platform/codec.h"

namespace ferro {

struct ConvertOutcome {
    std::string newPath;       // the file written; empty when the file does not count
    std::vector<std::string> written;  // every file written (one per sheet, or newPath)
    bool cannotStart = false;  // the spreadsheet application could not be started
    // Why the file was not converted (None when it was), and more about it
    // (GBK, may be empty).
    Undone why = Undone::None;
    std::string detail;
};

struct ConvertContext {
    // The LibreOffice session of the run; none: each spreadsheet conversion
    // uses a session of its own.
    OfficeSession* office = nullptr;
    // Sources of the rows that will be converted after this one, in order, at
    // most max of them; lets LibreOffice convert several in one run.
    std::function<std::vector<std::string>(std::size_t max)> upcoming;
    // How the text files the conversions create are written.
    TextMode textMode = TextMode::Auto;
    // Asked while a conversion waits for LibreOffice; true stops it there
    // (the file is reported as stopped).
    std::function<bool()> stopRequested;
    // Where each new file is recorded before it is written (a file it
    // replaces: its old content kept); none: nothing is recorded. A file
    // that cannot be recorded is not converted (Undone::NotRecorded).
    ChangeRecorder* recorder = nullptr;
    // The check box "每个工作表一个文件": a workbook converted to csv or txt
    // gives a file per sheet, NAME_SHEET.ext (see convert/outputs.h); hidden
    // sheets only where the item asks, "${XlsTo(csv,隐藏)}".
    bool allSheets = false;
    // What the run has written so far. A source whose output another source
    // of the run has written is left undone (Undone::DuplicateName, "与 … 的
    // 输出同名"); ConvertFiles starts it afresh.
    RunOutputs outputs;
};

// The format code a spreadsheet conversion saves with for a target
// extension; 0 when the extension is not one it writes.
int SpreadsheetFormatCode(ConvertKind kind, std::string_view extension);

// Spreadsheet file (XlsTo) or comma-separated file (CsvTo) to another format
// through the spreadsheet application. A new file that would be the source
// itself is not written.
ConvertOutcome SpreadsheetTo(const ConvertItem& item, std::string_view source,
                             ConvertContext& context);

// Parses the item and runs its conversion on the source. Text that is not
// one of the four items converts nothing. A text source that cannot be read
// or a new file that cannot be written throws (the run ends there).
ConvertOutcome ConvertFile(std::string_view source, std::string_view item, ConvertContext& context);

// Converts the files in order, processing window messages before each. The
// host hears of every file and can stop the run between files (while
// LibreOffice works, only through context.stopRequested). Without an
// upcoming function in the context the session is told the files that
// follow. The context's recorder, when it has none, is the host's. A file
// not converted is reported with its reason; one whose spreadsheet
// application cannot be started says so ("无法启动Excel"). A text source
// that cannot be read, or a new file that cannot be written, ends the run
// there.
RunSummary ConvertFiles(const std::vector<BatchFile>& files, std::string_view item,
                        ConvertContext& context, RunHost* host);

}  // namespace ferro
