// The command line on its own keeps files safe: a run killed at any moment
// is mended by the next command-line run (no window needed), every file old
// or new and no temporaries left; runs say where they were started; the JSON
// report gives a name that is not UTF-8 as its bytes; a dry run of a huge
// file holds little of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QJsonArray>
#include <chrono>
#include <random>
#include <thread>

#include "cli/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/undo.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Gbk;
using testing::ProgramRun;
using testing::RunProgram;
using testing::StartProgram;
using testing::TempFolder;

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : testing::Entries(folder))
        if (name.find(".ferro-") != std::string::npos) found.push_back(name);
    return found;
}

TEST(CliSafety, AKilledRewriteOfAHardLinkedFileIsMendedByTheNextRun) {
    TempFolder t;
    // Lines of a marked content, so that a file of part old and part new
    // bytes shows; big enough for a kill to land inside its rewrite.
    std::string old;
    for (int i = 0; i < 200000; ++i) old += "ERROR line " + std::to_string(i) + " of the old file\n";
    const std::vector<std::string> args = {"insert", "--format", "${RepStr(ERROR,)}", "--all-lines",
                                           "--no-backup", "app.log"};
    // What the run makes of it, untouched.
    t.Write("app.log", old);
    ASSERT_EQ(RunProgram(t.path(), args).status, kExitDone);
    const std::string result = t.Read("app.log");
    ASSERT_NE(result, old);
    const std::string file = t / "app.log";
    const std::string other = t / "same-file.log";
    ASSERT_EQ(link(file.c_str(), other.c_str()), 0);
    std::mt19937 random(20261209);
    int killedMidway = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        t.Write("app.log", old);  // written in place: the link sees it too
        const pid_t pid = StartProgram(t.path(), args);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 400000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++killedMidway;

        // Any later run of the command line, on any file, mends it first.
        t.Write("other.txt", "x\n");
        const ProgramRun next = RunProgram(t.path(), {"statistics", "other.txt"});
        ASSERT_EQ(next.status, kExitDone) << next.err;
        const std::string now = t.Read("app.log");
        EXPECT_TRUE(now == old || now == result) << now.size() << " bytes";
        EXPECT_EQ(t.Read("same-file.log"), now);
        EXPECT_EQ(testing::Stat(file).st_ino, testing::Stat(other).st_ino);
        EXPECT_TRUE(Temporaries(t.path()).empty());
    }
    EXPECT_GT(killedMidway, 10);  // most kills landed before the run ended
}

// A state folder on a small disk of its own, which a test can fill.
class SmallDisk {
public:
    explicit SmallDisk(const char* size) {
        if (getuid() != 0) return;
        if (system(("mount -t tmpfs -o size=" + std::string(size) + " tmpfs " + dir_.path()).c_str()) == 0)
            mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) system(("umount " + dir_.path()).c_str());
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return dir_.path(); }

private:
    TempFolder dir_;
    bool mounted_ = false;
};

TEST(CliSafety, ARenameOnAFullStateDiskIsUndoneWholeOnceThereIsRoom) {
    SmallDisk state("384k");
    if (!state.mounted()) GTEST_SKIP() << "a small disk cannot be mounted here (needs root and tmpfs)";
    TempFolder t;
    std::vector<std::string> args = {"rename", "--pattern", "renamed_file_number_${sn(1,5)}"};
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "a_file_with_a_longer_name_" + std::to_string(i) + ".txt";
        t.Write(name, std::to_string(i));
        args.push_back(name);
    }
    // The plan does not fit: each rename is then recorded alone until the
    // disk is full, and the rest are left undone.
    const pid_t pid = StartProgram(t.path(), args, nullptr, state.path());
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitUndone);
    int renamed = 0;
    for (const std::string& name : testing::Entries(t.path())) renamed += name.rfind("renamed_", 0) == 0;
    ASSERT_GT(renamed, 0);
    ASSERT_LT(renamed, 5000);

    // Room again: the run is offered, and undone whole.
    ASSERT_EQ(system(("mount -o remount,size=64m " + state.path()).c_str()), 0);
    Journal journal(state.path() + "/ferrovan-batch/journal");
    const std::optional<JournalRun> next = journal.NextToUndo();
    ASSERT_TRUE(next.has_value());
    const UndoResult undo = UndoRun(journal, next->id, nullptr);
    EXPECT_TRUE(undo.complete()) << UndoneListText(undo.summary);
    EXPECT_EQ(undo.summary.done, renamed);
    for (const std::string& name : testing::Entries(t.path())) EXPECT_NE(name.rfind("renamed_", 0), 0u) << name;
    EXPECT_FALSE(journal.NextToUndo().has_value());
}

