// The text file pass every line operation shares: lines in and out, safe
// writing, backups, keyword fields and number fields.
#include "textops/textfile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "line_lists.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "textops/keywords.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::Entries;
using testing::TempFolder;
using testing::Lines;

Lines Load(const std::string& path) {
    return LoadTextLines(path).ToStrings();
}

using testing::Of;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// Makes every write past limit bytes fail, as a full disk would, for the
// lifetime of the object. Works for root as well.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(TextFile, LineBreaksAreCutAndWrittenBackAsCrLf) {
    TempFolder t;
    EXPECT_EQ(Load(t.Write("lf", "a\nb\nc")), (Lines{"a", "b", "c"}));
    EXPECT_EQ(Load(t.Write("cr", "a\rb\r")), (Lines{"a", "b"}));
    EXPECT_EQ(Load(t.Write("crlf", "a\r\nb\r\n")), (Lines{"a", "b"}));
    // LF then CR is two breaks; CR CR LF is an empty line and one break.
    EXPECT_EQ(Load(t.Write("lfcr", "a\n\rb")), (Lines{"a", "", "b"}));
    EXPECT_EQ(Load(t.Write("crcrlf", "a\r\r\nb")), (Lines{"a", "", "b"}));
    // One final break adds no line, two add one empty line.
    EXPECT_EQ(Load(t.Write("one", "x\n")), (Lines{"x"}));
    EXPECT_EQ(Load(t.Write("two", "x\n\n")), (Lines{"x", ""}));
    EXPECT_EQ(Load(t.Write("only", "\r\n")), (Lines{""}));
    EXPECT_TRUE(Load(t.Write("empty", "")).empty());
    // Bytes are kept as they are: GBK text, a byte-order mark, trail bytes
    // that look like ASCII.
    const std::string gbk = "\xEF\xBB\xBF" + Gbk("中文") + "\x81\x7D|";
    EXPECT_EQ(Load(t.Write("gbk", gbk + "\n")), (Lines{gbk}));

    // Written back: CR LF after every line, the last one included.
    SaveTextLines(t / "lf", LoadTextLines(t / "lf"));
    EXPECT_EQ(t.Read("lf"), "a\r\nb\r\nc\r\n");
    SaveTextLines(t / "cr", LoadTextLines(t / "cr"));
    EXPECT_EQ(t.Read("cr"), "a\r\nb\r\n");
    SaveTextLines(t / "two", LoadTextLines(t / "two"));
    EXPECT_EQ(t.Read("two"), "x\r\n\r\n");
    SaveTextLines(t / "empty", LineList());
    EXPECT_EQ(t.Read("empty"), "");
    EXPECT_TRUE(t.Exists("empty"));
    // A line built with a break in it goes out as it is.
    SaveTextLines(t / "built", Of({"a\r\nb", "c"}));
    EXPECT_EQ(t.Read("built"), "a\r\nb\r\nc\r\n");
    // Long lines and many lines cross the writer's pieces whole.
    LineList big;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        const std::string line(i % 7 == 0 ? 5000 : 300, static_cast<char>('a' + i % 26));
        big.push_back(line);
        expected += line + "\r\n";
    }
    big.push_back(std::string(3 << 20, 'z'));
    expected += std::string(3 << 20, 'z') + "\r\n";
    SaveTextLines(t / "big", big);
    EXPECT_EQ(t.Read("big"), expected);
}

TEST(TextFile, UnreadableAndNonTextFilesAreRefusedWithTheirPath) {
    TempFolder t;
    const std::string missing = t / "missing.txt";
    EXPECT_EQ(ErrorOf([&] { LoadTextLines(missing); }), "Cannot open file " + missing);
    const std::string folder = t.MakeFolder("sub");
    EXPECT_EQ(ErrorOf([&] { LoadTextLines(folder); }), "Cannot open file " + folder);
    // A NUL byte anywhere: not text. The error is Chinese and names the file,
    // and the file is left exactly as it was.
    const std::string bytes("ab\r\nc\0d\r\n", 9);
    const std::string nul = t.Write(Gbk("二进制.dat"), bytes);
    const std::string msg = ErrorOf([&] { LoadTextLines(nul); });
    EXPECT_NE(msg.find(nul), std::string::npos) << msg;
    EXPECT_NE(msg.find(Gbk("文本")), std::string::npos) << msg;
    EXPECT_EQ(t.Read(Gbk("二进制.dat")), bytes);
}

