// Safe writes and copies: every property of a file survives them, folders
// the user cannot write into are handled by writing in place, old bytes are
// kept until the new ones are complete, failures are reported and leave
// nothing behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "common/file_testing.h"
#include "platform/dosattrib.h"
#include "platform/fs.h"
#include "platform/rescue.h"

namespace ferro {
namespace {

using testing::AclsWork;
using testing::AsUser;
using testing::DiskFullAfter;
using testing::Dress;
using testing::Entries;
using testing::Properties;
using testing::ScopedEnv;
using testing::Stat;
using testing::TempFolder;
using testing::Xattr;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr uid_t kSomeoneElse = 4242;

// What the rescue folder holds besides the locks of running programs.
std::vector<std::string> RescueLeftovers() {
    std::vector<std::string> left;
    for (const std::string& n : Entries(RescueFolder())) {
        if (n.size() < 5 || n.substr(n.size() - 5) != ".lock") left.push_back(n);
    }
    return left;
}

// A state folder of the test's own, where the rescue folder goes.
class SafeWriteTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
};

TEST_F(SafeWriteTest, RewritesKeepOwnerModeAclAndAttributes) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
    TempFolder t;
    const bool acl = AclsWork(t.path());
    struct Case {
        const char* name;
        bool hardLinked;  // written in place
        bool named;       // temporary files with names
        uid_t uid;
        gid_t gid;
        mode_t mode;
    };
    const Case cases[] = {
        {"setuid and setgid, someone else's", false, false, kNobody, kNogroup, 06755},
        {"private file of someone else", false, false, kNobody, kNogroup, 0640},
        {"sticky bit", false, false, kSomeoneElse, kSomeoneElse, 01644},
        {"without unnamed temporary files", false, true, kNobody, kNogroup, 06755},
        {"hard-linked, setuid", true, false, kNobody, kNogroup, 06755},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseNamedTemporariesForTesting(c.named);
        const std::string f = t.Write("a.txt", "old contents\n");
        if (c.hardLinked) {
            ASSERT_EQ(link(f.c_str(), (t / "b.txt").c_str()), 0);
        }
        ASSERT_TRUE(Dress(f, c.uid, c.gid, c.mode, acl));
        const Properties before = Properties::Of(f);
        ASSERT_EQ(before.mode, c.mode);

        ASSERT_TRUE(WriteFileSafely(f, "new contents\n"));
        EXPECT_EQ(t.Read("a.txt"), "new contents\n");
        EXPECT_EQ(Properties::Of(f), before);
        if (c.hardLinked) {
            EXPECT_EQ(t.Read("b.txt"), "new contents\n");
            EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
            unlink((t / "b.txt").c_str());
        } else {
            EXPECT_EQ(Entries(t.path()), std::vector<std::string>{"a.txt"});
        }
        EXPECT_TRUE(RescueLeftovers().empty());
        unlink(f.c_str());
    }
    UseNamedTemporariesForTesting(false);
}

TEST_F(SafeWriteTest, BackupCopiesCarryOwnerModeAclAndAttributes) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
    TempFolder t;
    const bool acl = AclsWork(t.path());
    const std::string f = t.Write("a.txt", "contents\n");
    t.SetModified("a.txt", 1341130500);
    ASSERT_TRUE(SetFileTimes(f, 131000000000000000LL, std::nullopt, std::nullopt));
    ASSERT_TRUE(Dress(f, kNobody, kNogroup, 0640, acl));
    t.Write("a.txt.bak", "older backup");  // root's, replaced
    const Properties source = Properties::Of(f);

    ASSERT_TRUE(CopyFile(f, t / "a.txt.bak", false));
    const std::string bak = t / "a.txt.bak";
    EXPECT_EQ(t.Read("a.txt.bak"), "contents\n");
    EXPECT_EQ(Properties::Of(bak), source);
    EXPECT_EQ(Stat(bak).st_mtime, 1341130500);
    FileTimes times;
    ASSERT_TRUE(GetFileTimes(bak, times));
    EXPECT_NE(times.creation, 131000000000000000LL);  // a copy is a new file
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a.txt", "a.txt.bak"}));

    // Special bits come last, after the owner that would clear them.
    ASSERT_EQ(chmod(f.c_str(), 06755), 0);
    ASSERT_TRUE(CopyFile(f, t / "fresh.bak", true));
    EXPECT_EQ(Properties::Of(t / "fresh.bak"), Properties::Of(f));
}

