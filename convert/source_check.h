// What a spreadsheet source must be before LibreOffice sees it: the kind of
// file its extension claims, told by its bytes (a compound file holding a
// workbook stream, or BIFF, for ".xls"; a ZIP package with the workbook's
// parts for ".xlsx" and ".ods"; text for ".csv" and ".txt"; HTML or XML for
// theirs). LibreOffice opens nearly anything as something, so a source that
// is not checked first comes out as a table of garbage.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

struct SourceCheck {
    bool spreadsheet = false;  // the file is what its extension claims
    // The name of the sheet that was showing when the workbook was saved
    // (UTF-8), where the file says so and LibreOffice would not tell: the
    // BIFF workbooks of ".xls". Empty otherwise.
    std::string activeSheet;
};

// extension: of the source, with its dot, any case. commaText: the source is
// read as comma-separated text whatever its extension.
SourceCheck CheckSpreadsheetSource(std::string_view bytes, std::string_view extension,
                                   bool commaText);

// The worksheets of a workbook (".xls", ".xlsx" and its kin, ".ods"), in
// order, as LibreOffice names them; chart sheets are left out. False when
// the file is of another kind or its list cannot be read.
struct SheetEntry {
    std::string name;  // UTF-8
    bool hidden = false;
};
bool ReadSheetList(std::string_view bytes, std::string_view extension,
                   std::vector<SheetEntry>& sheets);

// Whether the bytes are text: no control bytes but tab, line breaks, form
// feed and a DOS end-of-file mark; valid UTF-8 or GB18030 throughout (UTF-16
// with a byte-order mark is text too).
bool LooksLikeText(std::string_view bytes);

// Rows and the widest row of separated text (comma or tab), as a
// spreadsheet reads it: a quoted field may hold line breaks; a break at the
// very end adds no row.
struct TextTableSize {
    std::size_t rows = 0;
    std::size_t columns = 0;
};
TextTableSize CountTextTable(std::string_view text, char separator = ',');

}  // namespace ferro
