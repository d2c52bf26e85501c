// The desktop trash: where files go, the record that leads them back, and
// putting them back.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "common/temp_folder.h"
#include "common/file_testing.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/trash.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::Gbk;
using testing::ScopedEnv;
using testing::TempFolder;
using Outcome = TrashResult::Outcome;

std::string ReadDisk(const std::string& gbkPath) {
    std::string bytes;
    ReadFileBytes(gbkPath, bytes);
    return bytes;
}

class TrashTest : public ::testing::Test {
protected:
    TempFolder data_;
    ScopedEnv env_{"XDG_DATA_HOME", data_.path()};
    std::string Trash() const { return data_.path() + "/Trash"; }
};

TEST_F(TrashTest, FilesGoToTheHomeTrashWithARecordThatLeadsBack) {
    TempFolder t;
    const std::string f = t.Write(Gbk("中文 报告.txt"), "contents");
    const TrashResult r = MoveToTrash(f);
    ASSERT_EQ(r.outcome, Outcome::Trashed);
    EXPECT_FALSE(t.Exists(Gbk("中文 报告.txt")));
    EXPECT_EQ(r.item.original, f);
    EXPECT_EQ(r.item.file, Trash() + "/files/" + Gbk("中文 报告.txt"));
    EXPECT_EQ(r.item.info, Trash() + "/info/" + Gbk("中文 报告.txt") + ".trashinfo");
    EXPECT_EQ(ReadDisk(r.item.file), "contents");
    // The path as URL-escaped UTF-8, the time as local time.
    const std::regex record("\\[Trash Info\\]\nPath=" + t.path() +
                            "/%E4%B8%AD%E6%96%87%20%E6%8A%A5%E5%91%8A\\.txt\n"
                            "DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    const std::string info = ReadDisk(r.item.info);
    EXPECT_TRUE(std::regex_match(info, record)) << info;

    ASSERT_TRUE(RestoreFromTrash(r.item));
    EXPECT_EQ(t.Read(Gbk("中文 报告.txt")), "contents");
    EXPECT_TRUE(Entries(Trash() + "/files").empty());
    EXPECT_TRUE(Entries(Trash() + "/info").empty());
}

TEST_F(TrashTest, ClashesGetNewNamesAndRestoringNeverReplaces) {
    TempFolder t;
    const std::string f = t / "a.txt";
    t.Write("a.txt", "first");
    const TrashResult first = MoveToTrash(f);
    t.Write("a.txt", "second");
    const TrashResult second = MoveToTrash(f);
    // A file someone left in the trash without a record holds its name too.
    ASSERT_TRUE(WriteFileSafely(Trash() + "/files/a (3).txt", "stray"));
    t.Write("a.txt", "third");
    const TrashResult third = MoveToTrash(f);
    ASSERT_EQ(first.outcome, Outcome::Trashed);
    ASSERT_EQ(second.outcome, Outcome::Trashed);
    ASSERT_EQ(third.outcome, Outcome::Trashed);
    EXPECT_EQ(second.item.file, Trash() + "/files/a (2).txt");
    EXPECT_EQ(third.item.file, Trash() + "/files/a (4).txt");
    EXPECT_EQ(ReadDisk(second.item.file), "second");
    EXPECT_EQ(Entries(Trash() + "/info"),
              (std::vector<std::string>{"a (2).txt.trashinfo", "a (4).txt.trashinfo",
                                        "a.txt.trashinfo"}));

    ASSERT_TRUE(RestoreFromTrash(second.item));
    EXPECT_FALSE(RestoreFromTrash(first.item));
    EXPECT_EQ(LastFsProblem(), FsProblem::Exists);
    EXPECT_EQ(t.Read("a.txt"), "second");
    EXPECT_EQ(ReadDisk(first.item.file), "first");
    EXPECT_FALSE(ReadDisk(first.item.info).empty());

    // A name too long for its record is shortened in the trash.
    const std::string longName = std::string(250, 'n') + ".txt";
    t.Write(longName, "long");
    const TrashResult shortened = MoveToTrash(t / longName);
    ASSERT_EQ(shortened.outcome, Outcome::Trashed);
    EXPECT_EQ(ExtractFileName(shortened.item.info).size(), 255u);
    ASSERT_TRUE(RestoreFromTrash(shortened.item));
    EXPECT_EQ(t.Read(longName), "long");
}

TEST_F(TrashTest, RefusesReadOnlyFilesFoldersAndMissingFiles) {
    TempFolder t;
    t.Write("ro.txt", "keep");
    t.SetMode("ro.txt", 0444);
    t.MakeFolder("dir");
    struct Case {
        const char* name;
        std::string path;
        FsProblem why;
    } const cases[] = {
        {"read-only", t / "ro.txt", FsProblem::ReadOnly},
        {"folder", t / "dir", FsProblem::NotAFile},
        {"missing", t / "missing.txt", FsProblem::Missing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrashResult r = MoveToTrash(c.path);
        EXPECT_EQ(r.outcome, Outcome::Failed);
        EXPECT_EQ(r.problem, c.why);
    }
    EXPECT_EQ(t.Read("ro.txt"), "keep");
    EXPECT_TRUE(Entries(Trash() + "/files").empty());
}

// Other file systems have a trash at their top. Needs a mount namespace of
// the test's own.
TEST_F(TrashTest, OtherFileSystemsUseTheTrashAtTheirTop) {
    TempFolder t;
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "cannot mount here";
    const std::string top = t.MakeFolder("mnt");
    ASSERT_EQ(mount("tmpfs", top.c_str(), "tmpfs", 0, "mode=0755"), 0);
    const std::string uid = std::to_string(geteuid());
    t.Write("mnt/sub/a.txt", "a");
    const TrashResult own = MoveToTrash(top + "/sub/a.txt");
    ASSERT_EQ(own.outcome, Outcome::Trashed);
    EXPECT_EQ(own.item.file, top + "/.Trash-" + uid + "/files/a.txt");
    // Relative to the top there.
    EXPECT_NE(ReadDisk(own.item.info).find("\nPath=sub/a.txt\n"), std::string::npos);
    ASSERT_TRUE(RestoreFromTrash(own.item));

    // A user who may not make a trash at the top has none there.
    ASSERT_EQ(chmod(t.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((top + "/sub").c_str(), 0777), 0);
    EXPECT_EQ(testing::AsUser(65534, 65534, [&] {
                  return MoveToTrash(top + "/sub/a.txt").outcome == Outcome::NoTrash;
              }),
              0);
    EXPECT_TRUE(FileExists(top + "/sub/a.txt"));

    // A shared .Trash with the sticky bit has a folder per user.
    ASSERT_EQ(mkdir((top + "/.Trash").c_str(), 01777), 0);
    const TrashResult shared = MoveToTrash(top + "/sub/a.txt");
    ASSERT_EQ(shared.outcome, Outcome::Trashed);
    EXPECT_EQ(shared.item.file, top + "/.Trash/" + uid + "/files/a.txt");
    ASSERT_TRUE(RestoreFromTrash(shared.item));

    umount(top.c_str());
}

}  // namespace
}  // namespace ferro
