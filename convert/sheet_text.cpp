#include "convert/sheet_text.h"

#include <cctype>

namespace ferro {

std::vector<SheetRow> ParseSheetCsv(std::string_view csv) {
    std::vector<SheetRow> rows;
    SheetRow row;
    SheetCell cell;
    bool inQuotes = false;
    bool rowOpen = false;
    auto endCell = [&] {
        row.push_back(std::move(cell));
        cell = SheetCell();
    };
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        rowOpen = true;
        if (inQuotes) {
            if (c != '"')
                cell.text.push_back(c);
            else if (i + 1 < csv.size() && csv[i + 1] == '"')
                cell.text.push_back(csv[++i]);
            else
                inQuotes = false;
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            cell.quoted = true;
        } else if (c == ',') {
            endCell();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') ++i;
            endCell();
            rows.push_back(std::move(row));
            row.clear();
            rowOpen = false;
        } else {
            cell.text.push_back(c);
        }
    }
    if (rowOpen) {
        endCell();
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// Digits with an optional sign, decimal point and exponent: what a number
// cell looks like (no hexadecimal, infinity or blanks).
bool IsDecimalNumber(std::string_view s) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        return i - start;
    };
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    std::size_t n = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        n += digits();
    }
    if (n == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        if (digits() == 0) return false;
    }
    return i == s.size();
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                // Other control characters cannot appear in XML 1.0 at all.
                if (u >= 0x20) out.push_back(c);
        }
    }
}

void AppendCell(std::string& out, const SheetCell& cell, std::size_t column, bool skipped) {
    const char* type = "String";
    std::string_view value = cell.text;
    if (!cell.quoted) {
        if (IsDecimalNumber(value))
            type = "Number";
        else if (value == "TRUE" || value == "FALSE") {
            type = "Boolean";
            value = value == "TRUE" ? "1" : "0";
        }
    }
    out += "    <Cell";
    if (skipped) out += " ss:Index=\"" + std::to_string(column + 1) + "\"";
    out += "><Data ss:Type=\"";
    out += type;
    out += "\">";
    AppendEscaped(out, value);
    out += "</Data></Cell>\n";
}

}  // namespace

std::string SpreadsheetXml(const std::vector<SheetText>& sheets) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?mso-application progid=\"Excel.Sheet\"?>\n"
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
        " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
        " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
        " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
        " xmlns:html=\"http://www.w3.org/TR/REC-html40\">\n";
    for (const SheetText& sheet : sheets) {
        out += " <Worksheet ss:Name=\"";
        AppendEscaped(out, sheet.name);
        out += "\">\n  <Table>\n";
        const std::vector<SheetRow> rows = ParseSheetCsv(sheet.csv);
        bool rowSkipped = false;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const SheetRow& row = rows[r];
            bool any = false;
            for (const SheetCell& c : row) any = any || !c.text.empty();
            if (!any) {
                rowSkipped = true;
                continue;
            }
            out += "   <Row";
            if (rowSkipped) out += " ss:Index=\"" + std::to_string(r + 1) + "\"";
            out += ">\n";
            rowSkipped = false;
            bool cellSkipped = false;
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (row[c].text.empty()) {
                    cellSkipped = true;
                    continue;
                }
                AppendCell(out, row[c], c, cellSkipped);
                cellSkipped = false;
            }
            out += "   </Row>\n";
        }
        out += "  </Table>\n </Worksheet>\n";
    }
    out += "</Workbook>\n";
    return out;
}

std::string WithCrLfRows(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    bool inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes || (c != '\n' && c != '\r')) {
            out.push_back(c);
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += "\r\n";
    }
    return out;
}

}  // namespace ferro