TEST_F(SafeWriteTest, CopiesThatFailSayFalseAndLeaveTheTargetAsItWas) {
    TempFolder t;
    const std::string src = t.Write("a.txt", std::string(256 * 1024, 'x'));
    const std::string longName(255, 'n');
    const std::string longFile = t.Write(longName, "long");
    t.MakeFolder("folder.txt.bak");
    t.Write("ro.txt.bak", "read-only backup");
    t.SetMode("ro.txt.bak", 0444);
    t.Write("full.txt.bak", "older backup");
    struct Case {
        const char* name;
        std::string from, to;
        FsProblem why;
        bool diskFull = false;
    };
    const Case cases[] = {
        {"target is a folder", src, t / "folder.txt.bak", FsProblem::NotAFile},
        {"target name too long", longFile, longFile + ".bak", FsProblem::NoSpace},
        {"target read-only", src, t / "ro.txt.bak", FsProblem::ReadOnly},
        {"source missing", t / "missing.txt", t / "missing.txt.bak", FsProblem::Missing},
        {"source is a folder", t.path(), t / "x.bak", FsProblem::NotAFile},
        {"disk full half-way", src, t / "full.txt.bak", FsProblem::NoSpace, true},
    };
    const std::vector<std::string> before = Entries(t.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<DiskFullAfter> full;
        if (c.diskFull) full.emplace(64 * 1024);
        EXPECT_FALSE(CopyFile(c.from, c.to, false));
        full.reset();
        EXPECT_EQ(LastFsProblem(), c.why);
        EXPECT_EQ(Entries(t.path()), before);
    }
    EXPECT_EQ(t.Read("ro.txt.bak"), "read-only backup");
    EXPECT_EQ(t.Read("full.txt.bak"), "older backup");
}

