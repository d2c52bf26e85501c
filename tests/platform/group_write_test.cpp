// The group commit: staged contents put in place a group at a time keep
// every property a safe write keeps, change nothing before the keeper's
// intents are flushed, fail in the order a run writing one file after the
// other would, fall back to a flush per file where the disk's own cannot be
// used, and a kill between a new file's hidden name and its rename is
// mended at the next start.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "platform/fs.h"
#include "platform/group_write.h"
#include "platform/rescue.h"
#include "platform/sys_calls.h"

namespace ferro {
namespace {

using Failure = WriteGroup::Failure;
using sys::Calls;
using sys::ScopedSysCall;
using testing::Entries;
using testing::ScopedEnv;
using testing::TempFolder;

class GroupWriteTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder t_;

    // Stages content for the file at relative (which exists).
    StagedWrite Stage(const std::string& relative, const std::string& content) {
        StagedWrite w;
        EXPECT_EQ(w.Begin(t_ / relative), StagedWrite::Start::Ready) << relative;
        EXPECT_TRUE(w.writer()(content));
        EXPECT_TRUE(w.End());
        return w;
    }
    bool NoTemporaries() const {
        for (const std::string& name : Entries(t_.path()))
            if (name.find(".ferro-") != std::string::npos) return false;
        return true;
    }
};

// Hears the group and checks what the files are at each step.
class WatchingKeeper : public GroupKeeper {
public:
    WatchingKeeper(std::vector<std::string> targets, std::vector<std::string> old, dev_t device)
        : targets_(std::move(targets)), old_(std::move(old)), device_(device) {}

    void KeepGroup(std::vector<Entry>& entries) override {
        calls += "keep ";
        AllOld();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Entry& e = entries[i];
            e.kept = i == refuse ? Entry::Kept::No
                     : unrecorded ? Entry::Kept::Unrecorded
                                  : Entry::Kept::Yes;
            e.problem = FsProblem::NoAccess;
            e.id = static_cast<int>(i);
        }
    }
    dev_t Device() const override { return device_; }
    bool FlushKept(bool diskFlushed) override {
        calls += diskFlushed ? "flushed " : "flush ";
        AllOld();
        return flushes;
    }
    void GroupDone(const std::vector<Entry>& entries, const std::vector<char>& done) override {
        calls += "done";
        made.assign(done.begin(), done.end());
    }

    std::string calls;
    std::vector<char> made;
    std::size_t refuse = SIZE_MAX;
    bool unrecorded = false;
    bool flushes = true;

private:
    void AllOld() const {
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            std::string now;
            ReadFileBytes(targets_[i], now);
            EXPECT_EQ(now, old_[i]) << targets_[i] << " changed before its intent was flushed";
        }
    }
    std::vector<std::string> targets_, old_;
    dev_t device_;
};

