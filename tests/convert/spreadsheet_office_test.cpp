// The spreadsheet conversions with the real LibreOffice. Workbooks are
// written as Office Open XML packages by the test (as Excel writes them) or
// made by LibreOffice itself; results are read as text. Every LibreOffice
// start costs seconds, so each test converts several files per start.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "platform/codec.h"
#include "convert_testing.h"
#include "workbook_files.h"

using ferro::ConvertContext;
using ferro::ConvertFile;
using ferro::OfficeSession;
using ferro::TextMode;
using ferro::Undone;
using ferro::testing::Disk;
using ferro::testing::Gbk;
using ferro::testing::Office;
using ferro::testing::TempFolder;
using ferro::testing::Xlsx;

namespace {

// Rows of the upcoming list the page would hand a session.
struct Rows {
    std::vector<std::string> paths;
    std::size_t next = 0;
    std::vector<std::string> operator()(std::size_t max) const {
        const std::size_t from = std::min(next, paths.size());
        return {paths.begin() + from, paths.begin() + std::min(paths.size(), from + max)};
    }
};

const std::string kTable = Gbk("姓名,数量,备注\r\n张三,12,\"含,逗号\"\r\n李四,3.5,欧元\r\n");

// A workbook whose second sheet was showing when it was saved; its third
// row holds a formula LibreOffice cannot compute (the value Excel saved is
// 9876) and the workbook's own name.
std::string SecondSheetActive() {
    return Xlsx({{"First", "visible", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>wrong "
                                      "sheet</t></is></c></row>"},
                 {"数据", "visible",
                  "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>姓名</t></is></c>"
                  "<c r=\"B1\" t=\"inlineStr\"><is><t>数量</t></is></c></row>"
                  "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>张三</t></is></c>"
                  "<c r=\"B2\"><v>12</v></c></row>"
                  "<row r=\"3\"><c r=\"A3\"><f>_xlfn.FOOBAR(1)</f><v>9876</v></c>"
                  "<c r=\"B3\" t=\"str\"><f>CELL(\"filename\")</f><v>C:\\[a.xlsx]数据</v></c></row>"}},
                1);
}

}  // namespace

