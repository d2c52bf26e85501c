// Sheets as text: the comma-separated text LibreOffice writes for a sheet,
// read back into cells; the Excel 2003 XML spreadsheet built from such
// sheets; and the CR LF row ends of the text formats.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ferro {

struct SheetCell {
    std::string text;     // UTF-8
    bool quoted = false;  // written in quotes: a text cell
};
using SheetRow = std::vector<SheetCell>;

// Rows of comma-separated text with '"' quotes ("" for a quote inside);
// line breaks inside quotes stay in the cell. A break at the very end adds
// no row.
std::vector<SheetRow> ParseSheetCsv(std::string_view csv);

struct SheetText {
    std::string name;  // UTF-8
    std::string csv;   // UTF-8, every text cell quoted
};

// The whole workbook as an XML spreadsheet (UTF-8): quoted cells are
// strings, unquoted ones numbers when they read as decimal numbers, TRUE and
// FALSE booleans, anything else strings; empty cells and rows are skipped.
std::string SpreadsheetXml(const std::vector<SheetText>& sheets);

// Row ends turned into CR LF; a line break inside a quoted cell is kept as
// it is.
std::string WithCrLfRows(std::string_view text);

}  // namespace ferro