// A user rewriting a file they may write, in a folder that does not let
// them replace it.
TEST_F(SafeWriteTest, FilesInFoldersTheUserCannotWriteAreWrittenInPlace) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    TempFolder t;
    ASSERT_EQ(chmod(t.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(state_.path().c_str(), 0777), 0);
    struct Case {
        const char* name;
        const char* folder;
        mode_t folderMode;
        uid_t owner;  // of the file and its old backup
    };
    const Case cases[] = {
        {"sticky folder, someone else's file", "sticky", 01777, kSomeoneElse},
        {"folder the user cannot write", "closed", 0755, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sub = c.folder;
        const std::string f = t.Write(sub + "/a.txt", "old\n");
        const std::string bak = t.Write(sub + "/a.txt.bak", "older backup\n");
        for (const std::string& p : {f, bak}) {
            ASSERT_EQ(chown(p.c_str(), c.owner, c.owner), 0);
            ASSERT_EQ(chmod(p.c_str(), 0666), 0);
        }
        ASSERT_EQ(chmod((t / sub).c_str(), c.folderMode), 0);

        EXPECT_EQ(AsUser(kNobody, kNogroup, [&] {
                      return CopyFile(f, bak, false) && WriteFileSafely(f, "new\n");
                  }),
                  0);
        EXPECT_EQ(t.Read(sub + "/a.txt"), "new\n");
        EXPECT_EQ(t.Read(sub + "/a.txt.bak"), "old\n");
        for (const std::string& p : {f, bak}) {
            EXPECT_EQ(Stat(p).st_uid, c.owner) << p;
            EXPECT_EQ(Stat(p).st_mode & 07777, 0666u) << p;
        }
        EXPECT_EQ(Entries(t / sub), (std::vector<std::string>{"a.txt", "a.txt.bak"}));
        EXPECT_TRUE(RescueLeftovers().empty());
    }
}

// Records what the keeper was asked, and what the file held at that moment.
class RecordingKeeper : public OldContentKeeper {
public:
    RecordingKeeper(std::string copy, bool agree) : copy_(std::move(copy)), agree_(agree) {}
    bool Keep(const std::string& path, bool inPlace) override {
        calls.push_back({path, inPlace});
        std::string bytes;
        ReadFileBytes(path, bytes);
        seen.push_back(bytes);
        if (agree_ && inPlace && !copy_.empty() && !WriteFileSafely(copy_, bytes)) return false;
        return agree_;
    }
    std::string KeptCopy(const std::string&) override { return copy_; }

    std::vector<std::pair<std::string, bool>> calls;
    std::vector<std::string> seen;

private:
    std::string copy_;
    bool agree_;
};

TEST_F(SafeWriteTest, OldBytesAreKeptBeforeTheFirstOneChanges) {
    TempFolder t;
    const std::string old = std::string(300 * 1024, 'o');
    // What a write sees in the rescue folder while it produces the new bytes.
    std::vector<std::string> during;
    std::string rescued;
    auto produce = [&](const std::string& bytes) {
        return [&, bytes](const ChunkWriter& write) {
            during = RescueLeftovers();
            for (const std::string& n : during) {
                if (n.size() > 4 && n.substr(n.size() - 4) == ".old") {
                    std::string b;
                    ReadFileBytes(RescueFolder() + "/" + n, b);
                    rescued = b;
                }
            }
            return write(bytes);
        };
    };

    // In place, without a keeper: a flushed rescue copy and its record.
    const std::string f = t.Write("a.txt", old);
    ASSERT_EQ(link(f.c_str(), (t / "b.txt").c_str()), 0);
    ASSERT_TRUE(WriteFileSafely(f, produce("new\n")));
    EXPECT_EQ(during.size(), 2u);
    EXPECT_EQ(rescued, old);
    EXPECT_EQ(t.Read("b.txt"), "new\n");
    EXPECT_TRUE(RescueLeftovers().empty());

    // In place, failing half-way: the old bytes come back to both names.
    {
        DiskFullAfter full(64 * 1024);
        EXPECT_FALSE(WriteFileSafely(f, std::string(200 * 1024, 'n')));
    }
    EXPECT_EQ(LastFsProblem(), FsProblem::NoSpace);
    EXPECT_EQ(t.Read("b.txt"), "new\n");
    EXPECT_TRUE(RescueLeftovers().empty());

    // A keeper keeps them instead: no rescue copy, and a failed write
    // reads them back from the keeper's copy.
    ASSERT_TRUE(WriteFileSafely(f, old));
    RecordingKeeper keeper(t / "kept.copy", true);
    {
        DiskFullAfter full(400 * 1024);
        EXPECT_FALSE(WriteFileSafely(f, produce(std::string(500 * 1024, 'n')), &keeper));
    }
    EXPECT_TRUE(during.empty());
    EXPECT_EQ(keeper.calls, (std::vector<std::pair<std::string, bool>>{{f, true}}));
    EXPECT_EQ(keeper.seen, std::vector<std::string>{old});
    EXPECT_EQ(t.Read("a.txt"), old);
    EXPECT_EQ(t.Read("b.txt"), old);

    // A replacement asks once, after the new file is complete and before
    // the old one goes; a keeper that says no stops the write.
    const std::string r = t.Write("r.txt", "replaced\n");
    RecordingKeeper agrees("", true), refuses("", false);
    ASSERT_TRUE(WriteFileSafely(r, "one\n", &agrees));
    EXPECT_EQ(agrees.calls, (std::vector<std::pair<std::string, bool>>{{r, false}}));
    EXPECT_EQ(agrees.seen, std::vector<std::string>{"replaced\n"});
    EXPECT_FALSE(WriteFileSafely(r, "two\n", &refuses));
    EXPECT_EQ(t.Read("r.txt"), "one\n");
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a.txt", "b.txt", "kept.copy", "r.txt"}));
    // A new file has no old content to keep.
    RecordingKeeper unused("", true);
    ASSERT_TRUE(WriteFileSafely(t / "n.txt", "n", &unused));
    EXPECT_TRUE(unused.calls.empty());
}

TEST_F(SafeWriteTest, NamedTemporariesAreGoneAfterSuccessAndFailure) {
    TempFolder t;
    UseNamedTemporariesForTesting(true);
    const std::string f = t.Write("a.txt", "old\n");
    t.SetMode("a.txt", 0640);
    ASSERT_TRUE(WriteFileSafely(f, "new\n"));
    ASSERT_TRUE(WriteFileSafely(t / "created.txt", "c"));
    {
        DiskFullAfter full(64 * 1024);
        EXPECT_FALSE(WriteFileSafely(f, std::string(200 * 1024, 'n')));
        EXPECT_FALSE(WriteFileSafely(t / "never.txt", std::string(200 * 1024, 'n')));
    }
    UseNamedTemporariesForTesting(false);
    EXPECT_EQ(t.Read("a.txt"), "new\n");
    EXPECT_EQ(Stat(f).st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a.txt", "created.txt"}));
    EXPECT_TRUE(RescueLeftovers().empty());
}

}  // namespace
}  // namespace ferro
