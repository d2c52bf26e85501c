// The runs that rewrite, combine, merge into, convert and trash files,
// recorded in the journal as the window records them, then undone: every
// file and every link of it as it was, the files a run created gone; a run
// whose journal cannot be written changes nothing.
#include <unistd.h>

#include <functional>

#include "convert/convert.h"
#include "fileops/delete_files.h"
#include "journal_support.h"
#include "textops/file_combine.h"
#include "textops/key_merge.h"
#include "textops/text_batch.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::JournalHost;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TickedList;
using testing::UndoNewest;

class RecordedRunsTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder data_;
    ScopedEnv dataHome_{"XDG_DATA_HOME", data_.path()};  // the trash
    Journal journal_;
};

std::vector<BatchFile> Batch(const std::vector<std::string>& paths) {
    std::vector<BatchFile> files;
    for (const std::string& p : paths) files.push_back({static_cast<int>(files.size()) + 1, p});
    return files;
}

TEST_F(RecordedRunsTest, EachRunIsUndoneToTheLastByteAndLink) {
    struct Case {
        const char* name;
        // Runs on a.txt (hard-linked as link.txt) and b.txt; done: files changed.
        std::function<int(const TempFolder& t, RunHost& host)> run;
    };
    const Case cases[] = {
        {"line rewrite of every file",
         [](const TempFolder& t, RunHost& host) {
             TextBatchOptions o;
             return RewriteTextFiles(Batch({t / "a.txt", t / "b.txt"}), o,
                                     [](const LineList& in, LineSink& out) { out.push_back("new"); },
                                     &host)
                 .done;
         }},
        {"combine into the last file",
         [](const TempFolder& t, RunHost& host) {
             return CombineFiles(Batch({t / "b.txt", t / "a.txt"}), {}, &host).done;
         }},
        {"key merge into the target",
         [](const TempFolder& t, RunHost& host) {
             TextFileOptions o;
             o.recorder = host.recorder();
             MergeKeyFiles(t / "b.txt", t / "a.txt", o);
             return 1;
         }},
        {"move to the trash",
         [](const TempFolder& t, RunHost& host) {
             FileList list = TickedList({t / "a.txt", t / "b.txt"});
             return TrashTickedFiles(list, nullptr, &host).done;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string a = t.Write("a.txt", "key=old a\r\nsecond line\r\n");
        t.Write("b.txt", "key=old b\r\n");
        ASSERT_EQ(link(a.c_str(), (t / "link.txt").c_str()), 0);
        const auto before = Entries(t.path());
        {
            JournalHost host(journal_, c.name);
            ASSERT_GE(c.run(t, host), 1);
        }
        ASSERT_TRUE(!t.Exists("a.txt") || t.Read("a.txt") != "key=old a\r\nsecond line\r\n");
        testing::ExpectIndexAsLog(journal_);

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_TRUE(undo.summary.undone.empty());
        EXPECT_EQ(t.Read("a.txt"), "key=old a\r\nsecond line\r\n");
        EXPECT_EQ(t.Read("link.txt"), "key=old a\r\nsecond line\r\n");
        EXPECT_EQ(testing::Stat(a).st_nlink, 2u);
        EXPECT_EQ(t.Read("b.txt"), "key=old b\r\n");
        EXPECT_EQ(Entries(t.path()), before);
    }
}

TEST_F(RecordedRunsTest, ARewriteWhoseJournalCannotBeWrittenLeavesTheFilesAlone) {
    TempFolder t;
    t.Write("not-a-folder", "");
    Journal blocked(t / "not-a-folder/journal");
    const std::string a = t.Write("a.txt", "old\r\n");
    JournalHost host(blocked, "内容按行删除");
    const RunSummary s = RewriteTextFiles(
        Batch({a}), {}, [](const LineList&, LineSink& out) { out.push_back("new"); }, &host);
    EXPECT_EQ(s.done, 0);
    ASSERT_EQ(s.undone.size(), 1u);
    EXPECT_EQ(s.undone[0].why, Undone::NotRecorded);
    EXPECT_TRUE(s.error.empty());
    EXPECT_EQ(t.Read("a.txt"), "old\r\n");
}

TEST_F(RecordedRunsTest, AConversionRunIsUndoneAndWhatChangedSinceIsLeftAlone) {
    const std::string kTable = "name\tphone\r\nZhang, San\t123\r\n";
    const std::string kCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Li Si\r\nEND:VCARD\r\n";
    struct Case {
        const char* name;
        const char* item;
        const char* source;  // what the sources are called: <name>1, <name>2
        const char* source2;
        const char* bytes;
        bool changeAfter;  // the first new file is changed after the run
    };
    const Case cases[] = {
        {"tab text to comma text", "${TxtTo(csv)}", "a.txt", "b.txt", kTable.c_str(), false},
        {"tab text through the spreadsheet item", "${XlsTo(csv)}", "a.txt", "b.txt",
         kTable.c_str(), false},
        {"contacts to a table", "${VcfTo(csv)}", "a.vcf", "b.vcf", kCard.c_str(), false},
        {"a new file changed after the run", "${TxtTo(csv)}", "a.txt", "b.txt", kTable.c_str(),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        t.Write(c.source, c.bytes);
        t.Write(c.source2, c.bytes);
        // b's output exists already: the run replaces it.
        t.Write("b.csv", "older b.csv\n");
        const auto before = Entries(t.path());
        {
            JournalHost host(journal_, "文件格式转换");
            ConvertContext context;
            const RunSummary s = ConvertFiles(Batch({t / c.source, t / c.source2}), c.item,
                                              context, &host);
            ASSERT_EQ(s.done, 2);
            EXPECT_EQ(context.recorder, nullptr);  // the host's, for this run only
        }
        ASSERT_TRUE(t.Exists("a.csv"));
        ASSERT_NE(t.Read("b.csv"), "older b.csv\n");
        if (c.changeAfter) t.Write("a.csv", "edited by hand\n");
        const std::string aCsv = t.Read("a.csv");

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(t.Read("b.csv"), "older b.csv\n");
        EXPECT_EQ(t.Read(c.source), c.bytes);
        if (c.changeAfter) {
            EXPECT_EQ(undo.summary.done, 1);
            ASSERT_EQ(undo.summary.undone.size(), 1u);
            EXPECT_EQ(undo.summary.undone[0].path, t / "a.csv");
            EXPECT_EQ(undo.summary.undone[0].why, Undone::ChangedSince);
            EXPECT_EQ(t.Read("a.csv"), aCsv);
        } else {
            EXPECT_EQ(undo.summary.done, 2);
            EXPECT_TRUE(undo.summary.undone.empty());
            EXPECT_EQ(Entries(t.path()), before);
        }
        EXPECT_FALSE(journal_.NextToUndo());
    }
}

TEST_F(RecordedRunsTest, AConversionWhoseJournalCannotBeWrittenCreatesNothing) {
    TempFolder t;
    t.Write("not-a-folder", "");
    Journal blocked(t / "not-a-folder/journal");
    const std::string a = t.Write("a.txt", "x\ty\r\n");
    const std::string b = t.Write("b.txt", "x\ty\r\n");
    t.Write("b.csv", "older\n");
    JournalHost host(blocked, "文件格式转换");
    ConvertContext context;
    const RunSummary s = ConvertFiles(Batch({a, b}), "${TxtTo(csv)}", context, &host);
    EXPECT_EQ(s.done, 0);
    ASSERT_EQ(s.undone.size(), 2u);
    EXPECT_EQ(s.undone[0].why, Undone::NotRecorded);
    EXPECT_EQ(s.undone[1].why, Undone::NotRecorded);
    EXPECT_TRUE(s.error.empty());
    EXPECT_FALSE(t.Exists("a.csv"));
    EXPECT_EQ(t.Read("b.csv"), "older\n");
}

TEST_F(RecordedRunsTest, BackupsTheRunMadeGoAndTheOnesTheyReplacedComeBack) {
    struct Case {
        const char* name;
        const char* olderBackup;  // a.txt.bak before the run; null: none
        bool backupChangedAfter;
    };
    const Case cases[] = {
        {"a new backup", nullptr, false},
        {"a backup replacing an older one", "the backup of an earlier run\r\n", false},
        {"a backup changed after the run", "the backup of an earlier run\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string a = t.Write("a.txt", "old line\r\n");
        if (c.olderBackup) t.Write("a.txt.bak", c.olderBackup);
        const auto before = Entries(t.path());
        {
            JournalHost host(journal_, "内容按行删除");
            TextBatchOptions o;
            o.backup = true;
            const RunSummary s = RewriteTextFiles(
                Batch({a}), o, [](const LineList&, LineSink& out) { out.push_back("new"); }, &host);
            ASSERT_EQ(s.done, 1);
        }
        ASSERT_EQ(t.Read("a.txt.bak"), "old line\r\n");
        testing::ExpectIndexAsLog(journal_);  // the backup is no file of its own
        if (c.backupChangedAfter) t.Write("a.txt.bak", "changed since\r\n");

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(t.Read("a.txt"), "old line\r\n");
        if (c.backupChangedAfter) {
            ASSERT_EQ(undo.summary.undone.size(), 1u);
            EXPECT_EQ(undo.summary.undone[0].path, t / "a.txt.bak");
            EXPECT_EQ(undo.summary.undone[0].why, Undone::ChangedSince);
            EXPECT_EQ(t.Read("a.txt.bak"), "changed since\r\n");
            continue;
        }
        EXPECT_TRUE(undo.summary.undone.empty());
        EXPECT_EQ(Entries(t.path()), before);
        if (c.olderBackup) {
            EXPECT_EQ(t.Read("a.txt.bak"), c.olderBackup);
        }
    }
}

}  // namespace
}  // namespace ferro
