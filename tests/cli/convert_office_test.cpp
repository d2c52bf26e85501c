// The conversion example of the command line, through the real LibreOffice:
// one comma-separated file into an Excel 97-2003 workbook beside it.
#include <gtest/gtest.h>

#include "cli/run.h"
#include "common/temp_folder.h"
#include "convert/workbook_files.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::RunProgram;
using testing::TempFolder;

TEST(CliOffice, ConvertsACsvFileToAWorkbook) {
    TempFolder t;
    t.Write("x.csv", "name,count\r\napple,3\r\n");
    const testing::ProgramRun run = RunProgram(t.path(), {"convert", "--format", "${CsvTo(xls)}", "x.csv"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.err, "成功处理完成,共处理 1 个文件!\n");
    // The compound-file signature of an .xls workbook.
    EXPECT_EQ(t.Read("x.xls").substr(0, 4), "\xD0\xCF\x11\xE0");
    EXPECT_EQ(t.Read("x.csv"), "name,count\r\napple,3\r\n");
}

// --all-sheets: a file for each visible sheet, the hidden one only when the
// item asks; --dry-run names the files and the source another one's output
// would meet.
TEST(CliOffice, AllSheetsWritesAFileForEachSheet) {
    TempFolder t;
    auto cell = [](const char* text) {
        return std::string("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>") + text +
               "</t></is></c></row>";
    };
    t.Write(testing::Gbk("销售.xlsx"),
            testing::Xlsx({{"一月", "visible", cell("jan")},
                           {"Secret", "hidden", cell("secret")},
                           {"二月", "visible", cell("feb")}}));
    t.Write(testing::Gbk("销售_一月.txt"), "x\ty\n");
    const std::vector<std::string> run = {"convert", "--format", "${XlsTo(csv)}", "--all-sheets",
                                          "销售.xlsx", "销售_一月.txt"};
    std::vector<std::string> dry = run;
    dry.push_back("--dry-run");
    testing::ProgramRun r = RunProgram(t.path(), dry);
    ASSERT_EQ(r.status, kExitUndone) << r.err;  // as the run: one file left undone
    EXPECT_NE(r.out.find("销售.xlsx -> " + t.path() + "/销售_一月.csv -> " + t.path() + "/销售_二月.csv\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("销售_一月.txt  不处理：与 " + t.path() + "/销售.xlsx 的输出同名\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "将处理 1 个文件，跳过 1 个（试运行，没有修改任何文件）\n");
    EXPECT_FALSE(t.Exists(testing::Gbk("销售_一月.csv")));

    r = RunProgram(t.path(), run);
    EXPECT_EQ(r.status, kExitUndone) << r.err;
    EXPECT_NE(r.err.find("与其他文件的新名称相同：与 " + t.path() + "/销售.xlsx 的输出同名"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(t.Read(testing::Gbk("销售_一月.csv")), "\xEF\xBB\xBFjan\n");
    EXPECT_EQ(t.Read(testing::Gbk("销售_二月.csv")), "\xEF\xBB\xBF" "feb\n");
    EXPECT_FALSE(t.Exists(testing::Gbk("销售_Secret.csv")));

    r = RunProgram(t.path(), {"convert", "--format", "${XlsTo(txt,隐藏)}", "--all-sheets", "--encoding",
                              "gbk", "销售.xlsx"});
    EXPECT_EQ(r.status, kExitDone) << r.err;
    EXPECT_EQ(t.Read(testing::Gbk("销售_Secret.txt")), "secret\r\n");
}

}  // namespace
}  // namespace ferro::cli