TEST_F(GroupWriteTest, AGroupReplacesEachFileWithEveryPropertyKept) {
    const bool root = geteuid() == 0;
    struct File {
        const char* name;
        mode_t mode;
        bool acl;
    };
    const File files[] = {{"a.txt", 0640, false}, {"b.txt", 04755, false}, {"c.txt", 0600, true}};
    std::vector<testing::Properties> before;
    WriteGroup group(nullptr);
    int index = 0;
    for (const File& f : files) {
        const std::string path = t_.Write(f.name, std::string("old ") + f.name);
        const bool acl = f.acl && testing::AclsWork(t_.path());
        ASSERT_TRUE(testing::Dress(path, root ? 1234 : geteuid(), root ? 99 : getegid(), f.mode, acl));
        before.push_back(testing::Properties::Of(path));
        group.Add(Stage(f.name, std::string("new ") + f.name), path, {}, index++, true);
    }
    // A backup that replaces an older one, and one that is new.
    t_.Write("a.txt.bak", "older backup");
    StagedWrite replacing, fresh;
    ASSERT_EQ(replacing.Copy(t_ / "a.txt", t_ / "a.txt.bak"), StagedWrite::Start::Ready);
    ASSERT_EQ(fresh.Copy(t_ / "b.txt", t_ / "b.txt.bak"), StagedWrite::Start::Ready);
    group.Add(std::move(replacing), t_ / "a.txt.bak", t_ / "a.txt", index++, false);
    group.Add(std::move(fresh), t_ / "b.txt.bak", t_ / "b.txt", index++, false);
    // Nothing is in place before the commit.
    EXPECT_EQ(t_.Read("a.txt"), "old a.txt");
    EXPECT_FALSE(t_.Exists("b.txt.bak"));

    const std::vector<WriteGroup::Outcome> outcomes = group.Commit();
    ASSERT_EQ(outcomes.size(), 5u);
    for (const WriteGroup::Outcome& o : outcomes) EXPECT_TRUE(o.made());
    for (std::size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i].name);
        EXPECT_EQ(t_.Read(files[i].name), std::string("new ") + files[i].name);
        EXPECT_EQ(testing::Properties::Of(t_ / files[i].name), before[i]);
    }
    EXPECT_EQ(t_.Read("a.txt.bak"), "old a.txt");
    EXPECT_EQ(t_.Read("b.txt.bak"), "old b.txt");
    EXPECT_TRUE(NoTemporaries());
    EXPECT_TRUE(group.empty());
}

TEST_F(GroupWriteTest, NothingChangesBeforeTheKeepersIntentsAreFlushed) {
    const std::vector<std::string> old = {"one", "two", "three"};
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < old.size(); ++i) targets.push_back(t_.Write(std::to_string(i), old[i]));
    struct stat folder{};
    ASSERT_EQ(stat(t_.path().c_str(), &folder), 0);
    struct Case {
        const char* name;
        dev_t keeperDisk;  // the files' disk: flushed with them
        const char* calls;
    };
    const Case cases[] = {{"journal on the files' disk", folder.st_dev, "keep flushed done"},
                          {"journal on another disk", folder.st_dev + 1, "keep flush done"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < old.size(); ++i) t_.Write(std::to_string(i), old[i]);
        WatchingKeeper keeper(targets, old, c.keeperDisk);
        WriteGroup group(&keeper);
        for (std::size_t i = 0; i < old.size(); ++i)
            group.Add(Stage(std::to_string(i), "new " + old[i]), targets[i], {},
                      static_cast<int>(i), true);
        const auto outcomes = group.Commit();
        EXPECT_EQ(keeper.calls, c.calls);
        EXPECT_EQ(keeper.made, std::vector<char>(3, 1));
        for (std::size_t i = 0; i < old.size(); ++i) {
            EXPECT_TRUE(outcomes[i].made());
            EXPECT_EQ(t_.Read(std::to_string(i)), "new " + old[i]);
        }
    }
}

int g_renames = 0;
int g_failRename = -1;
int CountedRename(const char* from, const char* to) {
    if (g_renames++ == g_failRename) {
        errno = EIO;
        return -1;
    }
    return sys::Real().rename(from, to);
}
int FailingSyncfs(int) {
    errno = EIO;
    return -1;
}
int g_fsyncs = 0;
int g_failFsync = -1;
int CountedFsync(int fd) {
    if (g_fsyncs++ == g_failFsync) {
        errno = EIO;
        return -1;
    }
    return sys::Real().fsync(fd);
}

