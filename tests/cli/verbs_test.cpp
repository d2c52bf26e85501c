// The verbs besides run, through the built program as a child process with
// no display: presets listed and run with options that override them,
// the journal's history and its undo (with --dry-run and --json), and words
// that are no verb refused with the usage rather than by opening a window.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <fstream>

#include "cli/run.h"
#include "common/temp_folder.h"
#include "ops/registry.h"
#include "platform/user_dirs.h"
#include "presets/preset.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Gbk;
using testing::ProgramRun;
using testing::RunVerb;
using testing::TempFolder;

// A file at a path of ASCII names.
void WriteAt(const std::string& path, const std::string& bytes) {
    MakeFolderPath(path.substr(0, path.rfind('/')), 0700);
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The presets of the children.
presets::PresetStore ChildPresets() {
    return presets::PresetStore(testing::ChildConfigHome() + "/ferrovan-batch/presets");
}

void SavePreset(const std::string& name, const char* operation,
                std::initializer_list<std::pair<const char*, const char*>> fields,
                TextMode mode = TextMode::Auto) {
    const ops::Operation& op = *ops::FindOperation(operation);
    presets::Preset p{&op, op.Defaults(), mode};
    for (const auto& [field, value] : fields) p.values.Set(field, Gbk(value));
    ChildPresets().Save(name, p);
}

TEST(CliPresets, AreListedAndRunWithOptionsThatOverrideThem) {
    SavePreset("photos", "rename", {{"pattern", "img_${Sn(1,2)}"}});
    SavePreset(Gbk("日志清理"), "delete-lines", {{"mode", "keywords"}, {"keywords", "ERR"}, {"backup", "0"}},
               TextMode::ClassicGbk);

    const ProgramRun list = RunVerb("/", "presets", {});
    EXPECT_EQ(list.status, kExitDone) << list.err;
    EXPECT_TRUE(Has(list.out, "photos\trename\t更改文件名称\n")) << list.out;
    EXPECT_TRUE(Has(list.out, "日志清理\tdelete-lines\t内容按行删除\n")) << list.out;
    const ProgramRun names = RunVerb("/", "presets", {"--names"});
    EXPECT_TRUE(Has(names.out, "photos\n") && Has(names.out, "日志清理\n")) << names.out;

    TempFolder t;
    t.Write("a.jpg", "a");
    t.Write("b.jpg", "b");
    ProgramRun run = RunVerb(t.path(), "run", {"--preset", "photos", "a.jpg", "b.jpg"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_TRUE(t.Exists("img_01.jpg") && t.Exists("img_02.jpg"));
    // An option after the preset changes what it names.
    run = RunVerb(t.path(), "run", {"--preset=photos", "--pattern", "p_${Sn(5,1)}", "img_01.jpg"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_TRUE(t.Exists("p_5.jpg"));

    // A line operation whose choice the preset made: no choosing option is
    // needed; its GBK mode reads the file as bytes, --encoding overrides.
    t.Write("x.log", "ok\nERR 1\nok\n");
    run = RunVerb(t.path(), "run", {"--preset", "日志清理", "--search", t.path(), "--mask", "*.log"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("x.log"), "ok\r\nok\r\n");  // GBK (Windows): CR LF
    run = RunVerb(t.path(), "run", {"--preset", "日志清理", "--keywords", "ok", "--encoding", "auto", "x.log"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("x.log"), "");
}

TEST(CliPresets, RefusalsAndAFileFromAnotherMachine) {
    TempFolder t;
    t.Write("a.txt", "a");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } refused[] = {
        {{"--preset", "no-such", "a.txt"}, "没有名为 “no-such” 的方案"},
        {{"--preset"}, "选项 --preset 需要一个值"},
        {{"--preset", "a/b", "a.txt"}, "方案名称不能含有"},
        {{"rename", "--pattern", "${Sn(1,1)}", "--preset", "photos", "a.txt"}, "--preset 必须紧跟在 run 之后"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.says);
        const ProgramRun run = RunVerb(t.path(), "run", c.args);
        EXPECT_EQ(run.status, kExitRefused);
        EXPECT_TRUE(Has(run.err, c.says)) << run.err;
        EXPECT_TRUE(t.Exists("a.txt"));
    }
    // Another version's file: what this one does not know is told, the
    // rest runs.
    const std::string folder = ChildPresets().folder();
    WriteAt(folder + "/other.txt",
                        "operation=extension\n[fields]\nextension=.md\nsparkle=1\n");
    ProgramRun run = RunVerb(t.path(), "run", {"--preset", "other", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_TRUE(Has(run.err, "方案 other：不认识的设置项 “sparkle”，已忽略")) << run.err;
    EXPECT_TRUE(t.Exists("a.md"));
    WriteAt(folder + "/later.txt", "operation=teleport\n");
    run = RunVerb(t.path(), "run", {"--preset", "later", "a.md"});
    EXPECT_EQ(run.status, kExitRefused);
    EXPECT_TRUE(Has(run.err, "“teleport” 是本程序没有的")) << run.err;
    const ProgramRun list = RunVerb("/", "presets", {});
    EXPECT_TRUE(Has(list.out, "later\t方案 “later” 无法使用")) << list.out;
}

TEST(CliHistory, ListsRunsNewestFirstAndUndoTakesThemBack) {
    TempFolder state, t;
    t.Write("a.txt", "a");
    t.Write("b.txt", "b");
    ASSERT_EQ(RunVerb(t.path(), "run", {"rename", "--pattern", "one_${Sn(1,1)}", "a.txt", "b.txt"}, state.path()).status,
              kExitDone);
    ASSERT_EQ(RunVerb(t.path(), "run", {"extension", "--extension", ".md", "one_1.txt"}, state.path()).status,
              kExitDone);

    ProgramRun history = RunVerb("/", "history", {}, state.path());
    EXPECT_EQ(history.status, kExitDone) << history.err;
    const std::string folder = t.path();
    const std::size_t second = history.out.find("更改文件扩展名\t命令行\t" + folder + "\t1\t可以撤销（下一个）\n");
    const std::size_t first = history.out.find("更改文件名称\t命令行\t" + folder + "\t2\t可以撤销\n");
    EXPECT_NE(second, std::string::npos) << history.out;
    EXPECT_NE(first, std::string::npos) << history.out;
    EXPECT_LT(second, first);  // newest first
    EXPECT_TRUE(history.out.rfind("编号\t时间\t处理方式", 0) == 0) << history.out;

    // A dry run lists what would come back and changes nothing.
    ProgramRun undo = RunVerb("/", "undo", {"--dry-run"}, state.path());
    EXPECT_EQ(undo.status, kExitDone) << undo.err;
    EXPECT_TRUE(Has(undo.out, "将撤销“更改文件扩展名”")) << undo.out;
    EXPECT_TRUE(Has(undo.out, folder + "/one_1.md\t改回原名：" + folder + "/one_1.txt")) << undo.out;
    EXPECT_TRUE(t.Exists("one_1.md"));

    undo = RunVerb("/", "undo", {"--json"}, state.path());
    EXPECT_EQ(undo.status, kExitDone) << undo.err;
    EXPECT_TRUE(Has(undo.err, "撤销完成")) << undo.err;
    EXPECT_TRUE(undo.Json()["complete"].toBool()) << undo.out;
    EXPECT_EQ(undo.Json()["files"].toArray().size(), 1);
    EXPECT_TRUE(t.Exists("one_1.txt"));
    undo = RunVerb("/", "undo", {}, state.path());
    EXPECT_EQ(undo.status, kExitDone) << undo.err;
    EXPECT_TRUE(t.Exists("a.txt") && t.Exists("b.txt"));

    undo = RunVerb("/", "undo", {}, state.path());
    EXPECT_EQ(undo.status, kExitRefused);
    EXPECT_TRUE(Has(undo.err, "没有可撤销的操作！")) << undo.err;
    history = RunVerb("/", "history", {}, state.path());
    EXPECT_TRUE(Has(history.out, "\t已撤销\n")) << history.out;
    EXPECT_FALSE(Has(history.out, "可以撤销")) << history.out;
}

TEST(CliHistory, UndoLeavesWhatChangedSinceAndSaysWhy) {
    TempFolder state, t;
    t.Write("a.txt", "a");
    ASSERT_EQ(RunVerb(t.path(), "run", {"rename", "--pattern", "new_${Sn(1,1)}", "a.txt"}, state.path()).status,
              kExitDone);
    t.Write("a.txt", "someone else's");  // the old name is taken meanwhile
    const ProgramRun undo = RunVerb("/", "undo", {"--json"}, state.path());
    EXPECT_EQ(undo.status, kExitUndone) << undo.err;
    EXPECT_FALSE(undo.Json()["complete"].toBool());
    EXPECT_EQ(undo.Json()["files"].toArray()[0].toObject()["result"].toString(), QStringLiteral("name-exists"));
    EXPECT_EQ(t.Read("a.txt"), "someone else's");
    EXPECT_TRUE(t.Exists("new_1.txt"));
}

TEST(CliVerbs, WordsThatAreNoVerbAreRefusedWithoutAWindow) {
    TempFolder t;
    const struct {
        const char* verb;
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {"frobnicate", {}, "未知的命令：frobnicate"},
        {"redo", {"--json"}, "未知的命令：redo"},
        {"undo", {"--force"}, "未知的选项：--force"},
        {"history", {"--all"}, "未知的选项：--all"},
        {"presets", {"x"}, "未知的选项：x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verb);
        const ProgramRun run = RunVerb(t.path(), c.verb, c.args, t.path());
        EXPECT_EQ(run.status, kExitRefused) << run.err;
        EXPECT_TRUE(Has(run.err, c.says)) << run.err;
    }
    EXPECT_TRUE(Has(RunVerb(t.path(), "nope", {}).err, "ferrovan-batch history"));
    for (const char* verb : {"undo", "history", "presets"}) {
        SCOPED_TRACE(verb);
        const ProgramRun help = RunVerb(t.path(), verb, {"--help"}, t.path());
        EXPECT_EQ(help.status, kExitDone);
        EXPECT_TRUE(Has(help.out, std::string("用法：ferrovan-batch ") + verb)) << help.out;
    }
}

}  // namespace
}  // namespace ferro::cli
