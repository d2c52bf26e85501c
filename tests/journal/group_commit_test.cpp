// The journal as the keeper of a group commit: a group cut short at any step
// of its commit leaves every file old or new, the next start decides each
// intent from the files, and undo brings back every file that was made,
// backups included; a group that is not made withdraws its intents.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "journal/recovery.h"
#include "journal_support.h"
#include "platform/group_write.h"
#include "platform/rescue.h"
#include "platform/sys_calls.h"

namespace ferro {
namespace {

using sys::Calls;
using sys::ScopedSysCall;
using testing::Entries;
using testing::InChild;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::UndoNewest;

class GroupCommitTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder t_;
    Journal journal_;

    static constexpr int kFiles = 6;
    std::string Name(int f) const { return "f" + std::to_string(f) + ".txt"; }
    // Files old, every other one with an older backup.
    void Reset() {
        for (int f = 0; f < kFiles; ++f) {
            t_.Write(Name(f), "old " + Name(f));
            unlink((t_ / (Name(f) + ".bak")).c_str());
            if (f % 2 == 0) t_.Write(Name(f) + ".bak", "older backup");
        }
    }
    // A group of every file with its backup, recorded by run.
    void Fill(WriteGroup& group, RunRecorder& run) {
        for (int f = 0; f < kFiles; ++f) {
            const std::string path = t_ / Name(f);
            StagedWrite backup, content;
            std::unique_ptr<WrittenNote> note = run.NewNote();
            EXPECT_EQ(backup.Copy(path, path + ".bak"), StagedWrite::Start::Ready);
            EXPECT_EQ(content.Begin(path, note.get()), StagedWrite::Start::Ready);
            EXPECT_TRUE(content.writer()("new " + Name(f)));
            EXPECT_TRUE(content.End());
            group.Add(std::move(backup), path + ".bak", path, f, false);
            group.Add(std::move(content), path, {}, f, true, std::move(note));
        }
    }
    // Every file old or new with its backup to match; how many are new.
    int Check() {
        int made = 0;
        for (int f = 0; f < kFiles; ++f) {
            SCOPED_TRACE(Name(f));
            const std::string now = t_.Read(Name(f));
            EXPECT_TRUE(now == "old " + Name(f) || now == "new " + Name(f)) << now;
            if (now == "new " + Name(f)) {
                ++made;
                EXPECT_EQ(t_.Read(Name(f) + ".bak"), "old " + Name(f));
            }
        }
        for (const std::string& name : Entries(t_.path()))
            EXPECT_EQ(name.find(".ferro-"), std::string::npos) << name;
        return made;
    }
    void CheckAllOld() {
        for (int f = 0; f < kFiles; ++f) {
            SCOPED_TRACE(Name(f));
            EXPECT_EQ(t_.Read(Name(f)), "old " + Name(f));
            if (f % 2 == 0) EXPECT_EQ(t_.Read(Name(f) + ".bak"), "older backup");
            else EXPECT_FALSE(t_.Exists(Name(f) + ".bak"));
        }
    }
};

int g_calls = 0;
int g_exitAt = -1;
int ExitingRename(const char* from, const char* to) {
    if (g_calls++ == g_exitAt) _exit(0);
    return sys::Real().rename(from, to);
}
int ExitingSyncfs(int) { _exit(0); }
int ExitingFsync(int fd) {
    if (g_calls++ == g_exitAt) _exit(0);
    return sys::Real().fsync(fd);
}

TEST_F(GroupCommitTest, AGroupMadeIsUndoneWholeBackupsIncluded) {
    Reset();
    {
        auto run = journal_.StartRun("内容按行删除");
        WriteGroup group(run.get());
        Fill(group, *run);
        for (const WriteGroup::Outcome& o : group.Commit()) EXPECT_TRUE(o.made());
        run->Close();
    }
    EXPECT_EQ(Check(), kFiles);
    const UndoResult undone = UndoNewest(journal_);
    EXPECT_TRUE(undone.complete()) << UndoneListText(undone.summary);
    CheckAllOld();
}

TEST_F(GroupCommitTest, AGroupCutShortAtAnyStepLeavesEachFileOldOrNewAndUndoable) {
    struct Case {
        const char* name;
        bool atFlush;    // killed while the group is made durable
        int atRename;    // killed before the n-th rename (every entry is placed by one but new backups)
        int atFsync;     // with syncfs failing: killed at the n-th file's flush
    };
    const Case cases[] = {
        {"while flushing the group", true, -1, -1},
        {"while flushing file by file", false, -1, 4},
        {"before the first rename", false, 0, -1},
        {"in the middle of the renames", false, 4, -1},
        {"before the last rename", false, 8, -1},
        {"after the group, before the run's end", false, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        ASSERT_EQ(InChild([&]() -> bool {
                      Journal journal;
                      auto run = journal.StartRun("内容按行删除");
                      WriteGroup group(run.get());
                      Fill(group, *run);
                      g_calls = 0;
                      g_exitAt = c.atRename >= 0 ? c.atRename : c.atFsync;
                      ScopedSysCall rename(&Calls::rename,
                                           c.atRename >= 0 ? ExitingRename : sys::Real().rename);
                      ScopedSysCall fsync(&Calls::fsync,
                                          c.atFsync >= 0 ? ExitingFsync : sys::Real().fsync);
                      ScopedSysCall syncfs(&Calls::syncfs, c.atFlush ? ExitingSyncfs
                                                           : c.atFsync >= 0
                                                               ? +[](int) { errno = EIO; return -1; }
                                                               : sys::Real().syncfs);
                      group.Commit();
                      _exit(0);  // the run never ends
                  }),
                  0);
        // The next start.
        RecoverInterruptedWrites();
        const JournalRecovery found = RecoverInterruptedRuns(journal_);
        EXPECT_TRUE(found.unresolved.empty());
        const int made = Check();
        if (c.atFlush || c.atFsync >= 0 || c.atRename == 0) EXPECT_EQ(made, 0);
        if (c.atRename < 0 && !c.atFlush && c.atFsync < 0) EXPECT_EQ(made, kFiles);
        if (c.atRename == 4) EXPECT_EQ(made, 2);  // f0 (two renames), f1 (a new backup, one)
        if (made == 0) {
            EXPECT_TRUE(found.interrupted.empty());
            CheckAllOld();
            EXPECT_FALSE(journal_.NextToUndo());
            continue;
        }
        ASSERT_EQ(found.interrupted.size(), 1u);
        const UndoResult undone = UndoNewest(journal_);
        EXPECT_TRUE(undone.complete()) << UndoneListText(undone.summary);
        CheckAllOld();
        for (const std::string& name : Entries(t_.path()))
            EXPECT_EQ(name.find(".ferro-"), std::string::npos) << name;
    }
}

int FailingRename(const char*, const char*) {
    errno = EIO;
    return -1;
}

TEST_F(GroupCommitTest, EntriesNotMadeAreWithdrawnAndTheirKeptNamesGo) {
    Reset();
    {
        auto run = journal_.StartRun("内容按行删除");
        WriteGroup group(run.get());
        Fill(group, *run);
        ScopedSysCall rename(&Calls::rename, FailingRename);
        const std::vector<WriteGroup::Outcome> outcomes = group.Commit();
        // The first backup replaces an older one: its rename fails, so its
        // file is left; f1's backup is new and linked in, then its file's
        // rename fails and the run would end there.
        EXPECT_EQ(outcomes[0].failure, WriteGroup::Failure::Placing);
        EXPECT_EQ(outcomes[1].failure, WriteGroup::Failure::Left);
        EXPECT_TRUE(outcomes[2].made());
        EXPECT_EQ(outcomes[3].failure, WriteGroup::Failure::Placing);
        for (std::size_t i = 4; i < outcomes.size(); ++i)
            EXPECT_EQ(outcomes[i].failure, WriteGroup::Failure::Left);
        run->Close();
    }
    // The old contents kept for the changes not made are gone; f1's new
    // backup is the run's one change.
    const std::optional<JournalRun> newest = journal_.NextToUndo();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->files, 0);  // a backup alone is no file changed
    EXPECT_TRUE(Entries(journal_.RunFolder(newest->id) + "/kept").empty());
    EXPECT_EQ(t_.Read(Name(1) + ".bak"), "old " + Name(1));
    EXPECT_TRUE(UndoNewest(journal_).complete());
    CheckAllOld();
}

}  // namespace
}  // namespace ferro
