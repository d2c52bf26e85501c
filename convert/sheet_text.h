// Sheets as text: comma-separated text read into cells; the Excel 2003 XML
// spreadsheet built from a workbook's typed cells; and the CR LF row ends
// of the text formats.
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

// The whole workbook as an Excel 2003 XML spreadsheet (UTF-8), from the
// typed cells the LibreOffice script writes, one item per line, fields
// separated by tabs (backslash escapes \\ \t \n \r in texts):
//   W <active 0/1> <hidden 0/1> <name>       a sheet; its cells follow
//   F <id> <number format code>              a number format, before its use
//   C <row> <column> <type> <format id or -> <value>
// Types: n number, d date and time (ISO 8601), b boolean (0/1), e error
// ("#DIV/0!"), s string; rows and columns count from 0. Numbers and dates
// carry their number format as a style; hidden sheets are marked hidden.
std::string SheetCellsToXml(std::string_view cells);

// Appends a field of a separated table: in double quotes (quotes inside
// doubled) when it holds one of the special characters, else as it is.
void AppendQuotedField(std::string& out, std::string_view field, std::string_view special);

// Row ends turned into CR LF; a line break inside a quoted cell is kept as
// it is.
std::string WithCrLfRows(std::string_view text);

}  // namespace ferro
