// The files a conversion run writes: one per sheet and their names, the
// sheet lists read from workbooks for the preview, the item's word for
// hidden sheets, and two sources of one run that would write the same file.
#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "convert/convert.h"
#include "convert/outputs.h"
#include "convert/source_check.h"
#include "convert_testing.h"
#include "workbook_files.h"

using ferro::BatchFile;
using ferro::ConvertContext;
using ferro::PlanOutputs;
using ferro::Undone;
using ferro::testing::Gbk;
using ferro::testing::NamedSheet;
using ferro::testing::SheetsOf;
using ferro::testing::StoredZip;
using ferro::testing::TempFolder;
using ferro::testing::Xlsx;

namespace {

std::string Cell(const char* text) {
    return std::string("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>") + text +
           "</t></is></c></row>";
}

// An OpenDocument spreadsheet of named tables; hidden ones by a table style
// that does not display them, as LibreOffice writes it.
std::string Ods(const std::vector<std::pair<std::string, bool>>& tables) {
    std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"><office:automatic-styles>"
        "<style:style style:name=\"ta1\" style:family=\"table\"><style:table-properties "
        "table:display=\"true\"/></style:style><style:style style:name=\"ta2\" "
        "style:family=\"table\"><style:table-properties table:display=\"false\"/></style:style>"
        "</office:automatic-styles><office:body><office:spreadsheet>";
    for (const auto& [name, hidden] : tables)
        content += "<table:table table:name=\"" + name + "\" table:style-name=\"" +
                   (hidden ? "ta2" : "ta1") +
                   "\"><table:table-row><table:table-cell/></table:table-row></table:table>";
    content += "</office:spreadsheet></office:body></office:document-content>";
    return StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                      {"content.xml", content}});
}

}  // namespace

