// The spreadsheet conversions with the real LibreOffice. Fixtures are made by
// LibreOffice itself from text, and results are read back the same way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "platform/codec.h"

using ferro::ConvertContext;
using ferro::ConvertFile;
using ferro::OfficeSession;
using ferro::testing::Gbk;
using ferro::testing::TempFolder;

namespace {

std::string Disk(const std::string& gbk) {
    std::string disk;
    EXPECT_TRUE(ferro::GbkToDisk(gbk, disk));
    return disk;
}

// LibreOffice run directly (not through the code under test), with a
// profile of its own for the whole test program. Names are GBK.
class Office {
public:
    // Converts a file in dir to the given "ext:filter:options" into dir.
    static void Convert(const TempFolder& dir, const std::string& name,
                        const std::string& convertTo, const std::string& infilter = {}) {
        static TempFolder profile;
        ferro::ChildOptions o;
        o.arguments = {"-env:UserInstallation=file://" + profile.path(), "--headless"};
        if (!infilter.empty()) o.arguments.push_back("--infilter=" + infilter);
        o.arguments.insert(o.arguments.end(), {"--convert-to", convertTo, "--outdir",
                                               Disk(dir.path()), Disk(dir / name)});
        o.outputFile = profile / "log.txt";
        ASSERT_EQ(ferro::RunChild("soffice", o).status, ferro::ChildResult::Exited);
    }
    // A workbook made from GBK comma-separated text.
    static std::string Workbook(const TempFolder& dir, const std::string& stem,
                                const std::string& gbkCsv) {
        dir.Write(stem + ".csv", gbkCsv);
        Convert(dir, stem + ".csv", "xls:MS Excel 97", "Text - txt - csv (StarCalc):44,34,67,1");
        std::filesystem::remove(Disk(dir / (stem + ".csv")));
        EXPECT_TRUE(dir.Exists(stem + ".xls"));
        return dir / (stem + ".xls");
    }
    // A spreadsheet read back as UTF-8 comma text (LF row ends).
    static std::string Read(const TempFolder& dir, const std::string& name) {
        TempFolder back;
        back.Write(name, dir.Read(name));
        Convert(back, name, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true");
        const std::string stem = name.substr(0, name.rfind('.'));
        return back.Exists(stem + ".csv") ? back.Read(stem + ".csv") : std::string("(none)");
    }
};

const std::string kTable = Gbk("姓名,数量,备注\r\n张三,12,\"含,逗号\"\r\n李四,3.5,欧元\r\n");

}  // namespace

TEST(SpreadsheetOffice, WorkbooksToCommaAndTabTextInGbkSeveralPerRun) {
    TempFolder dir;
    const std::string one = Office::Workbook(dir, Gbk("账目"), kTable);
    const std::string two = Office::Workbook(dir, "two", Gbk("甲\r\n1\r\n"));
    dir.Write(Gbk("账目.csv"), "an old file of that name is replaced");

    OfficeSession office;
    std::vector<std::string> rows = {one, two};
    std::size_t next = 1;
    ConvertContext ctx{&office, [&](std::size_t max) {
                           return std::vector<std::string>(
                               rows.begin() + next,
                               rows.begin() + std::min(rows.size(), next + max));
                       }};
    auto out = ConvertFile(one, "${XlsTo( .CSV )}", ctx);
    EXPECT_EQ(out.newPath, dir / Gbk("账目.csv"));
    EXPECT_EQ(dir.Read(Gbk("账目.csv")), kTable);
    next = 2;
    out = ConvertFile(two, "${XlsTo( .CSV )}", ctx);
    EXPECT_EQ(out.newPath, dir / "two.csv");
    EXPECT_EQ(dir.Read("two.csv"), Gbk("甲\r\n1\r\n"));
    // Both files came out of one LibreOffice run.
    EXPECT_EQ(office.runs(), 1);

    next = 1;
    out = ConvertFile(one, "${XlsTo(txt)}", ctx);
    EXPECT_EQ(out.newPath, dir / Gbk("账目.txt"));
    EXPECT_EQ(dir.Read(Gbk("账目.txt")),
              Gbk("姓名\t数量\t备注\r\n张三\t12\t含,逗号\r\n李四\t3.5\t欧元\r\n"));
    // The source is left as it was; "xls" is no target of this conversion.
    EXPECT_TRUE(ConvertFile(one, "${XlsTo(xls)}", ctx).newPath.empty());
    EXPECT_FALSE(ConvertFile(one, "${XlsTo(xls)}", ctx).cannotStart);
    EXPECT_EQ(Office::Read(dir, Gbk("账目.xls")),
              "姓名,数量,备注\n张三,12,\"含,逗号\"\n李四,3.5,欧元\n");
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

    EXPECT_EQ(ConvertFile(src, "${CsvTo(xml)}", ctx).newPath, dir / Gbk("名单.xml"));
    const std::string xml = dir.Read(Gbk("名单.xml"));
    EXPECT_NE(xml.find("<Worksheet ss:Name=\"名单\">"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">张三</Data>"), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"Number\">12</Data>"), std::string::npos);
    EXPECT_EQ(Office::Read(dir, Gbk("名单.xml")),
              "姓名,数量,备注\n张三,12,\"含,逗号\"\n李四,3.5,欧元\n");
}

