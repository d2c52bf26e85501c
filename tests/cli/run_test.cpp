// Runs of the command line: the built program as a child process (no
// display) over files named and searched, checked on disk, by exit status,
// by what it prints and by its JSON report; and in-process runs for what a
// child cannot show reliably (a stop, the progress line).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <algorithm>
#include <csignal>
#include <functional>

#include "cli/console.h"
#include "cli/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "journal/undo.h"
#include "platform/fs.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Gbk;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempFolder;

class RecordingConsole : public Console {
public:
    void Out(std::string_view bytes) override { out.append(bytes); }
    void Err(std::string_view bytes) override { err.append(bytes); }
    bool ErrIsTerminal() const override { return terminal; }
    bool StopRequested() const override { return stop && stop(); }

    std::string out, err;
    bool terminal = false;
    std::function<bool()> stop;
};

// `run` with the options, then the files of the folder.
int RunInProcess(RecordingConsole& console, const TempFolder& folder,
                 std::initializer_list<const char*> options, std::initializer_list<const char*> files) {
    // Recorded runs go to the children's journal, not the user's.
    setenv("XDG_STATE_HOME", testing::ChildStateHome().c_str(), 1);
    std::vector<std::string> args;
    for (const char* a : options) args.push_back(Gbk(a));
    for (const char* f : files) args.push_back(folder / f);
    return Main(args, console);
}

