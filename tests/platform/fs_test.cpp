#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <vector>

#include "common/temp_folder.h"
#include "platform/dosattrib.h"
#include "platform/fs.h"

using ferro::testing::Gbk;
using ferro::testing::TempFolder;
namespace attr = ferro::attr;

namespace {

std::vector<std::string> Find(const std::string& pattern, uint32_t attrSet) {
    std::vector<std::string> names;
    ferro::FileFinder f;
    ferro::FindEntry e;
    for (bool ok = f.First(pattern, attrSet, e); ok; ok = f.Next(e)) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

constexpr uint32_t kFileSet = attr::ReadOnly | attr::Hidden | attr::System | attr::VolumeId |
                              attr::Directory | attr::Archive | attr::Normal |
                              attr::NotContentIndexed;

}  // namespace

TEST(Masks, MatchLikeWindows) {
    EXPECT_TRUE(ferro::MatchesMask("Report.TXT", "*.txt"));
    EXPECT_FALSE(ferro::MatchesMask("report.txt.bak", "*.txt"));
    EXPECT_TRUE(ferro::MatchesMask("a", "*.*"));
    EXPECT_TRUE(ferro::MatchesMask("noext", "*."));
    EXPECT_FALSE(ferro::MatchesMask("a.b", "*."));
    EXPECT_TRUE(ferro::MatchesMask(Gbk("中文.txt"), "??.txt"));  // a Chinese character is one '?'
    EXPECT_FALSE(ferro::MatchesMask(Gbk("中文.txt"), "???.txt"));
    EXPECT_TRUE(ferro::MatchesMask("abcabd", "*abd"));
    EXPECT_FALSE(ferro::MatchesMask("a.txt", " *.txt"));  // blanks are part of the mask
    EXPECT_FALSE(ferro::MatchesMask("a.txt", ""));
}

TEST(Finder, ListsMatchesAndHonoursTheAttributeSet) {
    TempFolder t;
    t.Write("a.txt", "1");
    t.Write(Gbk("报告.TXT"), "22");
    t.Write("b.ini");
    t.Write(".hidden.txt");
    t.MakeFolder("sub.txt");
    EXPECT_EQ(Find(t / "*.txt", kFileSet),
              (std::vector<std::string>{".hidden.txt", "a.txt", "sub.txt", Gbk("报告.TXT")}));
    // Without hidden and directory bits in the set, those entries stay out.
    EXPECT_EQ(Find(t / "*.txt", attr::Archive | attr::ReadOnly),
              (std::vector<std::string>{"a.txt", Gbk("报告.TXT")}));
    // "." and ".." come back as Windows gives them.
    auto all = Find(t / "*", kFileSet);
    EXPECT_TRUE(std::count(all.begin(), all.end(), ".") == 1);
    // A pattern without wildcards is a lookup of one name.
    EXPECT_EQ(Find(t / "b.ini", kFileSet), (std::vector<std::string>{"b.ini"}));
    EXPECT_TRUE(Find(t / "missing.ini", kFileSet).empty());
    EXPECT_TRUE(Find(t / "nofolder/*.txt", kFileSet).empty());
}

TEST(Finder, ReportsSizesTimesAndKinds) {
    TempFolder t;
    std::string big = t.Write("big.dat");
    ASSERT_EQ(truncate((t.path() + "/big.dat").c_str(), 5LL << 30), 0);  // sparse, 5 GB
    t.SetModified("big.dat", 1341130500);
    ASSERT_EQ(symlink("big.dat", (t.path() + "/link.dat").c_str()), 0);
    ASSERT_EQ(mkfifo((t.path() + "/pipe.dat").c_str(), 0600), 0);
    ferro::FindEntry e;
    ASSERT_TRUE(ferro::StatPath(big, e));
    EXPECT_EQ(e.size, 5LL << 30);
    EXPECT_EQ(e.lastWriteTime, 1341130500LL * 1000000000LL);
    EXPECT_EQ(e.attributes, attr::Archive);
    ASSERT_TRUE(ferro::StatPath(t / "link.dat", e));
    EXPECT_TRUE(e.attributes & attr::ReparsePoint);
    ASSERT_TRUE(ferro::StatPath(t / "pipe.dat", e));
    EXPECT_EQ(e.attributes, attr::Device);
    std::string data;
    EXPECT_FALSE(ferro::ReadFileBytes(t / "pipe.dat", data));  // and does not block
    ASSERT_TRUE(ferro::StatPath(t.path(), e));
    EXPECT_EQ(e.attributes, attr::Directory);
}

TEST(Attributes, PlainFilesAndFoldersAndTheDosRecord) {
    TempFolder t;
    std::string f = t.Write("a.txt", "x");
    std::string d = t.MakeFolder("dir");
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Archive);
    EXPECT_EQ(ferro::GetFileAttributes(t.Write(".profile")), attr::Archive | attr::Hidden);

