// Workbooks with the real LibreOffice: xlsx and ods as targets, booleans of
// every workbook format in the XML spreadsheet, a file for each sheet (a
// hidden one skipped unless asked), and two sources of one run that would
// write the same file. Workbooks are written by the test or by LibreOffice
// itself; several files go through each LibreOffice start where they can.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "convert/outputs.h"
#include "convert/source_check.h"
#include "platform/codec.h"
#include "convert_testing.h"
#include "workbook_files.h"

using ferro::BatchFile;
using ferro::ConvertContext;
using ferro::ConvertFile;
using ferro::ConvertFiles;
using ferro::OfficeSession;
using ferro::TextMode;
using ferro::Undone;
using ferro::testing::Disk;
using ferro::testing::Gbk;
using ferro::testing::Office;
using ferro::testing::SheetsOf;
using ferro::testing::TempFolder;
using ferro::testing::Xlsx;

namespace {

std::string Text(const char* ref, const char* text) {
    return std::string("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

std::string Row(int r, const std::string& cells) {
    return "<row r=\"" + std::to_string(r) + "\">" + cells + "</row>";
}

// A workbook of three worksheets (the second hidden, the third named with a
// character no file name holds), and a chart sheet after them.
std::string ThreeSheets(bool chart) {
    std::vector<ferro::testing::XlsxSheet> sheets = {
        {"数据", "visible", Row(1, Text("A1", "姓名") + Text("B1", "数量")) +
                                Row(2, Text("A2", "张三") + "<c r=\"B2\"><v>12</v></c>")},
        {"Secret", "hidden", Row(1, Text("A1", "hidden"))},
        {"a|b", "visible", Row(1, Text("A1", "第三"))}};
    if (chart) sheets.push_back({"Chart", "visible", "", "数据!$B$2:$B$2"});
    return Xlsx(sheets);
}

}  // namespace

TEST(WorkbookOffice, XlsxAndOdsAreTargetsAndKeepEverySheet) {
    TempFolder dir;
    const std::string csv = dir.Write(Gbk("名单.csv"), Gbk("姓名,数量\r\n张三,12\r\n李四,3.5\r\n"));
    ConvertContext ctx;
    for (const char* ext : {"xlsx", "ods"}) {
        SCOPED_TRACE(ext);
        const auto out = ConvertFile(csv, std::string("${CsvTo(") + ext + ")}", ctx);
        EXPECT_EQ(out.why, Undone::None) << out.detail;
        ASSERT_EQ(out.newPath, dir / (Gbk("名单.") + ext));
        EXPECT_EQ(dir.Read(Gbk("名单.") + ext).substr(0, 4), "PK\x03\x04");
        EXPECT_EQ(Office::Read(dir, Gbk("名单.") + ext), "姓名,数量\n张三,12\n李四,3.5\n");
    }
    // Every sheet, the hidden one hidden still, from one workbook format to
    // the other (LibreOffice's packages are deflated: the sheet lists of the
    // preview read them).
    const std::string book = dir.Write("book.xlsx", ThreeSheets(false));
    ASSERT_EQ(ConvertFile(book, "${XlsTo(ods)}", ctx).newPath, dir / "book.ods");
    const std::vector<ferro::testing::NamedSheet> sheets = {{"数据", false}, {"Secret", true}, {"a|b", false}};
    EXPECT_EQ(SheetsOf(dir.Read("book.ods"), ".ods"), sheets);
    std::filesystem::rename(Disk(dir / "book.ods"), Disk(dir / "again.ods"));
    ASSERT_EQ(ConvertFile(dir / "again.ods", "${XlsTo(xlsx)}", ctx).newPath, dir / "again.xlsx");
    EXPECT_EQ(SheetsOf(dir.Read("again.xlsx"), ".xlsx"), sheets);
    EXPECT_EQ(Office::Read(dir, "again.xlsx"), "姓名,数量\n张三,12\n");
    // Never over the source itself.
    const std::string before = dir.Read("book.xlsx");
    const auto same = ConvertFile(book, "${XlsTo(XLSX)}", ctx);
    EXPECT_TRUE(same.newPath.empty());
    EXPECT_EQ(same.why, Undone::ConversionFailed);
    EXPECT_EQ(dir.Read("book.xlsx"), before);
}

TEST(WorkbookOffice, BooleansStayBooleansInTheXmlSpreadsheetFromEveryFormat) {
    TempFolder dir;
    // Two truth values and two logical formulas, and a number.
    const std::string cells =
        Row(1, "<c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c>"
               "<c r=\"C1\" t=\"b\"><f>2&gt;1</f><v>1</v></c>"
               "<c r=\"D1\" t=\"b\"><f>AND(1,0)</f><v>0</v></c><c r=\"E1\"><v>1</v></c>");
    dir.Write("x.xlsx", Xlsx({{"S", "visible", cells}}));
    dir.Write("made.xlsx", Xlsx({{"S", "visible", cells}}));
    Office::Convert(dir, "made.xlsx", "xls:MS Excel 97");
    Office::Convert(dir, "made.xlsx", "ods:calc8");
    std::filesystem::rename(Disk(dir / "made.ods"), Disk(dir / "o.ods"));
    ASSERT_TRUE(dir.Exists("made.xls"));
    ConvertContext ctx;
    OfficeSession office;
    ctx.office = &office;
    const ferro::RunSummary s = ConvertFiles(
        {{1, dir / "x.xlsx"}, {2, dir / "made.xls"}, {3, dir / "o.ods"}}, "${XlsTo(xml)}", ctx, nullptr);
    EXPECT_EQ(s.done, 3);
    EXPECT_EQ(office.runs(), 1);
    for (const char* name : {"x.xml", "made.xml", "o.xml"}) {
        SCOPED_TRACE(name);
        const std::string xml = dir.Read(name);
        std::vector<std::string> data;
        for (std::size_t at = xml.find("<Data "); at != std::string::npos; at = xml.find("<Data ", at + 1))
            data.push_back(xml.substr(at, xml.find("</Data>", at) - at));
        EXPECT_EQ(data, (std::vector<std::string>{
                            "<Data ss:Type=\"Boolean\">1", "<Data ss:Type=\"Boolean\">0",
                            "<Data ss:Type=\"Boolean\">1", "<Data ss:Type=\"Boolean\">0",
                            "<Data ss:Type=\"Number\">1"}))
            << xml;
    }
}

TEST(WorkbookOffice, AFileForEachSheetHiddenOnesOnlyWhenAsked) {
    TempFolder dir;
    const std::string xlsx = dir.Write(Gbk("销售.xlsx"), ThreeSheets(true));
    dir.Write("made.xlsx", ThreeSheets(false));
    Office::Convert(dir, "made.xlsx", "xls:MS Excel 97");
    std::filesystem::remove(Disk(dir / "made.xlsx"));
    const std::string xls = dir / "made.xls";
    const std::vector<BatchFile> files = {{1, xlsx}, {2, xls}};

    ConvertContext ctx;
    OfficeSession office;
    ctx.office = &office;
    ctx.allSheets = true;
    // The preview names the files the run writes.
    std::vector<std::string> planned;
    for (const auto& p : ferro::PlanOutputs(files, "${XlsTo(csv)}", true)) planned.push_back(p.output);
    ferro::RunSummary s = ConvertFiles(files, "${XlsTo(csv)}", ctx, nullptr);
    EXPECT_EQ(s.done, 2);
    EXPECT_EQ(office.runs(), 1);
    const std::vector<std::string> written = {dir / Gbk("销售_数据.csv"), dir / Gbk("销售_a_b.csv"),
                                              dir / Gbk("made_数据.csv"), dir / Gbk("made_a_b.csv")};
    EXPECT_EQ(planned, written);
    for (const std::string& w : written) EXPECT_TRUE(std::filesystem::exists(Disk(w))) << w;
    EXPECT_EQ(dir.Read(Gbk("销售_数据.csv")), "\xEF\xBB\xBF姓名,数量\n张三,12\n");
    EXPECT_EQ(dir.Read(Gbk("made_a_b.csv")), "\xEF\xBB\xBF第三\n");
    EXPECT_FALSE(dir.Exists(Gbk("销售_Secret.csv")));
    EXPECT_FALSE(dir.Exists(Gbk("销售_Chart.csv")));
    EXPECT_FALSE(dir.Exists(Gbk("销售.csv")));

    // Asked for, in the classic mode: the hidden sheet too, as GBK tab text.
    ctx.textMode = TextMode::ClassicGbk;
    s = ConvertFiles({{1, xlsx}}, Gbk("${XlsTo(txt,隐藏)}"), ctx, nullptr);
    EXPECT_EQ(s.done, 1);
    EXPECT_EQ(dir.Read(Gbk("销售_数据.txt")), Gbk("姓名\t数量\r\n张三\t12\r\n"));
    EXPECT_EQ(dir.Read(Gbk("销售_Secret.txt")), "hidden\r\n");
    EXPECT_TRUE(dir.Exists(Gbk("销售_a_b.txt")));

    // Without the check box: the sheet that was showing, as always.
    ctx.allSheets = false;
    ctx.textMode = TextMode::Auto;
    EXPECT_EQ(ConvertFile(xlsx, "${XlsTo(csv)}", ctx).newPath, dir / Gbk("销售.csv"));
}

TEST(WorkbookOffice, TwoWorkbooksOfOneNameWriteTheirTableOnceAndTheSecondIsReported) {
    TempFolder dir;
    dir.Write("made.xlsx", Xlsx({{"Sheet1", "visible", Row(1, Text("A1", "from xls"))}}));
    Office::Convert(dir, "made.xlsx", "xls:MS Excel 97");
    std::filesystem::rename(Disk(dir / "made.xls"), Disk(dir / Gbk("销售.xls")));
    const std::string xls = dir / Gbk("销售.xls");
    const std::string xlsx = dir.Write(
        Gbk("销售.xlsx"), Xlsx({{"Sheet1", "visible", Row(1, Text("A1", "from xlsx"))},
                                {"Other", "visible", Row(1, Text("A1", "other"))}}));
    const std::vector<BatchFile> files = {{1, xls}, {2, xlsx}};
    for (bool each : {false, true}) {
        SCOPED_TRACE(each ? "a file for each sheet" : "a file for each workbook");
        const std::string table = dir / (each ? Gbk("销售_Sheet1.csv") : Gbk("销售.csv"));
        // The preview lists the pair.
        const auto plan = ferro::PlanOutputs(files, "${XlsTo(csv)}", each);
        ASSERT_EQ(plan.size(), each ? 3u : 2u);
        EXPECT_EQ(plan[0].output, table);
        EXPECT_EQ(plan[0].sameAs, "");
        EXPECT_EQ(plan[1].output, table);
        EXPECT_EQ(plan[1].sameAs, xls);
        ConvertContext ctx;
        ctx.allSheets = each;
        const ferro::RunSummary s = ConvertFiles(files, "${XlsTo(csv)}", ctx, nullptr);
        EXPECT_EQ(s.done, 1);
        ASSERT_EQ(s.undone.size(), 1u);
        EXPECT_EQ(s.undone[0].path, xlsx);
        EXPECT_EQ(s.undone[0].why, Undone::DuplicateName);
        EXPECT_EQ(s.undone[0].detail, Gbk("与 ") + xls + Gbk(" 的输出同名"));
        EXPECT_EQ(dir.Read(table.substr(dir.path().size() + 1)), "\xEF\xBB\xBF" "from xls\n");
        // The second workbook wrote none of its sheets.
        EXPECT_FALSE(dir.Exists(Gbk("销售_Other.csv")));
    }
}