TEST(CliProgram, RenamesNamedFiles) {
    TempFolder t;
    t.Write("a.jpg", "a");
    t.Write("b.jpg", "b");
    t.Write("c.png", "c");
    const ProgramRun run =
        RunProgram(t.path(), {"rename", "--pattern", "img_${sn(1,3)}", "a.jpg", "b.jpg", "c.png"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.err, "成功处理文件总数量：3\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(t.Read("img_001.jpg"), "a");
    EXPECT_EQ(t.Read("img_002.jpg"), "b");
    EXPECT_EQ(t.Read("img_003.png"), "c");
    EXPECT_FALSE(t.Exists("a.jpg"));
}

TEST(CliProgram, ReportsFilesLeftUndoneAndExitsOne) {
    TempFolder t;
    t.Write("a.txt", "a");
    t.Write("b.txt", "b");
    t.Write("x_b.txt", "taken");
    t.Write(Gbk("已有.txt"), "c");
    const ProgramRun run = RunProgram(
        t.path(), {"rename", "--pattern", "x_${filename}", "--json", "a.txt", "b.txt", "已有.txt"});
    EXPECT_EQ(run.status, kExitUndone);
    const std::string dir = t.path();
    EXPECT_EQ(run.err, "成功处理文件总数量：2\n另有 1 个文件未处理\n" + dir +
                           "/b.txt\t目标名称已存在\n");
    EXPECT_EQ(t.Read("x_b.txt"), "taken");
    EXPECT_EQ(t.Read("b.txt"), "b");
    EXPECT_EQ(t.Read(Gbk("x_已有.txt")), "c");

    const QJsonObject report = run.Json();
    EXPECT_EQ(report["operation"].toString(), "rename");
    EXPECT_EQ(report["total"].toInt(), 3);
    EXPECT_EQ(report["done"].toInt(), 2);
    EXPECT_FALSE(report["stopped"].toBool());
    EXPECT_TRUE(report["error"].isNull());
    const QJsonArray files = report["files"].toArray();
    ASSERT_EQ(files.size(), 3);
    const struct {
        const char* path;
        const char* result;
        const char* reason;
        const char* newPath;
    } expected[] = {
        {"/a.txt", "done", "已处理", "/x_a.txt"},
        {"/b.txt", "name-exists", "目标名称已存在", nullptr},
        {"/已有.txt", "done", "已处理", "/x_已有.txt"},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject f = files[i].toObject();
        EXPECT_EQ(f["path"].toString(), QString::fromStdString(dir) + QString::fromUtf8(expected[i].path));
        EXPECT_EQ(f["result"].toString(), expected[i].result);
        EXPECT_EQ(f["reason"].toString(), QString::fromUtf8(expected[i].reason));
        if (expected[i].newPath)
            EXPECT_EQ(f["newPath"].toString(),
                      QString::fromStdString(dir) + QString::fromUtf8(expected[i].newPath));
        else
            EXPECT_FALSE(f.contains("newPath"));
    }
}

TEST(CliProgram, RenamesSearchedFiles) {
    TempFolder t;
    t.Write("photos/b.jpg", "b");
    t.Write("photos/a.JPG", "a");
    t.Write("photos/notes.txt", "n");
    t.Write("photos/old/c.jpg", "c");
    const ProgramRun run = RunProgram(t.path(), {"rename", "--pattern", "p${sn(1,2)}", "--search",
                                                 "photos", "--mask", "*.jpg", "--no-sub"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    // A search lists a folder in name order, and numbering follows the list.
    EXPECT_EQ(t.Read("photos/p01.JPG"), "a");
    EXPECT_EQ(t.Read("photos/p02.jpg"), "b");
    EXPECT_TRUE(t.Exists("photos/notes.txt"));
    EXPECT_TRUE(t.Exists("photos/old/c.jpg"));
}

TEST(CliProgram, DeletesLinesOfSearchedFiles) {
    TempFolder t;
    t.Write("data/a.log", "ok\r\nERR one\r\nfine\r\nWARN two\r\n");
    t.Write("data/deep/b.log", "ERR\r\nz\r\n");
    t.Write("data/c.txt", "ERR\r\n");
    ProgramRun run = RunProgram(t.path(), {"delete-lines", "--keywords", "ERR;WARN", "--no-backup",
                                           "--search", "data", "--mask", "*.log"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.err, "成功处理完成,共处理 2 个文件!\n");
    EXPECT_EQ(t.Read("data/a.log"), "ok\r\nfine\r\n");
    EXPECT_EQ(t.Read("data/deep/b.log"), "z\r\n");
    EXPECT_EQ(t.Read("data/c.txt"), "ERR\r\n");
    EXPECT_FALSE(t.Exists("data/a.log.bak"));

    // Backups are made unless --no-backup says otherwise.
    run = RunProgram(t.path(), {"delete-lines", "--line-number", "1", "data/a.log"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("data/a.log"), "fine\r\n");
    EXPECT_EQ(t.Read("data/a.log.bak"), "ok\r\nfine\r\n");
}

// A UTF-8 file with LF: found as UTF-8 and kept so by default; read as GBK
// bytes and written with CR LF in the classic mode.
TEST(CliProgram, TextEncodingReachesTheRun) {
    TempFolder t;
    const struct {
        const char* encoding;
        const char* after;
    } cases[] = {
        {"auto", "好\n"},
        {"gbk", "错误 一\r\n好\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoding);
        t.Write("u.txt", "错误 一\n好\n");
        const ProgramRun run = RunProgram(t.path(), {"delete-lines", "--keywords", "错误", "--no-backup",
                                                     "--encoding", c.encoding, "u.txt"});
        EXPECT_EQ(run.status, kExitDone) << run.err;
        EXPECT_EQ(t.Read("u.txt"), c.after);
    }
}

TEST(CliProgram, AFileThatCannotBeWrittenEndsTheTextRun) {
    TempFolder t;
    t.Write("a.log", "ERR\r\nkeep\r\n");
    t.Write("b.log", "ERR\r\nkeep\r\n");
    t.Write("c.log", "ERR\r\nkeep\r\n");
    t.SetMode("b.log", 0444);
    const ProgramRun run = RunProgram(
        t.path(), {"delete-lines", "--keywords", "ERR", "--no-backup", "--json", "a.log", "b.log", "c.log"});
    EXPECT_EQ(run.status, kExitUndone);
    const std::string dir = t.path();
    EXPECT_EQ(run.err, "Cannot create file " + dir + "/b.log\n另有 2 个文件未处理\n" + dir +
                           "/b.log\t只读文件\n" + dir + "/c.log\t因前面的错误而未处理\n");
    EXPECT_EQ(t.Read("a.log"), "keep\r\n");
    EXPECT_EQ(t.Read("b.log"), "ERR\r\nkeep\r\n");
    EXPECT_EQ(t.Read("c.log"), "ERR\r\nkeep\r\n");
    const QJsonObject report = run.Json();
    EXPECT_EQ(report["error"].toString().toStdString(), "Cannot create file " + dir + "/b.log");
    const QJsonArray files = report["files"].toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[1].toObject()["result"].toString(), "read-only");
    EXPECT_EQ(files[2].toObject()["result"].toString(), "not-reached");
}

TEST(CliProgram, RefusesBeforeTouchingAnything) {
    TempFolder t;
    t.Write("a.txt", "ERR\r\n");
    t.MakeFolder("empty");
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {"pattern", {"rename", "--pattern", "abc", "a.txt"},
         "新文件名格式不正确，请在左边选择变量或函数！\n"},
        {"missing file", {"delete-lines", "--keywords", "ERR", "a.txt", "nothere.txt"},
         "文件不存在：nothere.txt\n"},
        {"a folder named", {"delete-lines", "--keywords", "ERR", "a.txt", "empty"},
         "不是文件：empty（目录中的文件请用 --search 搜索）\n"},
        {"nothing found", {"delete-lines", "--keywords", "ERR", "--search", "empty", "--mask", "*.txt"},
         "没有源文件，请搜索后再试！\n"},
        {"usage", {"delete-lines", "a.txt"},
         "请选择删除方式：--line-number、--interval、--keywords 或 --blank-lines\n"},
        {"two files", {"key-merge", "a.txt"}, "请选择需要按关键字进行合并的两个文件！\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = RunProgram(t.path(), c.args);
        EXPECT_EQ(run.status, kExitRefused);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(t.Read("a.txt"), "ERR\r\n");
        EXPECT_FALSE(t.Exists("a.txt.bak"));
    }
}

TEST(CliProgram, DryRunLeavesTheDiskAlone) {
    TempFolder t;
    t.Write("a.log", "ERR\r\nkeep\r\n");
    t.Write("b.log", "keep\r\n");
    const std::string dir = t.path();
    const struct {
        std::vector<std::string> args;
        std::string out, err;
    } cases[] = {
        {{"rename", "--pattern", "x${sn(1,2)}", "--dry-run", "a.log", "b.log"},
         dir + "/a.log -> x01.log\n" + dir + "/b.log -> x02.log\n",
         "将更改 2 个文件，跳过 0 个（试运行，没有修改任何文件）\n"},
        {{"attributes", "--read-only", "--hidden", "--dry-run", "a.log"}, dir + "/a.log -> R H A\n",
         "将更改 1 个文件，跳过 0 个（试运行，没有修改任何文件）\n"},
        {{"delete-lines", "--keywords", "ERR", "--dry-run", "--search", ".", "--mask", "*.log"},
         "./a.log  删除 1 行，新增 0 行\n./b.log  没有变化\n",
         "将处理 2 个文件（试运行，没有修改任何文件）\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ProgramRun run = RunProgram(t.path(), c.args);
        EXPECT_EQ(run.status, kExitDone) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(testing::Entries(t.path()), (std::vector<std::string>{"a.log", "b.log"}));
        EXPECT_EQ(t.Read("a.log"), "ERR\r\nkeep\r\n");
        EXPECT_EQ(t.Read("b.log"), "keep\r\n");
        EXPECT_EQ(testing::Stat(dir + "/a.log").st_mode & 0200, 0200u);  // not made read-only
    }
}

// The dry run's names, clashes included, are the names the run then gives.
TEST(CliProgram, DryRunShowsWhatTheRunThenDoes) {
    TempFolder t;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.Write(name, name);
    t.Write("n2.txt", "taken");
    const std::vector<std::string> args = {"rename", "--pattern", "n${sn(1,1)}", "--json",
                                           "a.txt", "b.txt", "c.txt"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const ProgramRun dryRun = RunProgram(t.path(), dry);
    const QJsonObject plan = dryRun.Json();
    EXPECT_EQ(plan["changing"].toInt(), 2);
    EXPECT_EQ(plan["skipping"].toInt(), 1);
    const ProgramRun run = RunProgram(t.path(), args);
    EXPECT_EQ(run.status, kExitUndone);
    EXPECT_EQ(dryRun.status, run.status);  // a script can test first
    const QJsonArray planned = plan["files"].toArray(), done = run.Json()["files"].toArray();
    ASSERT_EQ(planned.size(), 3);
    ASSERT_EQ(done.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject p = planned[i].toObject(), d = done[i].toObject();
        EXPECT_EQ(p["path"], d["path"]);
        if (p["result"] == QJsonValue("change")) {
            EXPECT_EQ(d["result"].toString(), "done");
            EXPECT_TRUE(d["newPath"].toString().endsWith("/" + p["after"].toString()));
        } else {
            EXPECT_EQ(p["result"], d["result"]);
            EXPECT_EQ(p["reason"], d["reason"]);
        }
    }
    EXPECT_EQ(t.Read("n2.txt"), "taken");
}

// A dry run exits as the run would: 1 where a file would be left undone,
// 2 where the old contents would not fit the undo journal; it drops no older
// run to find the room.
TEST(CliProgram, DryRunExitsAsTheRunWould) {
    TempFolder t;
    t.Write("a.log", std::string(3000, 'x') + "\r\nERR\r\n");
    t.Write("b.log", std::string(2000, 'k') + "\r\nERR\r\n");
    t.Write("n1.log", "taken");
    EXPECT_EQ(RunProgram(t.path(), {"rename", "--pattern", "n${sn(1,1)}", "--dry-run", "a.log"}).status,
              kExitUndone);
    EXPECT_EQ(RunProgram(t.path(), {"rename", "--pattern", "m${sn(1,1)}", "--dry-run", "a.log"}).status,
              kExitDone);
    Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
    ASSERT_EQ(RunProgram(t.path(), {"delete-lines", "--keywords", "ERR", "b.log"}).status, kExitDone);
    const std::size_t runs = journal.Runs().size();
    const std::vector<std::string> args = {"delete-lines", "--keywords", "ERR", "--dry-run", "a.log"};
    {
        // Room only once the run on b.log went: the dry run says yes and
        // keeps that run.
        testing::ScopedEnv budget("FERRO_UNDO_BUDGET", "4096");
        EXPECT_EQ(RunProgram(t.path(), args).status, kExitDone);
        EXPECT_EQ(journal.Runs().size(), runs);
    }
    testing::ScopedEnv budget("FERRO_UNDO_BUDGET", "2048");
    const ProgramRun dry = RunProgram(t.path(), args);
    EXPECT_EQ(dry.status, kExitRefused);
    EXPECT_NE(dry.err.find("--no-undo"), std::string::npos) << dry.err;
    EXPECT_EQ(journal.Runs().size(), runs);
    EXPECT_EQ(t.Read("a.log"), std::string(3000, 'x') + "\r\nERR\r\n");
}

TEST(CliProgram, ConvertsTabTextOfASearch) {
    TempFolder t;
    t.Write("in/a.txt", "1\t2\t3\r\n");
    t.Write("in/b.txt", "x\ty\r\n");
    const ProgramRun run = RunProgram(
        t.path(), {"convert", "--format", "${TxtTo(csv)}", "--encoding", "gbk", "--search", "in", "--mask", "*.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.err, "成功处理完成,共处理 2 个文件!\n");
    EXPECT_EQ(t.Read("in/a.csv"), "1,2,3\r\n");
    EXPECT_EQ(t.Read("in/b.csv"), "x,y\r\n");
}

// Statistics print a table, or with --json the report alone, which holds
// the same figures.
TEST(CliProgram, StatisticsAsTableOrReport) {
    TempFolder t;
    t.Write("a.txt", "ab\r\n\r\nabcd\r\n");
    ProgramRun run = RunProgram(t.path(), {"statistics", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(run.out,
              "文件\t文件大小\t总行数\t空行数\t数据行数\t行最大字符数\t行最小字符数\t行平均字符数\n" +
                  t / "a.txt" + "\t12\t3\t1\t2\t4\t2\t6\n");
    run = RunProgram(t.path(), {"statistics", "--json", "a.txt"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    const QJsonObject figures = run.Json()["files"].toArray()[0].toObject()["statistics"].toObject();
    EXPECT_EQ(figures["size"].toInt(), 12);
    EXPECT_EQ(figures["lines"].toInt(), 3);
    EXPECT_EQ(figures["emptyLines"].toInt(), 1);
    EXPECT_EQ(figures["longest"].toInt(), 4);
    EXPECT_EQ(run.err, "成功统计完成!\n");
}

// A run of the command line is in the undo journal the window reads, under
// the page's caption, and undoing it there puts everything back; --no-undo
// and a dry run leave no record.
TEST(CliProgram, RunsAreRecordedForUndo) {
    TempFolder t;
    t.Write("a.txt", "a");
    t.Write("b.txt", "b");
    Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
    const std::size_t before = journal.Runs().size();
    for (const char* option : {"--dry-run", "--no-undo"}) {
        SCOPED_TRACE(option);
        const ProgramRun run = RunProgram(t.path(), {"extension", "--extension", "log", option, "a.txt"});
        EXPECT_EQ(run.status, kExitDone) << run.err;
        EXPECT_EQ(journal.Runs().size(), before);
    }
    ASSERT_TRUE(t.Exists("a.log"));
    const ProgramRun run = RunProgram(t.path(), {"rename", "--pattern", "n${sn(1,1)}", "a.log", "b.txt"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    ASSERT_TRUE(t.Exists("n1.log") && t.Exists("n2.txt"));
    const std::optional<JournalRun> last = journal.NextToUndo();
    ASSERT_TRUE(last.has_value());
    // The oldest run goes when ten are kept already (earlier tests' runs).
    EXPECT_EQ(journal.Runs().size(), std::min<std::size_t>(before + 1, Journal::kRunsKept));
    EXPECT_EQ(last->operation, Gbk("更改文件名称"));
    EXPECT_EQ(last->files, 2);
    const UndoResult undo = UndoRun(journal, last->id, nullptr);
    EXPECT_EQ(undo.summary.done, 2);
    EXPECT_EQ(testing::Entries(t.path()), (std::vector<std::string>{"a.log", "b.txt"}));
}

TEST(CliInProcess, StopEndsTheRunAfterTheCurrentFile) {
    TempFolder t;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.Write(name, name);
    RecordingConsole console;
    console.stop = [&] { return t.Exists("n1.txt"); };
    const int status = RunInProcess(console, t, {"rename", "--pattern", "n${sn(1,1)}"}, {"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(status, kExitUndone);
    EXPECT_EQ(console.err, "已停止：已处理 1 个文件\n另有 2 个文件未处理\n" + t / "b.txt" +
                               "\t已停止\n" + t / "c.txt" + "\t已停止\n");
    EXPECT_EQ(t.Read("n1.txt"), "a.txt");
    EXPECT_TRUE(t.Exists("b.txt") && t.Exists("c.txt"));
}

TEST(CliInProcess, ProgressLineOnlyOnATerminal) {
    TempFolder t;
    t.Write("a.txt", "x\r\n");
    t.Write("b.txt", "y\r\n");
    for (bool terminal : {false, true}) {
        SCOPED_TRACE(terminal);
        RecordingConsole console;
        console.terminal = terminal;
        EXPECT_EQ(RunInProcess(console, t, {"statistics"}, {"a.txt", "b.txt"}), kExitDone);
        const std::string closing = "成功统计完成!\n";
        if (!terminal) {
            EXPECT_EQ(console.err, closing);
            continue;
        }
        // Drawn in place, and wiped before anything else is printed.
        EXPECT_EQ(console.err.rfind("\r已处理 0/2 a.txt\x1b[K", 0), 0u) << console.err;
        EXPECT_EQ(console.err.substr(console.err.size() - closing.size() - 4), "\r\x1b[K" + closing);
    }
}

TEST(CliInProcess, CtrlCAsksForAStop) {
    StdConsole console;
    EXPECT_FALSE(console.StopRequested());
    std::raise(SIGINT);
    EXPECT_TRUE(console.StopRequested());
}

TEST(CliInProcess, TwoFileOperations) {
    TempFolder t;
    t.Write("source.ini", "Title=New\r\nOnly=1\r\n");
    t.Write("target.ini", "title=Old\r\nKeep=2\r\n");
    RecordingConsole console;
    EXPECT_EQ(RunInProcess(console, t, {"key-merge", "--json"}, {"source.ini", "target.ini"}), kExitDone);
    EXPECT_EQ(t.Read("target.ini"), "Title=New\r\nKeep=2\r\n");
    EXPECT_EQ(t.Read("target.ini.bak"), "title=Old\r\nKeep=2\r\n");
    EXPECT_EQ(t.Read("source.ini"), "Title=New\r\nOnly=1\r\n");
    EXPECT_EQ(console.err, "成功处理完成,共处理 1 条记录!\n");
    EXPECT_NE(console.out.find("\"records\":1"), std::string::npos) << console.out;
    // The merged target is in the journal, old content and all.
    Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
    const std::optional<JournalRun> merge = journal.NextToUndo();
    ASSERT_TRUE(merge.has_value());
    EXPECT_EQ(merge->operation, Gbk("合并关键字内容"));
    EXPECT_EQ(UndoRun(journal, merge->id, nullptr).summary.done, 2);  // and the .bak it made
    EXPECT_EQ(t.Read("target.ini"), "title=Old\r\nKeep=2\r\n");
    EXPECT_FALSE(t.Exists("target.ini.bak"));

    t.Write("en.txt", "a\r\nmenu=File\r\nc\r\n");
    t.Write("zh.txt", "1\r\n2\r\n3\r\n");
    console = RecordingConsole();
    EXPECT_EQ(RunInProcess(console, t, {"line-sync", "--keywords", "MENU", "--no-backup"}, {"en.txt", "zh.txt"}),
              kExitDone);
    EXPECT_EQ(t.Read("zh.txt"), "1\r\nmenu=File\r\n3\r\n");
    EXPECT_FALSE(t.Exists("zh.txt.bak"));
}

}  // namespace
}  // namespace ferro::cli