TEST(SpreadsheetOffice, EveryWorkbookSheetGoesIntoTheXmlSpreadsheet) {
    TempFolder dir;
    // Two sheets, from an XML spreadsheet written by hand.
    dir.Write(
        "src.xml",
        "<?xml version=\"1.0\"?><?mso-application progid=\"Excel.Sheet\"?>"
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<Worksheet ss:Name=\"第一页\"><Table><Row><Cell><Data ss:Type=\"String\">a&lt;b"
        "</Data></Cell><Cell><Data ss:Type=\"Number\">7</Data></Cell></Row></Table></Worksheet>"
        "<Worksheet ss:Name=\"Two\"><Table><Row><Cell><Data ss:Type=\"String\">x</Data>"
        "</Cell></Row></Table></Worksheet></Workbook>");
    Office::Convert(dir, "src.xml", "xls:MS Excel 97");
    std::filesystem::remove(Disk(dir / "src.xml"));
    ConvertContext ctx;
    ASSERT_EQ(ConvertFile(dir / "src.xls", "${XlsTo(xml)}", ctx).newPath, dir / "src.xml");
    const std::string xml = dir.Read("src.xml");
    const std::size_t first = xml.find("<Worksheet ss:Name=\"第一页\">");
    const std::size_t second = xml.find("<Worksheet ss:Name=\"Two\">");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">a&lt;b</Data>", first), std::string::npos);
    EXPECT_NE(xml.find("<Data ss:Type=\"String\">x</Data>", second), std::string::npos);
}

TEST(SpreadsheetOffice, SourcesLibreOfficeCannotOpenWriteNothing) {
    TempFolder dir;
    const std::string bad = dir.Write("broken.xls", std::string("PK\x03\x04", 4) + "not a zip");
    const std::string good = Office::Workbook(dir, "good", "1,2\r\n");
    const std::string missing = dir / "missing.xls";
    OfficeSession office;
    std::vector<std::string> rows = {bad, missing, good};
    std::size_t next = 1;
    ConvertContext ctx{&office, [&](std::size_t max) {
                           return std::vector<std::string>(
                               rows.begin() + next,
                               rows.begin() + std::min(rows.size(), next + max));
                       }};
    auto out = ConvertFile(bad, "${XlsTo(csv)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_FALSE(out.cannotStart);
    EXPECT_FALSE(dir.Exists("broken.csv"));
    next = 2;
    EXPECT_TRUE(ConvertFile(missing, "${XlsTo(csv)}", ctx).newPath.empty());
    EXPECT_FALSE(dir.Exists("missing.csv"));
    next = 3;
    EXPECT_EQ(ConvertFile(good, "${XlsTo(csv)}", ctx).newPath, dir / "good.csv");
    EXPECT_EQ(dir.Read("good.csv"), "1,2\r\n");
    // The broken file did not hold up the others: one run for all three.
    EXPECT_EQ(office.runs(), 1);
}
