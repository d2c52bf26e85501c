// The renamer's toolbox through the command line: letter case, names that
// make way for each other (swaps, rotations, shifts), numbered clashes,
// pinyin, numbers per folder, and names the disk cannot take.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <random>

#include "cli/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "journal/recovery.h"
#include "journal/undo.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Entries;
using testing::Gbk;
using testing::ProgramRun;
using testing::RunProgram;
using testing::TempFolder;

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// One file named `from` renamed by the pattern: the dry run names `to`, the
// run then gives it.
void ExpectRenamedAsPlanned(const std::string& pattern, const std::vector<std::string>& options,
                            const std::string& from, const std::string& to) {
    TempFolder t;
    t.Write(Gbk(from), "x");
    std::vector<std::string> args = {"rename", "--pattern", pattern};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(from);
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const ProgramRun plan = RunProgram(t.path(), dry);
    EXPECT_EQ(plan.out, t / from + " -> " + to + "\n") << plan.err;
    const ProgramRun run = RunProgram(t.path(), args);
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(Entries(t.path()), std::vector<std::string>{to});
}

TEST(CliToolbox, LetterCaseAndThePatternsOwnLetters) {
    const struct {
        std::vector<std::string> options;
        std::string pattern, from, to;
    } cases[] = {
        {{}, "IMG_${sn(1,3)}", "a.JPG", "img_001.JPG"},  // the classic lower-casing
        {{"--keep-case"}, "IMG_${SN(1,3)}", "a.JPG", "IMG_001.JPG"},
        {{"--case", "lower"}, "${filename}_X", "Photo.JPG", "photo_x.jpg"},
        {{"--case", "upper"}, "${filename}_x", "Photo.jpg", "PHOTO_X.JPG"},
        {{"--case", "title", "--keep-case"}, "${filename} 2nd", "my OLD-photo.JPG", "My Old-Photo 2nd.jpg"},
        {{"--case", "upper", "--keep-case"}, "会议_${filename}", "notes.txt", "会议_NOTES.TXT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern + " " + c.from);
        ExpectRenamedAsPlanned(c.pattern, c.options, c.from, c.to);
    }
    // The extension page's choice is about the extension.
    TempFolder t;
    t.Write("Report.jpeg", "x");
    const ProgramRun run = RunProgram(t.path(), {"extension", "--extension", "jpg", "--case", "upper",
                                                 "Report.jpeg"});
    EXPECT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(Entries(t.path()), std::vector<std::string>{"Report.JPG"});
    EXPECT_EQ(RunProgram(t.path(), {"rename", "--pattern", "x${sn(1,1)}", "--case", "shout", "Report.JPG"})
                  .status,
              kExitRefused);
}

// Names that other files of the same run give up: every rename completes,
// in one run, and one undo gives every old name back.
TEST(CliToolbox, SwapsRotationsAndShiftsComplete) {
    const struct {
        const char* name;
        std::vector<std::string> files, list;  // the names, and the new ones in order
    } cases[] = {
        {"swap", {"a.txt", "b.txt"}, {"b", "a"}},
        {"rotation", {"1.txt", "2.txt", "3.txt"}, {"2", "3", "1"}},
        {"two rings and a chain", {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}, {"b", "a", "d", "c", "f"}},
        {"shift backwards", {"f3.txt", "f2.txt", "f1.txt"}, {"f4", "f3", "f2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        std::string list;
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            t.Write(c.files[i], c.files[i]);
            list += c.list[i] + "\r\n";
        }
        t.Write("names.lst", list);
        std::vector<std::string> args = {"rename", "--pattern", "${file(names.lst)}", "--json"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        const ProgramRun plan = RunProgram(t.path(), dry);
        EXPECT_EQ(plan.status, kExitDone) << plan.err;
        EXPECT_EQ(plan.Json()["changing"].toInt(), static_cast<int>(c.files.size())) << plan.out;
        const ProgramRun run = RunProgram(t.path(), args);
        ASSERT_EQ(run.status, kExitDone) << run.err;
        for (std::size_t i = 0; i < c.files.size(); ++i)
            EXPECT_EQ(t.Read(c.list[i] + ".txt"), c.files[i]) << c.list[i];
        // The report lists the files in their order.
        const QJsonArray files = run.Json()["files"].toArray();
        ASSERT_EQ(files.size(), static_cast<int>(c.files.size()));
        for (std::size_t i = 0; i < c.files.size(); ++i)
            EXPECT_TRUE(files[static_cast<int>(i)].toObject()["path"].toString().endsWith(
                QString::fromStdString("/" + c.files[i])));
        Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
        const std::optional<JournalRun> last = journal.NextToUndo();
        ASSERT_TRUE(last.has_value());
        const UndoResult undone = UndoRun(journal, last->id, nullptr);
        EXPECT_TRUE(undone.summary.undone.empty());
        for (const std::string& f : c.files) EXPECT_EQ(t.Read(f), f);
        std::vector<std::string> expected = c.files;
        expected.push_back("names.lst");
        EXPECT_EQ(Sorted(Entries(t.path())), Sorted(expected));
    }
}

// f1..f1000 -> f2..f1001 in one run; a file outside the run is never
// replaced, and a rename waiting for it is left undone with the reason.
TEST(CliToolbox, AShiftByOneAndAFileOutsideTheRun) {
    TempFolder t;
    // The files given in their order, so that the numbers follow it.
    std::vector<std::string> args = {"rename", "--pattern", "f${sn(2,1)}"};
    for (int i = 1; i <= 1000; ++i) args.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
    const ProgramRun run = RunProgram(t.path(), args);
    ASSERT_EQ(run.status, kExitDone) << run.err;
    for (int i = 1; i <= 1000; ++i) ASSERT_EQ(t.Read("f" + std::to_string(i + 1) + ".txt"), std::to_string(i));
    EXPECT_FALSE(t.Exists("f1.txt"));

    TempFolder u;
    u.Write("a.txt", "a");
    u.Write("b.txt", "b");
    u.Write("c.txt", "outside");
    // a -> b waits for b, b -> c meets a file that is not part of the run.
    u.Write("names.lst", "b\r\nc\r\n");
    const ProgramRun blocked = RunProgram(u.path(), {"rename", "--pattern", "${file(names.lst)}", "a.txt", "b.txt"});
    EXPECT_EQ(blocked.status, kExitUndone);
    EXPECT_EQ(u.Read("a.txt"), "a");
    EXPECT_EQ(u.Read("b.txt"), "b");
    EXPECT_EQ(u.Read("c.txt"), "outside");
    EXPECT_NE(blocked.err.find("目标名称已存在"), std::string::npos) << blocked.err;
}

TEST(CliToolbox, ClashesNumbered) {
    TempFolder t;
    t.Write("report.txt", "old");
    t.Write("report (2).txt", "old2");
    t.Write("x.txt", "x");
    t.Write("y.txt", "y");
    t.Write("names.lst", "report\r\nreport\r\nreport\r\n");
    const std::vector<std::string> args = {"rename", "--pattern", "${file(names.lst)}", "--on-clash", "number",
                                           "x.txt", "y.txt"};
    const ProgramRun run = RunProgram(t.path(), args);
    ASSERT_EQ(run.status, kExitDone) << run.err;
    EXPECT_EQ(t.Read("report.txt"), "old");
    EXPECT_EQ(t.Read("report (2).txt"), "old2");
    EXPECT_EQ(t.Read("report (3).txt"), "x");
    EXPECT_EQ(t.Read("report (4).txt"), "y");
    // Skipping stays the default.
    t.Write("z.txt", "z");
    EXPECT_EQ(RunProgram(t.path(), {"rename", "--pattern", "${file(names.lst)}", "z.txt"}).status, kExitUndone);
    EXPECT_TRUE(t.Exists("z.txt"));
}

TEST(CliToolbox, PinyinAndNumbersPerFolder) {
    TempFolder t;
    const struct {
        const char* pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"${Pinyin}", {"lisi Li.txt", "zhangsan.txt"}},
        {"${PinyinInitials}_${sn(1,1)}", {"ls Li_1.txt", "zs_2.txt"}},
        {"${PinyinSpaced}", {"li si Li.txt", "zhang san.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        TempFolder f;
        f.Write(Gbk("李四 Li.txt"), "2");
        f.Write(Gbk("张三.txt"), "1");
        const ProgramRun run =
            RunProgram(f.path(), {"rename", "--pattern", c.pattern, "李四 Li.txt", "张三.txt"});
        EXPECT_EQ(run.status, kExitDone) << run.err;
        EXPECT_EQ(Sorted(Entries(f.path())), c.names);
    }
    for (const char* folder : {"a", "b", "c"})
        for (const char* name : {"x.txt", "y.txt"}) t.Write(std::string(folder) + "/" + name, folder);
    const ProgramRun run = RunProgram(
        t.path(), {"rename", "--pattern", "${lastdir}-${SnDir(1,2)}", "--search", ".", "--mask", "?.txt"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    for (const char* folder : {"a", "b", "c"})
        EXPECT_EQ(Entries(t / folder), (std::vector<std::string>{std::string(folder) + "-01.txt",
                                                                 std::string(folder) + "-02.txt"}));
}

// Regular expressions in the rename pattern through the command line: the
// dry run names what the run does; a bad pattern is refused with its
// reason; one made of the name itself is reported per file.
TEST(CliToolbox, RegularExpressionsInNames) {
    const struct {
        std::string pattern, from, to;
    } cases[] = {
        {"${RegRep(^IMG_(\\d+)$,Photo-\\1)}", "IMG_0042.JPG", "Photo-0042.JPG"},
        {"${RegGet([0-9]{4\\},0)}_${sn(1,2)}", "报告2024年.docx", "2024_01.docx"},
        {"${RegRep(\\,, )}", "a,b,c.txt", "a b c.txt"},
        {"${RegRep(^.,)}", "会议.txt", "议.txt"},
        {"${RegRep(\\D,)}", "ab12.txt", "12.txt"},
        {"${RegRep((a+)+$,x)}", std::string(200, 'a') + ".txt", "x.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        ExpectRenamedAsPlanned(c.pattern, {}, c.from, c.to);
    }
    TempFolder t;
    t.Write("a(b.txt", "x");
    t.Write("ab.txt", "x");
    ProgramRun run = RunProgram(t.path(), {"rename", "--pattern", "${RegRep(a(b,c)}", "a(b.txt"});
    EXPECT_EQ(run.status, kExitRefused);
    EXPECT_EQ(run.err.rfind("正则表达式不正确：", 0), 0u) << run.err;
    // The old name as the pattern: "a(b" is none, "ab" is one.
    run = RunProgram(t.path(), {"rename", "--pattern", "${RegRep(${filename},new_\\0)}", "a(b.txt", "ab.txt"});
    EXPECT_EQ(run.status, kExitUndone);
    EXPECT_NE(run.err.find("正则表达式不正确："), std::string::npos) << run.err;
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a(b.txt", "new_ab.txt"}));
}

// A cut inside a Chinese character gives no name: the dry run and the run
// both say so, with the same exit code.
TEST(CliToolbox, HalfACharacterIsNotAName) {
    TempFolder t;
    t.Write(Gbk("会议纪要 2024.docx"), "x");
    const std::vector<std::string> args = {"rename", "--pattern", "${GetLeft(3)}", "会议纪要 2024.docx"};
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const ProgramRun plan = RunProgram(t.path(), dry);
    const ProgramRun run = RunProgram(t.path(), args);
    EXPECT_EQ(plan.status, kExitUndone);
    EXPECT_EQ(run.status, kExitUndone);
    EXPECT_NE(plan.out.find("新名称不允许"), std::string::npos) << plan.out;
    EXPECT_NE(run.err.find("新名称不允许"), std::string::npos) << run.err;
    EXPECT_EQ(Entries(t.path()), std::vector<std::string>{"会议纪要 2024.docx"});
}

// Kills at random moments of a shift: after each, the next start recovers
// and one undo gives every old name back.
TEST(CliToolbox, KilledShiftsAreUndone) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        TempFolder t;
        std::vector<std::string> args = {"rename", "--pattern", "f${sn(2,1)}"};
        for (int i = 1; i <= 400; ++i)
            args.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
        const pid_t pid = testing::StartProgram(t.path(), args);
        ASSERT_GT(pid, 0);
        usleep(std::uniform_int_distribution<int>(0, 120000)(random));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
        RecoverAtStart(&journal);
        if (const std::optional<JournalRun> last = journal.NextToUndo(); last && last->place == t.path())
            UndoRun(journal, last->id, nullptr);
        for (int i = 1; i <= 400; ++i) ASSERT_EQ(t.Read("f" + std::to_string(i) + ".txt"), std::to_string(i));
        ASSERT_EQ(Entries(t.path()).size(), 400u);
    }
}

}  // namespace
}  // namespace ferro::cli
