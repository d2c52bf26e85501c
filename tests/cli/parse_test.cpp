// Reading the command line: each option alone gives the page's setting,
// and every refusal carries the page's own message.
#include <gtest/gtest.h>

#include <functional>

#include "cli/request.h"
#include "common/temp_folder.h"
#include "fileops/attribute_change.h"
#include "fileops/date_change.h"
#include "fileops/extension_change.h"
#include "fileops/rename.h"
#include "platform/times.h"
#include "textops/line_cut.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/new_lines.h"
#include "textops/pattern_replace.h"

namespace ferro::cli {
namespace {

using testing::Gbk;

// Arguments written in UTF-8, as a user types them; handed over as GBK.
ParseResult Parse(std::initializer_list<const char*> utf8) {
    std::vector<std::string> args;
    for (const char* a : utf8) args.push_back(Gbk(a));
    return ParseArgs(args);
}

// The settings the operation's job was given.
template <class Settings>
const Settings& SettingsOf(const CliRequest& r) {
    static const Settings none{};
    const Settings* s = ops::SettingsOf<Settings>(r.job.get());
    EXPECT_NE(s, nullptr) << "not the settings of " << r.operation->info().name;
    return s ? *s : none;
}

TEST(ParseArgs, RefusesWithThePagesMessages) {
    const struct Case {
        const char* name;
        std::initializer_list<const char*> args;
        const char* message;  // UTF-8; the start of the refusal
    } cases[] = {
        {"no operation", {}, "请指定处理方式"},
        {"unknown operation", {"frob", "a"}, "未知的处理方式：frob"},
        {"no files", {"rename", "--pattern", "${sn(1,2)}"}, "没有指定文件"},
        {"rename: no pattern", {"rename", "a"}, "请输入新文件名格式！"},
        {"rename: bare ${filename}", {"rename", "--pattern", "${FileName}", "a"},
         "请输入新文件名格式！"},
        {"rename: no variable", {"rename", "--pattern", "abc", "a"},
         "新文件名格式不正确，请在左边选择变量或函数！"},
        {"rename: double quote", {"rename", "--pattern", "${filename}\"", "a"},
         "新文件名格式中不需要使用双引号！"},
        {"rename: sequence not a number", {"rename", "--pattern", "${Sn(开始序号,3)}", "a"},
         "'开始序号' is not a valid integer value"},
        {"extension: none", {"extension", "a"}, "请输入新扩展名格式！"},
        {"extension: bare ${ext}", {"extension", "--extension", "${EXT}", "a"},
         "请输入新扩展名格式！"},
        {"dates: nothing chosen", {"dates", "--folders", "a"}, "请选择新的日期或时间！"},
        {"dates: no such day", {"dates", "--modified", "2023-02-29", "a"}, "日期不正确：2023-02-29"},
        {"dates: bad time", {"dates", "--time", "24:00", "a"}, "时刻不正确：24:00"},
        {"attributes: nothing chosen", {"attributes", "--no-archive", "a"}, "请选择新的属性！"},
        {"cut: no format", {"cut", "a"}, "请输入内容截取格式！"},
        {"cut: no variable", {"cut", "--format", "left", "a"},
         "内容截取格式不正确，请在左边选择变量或函数！"},
        {"cut: empty keyword", {"cut", "--format", "${GetLeft(2)}", "--keyword", "", "a"},
         "关键字不能为空，请输入后再试！"},
        {"cut: line number", {"cut", "--format", "${GetLeft(2)}", "--line-number", "x", "a"},
         "'x' is not a valid integer value"},
        {"cut: two line choices", {"cut", "--format", "${GetLeft(2)}", "--all-lines", "--keyword", "k", "a"},
         "--all-lines 与 --keyword 不能同时使用"},
        {"insert: no format", {"insert", "a"}, "请输入内容插入格式！"},
        {"insert: no variable", {"insert", "--format", "x", "a"},
         "内容插入格式不正确，请在左边选择变量或函数！"},
        {"insert: sequence start", {"insert", "--format", "${AddLeft(${Sn(x,2)})}", "a"},
         "'x' is not a valid integer value"},
        {"pattern: none", {"pattern", "a"}, "模式格式为空,请输入后再试!"},
        {"pattern: count", {"pattern", "--pattern", "$1", "--count", "three", "a"},
         "'three' is not a valid integer value"},
        {"delete: no way chosen", {"delete-lines", "a"}, "请选择删除方式"},
        {"delete: blank keywords", {"delete-lines", "--keywords", " ; ", "a"},
         "删除关键字为空,请输入后再试!"},
        {"delete: period 0", {"delete-lines", "--interval", "0:1", "a"},
         "间隔行数必须大于0,请重新输入!"},
        {"delete: two ways", {"delete-lines", "--line-number", "2", "--blank-lines", "a"},
         "--line-number 与 --blank-lines 不能同时使用"},
        {"extract: blank keywords", {"extract-lines", "--keywords", ";", "a"},
         "提取关键字为空,请输入后再试!"},
        {"extract: position", {"extract-lines", "--interval", "2:x", "a"},
         "'x' is not a valid integer value"},
        {"line sync: no keywords", {"line-sync", "a", "b"}, "关键字为空,请输入后再试!"},
        {"new lines: no text", {"new-lines", "a"}, "要插入的文字内容不能为空,请输入后再试!"},
        {"new lines: no keyword", {"new-lines", "--text", "x", "--keywords", "", "a"},
         "插入行关键字为空,请输入后再试!"},
        {"new lines: period", {"new-lines", "--text", "x", "--interval", "-1", "a"},
         "间隔行数必须大于0,请重新输入!"},
        // A negative number means no line: refused, not taken as line 1.
        {"delete: negative line number", {"delete-lines", "--line-number", "-4", "a"},
         "行号不能为负数,请重新输入!"},
        {"extract: negative position", {"extract-lines", "--interval", "3:-1", "a"},
         "行号不能为负数,请重新输入!"},
        {"cut: negative line number",
         {"cut", "--format", "${GetLeft(2)}", "--line-number", "-5", "a"}, "行号不能为负数,请重新输入!"},
        {"new lines: negative line number", {"new-lines", "--text", "x", "--line-number", "-2", "a"},
         "行号不能为负数,请重新输入!"},
        {"pattern: negative count", {"pattern", "--pattern", "$1", "--count", "-1", "a"},
         "参数个数不能为负数,请重新输入!"},
        {"new lines: line item", {"new-lines", "--text", "${LineStr(x)}", "a"},
         "'x' is not a valid integer value"},
        {"convert: none", {"convert", "a"}, "新文件格式为空,请输入后再试!"},
        {"convert: not an item", {"convert", "--format", "csv", "a"},
         "新文件格式不正确，请在左边选择转换函数！"},
        {"search: no mask", {"rename", "--pattern", "${sn(1,2)}", "--search", "d"},
         "文件类型为空,请设置好后再试！"},
        {"mask without search", {"rename", "--pattern", "${sn(1,2)}", "--mask", "*.txt", "a"},
         "--mask 需要与 --search 一起使用"},
        {"size bound", {"combine", "--search", "d", "--mask", "*", "--size", "0:5k"},
         "'5k' is not a valid floating point value"},
        {"size without colon", {"combine", "--search", "d", "--mask", "*", "--size", "5"},
         "文件大小不正确：5"},
        {"date type", {"combine", "--search", "d", "--mask", "*", "--date", "born:2024-01-01:2024-01-02"},
         "日期类型不正确：born"},
        {"date range", {"combine", "--search", "d", "--mask", "*", "--date", "modified:2024-01-01"},
         "文件日期不正确"},
        {"unknown option", {"rename", "--patern", "x", "a"}, "未知的选项：--patern"},
        {"another page's option", {"rename", "--keywords", "x", "a"}, "未知的选项：--keywords"},
        {"no backup where nothing is written", {"statistics", "--no-backup", "a"},
         "未知的选项：--no-backup"},
        {"no undo where nothing changes", {"statistics", "--no-undo", "a"}, "未知的选项：--no-undo"},
        {"value missing", {"rename", "a", "--pattern"}, "选项 --pattern 需要一个值"},
        {"switch with a value", {"combine", "--dry-run=yes", "a"}, "选项 --dry-run 不带值"},
        {"encoding", {"combine", "--encoding", "utf-16", "a"}, "文本编码不正确：utf-16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParseResult r = Parse(c.args);
        EXPECT_EQ(r.status, ParseResult::Refused);
        EXPECT_EQ(r.text.rfind(Gbk(c.message), 0), 0u) << r.text;
    }
}

// Each option alone, on the setting it stands for.
TEST(ParseArgs, EachOptionGivesItsSetting) {
    const struct Case {
        const char* name;
        std::initializer_list<const char*> args;
        std::function<void(const CliRequest&)> check;
    } cases[] = {
        {"rename pattern", {"rename", "--pattern", "img_${Sn(1,3)}", "a.jpg", "b.jpg"},
         [](const CliRequest& r) {
             EXPECT_STREQ(r.operation->info().name, "rename");
             EXPECT_EQ(SettingsOf<RenameSettings>(r).pattern, "img_${Sn(1,3)}");
             EXPECT_FALSE(SettingsOf<RenameSettings>(r).makeFolders);
             EXPECT_EQ(r.source.files, (std::vector<std::string>{"a.jpg", "b.jpg"}));
         }},
        {"value after =", {"rename", "--pattern=${GetLeft(2)}", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<RenameSettings>(r).pattern, "${GetLeft(2)}"); }},
        {"folders from names", {"rename", "--make-folders", "--pattern", "${TakenTime(yyyy)}/${Filename}", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<RenameSettings>(r).pattern, "${TakenTime(yyyy)}/${Filename}");
             EXPECT_TRUE(SettingsOf<RenameSettings>(r).makeFolders);
         }},
        {"extension", {"extension", "--extension", "${ext}.bak", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<ExtensionSettings>(r).pattern, "${ext}.bak"); }},
        {"letter case and clashes", {"extension", "--extension", "jpg", "--case", "upper", "--keep-case",
                                     "--on-clash", "number", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<ExtensionSettings>(r).letterCase, LetterCase::Upper);
             EXPECT_TRUE(SettingsOf<ExtensionSettings>(r).keepCase);
             EXPECT_TRUE(SettingsOf<ExtensionSettings>(r).numberClashes);
         }},
        {"modified date", {"dates", "--modified", "2024-05-31", "a"},
         [](const CliRequest& r) {
             EXPECT_TRUE(SettingsOf<DateSettings>(r).setModified);
             EXPECT_FALSE(SettingsOf<DateSettings>(r).setCreated || SettingsOf<DateSettings>(r).setAccessed || SettingsOf<DateSettings>(r).useTime);
             EXPECT_EQ(SettingsOf<DateSettings>(r).modified.year, 2024);
             EXPECT_EQ(SettingsOf<DateSettings>(r).modified.month, 5);
             EXPECT_EQ(SettingsOf<DateSettings>(r).modified.day, 31);
         }},
        {"created date", {"dates", "--created", "2000-02-29", "a"},
         [](const CliRequest& r) { EXPECT_TRUE(SettingsOf<DateSettings>(r).setCreated && SettingsOf<DateSettings>(r).created.day == 29); }},
        {"accessed date", {"dates", "--accessed", "1999-12-01", "a"},
         [](const CliRequest& r) { EXPECT_TRUE(SettingsOf<DateSettings>(r).setAccessed && SettingsOf<DateSettings>(r).accessed.month == 12); }},
        {"time", {"dates", "--time", "17:30", "a"},
         [](const CliRequest& r) {
             EXPECT_TRUE(SettingsOf<DateSettings>(r).useTime);
             EXPECT_EQ(SettingsOf<DateSettings>(r).time.hour, 17);
             EXPECT_EQ(SettingsOf<DateSettings>(r).time.minute, 30);
             EXPECT_EQ(SettingsOf<DateSettings>(r).time.second, 0);
         }},
        {"dates of folders", {"dates", "--time", "1:2:3", "--folders", "a"},
         [](const CliRequest& r) { EXPECT_TRUE(SettingsOf<DateSettings>(r).foldersToo && SettingsOf<DateSettings>(r).time.second == 3); }},
        {"attributes by default", {"attributes", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<AttributeSettings>(r).Value(), 0x20u); }},
        {"attributes chosen", {"attributes", "--no-archive", "--read-only", "--hidden", "--system", "--folders", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<AttributeSettings>(r).Value(), 0x07u);
             EXPECT_TRUE(SettingsOf<AttributeSettings>(r).foldersToo);
         }},
        {"cut format, trimmed", {"cut", "--format", " ${GetLeft(3)} ", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).format, "${GetLeft(3)}");
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).choice, LineChoice::TextLines);
             EXPECT_TRUE(SettingsOf<LineCutSettings>(r).keepCut);
         }},
        {"cut keeps the rest", {"cut", "--format", "${GetLeft(3)}", "--keep-rest", "a"},
         [](const CliRequest& r) { EXPECT_FALSE(SettingsOf<LineCutSettings>(r).keepCut); }},
        {"cut all lines", {"cut", "--format", "${GetLeft(3)}", "--all-lines", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<LineCutSettings>(r).choice, LineChoice::AllLines); }},
        {"cut line number", {"cut", "--format", "${GetLeft(3)}", "--line-number", "0", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).choice, LineChoice::LineNumber);
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).lineNumber, 1);
         }},
        {"cut keyword, as typed", {"cut", "--format", "${GetLeft(3)}", "--keyword", " a;b", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).choice, LineChoice::Keyword);
             EXPECT_EQ(SettingsOf<LineCutSettings>(r).keyword, " a;b");
         }},
        {"insert sequence", {"insert", "--format", "${AddLeft(${Sn(5,2)})}", "--text-lines", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineInsertSettings>(r).sequence.start, 5);
             EXPECT_EQ(SettingsOf<LineInsertSettings>(r).sequence.width, 2);
             EXPECT_EQ(SettingsOf<LineInsertSettings>(r).choice, LineChoice::TextLines);
         }},
        {"pattern lines joined by CR LF", {"pattern", "--pattern", "$2\n$1", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<PatternReplaceSettings>(r).pattern, "$2\r\n$1");
             EXPECT_EQ(SettingsOf<PatternReplaceSettings>(r).prefix, "$");
             EXPECT_EQ(SettingsOf<PatternReplaceSettings>(r).count, 3);
         }},
        {"pattern prefix and count", {"pattern", "--pattern", "#1", "--prefix", " # ", "--count", "12", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<PatternReplaceSettings>(r).prefix, "#");
             EXPECT_EQ(SettingsOf<PatternReplaceSettings>(r).count, 12);
         }},
        {"delete by line number", {"delete-lines", "--line-number", "0", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).mode, LineDeleteMode::LineNumber);
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).lineNumber, 1);
         }},
        {"delete by interval", {"delete-lines", "--interval", "3:2", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).mode, LineDeleteMode::Interval);
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).interval.period, 3u);
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).interval.remainder, 2u);
         }},
        {"interval position left out", {"delete-lines", "--interval", "3", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).interval.remainder, 1u); }},
        {"delete by keywords", {"delete-lines", "--keywords", "ERR;WARN", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).mode, LineDeleteMode::Keywords);
             EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).keywords, (std::vector<std::string>{"ERR", "WARN"}));
         }},
        {"delete blank lines", {"delete-lines", "--blank-lines", "a"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<LineDeleteSettings>(r).mode, LineDeleteMode::BlankLines); }},
        {"extract without blank lines", {"extract-lines", "--keywords", "x", "--no-blank-lines", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<LineExtractSettings>(r).mode, LineExtractMode::Keywords);
             EXPECT_FALSE(SettingsOf<LineExtractSettings>(r).keepBlank);
         }},
        {"extract keeps blank lines", {"extract-lines", "--line-number", "4", "a"},
         [](const CliRequest& r) {
             EXPECT_TRUE(SettingsOf<LineExtractSettings>(r).keepBlank);
             EXPECT_EQ(SettingsOf<LineExtractSettings>(r).lineNumber, 4);
         }},
        {"line sync keywords", {"line-sync", "--keywords", "\"a b\";c", "a", "b"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<std::vector<std::string>>(r), (std::vector<std::string>{"a b", "c"}));
         }},
        {"new lines at the top", {"new-lines", "--text", "x\\ty", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).mode, NewLineMode::kAtLine);
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).lineNo, 0);
             EXPECT_EQ(r.values.Text("text"), "x\\ty");
         }},
        {"new lines every third", {"new-lines", "--text", "x", "--interval", "3:3", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).mode, NewLineMode::kInterval);
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).period, 3);
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).position, 0);
         }},
        {"new lines at keywords", {"new-lines", "--text", "x", "--keywords", "a b", "a"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).mode, NewLineMode::kKeywords);
             EXPECT_EQ(SettingsOf<NewLinesSettings>(r).keywords.size(), 2u);
         }},
        {"convert", {"convert", "--format", "${CsvTo(xls)}", "x.csv"},
         [](const CliRequest& r) { EXPECT_EQ(SettingsOf<std::string>(r), "${CsvTo(xls)}"); }},
        {"search", {"combine", "--search", "/data;/more", "--mask", "*.txt", "--mask", "*.log"},
         [](const CliRequest& r) {
             EXPECT_EQ(r.source.folders, "/data;/more");
             EXPECT_EQ(r.source.masks, "*.txt;*.log");
             EXPECT_TRUE(r.source.subfolders);
             EXPECT_FALSE(r.source.sizeFilter || r.source.dateFilter);
             EXPECT_TRUE(r.source.files.empty());
         }},
        {"no sub-folders", {"combine", "--search", "d", "--mask", "*", "--no-sub"},
         [](const CliRequest& r) { EXPECT_FALSE(r.source.subfolders); }},
        {"size", {"combine", "--search", "d", "--mask", "*", "--size", "10:2e3"},
         [](const CliRequest& r) {
             EXPECT_TRUE(r.source.sizeFilter);
             EXPECT_EQ(r.source.minSize, 10);
             EXPECT_EQ(r.source.maxSize, 2000);
         }},
        {"date", {"combine", "--search", "d", "--mask", "*", "--date", "created:2024-01-01:2024-01-31"},
         [](const CliRequest& r) {
             EXPECT_TRUE(r.source.dateFilter);
             EXPECT_EQ(r.source.dateType, SearchDate::Creation);
             EXPECT_EQ(r.source.minDay, DaysFromCivil(2024, 1, 1));
             EXPECT_EQ(r.source.maxDay, DaysFromCivil(2024, 1, 31));
         }},
        {"run options",
         {"combine", "--dry-run", "--json", "--no-backup", "--no-undo", "--encoding", "GBK", "a"},
         [](const CliRequest& r) {
             EXPECT_TRUE(r.dryRun && r.json);
             EXPECT_FALSE(r.values.Flag("backup") || r.undo);
             EXPECT_EQ(r.textMode, TextMode::ClassicGbk);
         }},
        {"defaults", {"combine", "a"},
         [](const CliRequest& r) {
             EXPECT_FALSE(r.dryRun || r.json);
             EXPECT_TRUE(r.values.Flag("backup") && r.undo);
             EXPECT_EQ(r.textMode, TextMode::Auto);
         }},
        {"files after --", {"combine", "--", "--json", "-x"},
         [](const CliRequest& r) {
             EXPECT_FALSE(r.json);
             EXPECT_EQ(r.source.files, (std::vector<std::string>{"--json", "-x"}));
         }},
        {"a lone dash is a file", {"combine", "-"},
         [](const CliRequest& r) { EXPECT_EQ(r.source.files, std::vector<std::string>{"-"}); }},
        {"Chinese names", {"rename", "--pattern", "照片_${sn(1,2)}", "文档.txt"},
         [](const CliRequest& r) {
             EXPECT_EQ(SettingsOf<RenameSettings>(r).pattern, Gbk("照片_${sn(1,2)}"));
             EXPECT_EQ(r.source.files, std::vector<std::string>{Gbk("文档.txt")});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParseResult r = Parse(c.args);
        ASSERT_EQ(r.status, ParseResult::Run) << r.text;
        c.check(r.request);
    }
}

