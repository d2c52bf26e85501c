// Runs cut short by a crash or a kill: the next start finds them, tells from
// the files what they finished, and leaves no file neither old nor new.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "common/kill_testing.h"
#include "fileops/attribute_change.h"
#include "fileops/rename.h"
#include "journal/recovery.h"
#include "journal_support.h"
#include "platform/rescue.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::InChild;
using testing::JournalHost;
using testing::KillCase;
using testing::KillCases;
using testing::KillPartWay;
using testing::KilledFile;
using testing::NewBigContent;
using testing::OldBigContent;
using testing::PrintKills;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TickedList;
using testing::TimeWholeRewrite;
using testing::UndoNewest;

class RecoveryTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder t_;
    Journal journal_;
};

std::vector<std::string> MakeFiles(const TempFolder& t, int n) {
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.txt", i);
        paths.push_back(t.Write(name, name));
    }
    return paths;
}

// Whether a folder of the safe write's rescue holds records or copies (a
// lock of a program still running is fine).
bool RescueHoldsWrites() {
    for (const std::string& name : Entries(RescueFolder()))
        if (name.ends_with(".rec") || name.ends_with(".old")) return true;
    return false;
}

TEST_F(RecoveryTest, ARunCutShortIsFoundWithWhatItFinished) {
    struct Case {
        const char* name;
        int planned;
        int made;  // the child stops, killed, after this many changes
        bool attributes;
    };
    const Case cases[] = {
        {"renames, all made, none recorded as made yet", 10, 10, false},
        {"renames, six of ten made", 10, 6, false},
        {"attributes, two of four made", 4, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::vector<std::string> paths = MakeFiles(t, c.planned);
        ASSERT_EQ(InChild([&] {
                      FileList list = TickedList(paths);
                      Journal journal;
                      JournalHost host(journal, c.name);
                      // The process dies with the run's records of changes
                      // made still in its buffer.
                      struct Dying : RunHost {
                          JournalHost& inner;
                          int left;
                          Dying(JournalHost& h, int n) : inner(h), left(n) {}
                          ChangeRecorder* recorder() override { return inner.recorder(); }
                          void FileFinished(const FileResult&) override {
                              if (--left == 0) _exit(0);
                          }
                      } dying(host, c.made);
                      if (c.attributes) {
                          AttributeSettings s;
                          s.hidden = true;
                          ChangeAttributes(list, s, &dying);
                      } else {
                          RenameFiles(list, "new_${filename}", "", &dying);
                      }
                      return false;
                  }),
                  0);
        const JournalRecovery found = RecoverInterruptedRuns(journal_);
        ASSERT_EQ(found.interrupted.size(), 1u);
        EXPECT_EQ(found.interrupted[0].files, c.made);
        EXPECT_EQ(found.interrupted[0].operation, c.name);
        EXPECT_TRUE(found.unresolved.empty());
        // Found once: the next start has nothing more to say.
        EXPECT_TRUE(RecoverInterruptedRuns(journal_).interrupted.empty());

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(undo.summary.done, c.made);
        EXPECT_TRUE(undo.summary.undone.empty());
        for (const std::string& p : paths) {
            EXPECT_TRUE(FileExists(p)) << p;
            EXPECT_EQ(GetFileAttributes(p) & attr::Hidden, 0u) << p;
        }
    }
}

TEST_F(RecoveryTest, AWriteCutShortGetsItsOldContentBackAndLeavesNothingBehind) {
    const std::string inPlace = t_.Write("linked.txt", "old bytes of a linked file");
    ASSERT_EQ(link(inPlace.c_str(), (t_ / "other-link.txt").c_str()), 0);
    const std::string replaced = t_.Write("single.txt", "old bytes of a single file");
    const struct stat before = testing::Stat(inPlace);
    ASSERT_EQ(InChild([&] {
                  Journal journal;
                  auto run = journal.StartRun("内容按行删除");
                  // Killed part-way through overwriting a file where it stands.
                  if (!run->WillWrite(inPlace) || !run->Keep(inPlace, true)) return false;
                  const int fd = open(inPlace.c_str(), O_WRONLY);
                  if (pwrite(fd, "NEW", 3, 0) != 3) return false;
                  // And just before a new file would have taken a name.
                  if (!run->WillWrite(replaced) || !run->Keep(replaced, false)) return false;
                  _exit(0);
              }),
              0);
    ASSERT_EQ(testing::Stat(replaced).st_nlink, 2u);  // the journal's link

    const JournalRecovery found = RecoverInterruptedRuns(journal_);
    EXPECT_EQ(found.restored, 1);
    EXPECT_TRUE(found.unresolved.empty());
    EXPECT_TRUE(found.interrupted.empty());  // nothing was finished
    EXPECT_EQ(t_.Read("linked.txt"), "old bytes of a linked file");
    EXPECT_EQ(t_.Read("other-link.txt"), "old bytes of a linked file");
    const struct stat after = testing::Stat(inPlace);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(t_.Read("single.txt"), "old bytes of a single file");
    EXPECT_EQ(testing::Stat(replaced).st_nlink, 1u);
    EXPECT_TRUE(journal_.Runs().empty());
}

TEST_F(RecoveryTest, ABackupCopyCutShortLeavesTheOlderBackupOrAnUndoableNewOne) {
    struct Case {
        const char* name;
        bool copiedWhole;  // the copy took the old backup's place before the kill
    };
    for (const Case c : {Case{"copied in over it part-way", false},
                         Case{"replaced by a whole copy", true}}) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string source = t.Write("a.txt", "the file as the run found it");
        const std::string bak = t.Write("a.txt.bak", "the backup of an earlier run");
        ASSERT_EQ(InChild([&] {
                      Journal journal;
                      auto run = journal.StartRun("内容按行删除");
                      if (!run->WillCopyTo(bak)) return false;
                      if (c.copiedWhole) {
                          if (!CopyFile(source, bak, false)) return false;
                      } else {
                          const int fd = open(bak.c_str(), O_WRONLY);
                          if (pwrite(fd, "the file", 8, 0) != 8) return false;
                      }
                      _exit(0);
                  }),
                  0);
        const JournalRecovery found = RecoverInterruptedRuns(journal_);
        EXPECT_TRUE(found.unresolved.empty());
        if (!c.copiedWhole) {
            EXPECT_EQ(found.restored, 1);
            EXPECT_TRUE(found.interrupted.empty());
        } else {
            ASSERT_EQ(found.interrupted.size(), 1u);
            EXPECT_EQ(t.Read("a.txt.bak"), "the file as the run found it");
            EXPECT_TRUE(UndoNewest(journal_).summary.undone.empty());
        }
        EXPECT_EQ(t.Read("a.txt.bak"), "the backup of an earlier run");
    }
}

