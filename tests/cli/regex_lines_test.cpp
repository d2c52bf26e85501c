// --regex of delete-lines, extract-lines and line-sync through the built
// program: the same lines out of GBK, UTF-8 and UTF-16 files, a bad pattern
// refused before anything changes, the dry run telling what the run does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Gbk;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempFolder;

// UTF-8 lines; written as UTF-8 with LF, GBK with CR LF, UTF-16 LE with a
// mark and CR LF.
const char* const kText = "中文 错误 ab\n第二行:ok\nERROR 42\nerr_7 小写\n订单-2024-001\n\n末行 END\n";

std::string WithCrLf(std::string_view lf) {
    std::string s;
    for (char c : lf) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

struct Copies {
    TempFolder t;
    Copies() {
        t.Write("u.txt", kText);
        t.Write("g.txt", Gbk(WithCrLf(kText)));
        t.Write("w.txt", testing::Utf16LeFile(WithCrLf(kText)));
    }
    // Each copy is the UTF-8 text with LF, in its own encoding and breaks.
    void ExpectEach(const std::string& utf8) const {
        EXPECT_EQ(t.Read("u.txt"), utf8);
        EXPECT_EQ(t.Read("g.txt"), Gbk(WithCrLf(utf8)));
        EXPECT_EQ(t.Read("w.txt"), testing::Utf16LeFile(WithCrLf(utf8)));
    }
};

TEST(CliRegexLines, OnePatternTableOnEveryEncoding) {
    const struct {
        const char* keywords;
        const char *deleted, *extracted;  // what each leaves
    } cases[] = {
        {"ERR(OR|_[0-9]+)", "中文 错误 ab\n第二行:ok\nerr_7 小写\n订单-2024-001\n\n末行 END\n", "ERROR 42\n"},
        {"(?i)^err", "中文 错误 ab\n第二行:ok\n订单-2024-001\n\n末行 END\n", "ERROR 42\nerr_7 小写\n"},
        {"^.{3}:", "中文 错误 ab\nERROR 42\nerr_7 小写\n订单-2024-001\n\n末行 END\n", "第二行:ok\n"},
        {"-(\\d+)-\\d{3}$;^$", "中文 错误 ab\n第二行:ok\nERROR 42\nerr_7 小写\n末行 END\n", "订单-2024-001\n\n"},
        {"[小错].|END$", "第二行:ok\nERROR 42\n订单-2024-001\n\n", "中文 错误 ab\nerr_7 小写\n末行 END\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keywords);
        for (const char* verb : {"delete-lines", "extract-lines"}) {
            SCOPED_TRACE(verb);
            Copies files;
            const ProgramRun run = RunProgram(files.t.path(), {verb, "--keywords", c.keywords, "--regex",
                                                               "--no-backup", "u.txt", "g.txt", "w.txt"});
            ASSERT_EQ(run.status, kExitDone) << run.err;
            files.ExpectEach(verb == std::string("delete-lines") ? c.deleted : c.extracted);
        }
    }
}

// Without --regex the keywords are their bytes, as they always were.
TEST(CliRegexLines, WithoutTheOptionKeywordsAreText) {
    TempFolder t;
    t.Write("a.txt", "a.b\r\naxb\r\n(x\r\nx\r\n");
    ProgramRun run = RunProgram(t.path(), {"delete-lines", "--keywords", "a.b;(x", "--no-backup", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("a.txt"), "axb\r\nx\r\n");
    run = RunProgram(t.path(), {"delete-lines", "--keywords", "a.b", "--regex", "--no-backup", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("a.txt"), "x\r\n");
}

TEST(CliRegexLines, ABadPatternChangesNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"delete-lines", "--keywords", "ok;ERR(", "--regex", "a.txt", "b.txt"},
        {"extract-lines", "--keywords", "[a-", "--regex", "a.txt", "b.txt"},
        {"line-sync", "--keywords", "x{2,1}", "--regex", "a.txt", "b.txt"},
        {"delete-lines", "--keywords", "ERR(", "--regex", "--dry-run", "a.txt", "b.txt"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[2]);
        TempFolder t;
        t.Write("a.txt", "ERR(\r\nok\r\n");
        t.Write("b.txt", "b\r\n");
        const ProgramRun run = RunProgram(t.path(), args);
        EXPECT_EQ(run.status, kExitRefused);
        EXPECT_EQ(run.err.rfind("正则表达式不正确：", 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(t.Read("a.txt"), "ERR(\r\nok\r\n");
        EXPECT_EQ(t.Read("b.txt"), "b\r\n");
        EXPECT_EQ(testing::Entries(t.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
    }
}

// The dry run counts the lines a pattern removes; the run then removes them.
TEST(CliRegexLines, DryRunTellsWhatThePatternRemoves) {
    TempFolder t;
    std::string text, left;
    for (int i = 0; i < 50; ++i) {
        const std::string line = (i % 5 == 0 ? "ERR_" : "行 ") + std::to_string(i) + "\r\n";
        text += line;
        if (i % 5 != 0) left += line;
    }
    t.Write("a.log", Gbk(text));
    t.Write("b.log", "ERROR\r\nERR\r\n");
    const std::vector<std::string> args = {"delete-lines", "--keywords", "ERR(OR|_[0-9]+)", "--regex",
                                           "--no-backup", "a.log", "b.log"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const std::string dir = t.path();
    ProgramRun run = RunProgram(t.path(), dry);
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.out, dir + "/a.log  删除 10 行，新增 0 行\n" + dir + "/b.log  删除 1 行，新增 0 行\n");
    EXPECT_EQ(t.Read("a.log"), Gbk(text));
    run = RunProgram(t.path(), args);
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("a.log"), Gbk(left));
    EXPECT_EQ(t.Read("b.log"), "ERR\r\n");
}

TEST(CliRegexLines, LineSyncTakesPatternsIgnoringCase) {
    TempFolder t;
    t.Write("src.txt", "Title: A\r\nbody\r\nTITLE: b\r\n");
    t.Write("dst.txt", "t1\r\nt2\r\nt3\r\n");
    const ProgramRun run =
        RunProgram(t.path(), {"line-sync", "--keywords", "^title:\\s", "--regex", "--no-backup", "src.txt", "dst.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("dst.txt"), "Title: A\r\nt2\r\nTITLE: b\r\n");
}

// ${RegRep(..)} and ${RegGet(..)} in the formats of line insert and line
// cut: sed's s///g per line, the same on every encoding, previewed as run.
TEST(CliRegexLines, InsertAndCutTakeRegexFunctions) {
    const struct {
        std::vector<std::string> args;
        const char* expected;
    } cases[] = {
        {{"insert", "--format", "${RegRep(([0-9]+)-([0-9]+),\\2-\\1)}"},
         "中文 错误 ab\n第二行:ok\nERROR 42\nerr_7 小写\n订单-001-2024\n\n末行 END\n"},
        {{"insert", "--format", "${RegRep(^(\\p{Han}+),[\\1])}"},
         "[中文] 错误 ab\n[第二行]:ok\nERROR 42\nerr_7 小写\n[订单]-2024-001\n\n[末行] END\n"},
        {{"insert", "--format", "${RegRep(.,·)}", "--keyword", "小写"},
         "中文 错误 ab\n第二行:ok\nERROR 42\n········\n订单-2024-001\n\n末行 END\n"},
        {{"cut", "--format", "${RegGet([0-9]{2\\,4\\},0)}"}, "42\n2024\n"},
        {{"cut", "--format", "${RegGet(-(\\d+)$,1)}", "--keep-rest"},
         "中文 错误 ab\n第二行:ok\nERROR 42\nerr_7 小写\n订单-2024-\n\n末行 END\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2]);
        Copies files;
        std::vector<std::string> args = c.args;
        for (const char* more : {"--no-backup", "u.txt", "g.txt", "w.txt"}) args.push_back(more);
        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        const ProgramRun plan = RunProgram(files.t.path(), dry);
        ASSERT_EQ(plan.status, kExitDone) << plan.err;
        files.ExpectEach(kText);
        const ProgramRun run = RunProgram(files.t.path(), args);
        ASSERT_EQ(run.status, kExitDone) << run.err;
        files.ExpectEach(c.expected);
    }
}

// A bad pattern in a format is refused before any file is touched; a
// pathological one on a 10 000-character line ends at once.
TEST(CliRegexLines, FormatsWithBadAndPathologicalPatterns) {
    for (const char* format : {"${RegRep(a(b,x)}", "${AddLeft(${RegGet([z-a],0)})}"}) {
        SCOPED_TRACE(format);
        TempFolder t;
        t.Write("a.txt", "a(b\r\n");
        const ProgramRun run = RunProgram(t.path(), {"insert", "--format", format, "a.txt"});
        EXPECT_EQ(run.status, kExitRefused);
        EXPECT_EQ(run.err.rfind("正则表达式不正确：", 0), 0u) << run.err;
        EXPECT_EQ(testing::Entries(t.path()), std::vector<std::string>{"a.txt"});
        EXPECT_EQ(t.Read("a.txt"), "a(b\r\n");
    }
    TempFolder t;
    t.Write("a.txt", std::string(10000, 'a') + "\r\nb\r\n");
    const ProgramRun run =
        RunProgram(t.path(), {"insert", "--format", "${RegRep((a+)+$,x)}", "--no-backup", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("a.txt"), "x\r\nb\r\n");
}

}  // namespace
}  // namespace ferro::cli