TEST(ParseArgs, HelpListsOperationsAndEachOnesOptions) {
    const ParseResult all = Parse({"--help"});
    ASSERT_EQ(all.status, ParseResult::Help);
    for (const char* name : {"extension", "rename", "dates", "attributes", "statistics",
                             "key-merge", "cut", "insert", "pattern", "delete-lines",
                             "extract-lines", "line-sync", "new-lines", "combine", "convert"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(all.text.find(std::string("  ") + name + " "), std::string::npos);
        const ParseResult one = Parse({name, "--help"});
        ASSERT_EQ(one.status, ParseResult::Help);
        EXPECT_EQ(one.text.rfind(std::string(Gbk("用法：ferrovan-batch run ")) + name, 0), 0u);
        EXPECT_NE(one.text.find("--search"), std::string::npos);
        EXPECT_NE(one.text.find("--dry-run"), std::string::npos);
    }
    // Every option an operation takes is in its help, and only there.
    const struct {
        const char* operation;
        std::initializer_list<const char*> options;
    } pages[] = {
        {"rename", {"--pattern"}},
        {"dates", {"--modified", "--created", "--accessed", "--time", "--folders"}},
        {"attributes", {"--no-archive", "--system", "--read-only", "--hidden", "--folders"}},
        {"cut", {"--format", "--keep-rest", "--all-lines", "--text-lines", "--line-number",
                 "--keyword", "--no-backup", "--encoding"}},
        {"delete-lines", {"--line-number", "--interval", "--keywords", "--blank-lines"}},
        {"new-lines", {"--text", "--line-number", "--interval", "--keywords"}},
        {"convert", {"--format", "--encoding"}},
    };
    for (const auto& page : pages) {
        const std::string help = Parse({page.operation, "-h"}).text;
        for (const char* option : page.options) {
            SCOPED_TRACE(std::string(page.operation) + " " + option);
            EXPECT_NE(help.find(std::string("  ") + option), std::string::npos);
        }
    }
    EXPECT_EQ(Parse({"rename", "-h"}).text.find("--no-backup"), std::string::npos);
    // Options are read in order; --help ends the reading.
    EXPECT_EQ(Parse({"rename", "--frob", "--help"}).status, ParseResult::Refused);
    EXPECT_EQ(Parse({"rename", "--help", "--frob"}).status, ParseResult::Help);
}

}  // namespace
}  // namespace ferro::cli