TEST(SpreadsheetOffice, TheSheetThatWasShowingInBothTextModesWithSavedResults) {
    TempFolder dir;
    const std::string xlsx = dir.Write("book.xlsx", SecondSheetActive());
    // The same workbook as LibreOffice saves it in the Excel 97 format.
    dir.Write("made.xlsx", SecondSheetActive());
    Office::Convert(dir, "made.xlsx", "xls:MS Excel 97");
    std::filesystem::remove(Disk(dir / "made.xlsx"));
    const std::string xls = dir / "made.xls";
    ASSERT_TRUE(dir.Exists("made.xls"));

    OfficeSession office;
    Rows rows{{xlsx, xls}, 1};
    ConvertContext ctx;
    ctx.office = &office;
    ctx.upcoming = std::ref(rows);
    auto out = ConvertFile(xlsx, "${XlsTo(csv)}", ctx);
    EXPECT_EQ(out.why, Undone::None);
    EXPECT_EQ(out.newPath, dir / "book.csv");
    const std::string csv = dir.Read("book.csv");
    EXPECT_EQ(csv.substr(0, csv.find("9876")), "\xEF\xBB\xBF姓名,数量\n张三,12\n");
    // The saved result is used, and the file's name is its own.
    EXPECT_NE(csv.find("9876,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(Disk(dir / "book.xlsx")), std::string::npos) << csv;
    EXPECT_EQ(csv.find("ferro-office"), std::string::npos) << csv;
    rows.next = 2;
    out = ConvertFile(xls, "${XlsTo(csv)}", ctx);
    EXPECT_EQ(out.newPath, dir / "made.csv");
    // (LibreOffice's own Excel 97 file keeps no result for a function it
    // does not know; the sheet is what counts here.)
    EXPECT_EQ(dir.Read("made.csv").rfind("\xEF\xBB\xBF姓名,数量\n张三,12\n", 0), 0u)
        << dir.Read("made.csv");
    // Both came out of one LibreOffice start.
    EXPECT_EQ(office.runs(), 1);

    // The classic mode: GBK with CR LF, as the Windows program wrote.
    ctx.textMode = TextMode::ClassicGbk;
    rows.next = 2;
    out = ConvertFile(xls, "${XlsTo(txt)}", ctx);
    EXPECT_EQ(out.newPath, dir / "made.txt");
    EXPECT_EQ(dir.Read("made.txt").substr(0, 20), Gbk("姓名\t数量\r\n张三\t12\r\n"));

    // What LibreOffice never sees: a workbook cut short, an OLE header
    // followed by garbage, an empty file.
    const std::string whole = dir.Read("made.xls");
    ctx.upcoming = nullptr;
    for (const std::string& bytes :
         {whole.substr(0, whole.size() / 2), whole.substr(0, 512) + std::string(3000, 'x'),
          std::string()}) {
        const auto bad = ConvertFile(dir.Write("bad.xls", bytes), "${XlsTo(csv)}", ctx);
        EXPECT_EQ(bad.why, Undone::NotSpreadsheet);
        EXPECT_FALSE(dir.Exists("bad.csv"));
    }
    EXPECT_EQ(office.runs(), 2);
}

TEST(SpreadsheetOffice, XmlSpreadsheetCellsKeepTheirTypes) {
    TempFolder dir;
    const std::string styles =
        "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd\\ hh:mm\"/>"
        "</numFmts><cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\" "
        "applyNumberFormat=\"1\"/><xf numFmtId=\"10\" applyNumberFormat=\"1\"/></cellXfs>";
    const std::string src = dir.Write(
        "typed.xlsx",
        Xlsx({{"Visible", "visible",
               "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>43531.550694444442</v></c>"
               "<c r=\"B1\" s=\"2\"><v>0.125</v></c><c r=\"C1\" t=\"b\"><v>1</v></c>"
               "<c r=\"D1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
               "<c r=\"E1\" t=\"inlineStr\"><is><t>012</t></is></c><c r=\"F1\"><v>3.5</v></c></row>"},
              {"Hidden", "hidden", "<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>"},
              {"Chart", "visible", "", "Visible!$F$1:$F$1"}},
             0, styles));
    ConvertContext ctx;
    const auto out = ConvertFile(src, "${XlsTo(xml)}", ctx);
    ASSERT_EQ(out.newPath, dir / "typed.xml");
    const std::string xml = dir.Read("typed.xml");
    struct Case {
        const char* what;
        const char* text;
    } cases[] = {
        {"a date", "<Data ss:Type=\"DateTime\">2019-03-07T13:13:00.000</Data>"},
        {"a percentage", "<Data ss:Type=\"Number\">0.125</Data>"},
        {"a boolean", "<Data ss:Type=\"Boolean\">1</Data>"},
        {"an error", "<Data ss:Type=\"Error\">#DIV/0!</Data>"},
        {"text that looks like a number", "<Data ss:Type=\"String\">012</Data>"},
        {"a number", "<Data ss:Type=\"Number\">3.5</Data>"},
        {"the percentage's format", "ss:Format=\"0.00%\""},
        {"the hidden sheet", "<Worksheet ss:Name=\"Hidden\">"},
        {"hidden", "<Visible>SheetHidden</Visible>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(xml.find(c.text), std::string::npos) << xml;
    }
    // The date cell carries its own format's style.
    const std::size_t date = xml.find("2019-03-07T13:13:00.000");
    const std::size_t cell = xml.rfind("<Cell", date);
    const std::size_t style = xml.find("ss:StyleID=\"", cell);
    ASSERT_LT(style, date);
    const std::string id = xml.substr(style + 12, xml.find('"', style + 12) - style - 12);
    const std::size_t def = xml.find("<Style ss:ID=\"" + id + "\"><NumberFormat ss:Format=\"");
    ASSERT_NE(def, std::string::npos);
    std::string format = xml.substr(def, xml.find("/>", def) - def);
    for (char& c : format) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(format.find("mm"), std::string::npos) << format;
    EXPECT_NE(format.find("dd"), std::string::npos) << format;
    EXPECT_EQ(xml.find("SheetHidden"), xml.rfind("SheetHidden"));
    EXPECT_LT(xml.find("ss:Name=\"Visible\""), xml.find("ss:Name=\"Hidden\""));
    // A chart sheet has no cells to write.
    EXPECT_EQ(xml.find("ss:Name=\"Chart\""), std::string::npos);
}

TEST(SpreadsheetOffice, CommaTextToWorkbookWebPageAndXmlSpreadsheet) {
    TempFolder dir;
    // A comma-separated source under another extension is still read as such.
    const std::string src = dir.Write(Gbk("名单.dat"), kTable);
    ConvertContext ctx;  // a session of its own for every file
    EXPECT_EQ(ConvertFile(src, "${CsvTo(XLS)}", ctx).newPath, dir / Gbk("名单.xls"));
    EXPECT_EQ(Office::Read(dir, Gbk("名单.xls")),
              "姓名,数量,备注\n张三,12,\"含,逗号\"\n李四,3.5,欧元\n");

    EXPECT_EQ(ConvertFile(src, "${CsvTo(htm)}", ctx).newPath, dir / Gbk("名单.htm"));
    const std::string html = dir.Read(Gbk("名单.htm"));
    EXPECT_NE(html.find("<table"), std::string::npos);
    EXPECT_NE(html.find("含,逗号"), std::string::npos);  // UTF-8, as the page declares

    // UTF-8 comma text is read as UTF-8.
    const std::string utf8 = dir.Write("u.csv", "姓名,数量\n张三,12\n");
    EXPECT_EQ(ConvertFile(utf8, "${CsvTo(xml)}", ctx).newPath, dir / "u.xml");
    const std::string xml = dir.Read("u.xml");
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">张三</Data>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<Data ss:Type=\"Number\">12</Data>"), std::string::npos);
}