    ASSERT_TRUE(ferro::SetFileAttributes(f, attr::Hidden | attr::System));
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Hidden | attr::System);
    ASSERT_TRUE(ferro::SetFileAttributes(f, attr::ReadOnly));
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::ReadOnly);
    // The read-only file's attributes can still be changed.
    ASSERT_TRUE(ferro::SetFileAttributes(f, attr::Archive));
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Archive);
    ASSERT_TRUE(ferro::SetFileAttributes(f, attr::Normal));
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Normal);

    ASSERT_TRUE(ferro::SetFileAttributes(d, attr::Hidden));
    EXPECT_EQ(ferro::GetFileAttributes(d), attr::Directory | attr::Hidden);
    // What a Windows client of the share reads: the Samba record.
    char buf[64];
    ssize_t n = getxattr(d.c_str(), "user.DOSATTRIB", buf, sizeof buf);
    ASSERT_GT(n, 5);
    EXPECT_STREQ(buf, "0x12");
    // A record written by Wine (plain hex) is understood.
    ASSERT_EQ(setxattr(f.c_str(), "user.DOSATTRIB", "0x4", 3, 0), 0);
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::System);
    EXPECT_FALSE(ferro::SetFileAttributes(t / "missing", attr::Archive));
}

TEST(Refusals, ReadOnlyFilesAreNeitherWrittenNorDeletedEvenByRoot) {
    TempFolder t;
    std::string f = t.Write("ro.txt", "keep");
    t.SetMode("ro.txt", 0444);
    EXPECT_FALSE(ferro::WriteFileSafely(f, "new"));
    EXPECT_FALSE(ferro::DeleteFile(f));
    EXPECT_FALSE(ferro::CopyFile(t.Write("src.txt", "s"), f, false));
    EXPECT_FALSE(ferro::SetFileTimes(f, std::nullopt, std::nullopt, 0));
    EXPECT_EQ(t.Read("ro.txt"), "keep");
    EXPECT_FALSE(ferro::DeleteFile(t.MakeFolder("dir")));
    EXPECT_TRUE(ferro::DeleteFile(t.Write("rw.txt")));
    EXPECT_FALSE(t.Exists("rw.txt"));
}

TEST(Refusals, RenameNeverReplaces) {
    TempFolder t;
    std::string a = t.Write("a.txt", "A"), b = t.Write("b.txt", "B");
    EXPECT_FALSE(ferro::MoveFile(a, b));
    EXPECT_EQ(t.Read("a.txt"), "A");
    EXPECT_EQ(t.Read("b.txt"), "B");
    EXPECT_TRUE(ferro::MoveFile(a, t / Gbk("新.txt")));
    EXPECT_EQ(t.Read(Gbk("新.txt")), "A");
    t.SetMode("b.txt", 0444);
    EXPECT_TRUE(ferro::MoveFile(b, t / "c.txt"));  // read-only files can be renamed
    EXPECT_FALSE(ferro::MoveFile(t / "c.txt", std::string(t / "d") + std::string(1, '\0') + "x"));
}

TEST(Times, CreatedTimeLivesInTheDosRecord) {
    TempFolder t;
    std::string f = t.Write("a.txt", "x");
    const ferro::FileTime created = 1000000000LL * 1000000000LL;  // 2001-09-09
    const ferro::FileTime written = 1341130500LL * 1000000000LL + 123456789;
    ASSERT_TRUE(ferro::SetFileTimes(f, created, std::nullopt, written));
    ferro::FileTimes got;
    ASSERT_TRUE(ferro::GetFileTimes(f, got));
    EXPECT_EQ(got.creation, created);
    EXPECT_EQ(got.lastWrite, written);
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Archive);  // attributes unchanged
    ASSERT_TRUE(ferro::SetFileTimes(f, std::nullopt, written, std::nullopt));
    ASSERT_TRUE(ferro::GetFileTimes(f, got));
    EXPECT_EQ(got.lastAccess, written);
    EXPECT_EQ(got.creation, created);
}

