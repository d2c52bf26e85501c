#include <gtest/gtest.h>

#include "convert/sheet_text.h"

using ferro::ParseSheetCsv;
using ferro::WithCrLfRows;

TEST(SheetText, ReadsQuotedAndPlainCells) {
    const auto rows = ParseSheetCsv("\"a,b\",12,,\"say \"\"hi\"\"\"\n\"two\nlines\"\r\nlast");
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[0].size(), 4u);
    EXPECT_EQ(rows[0][0].text, "a,b");
    EXPECT_TRUE(rows[0][0].quoted);
    EXPECT_EQ(rows[0][1].text, "12");
    EXPECT_FALSE(rows[0][1].quoted);
    EXPECT_EQ(rows[0][2].text, "");
    EXPECT_EQ(rows[0][3].text, "say \"hi\"");
    EXPECT_EQ(rows[1][0].text, "two\nlines");
    EXPECT_EQ(rows[2][0].text, "last");
    EXPECT_TRUE(ParseSheetCsv("").empty());
}

TEST(SheetText, XmlSpreadsheetFromTypedCells) {
    const std::string xml = ferro::SheetCellsToXml(
        "W\t0\t0\t表<1>\n"
        "C\t0\t0\ts\t-\t名称\n"
        "F\t1\t0.00%\n"
        "C\t0\t1\tn\t1\t0.125\n"
        "C\t0\t3\ts\t-\ta&b\\tc\\nd\n"
        "F\t2\tYYYY-MM-DD HH:MM\n"
        "C\t2\t0\td\t2\t2019-03-07T13:13:00.000\n"
        "C\t2\t1\tb\t-\t1\n"
        "C\t2\t2\te\t-\t#DIV/0!\n"
        "C\t2\t3\tn\t-\t-1.5e+20\n"
        "W\t1\t1\tHidden\n"
        "C\t0\t0\ts\t-\t012\n");
    struct Case {
        const char* what;
        const char* text;
    } cases[] = {
        {"sheet name escaped", "<Worksheet ss:Name=\"表&lt;1&gt;\">"},
        {"the active sheet", "<ActiveSheet>1</ActiveSheet>"},
        {"number formats as styles", "<Style ss:ID=\"f1\"><NumberFormat ss:Format=\"0.00%\"/>"},
        {"date format", "<Style ss:ID=\"f2\"><NumberFormat ss:Format=\"YYYY-MM-DD HH:MM\"/>"},
        {"string", "<Cell><Data ss:Type=\"String\">名称</Data></Cell>"},
        {"percentage: a number with its style",
         "<Cell ss:StyleID=\"f1\"><Data ss:Type=\"Number\">0.125</Data></Cell>"},
        {"a gap in a row, escapes",
         "<Cell ss:Index=\"4\"><Data ss:Type=\"String\">a&amp;b&#9;c&#10;d</Data>"},
        {"an empty row skipped", "<Row ss:Index=\"3\">"},
        {"date", "<Cell ss:StyleID=\"f2\"><Data ss:Type=\"DateTime\">2019-03-07T13:13:00.000</Data>"},
        {"boolean", "<Cell><Data ss:Type=\"Boolean\">1</Data></Cell>"},
        {"error", "<Cell><Data ss:Type=\"Error\">#DIV/0!</Data></Cell>"},
        {"number", "<Cell><Data ss:Type=\"Number\">-1.5e+20</Data></Cell>"},
        {"text that looks like a number", "<Data ss:Type=\"String\">012</Data>"},
        {"hidden sheet", "<Worksheet ss:Name=\"Hidden\">\n  <Table>\n   <Row>\n    <Cell><Data "
                         "ss:Type=\"String\">012</Data></Cell>\n   </Row>\n  </Table>\n  "
                         "<WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\n"
                         "   <Visible>SheetHidden</Visible>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(xml.find(c.text), std::string::npos) << xml;
    }
    EXPECT_EQ(xml.find("SheetHidden"), xml.rfind("SheetHidden"));
    EXPECT_EQ(xml.rfind("</Workbook>\n"), xml.size() - 12);
}

TEST(SheetText, RowEndsBecomeCrLfOutsideQuotes) {
    EXPECT_EQ(WithCrLfRows("a,b\n\"x\ny\",2\r\nlast\n"), "a,b\r\n\"x\ny\",2\r\nlast\r\n");
    EXPECT_EQ(WithCrLfRows(""), "");
}
