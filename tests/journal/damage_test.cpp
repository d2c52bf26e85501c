// Undo that never loses what it cannot restore: backups of files it cannot
// put back stay; a record cut short or damaged anywhere still undoes every
// file the disk shows it can, and never says it is complete otherwise; a
// damaged newest record is named rather than passed over; an undo cut short
// between content and time is finished by the next one; an edit that keeps
// the size and sets the time back is seen.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "fileops/rename.h"
#include "journal/run_log.h"
#include "journal_support.h"
#include "textops/line_delete.h"
#include "textops/text_batch.h"

namespace ferro {
namespace {

using testing::JournalHost;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TickedList;

std::string ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteRaw(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class DamageTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    Journal journal_;

    // A line delete with backups over the files, recorded as the window does.
    void DeleteFirstLines(const std::vector<std::string>& paths) {
        LineDeleteSettings s;
        s.mode = LineDeleteMode::LineNumber;
        s.lineNumber = 1;
        std::vector<BatchFile> files;
        for (const std::string& p : paths) files.push_back({0, p});
        JournalHost host(journal_, "内容按行删除");
        TextBatchOptions options;
        options.backup = true;
        const RunSummary run = RewriteTextFiles(files, options, LineDeleteOperation(s), &host);
        ASSERT_EQ(run.done, static_cast<int>(paths.size()));
    }

    std::string NewestLog() {
        const std::optional<JournalRun> run = journal_.NextToUndo();
        EXPECT_TRUE(run.has_value());
        return run ? journal_.RunFolder(run->id) + "/log" : std::string();
    }
};

bool Contains(const RunSummary& s, const std::string& path, Undone why) {
    for (const FileResult& r : s.undone)
        if (r.path == path && r.why == why) return true;
    return false;
}

TEST_F(DamageTest, BackupsOfFilesUndoCannotPutBackStay) {
    struct Case {
        const char* name;
        // What the world does to b.txt after the run; t is its folder.
        void (*change)(const TempFolder& t, Journal& journal);
        Undone why;  // why b.txt is not put back
    };
    const Case cases[] = {
        {"edited", [](const TempFolder& t, Journal&) { t.Write("b.txt", "edited by hand\r\n"); },
         Undone::ChangedSince},
        {"deleted", [](const TempFolder& t, Journal&) { unlink((t / "b.txt").c_str()); },
         Undone::Missing},
        {"renamed",
         [](const TempFolder& t, Journal&) {
             ASSERT_EQ(rename((t / "b.txt").c_str(), (t / "b2.txt").c_str()), 0);
         },
         Undone::Missing},
        {"made read-only", [](const TempFolder& t, Journal&) { t.SetMode("b.txt", 0444); },
         Undone::ReadOnly},
        {"replaced by another file",
         [](const TempFolder& t, Journal&) {
             t.Write("other.txt", "x\r\ny\r\n");
             ASSERT_EQ(rename((t / "other.txt").c_str(), (t / "b.txt").c_str()), 0);
         },
         Undone::ChangedSince},
        {"kept copy lost",
         [](const TempFolder& t, Journal& journal) {
             // The journal keeps old contents by the order of the changes:
             // a's backup, a, b's backup, b.
             const std::string kept = journal.RunFolder(journal.NextToUndo()->id) + "/kept/3";
             ASSERT_EQ(unlink(kept.c_str()), 0);
         },
         Undone::CannotRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string a = t.Write("a.txt", "first a\r\nsecond a\r\n");
        const std::string b = t.Write("b.txt", "first b\r\nsecond b\r\n");
        DeleteFirstLines({a, b});
        ASSERT_EQ(t.Read("b.txt.bak"), "first b\r\nsecond b\r\n");
        c.change(t, journal_);

        const UndoResult undo = testing::UndoNewest(journal_);
        // a is put back and its backup goes; b's backup is the only copy of
        // b's old content, and stays.
        EXPECT_EQ(t.Read("a.txt"), "first a\r\nsecond a\r\n");
        EXPECT_FALSE(t.Exists("a.txt.bak"));
        ASSERT_TRUE(t.Exists("b.txt.bak"));
        EXPECT_EQ(t.Read("b.txt.bak"), "first b\r\nsecond b\r\n");
        EXPECT_TRUE(Contains(undo.summary, b, c.why));
        EXPECT_TRUE(Contains(undo.summary, b + ".bak", Undone::BackupKept));
        EXPECT_FALSE(undo.complete());
        const std::string closing = UndoClosingText(undo);
        EXPECT_EQ(closing.find(testing::Gbk("撤销完成")), std::string::npos) << closing;
        EXPECT_NE(UndoneListText(undo.summary).find(testing::Gbk("已保留备份")), std::string::npos);
        t.SetMode("b.txt", 0644);
    }
}

TEST_F(DamageTest, ABackupGoesWhenItsFileHoldsTheOldBytesAnyway) {
    TempFolder t;
    const std::string a = t.Write("a.txt", "first\r\nsecond\r\n");
    DeleteFirstLines({a});
    // The user put the old content back by hand (a new file, so the run's
    // content is not there to undo).
    t.Write("a.txt", "first\r\nsecond\r\n");
    const UndoResult undo = testing::UndoNewest(journal_);
    EXPECT_TRUE(Contains(undo.summary, a, Undone::ChangedSince));
    EXPECT_FALSE(t.Exists("a.txt.bak"));
}

// Every way of damaging the newest log that a kill, a full disk or a bad
// disk can leave, and what undo makes of it: each file the disk still shows
// the run's work on is put back, and "complete" only when all of them are.
TEST_F(DamageTest, ALogCutAnywhereInItsLastTwoRecordsStillUndoesEveryFile) {
    for (const bool rewrite : {false, true}) {
        SCOPED_TRACE(rewrite ? "rewrite with backups" : "rename");
        // The run once, to learn where its last two records start.
        std::size_t length = 0, lastTwo = 0;
        for (std::size_t cut = 0;; ++cut) {
            TempFolder state;
            ScopedEnv env("XDG_STATE_HOME", state.path());
            Journal journal;
            TempFolder t;
            std::vector<std::string> paths;
            for (const char* n : {"a.txt", "b.txt", "c.txt"})
                paths.push_back(t.Write(n, std::string("line one of ") + n + "\r\nline two\r\n"));
            if (rewrite) {
                LineDeleteSettings s;
                std::vector<BatchFile> files;
                for (const std::string& p : paths) files.push_back({0, p});
                JournalHost host(journal, "内容按行删除");
                RewriteTextFiles(files, {true, TextMode::Auto}, LineDeleteOperation(s), &host);
            } else {
                FileList list = TickedList(paths);
                JournalHost host(journal, "更改文件名称");
                ASSERT_EQ(RenameFiles(list, "new_${filename}", "", &host).done, 3);
            }
            const std::string log = journal.RunFolder(journal.NextToUndo()->id) + "/log";
            std::string bytes = ReadRaw(log);
            if (cut == 0) {
                length = bytes.size();
                // The start of the second last line.
                std::size_t at = bytes.rfind('\n', bytes.size() - 2);
                at = bytes.rfind('\n', at - 1);
                lastTwo = at + 1;
                continue;
            }
            const std::size_t keep = lastTwo + cut - 1;
            if (keep >= length) break;
            SCOPED_TRACE("cut at byte " + std::to_string(keep));
            WriteRaw(log, bytes.substr(0, keep));

            const std::optional<JournalRun> next = journal.NextToUndo();
            ASSERT_TRUE(next.has_value());
            const UndoResult undo = UndoRun(journal, next->id, nullptr);
            EXPECT_TRUE(undo.complete()) << UndoneListText(undo.summary);
            for (const char* n : {"a.txt", "b.txt", "c.txt"}) {
                EXPECT_EQ(t.Read(n), std::string("line one of ") + n + "\r\nline two\r\n") << n;
                EXPECT_FALSE(t.Exists(std::string(n) + ".bak")) << n;
                EXPECT_FALSE(t.Exists(std::string("new_") + n)) << n;
            }
            // The run is done with: nothing more is offered, and a new run
            // after it records and undoes as usual.
            EXPECT_FALSE(journal.NextToUndo().has_value());
        }
    }
}

TEST_F(DamageTest, AFlippedByteInAnyRecordNeverEndsInAFalseComplete) {
    // Flips one byte in the first record of each kind of a rewrite run.
    for (const char kind : {'R', 'P', 'D', 'E'}) {
        SCOPED_TRACE(std::string("record ") + kind);
        TempFolder state;
        ScopedEnv env("XDG_STATE_HOME", state.path());
        Journal journal;
        TempFolder t;
        std::vector<BatchFile> files;
        for (const char* n : {"a.txt", "b.txt"})
            files.push_back({0, t.Write(n, std::string("one ") + n + "\r\ntwo\r\n")});
        {
            LineDeleteSettings s;
            JournalHost host(journal, "内容按行删除");
            RewriteTextFiles(files, {false, TextMode::Auto}, LineDeleteOperation(s), &host);
        }
        const std::string id = journal.NextToUndo()->id;
        const std::string log = journal.RunFolder(id) + "/log";
        std::string bytes = ReadRaw(log);
        const std::size_t at = bytes.find(std::string("\n") + kind + "\t");
        ASSERT_NE(at, std::string::npos);
        bytes[at + 4] ^= 0x20;
        WriteRaw(log, bytes);

        const std::optional<JournalRun> seen = journal.Inspect(id);
        ASSERT_TRUE(seen.has_value());
        EXPECT_TRUE(seen->damaged);
        EXPECT_FALSE(seen->damage.empty());
        const UndoResult undo = UndoRun(journal, id, nullptr);
        int back = 0;
        for (const char* n : {"a.txt", "b.txt"})
            if (t.Read(n) == std::string("one ") + n + "\r\ntwo\r\n") ++back;
        // Whatever the record lost, every file it still names comes back,
        // and the undo says complete exactly when both did.
        EXPECT_EQ(undo.complete(), back == 2) << UndoneListText(undo.summary);
        if (kind == 'P') {
            EXPECT_EQ(back, 1);  // the other file's change is known
            ASSERT_EQ(undo.summary.undone.size(), 1u);
            EXPECT_EQ(undo.summary.undone[0].why, Undone::RecordDamaged);
        } else {
            EXPECT_EQ(back, 2);
        }
    }
}

TEST_F(DamageTest, ADamagedNewestRecordIsNamedAndOlderRunsWaitForTheUser) {
    struct Case {
        const char* name;
        void (*damage)(const std::string& log);
    };
    const Case cases[] = {
        {"removed", [](const std::string& log) { unlink(log.c_str()); }},
        {"turned into a folder",
         [](const std::string& log) {
             unlink(log.c_str());
             mkdir(log.c_str(), 0700);
         }},
        {"turned into a link",
         [](const std::string& log) {
             const std::string moved = log + ".moved";
             rename(log.c_str(), moved.c_str());
             if (symlink(moved.c_str(), log.c_str()) != 0) ADD_FAILURE();
         }},
        {"truncated to part of its header", [](const std::string& log) { truncate(log.c_str(), 5); }},
        {"truncated to its plan",
         [](const std::string& log) {
             const std::string bytes = ReadRaw(log);
             WriteRaw(log, bytes.substr(0, bytes.find("\nD\t") + 1));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder state;
        ScopedEnv env("XDG_STATE_HOME", state.path());
        Journal journal;
        TempFolder t;
        const std::string older = t.Write("older.txt", "o");
        {
            FileList list = TickedList({older});
            JournalHost host(journal, "更改文件名称");
            ASSERT_EQ(RenameFiles(list, "older_${filename}", "", &host).done, 1);
        }
        std::vector<std::string> paths;
        for (const char* n : {"a.txt", "b.txt"}) paths.push_back(t.Write(n, n));
        {
            FileList list = TickedList(paths);
            JournalHost host(journal, "更改文件名称");
            ASSERT_EQ(RenameFiles(list, "new_${filename}", "", &host).done, 2);
        }
        const std::string newest = journal.NextToUndo()->id;
        c.damage(journal.RunFolder(newest) + "/log");

        // The newest run is the one offered, named damaged; the older one
        // is not touched.
        std::optional<JournalRun> next = journal.NextToUndo();
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->id, newest);
        EXPECT_TRUE(next->damaged);
        EXPECT_FALSE(next->damage.empty());
        EXPECT_TRUE(t.Exists("older_older.txt"));
        // Nor does a new run's housekeeping drop it.
        EXPECT_TRUE(journal.MakeRoom(0));
        EXPECT_TRUE(journal.Inspect(newest).has_value());

        // Set aside by the user, it gives way to the older run.
        ASSERT_TRUE(journal.SetAside(newest));
        next = journal.NextToUndo();
        ASSERT_TRUE(next.has_value());
        EXPECT_NE(next->id, newest);
        EXPECT_FALSE(next->damaged);
    }
}

TEST_F(DamageTest, AnUndoCutBetweenContentAndTimeIsFinishedByTheNextOne) {
    TempFolder t;
    const std::string a = t.Write("a.txt", "first\r\nsecond\r\n");
    t.SetModified("a.txt", 1341130500);
    const struct stat before = testing::Stat(a);
    {
        LineDeleteSettings s;
        JournalHost host(journal_, "内容按行删除");
        RewriteTextFiles({{0, a}}, {false, TextMode::Auto}, LineDeleteOperation(s), &host);
    }
    ASSERT_EQ(t.Read("a.txt"), "second\r\n");
    // What a kill leaves after the old bytes went back and before the old
    // time did: the step's record, the old bytes under a new time.
    const std::string id = journal_.NextToUndo()->id;
    {
        journal::LogWriter writer;
        journal::RunLog log;
        ASSERT_TRUE(journal::OpenRunLog(journal_.RunFolder(id) + "/log", writer, log));
        ASSERT_TRUE(writer.Append(journal::UndoBegunRecord(0)));
    }
    ASSERT_TRUE(WriteFileSafely(a, "first\r\nsecond\r\n"));

    const UndoResult undo = UndoRun(journal_, id, nullptr);
    EXPECT_TRUE(undo.complete()) << UndoneListText(undo.summary);
    EXPECT_EQ(t.Read("a.txt"), "first\r\nsecond\r\n");
    EXPECT_EQ(testing::Stat(a).st_mtim.tv_sec, before.st_mtim.tv_sec);
}

TEST_F(DamageTest, AnEditThatKeepsTheSizeAndSetsTheTimeBackIsSeen) {
    for (const std::size_t size : {std::size_t(40), std::size_t(20) << 20}) {
        SCOPED_TRACE(std::to_string(size) + " bytes");
        TempFolder t;
        std::string old(size, 'x');
        old.replace(0, 6, "head\r\n");
        const std::string a = t.Write("a.txt", old);
        {
            LineDeleteSettings s;
            JournalHost host(journal_, "内容按行删除");
            RewriteTextFiles({{0, a}}, {false, TextMode::Auto}, LineDeleteOperation(s), &host);
        }
        // Edited in place, same size, the modified time put back.
        const struct stat left = testing::Stat(a);
        {
            const int fd = open(a.c_str(), O_WRONLY);
            ASSERT_EQ(pwrite(fd, "EDITED", 6, 0), 6);
            close(fd);
        }
        const timespec times[2] = {left.st_atim, left.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);

        const UndoResult undo = testing::UndoNewest(journal_);
        EXPECT_TRUE(Contains(undo.summary, a, Undone::ChangedSince));
        EXPECT_EQ(t.Read("a.txt").substr(0, 6), "EDITED");
    }
}

TEST_F(DamageTest, ARewriteStillUndoesAfterALaterRunRenamedItAndWasUndone) {
    // A rename changes a file's change time: the content hash shows it is
    // still what the rewrite left.
    TempFolder t;
    const std::string a = t.Write("a.txt", "first\r\nsecond\r\n");
    {
        LineDeleteSettings s;
        JournalHost host(journal_, "内容按行删除");
        RewriteTextFiles({{0, a}}, {false, TextMode::Auto}, LineDeleteOperation(s), &host);
    }
    {
        FileList list = TickedList({a});
        JournalHost host(journal_, "更改文件名称");
        ASSERT_EQ(RenameFiles(list, "b", "", &host).done, 1);
    }
    EXPECT_TRUE(testing::UndoNewest(journal_).complete());
    const UndoResult undo = testing::UndoNewest(journal_);
    EXPECT_TRUE(undo.complete()) << UndoneListText(undo.summary);
    EXPECT_EQ(t.Read("a.txt"), "first\r\nsecond\r\n");
}

TEST_F(DamageTest, FoldersARunMadeGoWhenEmptyAndStayWhenNot) {
    TempFolder t;
    const std::string a = t.Write("a.txt", "a");
    const std::string made = t / "2024", kept = t / "2025";
    {
        JournalHost host(journal_, "更改文件名称");
        ChangeRecorder* r = host.recorder();
        for (const std::string& folder : {made, kept}) {
            ASSERT_TRUE(r->WillMakeFolder(folder));
            ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
            r->Changed();
        }
        ASSERT_TRUE(r->WillRename(a, made + "/a.txt"));
        ASSERT_TRUE(MoveFile(a, made + "/a.txt"));
        r->Changed();
    }
    t.Write("2025/mine.txt", "the user's");
    const UndoResult undo = testing::UndoNewest(journal_);
    EXPECT_TRUE(undo.complete()) << UndoneListText(undo.summary);
    EXPECT_EQ(undo.folders, 2);
    EXPECT_TRUE(t.Exists("a.txt"));
    EXPECT_FALSE(t.Exists("2024"));
    EXPECT_EQ(t.Read("2025/mine.txt"), "the user's");
    EXPECT_EQ(UndoClosingText(undo), testing::Gbk("撤销完成,共恢复 1 个文件!"));
}

}  // namespace
}  // namespace ferro
