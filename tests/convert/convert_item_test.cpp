#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "convert/convert.h"
#include "convert/convert_item.h"

using ferro::ConvertKind;
using ferro::NewFilePath;
using ferro::ParseConvertItem;
using ferro::testing::Gbk;

TEST(ConvertItem, NamesArgumentsAndMalformedText) {
    auto item = ParseConvertItem("${XlsTo(csv)}");
    EXPECT_EQ(item.kind, ConvertKind::XlsTo);
    EXPECT_EQ(item.argument, "csv");
    EXPECT_EQ(ParseConvertItem("${XLSTO(CSV)}").kind, ConvertKind::XlsTo);
    EXPECT_EQ(ParseConvertItem("${csvTo(xls)}").kind, ConvertKind::CsvTo);
    EXPECT_EQ(ParseConvertItem("${TxtTo(csv)}").kind, ConvertKind::TxtTo);
    EXPECT_EQ(ParseConvertItem("${vcfto(txt)}").kind, ConvertKind::VcfTo);
    // Only the first argument counts; blanks around the item do not matter.
    item = ParseConvertItem("  ${TxtTo( .CSV ,htm, x)} ");
    EXPECT_EQ(item.kind, ConvertKind::TxtTo);
    EXPECT_EQ(item.argument, " .CSV ");
    EXPECT_EQ(ParseConvertItem("${XlsTo()}").argument, "");
    EXPECT_EQ(ParseConvertItem("${XlsTo()}").kind, ConvertKind::XlsTo);
    // Not one of the four items.
    for (const char* text : {"", "csv", "XlsTo(csv)", "${XlsTo}", "${XlsTo(csv}", "${XlsTo(csv)",
                             "x${XlsTo(csv)}", "${DocTo(csv)}", "${(csv)}", "${}"})
        EXPECT_EQ(ParseConvertItem(text).kind, ConvertKind::Unknown) << text;
}

TEST(ConvertItem, NewFileNames) {
    EXPECT_EQ(NewFilePath("/d/book.xls", "CSV"), "/d/book.csv");
    EXPECT_EQ(NewFilePath("/d/book.xls", " .csv "), "/d/book.csv");
    EXPECT_EQ(NewFilePath("/d/data.2012.xls", "csv"), "/d/data.2012.csv");
    EXPECT_EQ(NewFilePath("/d/book.XLS", "xls"), "/d/book.xls");
    // A name without a dot is never cut at a dot of its folder.
    EXPECT_EQ(NewFilePath("/d/v1.2/README", "txt"), "/d/v1.2/README.txt");
    EXPECT_EQ(NewFilePath(Gbk("/资料/通讯录"), "csv"), Gbk("/资料/通讯录.csv"));
    EXPECT_EQ(NewFilePath(Gbk("/资料/通讯录.vcf"), "txt"), Gbk("/资料/通讯录.txt"));
    // Nothing to name: empty, only blanks or a dot, or an extension that
    // would lead into another folder.
    for (const char* arg : {"", "  ", ".", "../x", "a/b", "a\\b"})
        EXPECT_EQ(NewFilePath("/d/book.xls", arg), "") << arg;
    // Only one leading dot goes.
    EXPECT_EQ(NewFilePath("/d/book.xls", "..csv"), "/d/book..csv");
}

TEST(ConvertItem, DispatcherConvertsNothingForUnknownTextOrEmptyExtension) {
    ferro::testing::TempFolder dir;
    const std::string src = dir.Write("a.txt", "x\ty\n");
    ferro::ConvertContext ctx;
    EXPECT_TRUE(ferro::ConvertFile(src, "${DocTo(csv)}", ctx).newPath.empty());
    EXPECT_TRUE(ferro::ConvertFile(src, "csv", ctx).newPath.empty());
    EXPECT_TRUE(ferro::ConvertFile(src, "${TxtTo()}", ctx).newPath.empty());
    EXPECT_TRUE(ferro::ConvertFile(src, "${XlsTo( )}", ctx).newPath.empty());
    // A target the conversion has no format for: nothing written, and the
    // spreadsheet application is not even needed.
    ferro::OfficeSession none(ferro::OfficeOptions{"/nonexistent/soffice"});
    ctx.office = &none;
    auto out = ferro::ConvertFile(src, "${XlsTo(xls)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_FALSE(out.cannotStart);
    EXPECT_TRUE(ferro::ConvertFile(src, "${CsvTo(csv)}", ctx).newPath.empty());
    EXPECT_FALSE(dir.Exists("a.xls"));
    EXPECT_EQ(dir.Read("a.txt"), "x\ty\n");
    // A conversion in the table with no application: reported, not counted.
    out = ferro::ConvertFile(src, "${XlsTo(htm)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_TRUE(out.cannotStart);
    EXPECT_FALSE(dir.Exists("a.htm"));
    // Tab text to comma text needs no spreadsheet application.
    EXPECT_EQ(ferro::ConvertFile(src, "${XlsTo(csv)}", ctx).newPath, dir / "a.csv");
    EXPECT_EQ(ferro::ConvertFile(src, "${TxtTo(csv)}", ctx).newPath, dir / "a.csv");
}
