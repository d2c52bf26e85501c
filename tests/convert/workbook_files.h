// Workbook files for the conversion tests, written the way spreadsheet
// programs write them: a ZIP package (stored, uncompressed) and the
// Office Open XML parts of a workbook.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ferro::testing {

// A ZIP file of the named parts, stored without compression.
inline std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& parts) {
    auto crc32 = [](const std::string& data) {
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto u16 = [](std::string& s, uint32_t v) {
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    auto u32 = [&](std::string& s, uint32_t v) {
        u16(s, v & 0xFFFF);
        u16(s, v >> 16);
    };
    std::string out, central;
    for (const auto& [name, data] : parts) {
        const uint32_t offset = static_cast<uint32_t>(out.size()), crc = crc32(data);
        const uint32_t size = static_cast<uint32_t>(data.size());
        out += "PK\x03\x04";
        u16(out, 20), u16(out, 0), u16(out, 0), u16(out, 0), u16(out, 0x21);
        u32(out, crc), u32(out, size), u32(out, size);
        u16(out, static_cast<uint32_t>(name.size())), u16(out, 0);
        out += name + data;
        central += "PK\x01\x02";
        u16(central, 20), u16(central, 20), u16(central, 0), u16(central, 0), u16(central, 0),
            u16(central, 0x21);
        u32(central, crc), u32(central, size), u32(central, size);
        u16(central, static_cast<uint32_t>(name.size())), u16(central, 0), u16(central, 0),
            u16(central, 0), u16(central, 0);
        u32(central, 0), u32(central, offset);
        central += name;
    }
    const uint32_t at = static_cast<uint32_t>(out.size());
    out += central;
    out += "PK\x05\x06";
    u16(out, 0), u16(out, 0), u16(out, static_cast<uint32_t>(parts.size())),
        u16(out, static_cast<uint32_t>(parts.size()));
    u32(out, static_cast<uint32_t>(central.size())), u32(out, at), u16(out, 0);
    return out;
}

struct XlsxSheet {
    std::string name;
    std::string state = "visible";  // or "hidden"
    std::string rows;               // the <sheetData> contents
    // A chart sheet instead: a bar chart of these cells ("Data!$A$1:$A$2").
    std::string chartOf = {};
};

// An .xlsx workbook: its sheets, the one showing (activeTab), and the
// <numFmts>/<cellXfs> of its styles part.
inline std::string Xlsx(const std::vector<XlsxSheet>& sheets, int activeTab = 0,
                        const std::string& styles = "") {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string types = head +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" ContentType=\"application/"
                        "vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                        "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    std::string book = head + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                       "\"><bookViews><workbookView activeTab=\"" + std::to_string(activeTab) +
                       "\"/></bookViews><sheets>";
    std::string rels = head +
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                       "relationships\"><Relationship Id=\"rIdS\" Type=\"" +
                       rel + "/styles\" Target=\"styles.xml\"/>";
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        if (!sheets[i].chartOf.empty()) {
            const std::string ct = "application/vnd.openxmlformats-officedocument.";
            types += "<Override PartName=\"/xl/chartsheets/sheet" + n + ".xml\" ContentType=\"" +
                     ct + "spreadsheetml.chartsheet+xml\"/><Override PartName=\"/xl/drawings/drawing" +
                     n + ".xml\" ContentType=\"" + ct +
                     "drawing+xml\"/><Override PartName=\"/xl/charts/chart" + n +
                     ".xml\" ContentType=\"" + ct + "drawingml.chart+xml\"/>";
            book += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n +
                    "\"/>";
            rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel +
                    "/chartsheet\" Target=\"chartsheets/sheet" + n + ".xml\"/>";
            const std::string relsHead =
                head + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                       "relationships\"><Relationship Id=\"rId1\" Type=\"" + rel;
            parts.emplace_back("xl/chartsheets/sheet" + n + ".xml",
                               head + "<chartsheet xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                                   "\"><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
                                   "<drawing r:id=\"rId1\"/></chartsheet>");
            parts.emplace_back("xl/chartsheets/_rels/sheet" + n + ".xml.rels",
                               relsHead + "/drawing\" Target=\"../drawings/drawing" + n +
                                   ".xml\"/></Relationships>");
            parts.emplace_back(
                "xl/drawings/drawing" + n + ".xml",
                head +
                    "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/"
                    "spreadsheetDrawing\" xmlns:a=\"http://schemas.openxmlformats.org/drawingml/"
                    "2006/main\" xmlns:r=\"" + rel +
                    "\" xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">"
                    "<xdr:absoluteAnchor><xdr:pos x=\"0\" y=\"0\"/><xdr:ext cx=\"8000000\" "
                    "cy=\"5000000\"/><xdr:graphicFrame macro=\"\"><xdr:nvGraphicFramePr><xdr:cNvPr "
                    "id=\"2\" name=\"Chart 1\"/><xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr>"
                    "<xdr:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></xdr:xfrm>"
                    "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/"
                    "2006/chart\"><c:chart r:id=\"rId1\"/></a:graphicData></a:graphic>"
                    "</xdr:graphicFrame><xdr:clientData/></xdr:absoluteAnchor></xdr:wsDr>");
            parts.emplace_back("xl/drawings/_rels/drawing" + n + ".xml.rels",
                               relsHead + "/chart\" Target=\"../charts/chart" + n +
                                   ".xml\"/></Relationships>");
            parts.emplace_back(
                "xl/charts/chart" + n + ".xml",
                head +
                    "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/"
                    "chart\"><c:chart><c:plotArea><c:layout/><c:barChart><c:barDir val=\"col\"/>"
                    "<c:grouping val=\"clustered\"/><c:ser><c:idx val=\"0\"/><c:order val=\"0\"/>"
                    "<c:val><c:numRef><c:f>" + sheets[i].chartOf +
                    "</c:f></c:numRef></c:val></c:ser><c:axId val=\"1\"/><c:axId val=\"2\"/>"
                    "</c:barChart><c:catAx><c:axId val=\"1\"/><c:scaling/><c:axPos val=\"b\"/>"
                    "<c:crossAx val=\"2\"/></c:catAx><c:valAx><c:axId val=\"2\"/><c:scaling/>"
                    "<c:axPos val=\"l\"/><c:crossAx val=\"1\"/></c:valAx></c:plotArea></c:chart>"
                    "</c:chartSpace>");
            continue;
        }
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        book += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" state=\"" +
                sheets[i].state + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel +
                "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml",
                           head + "<worksheet xmlns=\"" + main + "\"><sheetData>" +
                               sheets[i].rows + "</sheetData></worksheet>");
    }
    types += "</Types>";
    book += "</sheets><calcPr calcId=\"191029\"/></workbook>";
    rels += "</Relationships>";
    parts.emplace_back("xl/styles.xml",
                       head + "<styleSheet xmlns=\"" + main + "\">" +
                           (styles.empty() ? "<cellXfs count=\"1\"><xf numFmtId=\"0\"/></cellXfs>"
                                           : styles) +
                           "</styleSheet>");
    parts.insert(parts.begin(), {"xl/_rels/workbook.xml.rels", rels});
    parts.insert(parts.begin(), {"xl/workbook.xml", book});
    parts.insert(parts.begin(),
                 {"_rels/.rels", head +
                                     "<Relationships xmlns=\"http://schemas.openxmlformats.org/"
                                     "package/2006/relationships\"><Relationship Id=\"rId1\" "
                                     "Type=\"" +
                                     rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                                           "</Relationships>"});
    parts.insert(parts.begin(), {"[Content_Types].xml", types});
    return StoredZip(parts);
}

}  // namespace ferro::testing
