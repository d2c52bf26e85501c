#include <gtest/gtest.h>

#include "convert/sheet_text.h"

using ferro::ParseSheetCsv;
using ferro::SpreadsheetXml;
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

TEST(SheetText, XmlSpreadsheetTypesEscapesAndGaps) {
    const std::string xml =
        SpreadsheetXml({{"表<1>", "\"名称\",3.5,,\"a&b\"\n,,,\n-1.5E+20,\"012\",TRUE,1/2/2013\n"},
                        {"S2", "0x1A,inf,\"line\nbreak\"\n"}});
    EXPECT_NE(xml.find("<Worksheet ss:Name=\"表&lt;1&gt;\">"), std::string::npos);
    EXPECT_NE(xml.find("<Cell><Data ss:Type=\"String\">名称</Data></Cell>"), std::string::npos);
    EXPECT_NE(xml.find("<Cell><Data ss:Type=\"Number\">3.5</Data></Cell>"), std::string::npos);
    // An empty cell and an empty row are skipped with an index.
    EXPECT_NE(xml.find("<Cell ss:Index=\"4\"><Data ss:Type=\"String\">a&amp;b</Data>"),
              std::string::npos);
    EXPECT_NE(xml.find("<Row ss:Index=\"3\">"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"Number\">-1.5E+20</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">012</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"Boolean\">1</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">1/2/2013</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">0x1A</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">inf</Data>"), std::string::npos);
    EXPECT_NE(xml.find("line&#10;break"), std::string::npos);
    EXPECT_LT(xml.find("表&lt;1&gt;"), xml.find("\"S2\""));
    EXPECT_EQ(xml.rfind("</Workbook>\n"), xml.size() - 12);
}

TEST(SheetText, RowEndsBecomeCrLfOutsideQuotes) {
    EXPECT_EQ(WithCrLfRows("a,b\n\"x\ny\",2\r\nlast\n"), "a,b\r\n\"x\ny\",2\r\nlast\r\n");
    EXPECT_EQ(WithCrLfRows(""), "");
}
