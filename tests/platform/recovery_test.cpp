// Writes cut short by a kill: after the next start's recovery every file
// is exactly its old or its new content, and no temporary file is left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/kill_testing.h"
#include "common/temp_folder.h"
#include "platform/fs.h"
#include "platform/rescue.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::InChild;
using testing::KillCase;
using testing::KillCases;
using testing::KillPartWay;
using testing::KilledFile;
using testing::NewBigContent;
using testing::OldBigContent;
using testing::PrintKills;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TimeWholeRewrite;

class RecoveryTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
};

TEST_F(RecoveryTest, KilledRewritesLeaveTheOldOrTheNewContentAndNoTemporaries) {
    const std::string& a = OldBigContent();
    const std::string& b = NewBigContent();
    std::mt19937 random(20240611);
    for (const KillCase& c : KillCases()) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const KilledFile file = MakeKilledFile(t, c);
        ASSERT_EQ(file.names.size(), c.hardLinked ? 2u : 1u);
        const std::string& f = file.path;
        std::string next = b;
        auto rewrite = [&] {
            const pid_t pid = fork();
            if (pid == 0) {
                UseNamedTemporariesForTesting(c.named);
                _exit(WriteFileSafely(f, next) ? 0 : 1);
            }
            return pid;
        };
        const long long micros = TimeWholeRewrite(rewrite);
        ASSERT_GE(micros, 0);
        std::string current = b;
        int sawOld = 0, sawNew = 0, restored = 0;
        for (int i = 0; i < c.kills; ++i) {
            SCOPED_TRACE("kill " + std::to_string(i));
            next = current == a ? b : a;
            ASSERT_TRUE(KillPartWay(rewrite, micros, random));

            const RecoveryReport report = RecoverInterruptedWrites();
            EXPECT_TRUE(report.unresolved.empty());
            restored += report.restored;
            std::string now, other;
            ASSERT_TRUE(ReadFileBytes(f, now));
            const bool isOld = now == current, isNew = now == next;
            EXPECT_TRUE(isOld || isNew) << "size " << now.size();
            if (c.hardLinked) {
                ASSERT_TRUE(ReadFileBytes(t / "link.txt", other));
                EXPECT_TRUE(other == now);
            }
            EXPECT_EQ(Entries(t.path()), file.names);
            EXPECT_TRUE(Entries(RescueFolder()).empty());
            sawOld += isOld;
            sawNew += isNew;
            if (isNew) current = next;
        }
        PrintKills(c, micros, sawOld, restored, sawNew);
    }
}

// Records left by programs that were killed at chosen points.
TEST_F(RecoveryTest, MendsWhatDeadProgramsLeftAndNothingOfRunningOnes) {
    TempFolder t;
    const std::string f = t.Write("a.txt", "old contents\n");
    const std::string g = t.Write("b.txt", "old too\n");
    const std::string h = t.Write("c.txt", "gone later\n");
    struct stat before{};
    ASSERT_EQ(stat(f.c_str(), &before), 0);
    // Killed while writing in place: half the new bytes are in.
    ASSERT_EQ(InChild([&] {
                  const int fd = open(f.c_str(), O_RDWR);
                  WriteRecord record;
                  if (!record.StartInPlace(f, fd)) return false;
                  _exit(pwrite(fd, "NEW", 3, 0) == 3 ? 0 : 1);
              }),
              0);
    // Killed after the new content was complete.
    ASSERT_EQ(InChild([&] {
                  const int fd = open(g.c_str(), O_RDWR);
                  WriteRecord record;
                  if (!record.StartInPlace(g, fd) || pwrite(fd, "new!\n", 5, 0) != 5 ||
                      ftruncate(fd, 5) != 0 || !record.MarkWritten())
                      return false;
                  _exit(0);
              }),
              0);
    // Killed while writing in place a file that another then replaced.
    ASSERT_EQ(InChild([&] {
                  const int fd = open(h.c_str(), O_RDWR);
                  WriteRecord record;
                  if (!record.StartInPlace(h, fd)) return false;
                  _exit(0);
              }),
              0);
    ASSERT_EQ(unlink(h.c_str()), 0);
    t.Write("c.txt", "someone else's\n");
    // Killed between naming the new file and renaming it.
    const std::string temp = t / ".a.txt.ferro-Kill01";
    ASSERT_EQ(InChild([&] {
                  WriteRecord record;
                  if (!record.StartReplace(f, temp)) return false;
                  t.Write(".a.txt.ferro-Kill01", "new");
                  _exit(0);
              }),
              0);
    // An old temporary from before records were kept, and one this very
    // program is writing now.
    t.Write(".b.txt.ferro-Old123", "stale");
    t.SetModified(".b.txt.ferro-Old123", 1341130500);
    WriteRecord mine;
    ASSERT_TRUE(mine.StartReplace(g, t / ".b.txt.ferro-Mine12"));
    t.Write(".b.txt.ferro-Mine12", "being written");
    t.SetModified(".b.txt.ferro-Mine12", 1341130500);

    const RecoveryReport report = RecoverInterruptedWrites();
    EXPECT_EQ(report.restored, 1);
    EXPECT_EQ(report.completed, 1);
    EXPECT_EQ(report.temporariesRemoved, 2);
    EXPECT_EQ(report.unresolved, std::vector<std::string>{h});
    EXPECT_EQ(t.Read("a.txt"), "old contents\n");
    struct stat after{};
    ASSERT_EQ(stat(f.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(t.Read("b.txt"), "new!\n");
    EXPECT_EQ(t.Read("c.txt"), "someone else's\n");
    EXPECT_EQ(Entries(t.path()),
              (std::vector<std::string>{".b.txt.ferro-Mine12", "a.txt", "b.txt", "c.txt"}));
    // Only the unresolved rewrite keeps its record and rescue copy, besides
    // this program's own lock and record.
    EXPECT_EQ(Entries(RescueFolder()).size(), 4u);

    // Nothing more to do: a second recovery changes nothing.
    ASSERT_EQ(unlink((t / ".b.txt.ferro-Mine12").c_str()), 0);
    mine.Finish();
    const RecoveryReport again = RecoverInterruptedWrites();
    EXPECT_EQ(again.restored + again.completed + again.temporariesRemoved, 0);
    EXPECT_EQ(again.unresolved, std::vector<std::string>{h});
}

}  // namespace
}  // namespace ferro