TEST_F(GroupWriteTest, AFailureLeavesWhatAOneByOneRunWouldLeave) {
    // Three files, each with its backup (not critical) before its content
    // (critical): entries 0 1 | 2 3 | 4 5.
    struct Case {
        const char* name;
        int failRename = -1;   // the n-th rename of the group fails
        int failFsync = -1;    // with syncfs failing, the n-th fsync fails
        bool syncfsFails = false;
        std::size_t refuse = SIZE_MAX;  // the keeper cannot keep this entry
        bool unrecorded = false;
        bool flushFails = false;
        int stagedFail = -1;   // this entry failed before the group
        std::vector<Failure> expected;
    };
    const Failure M = Failure::None, L = Failure::Left;
    const Case cases[] = {
        {"all made", -1, -1, false, SIZE_MAX, false, false, -1, {M, M, M, M, M, M}},
        {"the second file's rename", 3, -1, false, SIZE_MAX, false, false, -1,
         {M, M, M, Failure::Placing, L, L}},
        {"the second backup's rename", 2, -1, false, SIZE_MAX, false, false, -1,
         {M, M, Failure::Placing, L, M, M}},
        {"syncfs fails, every file flushed", -1, -1, true, SIZE_MAX, false, false, -1,
         {M, M, M, M, M, M}},
        {"syncfs fails, then one file's flush", -1, 3, true, SIZE_MAX, false, false, -1,
         {M, M, M, Failure::Flushing, L, L}},
        {"the keeper cannot keep a content", -1, -1, false, 1, false, false, -1,
         {M, Failure::Keeping, L, L, L, L}},
        {"the keeper cannot keep a backup", -1, -1, false, 2, false, false, -1,
         {M, M, Failure::Keeping, L, M, M}},
        {"the keeper records nothing", -1, -1, false, SIZE_MAX, true, false, -1,
         {Failure::Unrecorded, L, Failure::Unrecorded, L, Failure::Unrecorded, L}},
        {"the intents cannot be flushed", -1, -1, false, SIZE_MAX, false, true, -1,
         {Failure::Keeping, L, Failure::Keeping, L, Failure::Keeping, L}},
        {"a content that could not be staged", -1, -1, false, SIZE_MAX, false, false, 3,
         {M, M, M, Failure::Staging, L, L}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> targets, old;
        for (int f = 0; f < 3; ++f) {
            const std::string name = "f" + std::to_string(f);
            old.push_back("old " + name);
            targets.push_back(t_.Write(name, old.back()));
            t_.Write(name + ".bak", "older");  // so that every entry is placed by a rename
        }
        struct stat folder{};
        stat(t_.path().c_str(), &folder);
        WatchingKeeper keeper({}, {}, folder.st_dev);
        keeper.refuse = c.refuse;
        keeper.unrecorded = c.unrecorded;
        keeper.flushes = !c.flushFails;
        WriteGroup group(&keeper);
        for (int f = 0; f < 3; ++f) {
            const std::string name = "f" + std::to_string(f);
            StagedWrite backup;
            ASSERT_EQ(backup.Copy(targets[f], targets[f] + ".bak"), StagedWrite::Start::Ready);
            if (c.stagedFail == 2 * f) group.AddFailed(FsProblem::Io, f, false);
            else group.Add(std::move(backup), targets[f] + ".bak", targets[f], f, false);
            if (c.stagedFail == 2 * f + 1) group.AddFailed(FsProblem::ReadOnly, f, true);
            else group.Add(Stage(name, "new " + name), targets[f], {}, f, true);
        }
        g_renames = 0;
        g_failRename = c.failRename;
        g_fsyncs = 0;
        g_failFsync = c.failFsync;
        ScopedSysCall rename(&Calls::rename, CountedRename);
        ScopedSysCall fsync(&Calls::fsync, CountedFsync);
        ScopedSysCall syncfs(&Calls::syncfs, c.syncfsFails ? FailingSyncfs : sys::Real().syncfs);
        const std::vector<WriteGroup::Outcome> outcomes = group.Commit();
        ASSERT_EQ(outcomes.size(), 6u);
        for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(outcomes[i].failure, c.expected[i]) << "entry " << i;
        if (c.syncfsFails) EXPECT_EQ(g_fsyncs, 6);  // every file on its own
        for (int f = 0; f < 3; ++f) {
            const std::string name = "f" + std::to_string(f);
            EXPECT_EQ(t_.Read(name), outcomes[2 * f + 1].made() ? "new " + name : old[f]);
            EXPECT_EQ(t_.Read(name + ".bak"), outcomes[2 * f].made() ? old[f] : "older");
        }
        // The keeper hears what was made of what it kept.
        const std::size_t made = static_cast<std::size_t>(std::count(keeper.made.begin(), keeper.made.end(), 1));
        EXPECT_EQ(made, static_cast<std::size_t>(std::count(c.expected.begin(), c.expected.end(), M)));
        EXPECT_TRUE(NoTemporaries());
    }
}

TEST_F(GroupWriteTest, FilesTheGroupCannotTakeAreLeftToTheSafeWrite) {
    const std::string plain = t_.Write("plain.txt", "x");
    const std::string linked = t_.Write("linked.txt", "x");
    ASSERT_EQ(link(linked.c_str(), (t_ / "other-name.txt").c_str()), 0);
    ASSERT_EQ(symlink("plain.txt", (t_ / "link.txt").c_str()), 0);
    const std::string readOnly = t_.Write("read-only.txt", "x");
    t_.SetMode("read-only.txt", 0444);
    t_.MakeFolder("folder");
    struct Case {
        std::string path;
        StagedWrite::Start start;
        FsProblem problem;
    };
    const Case cases[] = {
        {plain, StagedWrite::Start::Ready, FsProblem::None},
        {linked, StagedWrite::Start::Direct, FsProblem::None},  // in place, both names see it
        {t_ / "link.txt", StagedWrite::Start::Direct, FsProblem::None},
        {t_ / "missing.txt", StagedWrite::Start::Direct, FsProblem::None},  // a new file
        {readOnly, StagedWrite::Start::Failed, FsProblem::ReadOnly},
        {t_ / "folder", StagedWrite::Start::Failed, FsProblem::NotAFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        StagedWrite w;
        SetLastFsProblem(FsProblem::None);
        EXPECT_EQ(w.Begin(c.path), c.start);
        if (c.start == StagedWrite::Start::Failed) EXPECT_EQ(LastFsProblem(), c.problem);
    }
    // A disk without unnamed files: every file is written on its own.
    UseNamedTemporariesForTesting(true);
    StagedWrite w, copy;
    EXPECT_EQ(w.Begin(plain), StagedWrite::Start::Direct);
    EXPECT_EQ(copy.Copy(plain, plain + ".bak"), StagedWrite::Start::Direct);
    UseNamedTemporariesForTesting(false);
    EXPECT_TRUE(NoTemporaries());
}

int g_exitAtRename = -1;
int ExitingRename(const char* from, const char* to) {
    if (g_renames++ == g_exitAtRename) _exit(0);  // killed between the hidden name and the rename
    return sys::Real().rename(from, to);
}

TEST_F(GroupWriteTest, AKillBetweenTheHiddenNameAndTheRenameIsMendedAtTheNextStart) {
    for (int f = 0; f < 3; ++f) t_.Write("f" + std::to_string(f), "old");
    const int status = testing::InChild([&] {
        WriteGroup group(nullptr);
        for (int f = 0; f < 3; ++f)
            group.Add(Stage("f" + std::to_string(f), "new"), t_ / ("f" + std::to_string(f)), {}, f,
                      true);
        g_renames = 0;
        g_exitAtRename = 1;
        ScopedSysCall rename(&Calls::rename, ExitingRename);
        group.Commit();
        return false;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(t_.Read("f0"), "new");
    EXPECT_EQ(t_.Read("f1"), "old");
    EXPECT_EQ(t_.Read("f2"), "old");
    EXPECT_FALSE(NoTemporaries());  // f1's new file under its hidden name
    const RecoveryReport report = RecoverInterruptedWrites();
    EXPECT_EQ(report.temporariesRemoved, 1);
    EXPECT_TRUE(NoTemporaries());
    EXPECT_TRUE(Entries(state_ / "ferrovan-batch/rescue").empty());
}

}  // namespace
}  // namespace ferro
