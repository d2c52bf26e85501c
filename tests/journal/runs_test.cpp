// The runs that rewrite, combine, merge into and trash files, recorded in
// the journal as the window records them, then undone: every file and every
// link of it as it was; a run whose journal cannot be written changes
// nothing.
#include <unistd.h>

#include <functional>

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

}  // namespace
}  // namespace ferro