TEST_F(RecoveryTest, ARunBeingRecordedIsLeftToItsProgram) {
    const std::vector<std::string> paths = MakeFiles(t_, 2);
    JournalHost host(journal_, "更改文件名称");
    ASSERT_TRUE(host.recorder()->WillRename(paths[0], t_ / "g.txt"));
    ASSERT_TRUE(MoveFile(paths[0], t_ / "g.txt"));
    host.recorder()->Changed();

    EXPECT_TRUE(RecoverInterruptedRuns(journal_).interrupted.empty());
    ASSERT_EQ(journal_.Runs().size(), 1u);
    EXPECT_TRUE(journal_.Runs()[0].live);
    EXPECT_FALSE(journal_.NextToUndo());
    host.run().Close();
    ASSERT_TRUE(journal_.NextToUndo());
    EXPECT_EQ(UndoNewest(journal_).summary.done, 1);
    EXPECT_TRUE(FileExists(paths[0]));
}

TEST_F(RecoveryTest, KilledRecordedRewritesLeaveTheOldOrTheNewContentAndNoTemporaries) {
    const std::string& a = OldBigContent();
    const std::string& b = NewBigContent();
    std::mt19937 random(20240612);
    for (const KillCase& c : KillCases()) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const KilledFile file = MakeKilledFile(t, c);
        ASSERT_EQ(file.names.size(), c.hardLinked ? 2u : 1u);
        const std::string& f = file.path;
        // A child that rewrites the file as a recorded run does.
        auto rewrite = [&] {
            const pid_t pid = fork();
            if (pid == 0) {
                UseNamedTemporariesForTesting(c.named);
                Journal journal;
                auto run = journal.StartRun("内容按行替换");
                OldContentKeeper* keeper = run->WillWrite(f);
                const bool ok = keeper && WriteFileSafely(f, b, keeper);
                if (ok) run->Changed();
                run->Close();
                _exit(ok ? 0 : 1);
            }
            return pid;
        };
        auto check = [&](const char* when) {
            SCOPED_TRACE(when);
            std::string now, other;
            EXPECT_TRUE(ReadFileBytes(f, now));
            if (c.hardLinked) {
                EXPECT_TRUE(ReadFileBytes(t / "link.txt", other));
                EXPECT_TRUE(other == now);
            }
            EXPECT_EQ(Entries(t.path()), file.names);
            EXPECT_FALSE(RescueHoldsWrites());
            return now == a ? 'a' : now == b ? 'b' : '?';
        };

        // One whole rewrite, to time it, and its undo.
        const long long micros = TimeWholeRewrite(rewrite);
        ASSERT_GE(micros, 0);
        ASSERT_EQ(check("whole"), 'b');
        ASSERT_EQ(UndoNewest(journal_).summary.done, 1);
        ASSERT_EQ(check("undone"), 'a');

        int sawOld = 0, sawNew = 0, restored = 0;
        for (int i = 0; i < c.kills; ++i) {
            SCOPED_TRACE("kill " + std::to_string(i));
            ASSERT_TRUE(KillPartWay(rewrite, micros, random));

            // The next start.
            RecoverInterruptedWrites();
            const JournalRecovery found = RecoverInterruptedRuns(journal_);
            EXPECT_TRUE(found.unresolved.empty());
            restored += found.restored;
            const char is = check("after recovery");
            ASSERT_NE(is, '?');
            if (is == 'a') {
                ++sawOld;
                continue;
            }
            // The new content is the run's finished part: undo takes it back.
            ++sawNew;
            ASSERT_EQ(UndoNewest(journal_).summary.done, 1);
            ASSERT_EQ(check("undone"), 'a');
        }
        PrintKills(c, micros, sawOld, restored, sawNew, " (undone)");
    }
}

// A rename that changes case alone goes through a temporary name on a
// case-insensitive disk; a kill between its two steps leaves the file
// there, under neither name. The next start gives it its old name, and the
// run's rename counts as not made; an undo cut short the same way is
// finished by the next undo.
TEST_F(RecoveryTest, ACaseRenameCutShortBetweenItsStepsIsPutBack) {
    const std::string from = t_.Write("Report.TXT", "R");
    const std::string to = t_ / "report.txt";
    ASSERT_EQ(InChild([&] {
                  Journal journal;
                  auto run = journal.StartRun("rename");
                  if (!run->WillRename(from, to)) return false;
                  // What the kill leaves: the first step made, the second not.
                  if (rename(from.c_str(), (t_ / ".report.txt.ferro-case").c_str()) != 0)
                      return false;
                  _exit(0);
              }),
              0);
    const JournalRecovery recovery = RecoverInterruptedRuns(journal_);
    EXPECT_TRUE(recovery.unresolved.empty());
    EXPECT_EQ(t_.Read("Report.TXT"), "R");
    EXPECT_EQ(Entries(t_.path()), std::vector<std::string>{"Report.TXT"});
}

}  // namespace
}  // namespace ferro
