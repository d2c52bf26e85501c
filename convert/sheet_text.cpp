#include "convert/sheet_text.h"

#include <cstdlib>

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

// One line's fields at tabs, each with its escapes undone.
std::vector<std::string> SplitTabs(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char n = line[++i];
            fields.back().push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

}  // namespace

std::string SheetCellsToXml(std::string_view cells) {
    std::vector<std::string> formats;  // by id - 1
    struct Cell {
        std::size_t row, column;
        char type;
        std::size_t format;  // 0: none
        std::string value;
    };
    struct Sheet {
        std::string name;
        bool active = false, hidden = false;
        std::vector<Cell> cells;
    };
    std::vector<Sheet> sheets;
    std::size_t pos = 0;
    while (pos < cells.size()) {
        std::size_t end = cells.find('\n', pos);
        if (end == std::string_view::npos) end = cells.size();
        const std::vector<std::string> f = SplitTabs(cells.substr(pos, end - pos));
        pos = end + 1;
        if (f[0] == "W" && f.size() >= 4) {
            sheets.push_back(Sheet{f[3], f[1] == "1", f[2] == "1", {}});
        } else if (f[0] == "F" && f.size() >= 3) {
            const std::size_t id = std::strtoul(f[1].c_str(), nullptr, 10);
            if (id > 0 && id < 1000000) {
                if (formats.size() < id) formats.resize(id);
                formats[id - 1] = f[2];
            }
        } else if (f[0] == "C" && f.size() >= 6 && !sheets.empty() && f[3].size() == 1) {
            sheets.back().cells.push_back(
                Cell{std::strtoul(f[1].c_str(), nullptr, 10), std::strtoul(f[2].c_str(), nullptr, 10),
                     f[3][0], f[4] == "-" ? 0 : std::strtoul(f[4].c_str(), nullptr, 10), f[5]});
        }
    }

    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?mso-application progid=\"Excel.Sheet\"?>\n"
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
        " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
        " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
        " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
        " xmlns:html=\"http://www.w3.org/TR/REC-html40\">\n";
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (!sheets[i].active) continue;
        out += " <ExcelWorkbook xmlns=\"urn:schemas-microsoft-com:office:excel\">\n  <ActiveSheet>" +
               std::to_string(i) + "</ActiveSheet>\n </ExcelWorkbook>\n";
        break;
    }
    out += " <Styles>\n  <Style ss:ID=\"Default\" ss:Name=\"Normal\"/>\n";
    for (std::size_t id = 1; id <= formats.size(); ++id) {
        if (formats[id - 1].empty()) continue;
        out += "  <Style ss:ID=\"f" + std::to_string(id) + "\"><NumberFormat ss:Format=\"";
        AppendEscaped(out, formats[id - 1]);
        out += "\"/></Style>\n";
    }
    out += " </Styles>\n";
    for (const Sheet& sheet : sheets) {
        out += " <Worksheet ss:Name=\"";
        AppendEscaped(out, sheet.name);
        out += "\">\n  <Table>\n";
        std::size_t nextRow = 0, nextColumn = 0, row = 0;
        bool rowOpen = false;
        for (const Cell& c : sheet.cells) {
            if (!rowOpen || c.row != row) {
                if (rowOpen) out += "   </Row>\n";
                out += "   <Row";
                if (c.row != nextRow) out += " ss:Index=\"" + std::to_string(c.row + 1) + "\"";
                out += ">\n";
                row = c.row;
                nextRow = row + 1;
                nextColumn = 0;
                rowOpen = true;
            }
            const char* type = "String";
            if (c.type == 'n') type = "Number";
            if (c.type == 'd') type = "DateTime";
            if (c.type == 'b') type = "Boolean";
            if (c.type == 'e') type = "Error";
            out += "    <Cell";
            if (c.column != nextColumn) out += " ss:Index=\"" + std::to_string(c.column + 1) + "\"";
            if (c.format > 0 && c.format <= formats.size() && !formats[c.format - 1].empty() &&
                (c.type == 'n' || c.type == 'd'))
                out += " ss:StyleID=\"f" + std::to_string(c.format) + "\"";
            out += "><Data ss:Type=\"";
            out += type;
            out += "\">";
            AppendEscaped(out, c.value);
            out += "</Data></Cell>\n";
            nextColumn = c.column + 1;
        }
        if (rowOpen) out += "   </Row>\n";
        out += "  </Table>\n";
        if (sheet.hidden)
            out += "  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\n"
                   "   <Visible>SheetHidden</Visible>\n  </WorksheetOptions>\n";
        out += " </Worksheet>\n";
    }
    out += "</Workbook>\n";
    return out;
}

void AppendQuotedField(std::string& out, std::string_view field, std::string_view special) {
    if (field.find_first_of(special) == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (char c : field) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
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
