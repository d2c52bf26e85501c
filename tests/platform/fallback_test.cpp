// The fallbacks of the platform's file calls, with the failing calls of the
// disks that lack them injected (FAT, exFAT, NFS, shares), so that each runs
// on any machine: renames that never replace without the no-replace flag
// and without hard links, writes and copies where modes and extended
// attributes cannot be set, names a Windows disk refuses, and a rename that
// changes case alone cut short between its two steps.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <liburing.h>
#include <sys/ioctl.h>
#include <linux/msdos_fs.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "platform/disk.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/fs_entry.h"
#include "platform/rescue.h"
#include "platform/sys_calls.h"
#include "platform/trash.h"

namespace ferro {
namespace {

using sys::Calls;
using sys::ScopedSysCall;
using testing::Gbk;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::Xattr;

int NoFlag(int, const char*, int, const char*, unsigned) {
    errno = EINVAL;
    return -1;
}
int NoLink(const char*, const char*) {
    errno = EPERM;
    return -1;
}
int NoChmod(int, mode_t) {
    errno = ENOSYS;
    return -1;
}
int NoChown(int, uid_t, gid_t) {
    errno = ENOSYS;
    return -1;
}
int NoXattr(int, const char*, const void*, size_t, int) {
    errno = EOPNOTSUPP;
    return -1;
}

// How many plain renames were made (the last of the ways).
int g_plainRenames = 0;
int CountedRename(const char* from, const char* to) {
    ++g_plainRenames;
    return sys::Real().rename(from, to);
}

mode_t ModeOf(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class FallbackTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder t_;
    void TearDown() override { io::ForgetDiskTraitsForTesting(); }
};

// Each way a rename can be made: the flag, a link, a check and a plain
// rename. Each gives the name, never replaces, and leaves both files whole
// when the name is taken.
TEST_F(FallbackTest, RenamesNeverReplaceWhicheverWayTheyAreMade) {
    struct Case {
        const char* name;
        bool noFlag, noLink;
        int plainRenames;  // of the three renames that succeed (one of a folder)
    } cases[] = {
        {"no-replace flag", false, false, 0},
        {"hard link", true, false, 1},  // folders have no links
        {"check, then rename", true, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<ScopedSysCall<decltype(Calls::renameat2)>> noFlag;
        std::optional<ScopedSysCall<decltype(Calls::link)>> noLink;
        if (c.noFlag) noFlag.emplace(&Calls::renameat2, NoFlag);
        if (c.noLink) noLink.emplace(&Calls::link, NoLink);
        ScopedSysCall counted(&Calls::rename, CountedRename);
        g_plainRenames = 0;
        TempFolder f;
        f.Write("a.txt", "A");
        f.Write("taken.txt", "T");
        f.Write(Gbk("中文.txt"), "C");
        f.MakeFolder("dir");

        EXPECT_TRUE(MoveFile(f / "a.txt", f / "b.txt"));
        EXPECT_FALSE(f.Exists("a.txt"));
        EXPECT_EQ(f.Read("b.txt"), "A");

        EXPECT_FALSE(MoveFile(f / "b.txt", f / "taken.txt"));
        EXPECT_EQ(LastFsProblem(), FsProblem::Exists);
        EXPECT_EQ(f.Read("b.txt"), "A");
        EXPECT_EQ(f.Read("taken.txt"), "T");

        EXPECT_TRUE(MoveFile(f / Gbk("中文.txt"), f / Gbk("报告.txt")));
        EXPECT_EQ(f.Read(Gbk("报告.txt")), "C");

        EXPECT_TRUE(MoveFile(f / "dir", f / "dir2"));
        EXPECT_TRUE(DirectoryExists(f / "dir2"));
        EXPECT_FALSE(MoveFile(f / "dir2", f / "taken.txt"));
        EXPECT_EQ(LastFsProblem(), FsProblem::Exists);

        EXPECT_FALSE(MoveFile(f / "missing.txt", f / "c.txt"));
        EXPECT_EQ(LastFsProblem(), FsProblem::Missing);
        EXPECT_EQ(g_plainRenames, c.plainRenames);
    }
}

// The trash and the safe write's new files rename the same way.
TEST_F(FallbackTest, NewFilesAndTheTrashWorkWithoutFlagOrLinks) {
    ScopedSysCall noFlag(&Calls::renameat2, NoFlag);
    ScopedSysCall noLink(&Calls::link, NoLink);
    UseNamedTemporariesForTesting(true);
    EXPECT_TRUE(WriteFileSafely(t_ / "new.txt", "new"));
    EXPECT_EQ(t_.Read("new.txt"), "new");
    EXPECT_TRUE(WriteFileSafely(t_ / "new.txt", "newer"));
    EXPECT_EQ(t_.Read("new.txt"), "newer");
    UseNamedTemporariesForTesting(false);
    EXPECT_EQ(testing::Entries(t_.path()), std::vector<std::string>{"new.txt"});

    TempFolder data;
    ScopedEnv dataHome("XDG_DATA_HOME", data.path());
    const TrashResult trashed = MoveToTrash(t_ / "new.txt");
    ASSERT_EQ(trashed.outcome, TrashResult::Outcome::Trashed);
    EXPECT_FALSE(t_.Exists("new.txt"));
    t_.Write("new.txt", "in the way");
    EXPECT_FALSE(RestoreFromTrash(trashed.item));
    EXPECT_EQ(LastFsProblem(), FsProblem::Exists);
    EXPECT_EQ(t_.Read("new.txt"), "in the way");
    ASSERT_TRUE(DeleteFile(t_ / "new.txt"));
    EXPECT_TRUE(RestoreFromTrash(trashed.item));
    EXPECT_EQ(t_.Read("new.txt"), "newer");
}

// A disk without modes or extended attributes: the write goes on where the
// old file had nothing there to keep, and is refused, with the file as it
// was, where it had.
TEST_F(FallbackTest, WritesGoOnWhereNothingWouldBeLost) {
    ScopedSysCall noChmod(&Calls::fchmod, NoChmod);
    ScopedSysCall noChown(&Calls::fchown, NoChown);
    ScopedSysCall noXattr(&Calls::fsetxattr, NoXattr);
    struct Case {
        const char* name;
        mode_t mode;
        bool userXattr;
        bool goesOn;
    } cases[] = {
        {"the mode new files get, no attributes", 0600, false, true},
        {"another mode", 0644, false, false},
        {"an attribute of the user's", 0600, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder f;
        const std::string path = f.Write("a.txt", "old");
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        if (c.userXattr) {
            ASSERT_EQ(setxattr(path.c_str(), "user.tag", "x", 1, 0), 0);
        }
        EXPECT_EQ(WriteFileSafely(path, "new"), c.goesOn);
        EXPECT_EQ(f.Read("a.txt"), c.goesOn ? "new" : "old");
        EXPECT_EQ(ModeOf(path), c.mode);
        if (c.userXattr) {
            EXPECT_EQ(Xattr(path, "user.tag"), std::optional<std::string>("x"));
        }
        // The backup copy follows the same rule.
        EXPECT_EQ(CopyFile(path, path + ".bak", false), c.goesOn);
        EXPECT_EQ(f.Exists("a.txt.bak"), c.goesOn);
        if (c.goesOn) {
            EXPECT_EQ(f.Read("a.txt.bak"), "new");
        }
        EXPECT_EQ(testing::Entries(f.path()).size(), c.goesOn ? 2u : 1u);  // nothing left behind
    }
}

// Names a disk of Windows does not take are refused before anything is
// asked of it; elsewhere they are names like any other.
TEST_F(FallbackTest, NamesAWindowsDiskRefuses) {
    struct stat st{};
    ASSERT_EQ(stat(t_.path().c_str(), &st), 0);
    const std::string longAscii(256, 'x'), longest(255, 'x');
    std::string longChinese;
    for (int i = 0; i < 128; ++i) longChinese += Gbk("中");
    struct Case {
        std::string name;
        bool windows, fatAscii;  // taken on a Windows disk, on the ASCII-only driver
    } cases[] = {
        {"plain.txt", true, true},
        {"a:b.txt", false, false},
        {"a*b", false, false},
        {"what?", false, false},
        {"a\"b", false, false},
        {"a<b>", false, false},
        {"a|b", false, false},
        {"a\\b", false, false},
        {"trailing.", false, false},
        {"trailing ", false, false},
        {longest, true, true},
        {longAscii, false, false},
        {Gbk("报告.txt"), true, false},
        {longChinese, true, false},  // 128 UTF-16 units, 256 bytes
        {Gbk("乗"), true, false},     // its second byte, 0x5C, is no backslash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        io::ForgetDiskTraitsForTesting();
        EXPECT_TRUE(NameAllowedOnDisk(t_.path(), c.name));
        io::DiskTraits windows;
        windows.windowsNames = true;
        io::SetDiskTraitsForTesting(st.st_dev, windows);
        EXPECT_EQ(NameAllowedOnDisk(t_.path(), c.name), c.windows);
        windows.asciiNames = true;
        io::SetDiskTraitsForTesting(st.st_dev, windows);
        EXPECT_EQ(NameAllowedOnDisk(t_.path(), c.name), c.fatAscii);
    }
    // A rename to a refused name changes nothing and says why.
    io::DiskTraits windows;
    windows.windowsNames = true;
    io::SetDiskTraitsForTesting(st.st_dev, windows);
    t_.Write("a.txt", "A");
    EXPECT_FALSE(MoveFile(t_ / "a.txt", t_ / "a:b.txt"));
    EXPECT_EQ(LastFsProblem(), FsProblem::NameRefused);
    EXPECT_TRUE(t_.Exists("a.txt"));
    EXPECT_FALSE(t_.Exists("a:b.txt"));
    // The disk's own refusal of a name that looked fine reads the same.
    ScopedSysCall noFlag(&Calls::renameat2, NoFlag);
    ScopedSysCall noLink(&Calls::link, NoLink);
    ScopedSysCall noRename(&Calls::rename, NoLink);
    EXPECT_FALSE(MoveFile(t_ / "a.txt", t_ / Gbk("报告.txt")));
    EXPECT_EQ(LastFsProblem(), FsProblem::NameRefused);
    EXPECT_TRUE(t_.Exists("a.txt"));
}

// A kill between the two steps of a rename that changes case leaves the
// file under the temporary name made from the target; putting it back
// gives it its old name, and only then.
TEST_F(FallbackTest, ACaseRenameCutShortIsPutBack) {
    const std::string from = t_ / "Report.TXT", to = t_ / "report.txt";
    std::string diskTo;
    ASSERT_TRUE(io::ToDisk(to, diskTo));
    const std::string temp = io::CaseRenameTemporary(diskTo);
    EXPECT_EQ(temp, t_.path() + "/.report.txt.ferro-case");
    // Nothing to do while either name is there or no temporary is.
    EXPECT_FALSE(PutBackCaseRename(from, to));
    t_.Write(".report.txt.ferro-case", "R");
    t_.Write("report.txt", "other");
    EXPECT_FALSE(PutBackCaseRename(from, to));
    ASSERT_TRUE(DeleteFile(to));
    EXPECT_TRUE(PutBackCaseRename(from, to));
    EXPECT_EQ(t_.Read("Report.TXT"), "R");
    EXPECT_FALSE(t_.Exists(".report.txt.ferro-case"));
    // The temporary of a long name stays within the length of a name.
    std::string longName;
    for (int i = 0; i < 84; ++i) longName += "中";  // 252 bytes of UTF-8
    const std::string longTemp = io::CaseRenameTemporary("/d/" + longName);
    EXPECT_LE(io::NameOf(longTemp).size(), 255u);
    EXPECT_EQ(longTemp.substr(longTemp.size() - 11), ".ferro-case");
}

// Two names of one folder are one entry only where they differ in case and
// no entry is spelled as the second: a hard link under another case, or a
// second file, is another entry.
TEST_F(FallbackTest, TheSameEntryUnderAnotherCase) {
    t_.Write("Report.TXT", "R");
    std::string a, b, c;
    ASSERT_TRUE(io::ToDisk(t_ / "Report.TXT", a));
    ASSERT_TRUE(io::ToDisk(t_ / "report.txt", b));
    ASSERT_TRUE(io::ToDisk(t_ / "other.txt", c));
    EXPECT_FALSE(io::SameEntry(a, b));  // nothing under the second name (case-sensitive disk)
    ASSERT_EQ(link(a.c_str(), b.c_str()), 0);
    EXPECT_FALSE(io::SameEntry(a, b));  // a second link, listed under its own name
    t_.Write("other.txt", "R");
    EXPECT_FALSE(io::SameEntry(a, c));  // not the same name in another case
    EXPECT_FALSE(MoveFile(t_ / "Report.TXT", t_ / "report.txt"));
    EXPECT_EQ(LastFsProblem(), FsProblem::Exists);
    EXPECT_TRUE(t_.Exists("Report.TXT"));
}

// The FAT driver's attribute calls, as a real vfat mount answers them:
// the bits per file, the directory bit merged in by the driver.
std::map<ino_t, uint32_t> g_fatBits;
int g_fatCalls = 0;
int FakeFatIoctl(int fd, unsigned long request, void* argument) {
    struct stat st{};
    if (fstat(fd, &st) != 0) return -1;
    ++g_fatCalls;
    auto* bits = static_cast<uint32_t*>(argument);
    const uint32_t dir = S_ISDIR(st.st_mode) ? ATTR_DIR : 0;
    if (request == FAT_IOCTL_GET_ATTRIBUTES) {
        const auto it = g_fatBits.find(st.st_ino);
        *bits = (it == g_fatBits.end() ? (dir ? 0 : ATTR_ARCH) : it->second) | dir;
        return 0;
    }
    if (request == FAT_IOCTL_SET_ATTRIBUTES) {
        g_fatBits[st.st_ino] = *bits & ~ATTR_DIR;
        return 0;
    }
    errno = ENOTTY;
    return -1;
}
int NoIoctl(int, unsigned long, void*) {
    errno = ENOTTY;
    return -1;
}

// On FAT the attributes are the disk's own bits: set and read back by
// path, in listings and in the walk, never through user.DOSATTRIB.
TEST_F(FallbackTest, FatAttributesAreTheDisksOwnBits) {
    struct stat st{};
    ASSERT_EQ(stat(t_.path().c_str(), &st), 0);
    io::DiskTraits fat;
    fat.windowsNames = true;
    fat.attributes = io::DiskTraits::Attributes::FatIoctl;
    io::SetDiskTraitsForTesting(st.st_dev, fat);
    ScopedSysCall fake(&Calls::ioctl, FakeFatIoctl);
    g_fatBits.clear();
    const std::string file = t_.Write("a.txt", "A");
    t_.MakeFolder("sub");

    EXPECT_EQ(GetFileAttributes(file), attr::Archive);
    EXPECT_EQ(GetFileAttributes(t_ / "sub"), attr::Directory);
    EXPECT_TRUE(SetFileAttributes(file, attr::Hidden | attr::System));
    EXPECT_EQ(GetFileAttributes(file), attr::Hidden | attr::System);
    EXPECT_FALSE(Xattr(file, "user.DOSATTRIB"));
    EXPECT_TRUE(SetFileAttributes(t_ / "sub", attr::Hidden));
    EXPECT_EQ(GetFileAttributes(t_ / "sub"), attr::Directory | attr::Hidden);
    EXPECT_TRUE(SetFileAttributes(file, attr::Normal));
    EXPECT_EQ(GetFileAttributes(file), attr::Normal);

    // A listing read a batch at a time shows the same bits.
    ASSERT_TRUE(SetFileAttributes(file, attr::Archive | attr::System));
    for (int i = 0; i < 6; ++i) t_.Write("more" + std::to_string(i) + ".txt");
    FolderReader reader;
    ASSERT_TRUE(reader.Open(t_.path()));
    std::vector<DirEntryView> views;
    DirEntryView v;
    while (reader.Next(v)) {
        if (v.name == "." || v.name == "..") continue;
        views.push_back(v);
    }
    std::vector<FindEntry> entries(views.size());
    std::unique_ptr<bool[]> ok(new bool[views.size()]);
    reader.StatMany(views.data(), views.size(), entries.data(), ok.get());
    for (std::size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(entries[i].name);
        ASSERT_TRUE(ok[i]);
        const uint32_t want = entries[i].name == "a.txt" ? attr::Archive | attr::System
                              : entries[i].name == "sub" ? attr::Directory | attr::Hidden
                                                         : attr::Archive;
        EXPECT_EQ(entries[i].attributes, want);
    }
    uint32_t entered = 0;
    ASSERT_TRUE(reader.Enter(DirItem{"sub", DirItem::Folder, "sub"}, entered));
    EXPECT_EQ(entered, attr::Directory | attr::Hidden);

    // A driver that does not answer: nothing is set, and the failure says so.
    ScopedSysCall none(&Calls::ioctl, NoIoctl);
    EXPECT_FALSE(SetFileAttributes(file, attr::Hidden));
}

// The walk's batched stat calls: one by one where the kernel reads a record
// by name in the open folder, through the ring where it can only read it
// through a path, and by the walk itself where the kernel has no ring,
// refuses every batch, or stops answering after the first. Each way every
// name is answered with the same entry (sizes, times, DOS attributes and a
// user-set created time from the record, links as reparse points, a
// Chinese name).
int g_ringBatches = 0;
int CountedRing(struct io_uring* ring, unsigned waitCount) {
    ++g_ringBatches;
    return sys::Real().io_uring_submit_and_wait(ring, waitCount);
}
int NoRing(unsigned, struct io_uring*, unsigned) { return -ENOSYS; }
int RefusedRing(struct io_uring*, unsigned) { return -EPERM; }
int RingStopsAfterOneBatch(struct io_uring* ring, unsigned waitCount) {
    return ++g_ringBatches == 1 ? sys::Real().io_uring_submit_and_wait(ring, waitCount) : -EIO;
}
long NoGetxattrat(int, const char*, unsigned, const char*, void*, size_t) {
    errno = ENOSYS;
    return -1;
}
long FilteredGetxattrat(int, const char*, unsigned, const char*, void*, size_t) {
    errno = EPERM;  // a sandbox's filter that does not know the call
    return -1;
}

std::vector<FindEntry> StatWholeFolder(const std::string& folder) {
    FolderReader reader;
    EXPECT_TRUE(reader.Open(folder));
    std::vector<DirEntryView> views;
    DirEntryView v;
    while (reader.Next(v))
        if (v.name != "." && v.name != "..") views.push_back(v);
    std::vector<FindEntry> entries(views.size());
    std::unique_ptr<bool[]> ok(new bool[views.size()]);
    reader.StatMany(views.data(), views.size(), entries.data(), ok.get());
    for (std::size_t i = 0; i < views.size(); ++i) EXPECT_TRUE(ok[i]) << entries[i].name;
    return entries;
}

bool KernelHasRing() {
    io_uring probe{};
    if (sys::Real().io_uring_queue_init(8, &probe, 0) != 0) return false;
    io_uring_queue_exit(&probe);
    return true;
}

TEST_F(FallbackTest, TheWalkStatsEveryNameWithOrWithoutTheRing) {
    // More names than one batch takes, so that a ring giving up halfway
    // leaves some for the walk, and enough for the calls made one by one to
    // be shared by two threads.
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) t_.Write("f" + std::to_string(i), std::string(i % 97, 'x'));
    ASSERT_TRUE(SetFileAttributes(t_ / "f3", attr::Hidden | attr::ReadOnly));
    ASSERT_TRUE(SetFileTimes(t_ / "f5", FileTime{130000000000000000LL}, std::nullopt, std::nullopt));
    const std::string chinese = t_.Write(Gbk("报告.txt"), "abc");
    ASSERT_TRUE(SetFileAttributes(chinese, attr::System));
    t_.MakeFolder("sub");
    ASSERT_TRUE(SetFileAttributes(t_ / "sub", attr::Hidden));
    ASSERT_EQ(symlink("f1", (t_ / "link").c_str()), 0);

    // What one thread finds; every way below (two threads where the calls
    // go one by one) finds the same.
    std::vector<FindEntry> want;
    {
        testing::ScopedEnv oneThread("FERRO_WORKERS", "1");
        want = StatWholeFolder(t_.path());
    }
    ASSERT_EQ(want.size(), std::size_t{kFiles + 3});
    std::map<std::string, const FindEntry*> byName;
    for (const FindEntry& e : want) byName[e.name] = &e;
    EXPECT_EQ(byName["f3"]->attributes, attr::Hidden | attr::ReadOnly);
    EXPECT_EQ(byName["f5"]->creationTime, 130000000000000000LL);
    EXPECT_EQ(byName["f96"]->size, 96);
    EXPECT_EQ(byName[Gbk("报告.txt")]->attributes, attr::System);
    EXPECT_EQ(byName["sub"]->attributes, attr::Directory | attr::Hidden);
    EXPECT_TRUE(byName["link"]->attributes & attr::ReparsePoint);

    const bool ring = KernelHasRing();
    struct Case {
        const char* what;
        long (*getxattrat)(int, const char*, unsigned, const char*, void*, size_t);
        int (*init)(unsigned, struct io_uring*, unsigned);
        int (*submit)(struct io_uring*, unsigned);
        bool throughRing;
    };
    const Case cases[] = {
        {"records read in the folder: one by one", nullptr, nullptr, CountedRing, false},
        {"records read by path: through the ring", NoGetxattrat, nullptr, CountedRing, ring},
        {"a sandbox refuses getxattrat", FilteredGetxattrat, nullptr, CountedRing, ring},
        {"no io_uring in the kernel", NoGetxattrat, NoRing, CountedRing, false},
        {"every batch refused", NoGetxattrat, nullptr, RefusedRing, false},
        {"the ring stops answering after one batch", NoGetxattrat, nullptr, RingStopsAfterOneBatch,
         ring},
    };
    const int folder = open(t_.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_ringBatches = 0;
        ScopedSysCall records(&Calls::getxattrat,
                              c.getxattrat ? c.getxattrat : sys::Real().getxattrat);
        if (!c.getxattrat && !entry::RecordsReadInFolder(folder))
            continue;  // an older kernel: it has no such way
        ScopedSysCall init(&Calls::io_uring_queue_init,
                           c.init ? c.init : sys::Real().io_uring_queue_init);
        ScopedSysCall submit(&Calls::io_uring_submit_and_wait, c.submit);
        const std::vector<FindEntry> got = StatWholeFolder(t_.path());
        EXPECT_EQ(g_ringBatches > 0, c.throughRing);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(want[i].name);
            EXPECT_EQ(got[i].name, want[i].name);
            EXPECT_EQ(got[i].attributes, want[i].attributes);
            EXPECT_EQ(got[i].size, want[i].size);
            EXPECT_EQ(got[i].creationTime, want[i].creationTime);
            // Reading a link's target touches the link's access time.
            if (!(want[i].attributes & attr::ReparsePoint))
                EXPECT_EQ(got[i].lastAccessTime, want[i].lastAccessTime);
            EXPECT_EQ(got[i].lastWriteTime, want[i].lastWriteTime);
        }
    }
    close(folder);
}

}  // namespace
}  // namespace ferro