TEST(CliSafety, WhatTheNextRunMendedIsSaidOnStandardError) {
    TempFolder t;
    const std::string file = t.Write("a.txt", "old old old\n");
    // A program killed in the middle of an in-place rewrite leaves this.
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_STATE_HOME", testing::ChildStateHome().c_str(), 1);
        ASSERT_EQ(link(file.c_str(), (t / "b.txt").c_str()), 0);
        Journal journal;
        auto run = journal.StartRun(Gbk("行内容插入字符"), "cli");
        OldContentKeeper* keeper = run->WillWrite(file);
        if (!keeper || !run->Keep(file, true)) _exit(1);
        const int fd = open(file.c_str(), O_WRONLY);
        if (pwrite(fd, "NEW", 3, 0) != 3) _exit(1);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(t.Read("a.txt"), "NEW old old\n");

    t.Write("c.txt", "x\n");
    const ProgramRun next = RunProgram(t.path(), {"statistics", "c.txt"});
    EXPECT_EQ(next.status, kExitDone);
    EXPECT_NE(next.err.find("上次处理被中断：已将 1 个文件恢复为处理前的内容"), std::string::npos) << next.err;
    EXPECT_EQ(t.Read("a.txt"), "old old old\n");
}

TEST(CliSafety, RunsSayTheyWereStartedOnTheCommandLineAndWhere) {
    TempFolder t;
    t.Write("a.txt", "1\r\n2\r\n");
    t.Write("b.txt", "1\r\n2\r\n");
    const ProgramRun run = RunProgram(t.path(), {"delete-lines", "--line-number", "1", "a.txt", "b.txt"});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
    const std::optional<JournalRun> last = journal.NextToUndo();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->origin, "cli");
    EXPECT_EQ(last->place, t.path());
    EXPECT_EQ(last->files, 2);  // the files, not their backups too
    EXPECT_EQ(last->changes, 4);
}

TEST(CliSafety, JsonGivesANameThatIsNotUtf8AsItsBytes) {
    TempFolder t;
    const std::string odd = std::string("caf\xE9") + ".txt";  // Latin-1, not UTF-8
    {
        const int fd = open((t.path() + "/" + odd).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    const ProgramRun run = RunProgram(t.path(), {"extension", "--extension", "log", "--json", odd});
    ASSERT_EQ(run.status, kExitDone) << run.err;
    const QJsonObject file = run.Json()["files"].toArray()[0].toObject();
    EXPECT_EQ(QByteArray::fromBase64(file["path_bytes"].toString().toLatin1()).toStdString(),
              t.path() + "/" + odd);
    EXPECT_EQ(QByteArray::fromBase64(file["newPath_bytes"].toString().toLatin1()).toStdString(),
              t.path() + "/caf\xE9.log");
    EXPECT_TRUE(file["path"].toString().endsWith(QString::fromUtf8("caf\uFFFD.txt")))
        << file["path"].toString().toStdString();
    // A name that is UTF-8 has no bytes beside it.
    t.Write(Gbk("报告.log"), "y");
    const ProgramRun plain =
        RunProgram(t.path(), {"extension", "--extension", "txt", "--json", "--dry-run", "报告.log"});
    const QJsonArray files = plain.Json()["files"].toArray();
    ASSERT_EQ(files.size(), 1) << plain.out << plain.err;
    const QJsonObject one = files[0].toObject();
    EXPECT_FALSE(one.contains("path_bytes"));
    EXPECT_TRUE(one["path"].toString().endsWith(QStringLiteral("报告.log")));
}

TEST(CliSafety, ADryRunOfAHugeFileHoldsLittleOfIt) {
    TempFolder t;
    {
        std::string block;
        const std::string ordinary(200, 'x');
        for (int i = 0; i < 4096; ++i) block += (i % 7 ? ordinary : "ERROR " + ordinary) + "\n";
        std::FILE* f = std::fopen((t / "huge.log").c_str(), "wb");
        ASSERT_TRUE(f);
        for (std::size_t written = 0; written < (std::size_t(1) << 30); written += block.size())
            ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), f), block.size());
        std::fclose(f);
    }
    // A build with the address checker keeps freed memory aside for a while:
    // not here, so that what is measured is what the program holds.
    const pid_t pid = StartProgram(t.path(), {"delete-lines", "--keywords", "ERROR", "--dry-run", "huge.log"},
                                   "quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
    int status = 0;
    struct rusage usage{};
    ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitDone);
    // The address checker's own memory comes on top of the program's: held
    // to the same bound above what a tiny file costs it.
    long limit = 64 * 1024;  // KiB
#if defined(__SANITIZE_ADDRESS__)
    t.Write("tiny.log", "ERROR x\n");
    const pid_t small = StartProgram(t.path(), {"delete-lines", "--keywords", "ERROR", "--dry-run", "tiny.log"},
                                     "quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
    struct rusage baseline{};
    ASSERT_EQ(wait4(small, &status, 0, &baseline), small);
    limit += baseline.ru_maxrss;
#endif
    EXPECT_LT(usage.ru_maxrss, limit) << usage.ru_maxrss << " KiB";
}

}  // namespace
}  // namespace ferro::cli