TEST(TextFile, WritingKeepsTheFileWholeWhateverHappens) {
    TempFolder t;
    // A read-only file is refused even for root, and not touched.
    const std::string ro = t.Write("ro.txt", "keep\n");
    t.SetMode("ro.txt", 0444);
    EXPECT_EQ(ErrorOf([&] { SaveTextLines(ro, Of({"new"})); }), "Cannot create file " + ro);
    EXPECT_EQ(t.Read("ro.txt"), "keep\n");

    // A write that fails half-way (a full disk) leaves the old file whole and
    // no temporary file behind.
    const std::string full = t.Write("full.txt", "old contents\n");
    LineList large;
    for (int i = 0; i < 20000; ++i) large.push_back(std::string(100, 'n'));
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_EQ(ErrorOf([&] { SaveTextLines(full, large); }), "Cannot create file " + full);
    }
    EXPECT_EQ(t.Read("full.txt"), "old contents\n");
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"full.txt", "ro.txt"}));

    // A file with a second hard link is rewritten in place, so both names see
    // the new text; a failed write there puts the old bytes back.
    const std::string linked = t.Write("linked.txt", "one\n");
    ASSERT_EQ(::link(linked.c_str(), (t / "other.txt").c_str()), 0);
    SaveTextLines(linked, Of({"two"}));
    EXPECT_EQ(t.Read("other.txt"), "two\r\n");
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_THROW(SaveTextLines(linked, large), Error);
    }
    EXPECT_EQ(t.Read("linked.txt"), "two\r\n");
    EXPECT_EQ(t.Read("other.txt"), "two\r\n");

    // What the list shows of a file survives the rewrite: mode, DOS
    // attributes, created time.
    const std::string kept = t.Write("kept.txt", "x\n");
    t.SetMode("kept.txt", 0640);
    if (SupportsExtendedAttributes(kept)) {
        ASSERT_TRUE(SetFileAttributes(kept, attr::Hidden | attr::Archive));
        const FileTime created = 131000000000000000LL;
        ASSERT_TRUE(SetFileTimes(kept, created, std::nullopt, std::nullopt));
        SaveTextLines(kept, Of({"y"}));
        EXPECT_EQ(GetFileAttributes(kept) & (attr::Hidden | attr::Archive),
                  attr::Hidden | attr::Archive);
        FileTimes times;
        ASSERT_TRUE(GetFileTimes(kept, times));
        EXPECT_EQ(times.creation, created);
    } else {
        SaveTextLines(kept, Of({"y"}));
    }
    struct stat st {};
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(t.Read("kept.txt"), "y\r\n");
}

TEST(TextFile, BackupsReplaceOlderOnes) {
    TempFolder t;
    const std::string a = t.Write("a.txt", "first\n");
    t.Write("a.txt.bak", "stale");
    BackupFile(a);
    EXPECT_EQ(t.Read("a.txt.bak"), "first\n");
    EXPECT_FALSE(t.Exists("a.bak"));
    SaveTextLines(a, Of({"second"}));
    BackupFile(a);
    EXPECT_EQ(t.Read("a.txt.bak"), "second\r\n");
    // A backup that cannot be made is not an error.
    BackupFile(t / "missing.txt");
    EXPECT_FALSE(t.Exists("missing.txt.bak"));
}

TEST(TextFile, KeywordFields) {
    using K = std::vector<std::string>;
    EXPECT_EQ(SplitKeywords("ab cd;ef"), (K{"ab", "cd", "ef"}));
    EXPECT_EQ(SplitKeywords("\"a b\";c"), (K{"a b", "c"}));
    EXPECT_EQ(SplitKeywords("\"say \"\"hi\"\"\""), (K{"say \"hi\""}));
    EXPECT_EQ(SplitKeywords("\"x;y\""), (K{"x;y"}));
    EXPECT_EQ(SplitKeywords("a;;b"), (K{"a", "", "b"}));
    EXPECT_EQ(SplitKeywords("a;"), (K{"a", ""}));
    EXPECT_EQ(SplitKeywords("  a ; b\t"), (K{"a", "b"}));
    EXPECT_EQ(SplitKeywords(""), K{});
    EXPECT_EQ(SplitKeywords(Gbk("中文 键")), (K{Gbk("中文"), Gbk("键")}));

    // Matching is byte-wise and case-sensitive; an empty keyword never matches.
    EXPECT_TRUE(ContainsAnyKeyword("xxABxx", {"", "AB"}));
    EXPECT_FALSE(ContainsAnyKeyword("xxabxx", {"AB"}));
    EXPECT_FALSE(ContainsAnyKeyword("anything", {""}));
    EXPECT_FALSE(ContainsAnyKeyword("", {""}));
    // Across character boundaries: the trail byte of one character and the
    // lead byte of the next.
    const std::string two = Gbk("中文");
    EXPECT_TRUE(ContainsKeyword(two, two.substr(1, 2)));
}

TEST(TextFile, NumberFields) {
    EXPECT_EQ(ReadNumberField("12"), 12);
    EXPECT_EQ(ReadNumberField("  -3"), -3);
    EXPECT_EQ(ReadNumberField("+7"), 7);
    for (const char* bad : {"", "1a", "1 ", "abc", "1.5", "99999999999"})
        EXPECT_EQ(ErrorOf([&] { ReadNumberField(bad); }),
                  "'" + std::string(bad) + "' is not a valid integer value");
}

}  // namespace
}  // namespace ferro