TEST(SafeWrite, ReplacesContentsKeepingModeAttributesAndCreatedTime) {
    TempFolder t;
    std::string f = t.Write("a.txt", "old contents");
    t.SetMode("a.txt", 0640);
    ASSERT_TRUE(ferro::SetFileAttributes(f, attr::Hidden | attr::Archive));
    ASSERT_EQ(setxattr(f.c_str(), "user.other", "v", 1, 0), 0);
    ferro::FileTimes before;
    ASSERT_TRUE(ferro::GetFileTimes(f, before));

    ASSERT_TRUE(ferro::WriteFileSafely(f, "new"));
    EXPECT_EQ(t.Read("a.txt"), "new");
    struct stat st{};
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ferro::GetFileAttributes(f), attr::Hidden | attr::Archive);
    char v[4];
    EXPECT_EQ(getxattr(f.c_str(), "user.other", v, sizeof v), 1);
    ferro::FileTimes after;
    ASSERT_TRUE(ferro::GetFileTimes(f, after));
    EXPECT_EQ(after.creation / 100, before.creation / 100);  // kept at Windows precision
    // Nothing is left behind in the folder.
    EXPECT_EQ(Find(t / "*", kFileSet), (std::vector<std::string>{".", "..", "a.txt"}));

    std::string n = t / "new.txt";
    ASSERT_TRUE(ferro::WriteFileSafely(n, ""));
    EXPECT_TRUE(t.Exists("new.txt"));
    EXPECT_EQ(t.Read("new.txt"), "");
}

TEST(SafeWrite, HardLinkedFilesAreWrittenInPlace) {
    TempFolder t;
    std::string f = t.Write("a.txt", "shared");
    ASSERT_EQ(link(f.c_str(), (t.path() + "/b.txt").c_str()), 0);
    ASSERT_TRUE(ferro::WriteFileSafely(f, "both see this"));
    EXPECT_EQ(t.Read("b.txt"), "both see this");
}

TEST(Copy, ReplacesTheTargetAndKeepsTheModifiedTime) {
    TempFolder t;
    std::string src = t.Write("a.txt", "source");
    t.SetModified("a.txt", 1341130500);
    std::string dst = t.Write("a.txt.bak", "older backup");
    ASSERT_TRUE(ferro::CopyFile(src, dst, false));
    EXPECT_EQ(t.Read("a.txt.bak"), "source");
    ferro::FindEntry e;
    ASSERT_TRUE(ferro::StatPath(dst, e));
    EXPECT_EQ(e.lastWriteTime, 1341130500LL * 1000000000LL);
    EXPECT_FALSE(ferro::CopyFile(src, dst, true));
    EXPECT_FALSE(ferro::CopyFile(t / "missing", dst, false));
}

TEST(Paths, SplitLikeTheRunTimeLibrary) {
    EXPECT_EQ(ferro::ExtractFileName("/a/b.c/d.txt"), "d.txt");
    EXPECT_EQ(ferro::ExtractFileDir("/a/b.c/d.txt"), "/a/b.c");
    EXPECT_EQ(ferro::ExtractFileExt("/a/b.c/d"), "");
    EXPECT_EQ(ferro::ExtractFileExt("/a/b/d.tar.gz"), ".gz");
    EXPECT_EQ(ferro::ProgramDir().back(), '/');
}

TEST(BadNames, NamesThatAreNotUtf8AreListedAndOperatedOnWithoutLoss) {
    TempFolder t;
    const std::string disk = t.path() + "/bad\xFF\xFE.txt";  // not UTF-8 on disk
    ASSERT_EQ(::close(::creat(disk.c_str(), 0644)), 0);
    std::vector<std::string> found = Find(t / "*.txt", kFileSet);
    ASSERT_EQ(found.size(), 1u);
    // The list holds a name that maps back to the very bytes on disk.
    const std::string listed = t / found[0];
    EXPECT_TRUE(ferro::FileExists(listed));
    ASSERT_TRUE(ferro::WriteFileSafely(listed, "text"));
    EXPECT_EQ(t.Read(found[0]), "text");
    ASSERT_TRUE(ferro::MoveFile(listed, t / "good.txt"));
    EXPECT_TRUE(t.Exists("good.txt"));
    struct stat st{};
    EXPECT_NE(::lstat(disk.c_str(), &st), 0);
}