TEST(SheetOutputs, NamesOfTheFilesOfEachSheet) {
    struct Case {
        const char* what;
        std::string source;
        std::vector<std::string> sheets;  // UTF-8
        std::vector<std::string> paths;   // UTF-8
    } cases[] = {
        {"NAME_SHEET.ext beside the source", "/d/销售.xlsx", {"一月", "Sheet2"},
         {"/d/销售_一月.csv", "/d/销售_Sheet2.csv"}},
        {"only the last extension goes", "/d/data.2012.xls", {"S"}, {"/d/data.2012_S.csv"}},
        {"a source without an extension", "/d/book", {"S"}, {"/d/book_S.csv"}},
        {"characters a name cannot hold, blanks and dots at the ends", "/d/b.ods",
         {"a/b", "c:d*e?", " x. ", "\"q\"<>|\\"},
         {"/d/b_a_b.csv", "/d/b_c_d_e_.csv", "/d/b_x.csv", "/d/b__q_____.csv"}},
        {"names that meet, in any case, are numbered", "/d/b.xlsx", {"a/b", "a_b", "A_B"},
         {"/d/b_a_b.csv", "/d/b_a_b_2.csv", "/d/b_A_B_3.csv"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> expected;
        for (const std::string& p : c.paths) expected.push_back(Gbk(p));
        EXPECT_EQ(ferro::SheetOutputPaths(Gbk(c.source), " .CSV", c.sheets), expected);
    }
    EXPECT_TRUE(ferro::SheetOutputPaths("/d/b.xlsx", "", {"S"}).empty());
}

TEST(SheetOutputs, SheetListsOfWorkbooksForThePreview) {
    const std::string xlsx = Xlsx({{"数据", "visible", Cell("1")},
                                   {"Secret", "hidden", Cell("2")},
                                   {"Chart", "visible", "", "数据!$A$1:$A$1"},
                                   {"A &amp; B", "visible", Cell("3")}});
    EXPECT_EQ(SheetsOf(xlsx, ".xlsx"),
              (std::vector<NamedSheet>{{"数据", false}, {"Secret", true}, {"A & B", false}}));
    EXPECT_EQ(SheetsOf(Ods({{"一", false}, {"二", true}}), ".ODS"),
              (std::vector<NamedSheet>{{"一", false}, {"二", true}}));
    // Not a workbook, or one cut short: no list.
    EXPECT_EQ(SheetsOf("a,b\n", ".csv"), (std::vector<NamedSheet>{{"(none)", false}}));
    EXPECT_EQ(SheetsOf(xlsx.substr(0, xlsx.size() / 2), ".xlsx"),
              (std::vector<NamedSheet>{{"(none)", false}}));
}

TEST(SheetOutputs, TheItemAsksForHiddenSheetsByAFurtherArgument) {
    struct Case {
        const char* item;
        bool hidden;
    } cases[] = {
        {"${XlsTo(csv)}", false},       {"${XlsTo(csv,隐藏)}", true},
        {"${XlsTo(csv, HIDDEN )}", true}, {"${XlsTo(csv,x,hidden)}", true},
        {"${XlsTo(csv,其他)}", false},  {"${XlsTo(隐藏)}", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const ferro::ConvertItem item = ferro::ParseConvertItem(Gbk(c.item));
        EXPECT_EQ(item.hiddenSheets, c.hidden);
        EXPECT_EQ(item.kind, ferro::ConvertKind::XlsTo);
    }
    EXPECT_EQ(ferro::ParseConvertItem(Gbk("${XlsTo(csv,隐藏)}")).argument, "csv");
}

TEST(SameOutput, TheSecondSourceOfARunIsLeftUndoneAndTheFirstsFileKept) {
    TempFolder dir;
    const std::string first = dir.Write(Gbk("销售.txt"), Gbk("一\t二\n"));
    const std::string second = dir.Write(Gbk("销售.tsv"), Gbk("三\t四\n"));
    const std::string other = dir.Write("other.txt", "x\ty\n");
    dir.Write(Gbk("销售.csv"), "before the run");
    ConvertContext context;
    ferro::RunSummary summary = ferro::ConvertFiles(
        {{1, first}, {2, second}, {3, other}}, "${TxtTo(csv)}", context, nullptr);
    EXPECT_EQ(summary.done, 2);
    ASSERT_EQ(summary.undone.size(), 1u);
    EXPECT_EQ(summary.undone[0].path, second);
    EXPECT_EQ(summary.undone[0].why, Undone::DuplicateName);
    EXPECT_EQ(summary.undone[0].detail, Gbk("与 ") + first + Gbk(" 的输出同名"));
    // What was there before the run is replaced as always; what the run wrote
    // is not.
    EXPECT_EQ(dir.Read(Gbk("销售.csv")), "\xEF\xBB\xBF一,二\n");

    // Case does not matter, as on Windows; the contact tables meet the same
    // way; a new run starts afresh.
    const std::string cards = "BEGIN:VCARD\nFN:A\nEND:VCARD\n";
    summary = ferro::ConvertFiles({{1, dir.Write("c.vcf", cards)}, {2, dir.Write("C.VCF", cards)}},
                                  "${VcfTo(txt)}", context, nullptr);
    EXPECT_EQ(summary.done, 1);
    ASSERT_EQ(summary.undone.size(), 1u);
    EXPECT_EQ(summary.undone[0].why, Undone::DuplicateName);
    EXPECT_FALSE(dir.Exists("C.txt"));
    summary = ferro::ConvertFiles({{1, second}}, "${TxtTo(csv)}", context, nullptr);
    EXPECT_EQ(summary.done, 1);
    EXPECT_EQ(dir.Read(Gbk("销售.csv")), "\xEF\xBB\xBF三,四\n");
}

TEST(SameOutput, ThePreviewListsThePairsTheRunWouldMeet) {
    TempFolder dir;
    const std::string xls = dir.Write(Gbk("销售.xls"), "");
    const std::string xlsx = dir.Write(
        Gbk("销售.xlsx"),
        Xlsx({{"一月", "visible", Cell("1")}, {"隐藏", "hidden", Cell("2")}, {"二月", "visible", Cell("3")}}));
    const std::string other = dir.Write(
        "other.xlsx", Xlsx({{"隐藏", "visible", Cell("1")}}));
    dir.Write(Gbk("销售.csv"), "there before");
    const std::vector<BatchFile> files = {{1, xls}, {2, xlsx}, {3, other}};

    // One file per source: both workbooks would write 销售.csv.
    std::vector<ferro::PlannedOutput> plan = PlanOutputs(files, "${XlsTo(csv)}", false);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].output, dir / Gbk("销售.csv"));
    EXPECT_TRUE(plan[0].exists);
    EXPECT_EQ(plan[0].sameAs, "");
    EXPECT_EQ(plan[1].source, xlsx);
    EXPECT_EQ(plan[1].output, dir / Gbk("销售.csv"));
    EXPECT_EQ(plan[1].sameAs, xls);
    EXPECT_EQ(plan[2].output, dir / "other.csv");
    EXPECT_EQ(plan[2].sameAs, "");

    // A file per sheet: the xls (unreadable here) may give any name; the
    // visible sheets of the xlsx have their own names.
    plan = PlanOutputs(files, "${XlsTo(csv)}", true);
    ASSERT_EQ(plan.size(), 4u);
    EXPECT_EQ(plan[0].output, dir / Gbk("销售_*.csv"));
    EXPECT_EQ(plan[1].output, dir / Gbk("销售_一月.csv"));
    EXPECT_EQ(plan[2].output, dir / Gbk("销售_二月.csv"));
    EXPECT_EQ(plan[3].output, dir / Gbk("other_隐藏.csv"));
    for (const auto& p : plan) EXPECT_EQ(p.sameAs, "");

    // Hidden sheets asked for: 销售_隐藏.csv is written by the xlsx, and a
    // source of another name may well meet it.
    const std::string named = dir.Write(Gbk("销售_隐藏.txt"), "a\tb\n");
    plan = PlanOutputs({{2, xlsx}, {4, named}}, Gbk("${XlsTo(csv,隐藏)}"), true);
    ASSERT_EQ(plan.size(), 4u);
    EXPECT_EQ(plan[1].output, dir / Gbk("销售_隐藏.csv"));
    EXPECT_EQ(plan[3].output, dir / Gbk("销售_隐藏.csv"));
    EXPECT_EQ(plan[3].sameAs, xlsx);

    // A conversion that would write over its own source writes nothing.
    EXPECT_TRUE(PlanOutputs({{2, xlsx}}, "${XlsTo(xlsx)}", false).empty());
    EXPECT_TRUE(PlanOutputs({{2, xlsx}}, "${XlsTo(doc)}", false).empty());
}
