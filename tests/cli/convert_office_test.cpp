// The conversion example of the command line, through the real LibreOffice:
// one comma-separated file into an Excel 97-2003 workbook beside it.
#include <gtest/gtest.h>

#include "cli/run.h"
#include "common/temp_folder.h"
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

}  // namespace
}  // namespace ferro::cli
