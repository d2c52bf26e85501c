#include "fileops/search.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"

using ferro::FileList;
using ferro::RunSearch;
using ferro::SearchBounds;
using ferro::testing::Gbk;
using ferro::testing::TempFolder;

namespace {

// Answers like the window with default controls; tests change the fields or
// hook the calls.
struct FakeHost : ferro::SearchHost {
    SearchBounds bounds{0, 50000, ferro::SearchDate::LastWrite, 0, 0};
    bool sizeOn = false, dateOn = false, sub = true, stop = false;
    int folderVisits = 0, foldersDone = 0;
    std::function<void(FakeHost&)> onVisit;  // at every folder visit
    std::vector<std::pair<std::string, std::string>> passes;

    SearchBounds ReadBounds() override {
        ++folderVisits;
        if (onVisit) onVisit(*this);
        return bounds;
    }
    bool SizeFilterOn() override { return sizeOn; }
    bool DateFilterOn() override { return dateOn; }
    bool IncludeSubfolders() override { return sub; }
    bool StopRequested() override { return stop; }
    void PassStarted(const std::string& m, const std::string& r) override {
        passes.emplace_back(m, r);
    }
    void FolderDone() override { ++foldersDone; }
};

std::vector<std::string> Paths(const FileList& l) {
    std::vector<std::string> v;
    if (l.IsEmpty()) return v;
    for (int r = 1; r <= l.LastRow(); ++r) v.push_back(l.Path(r));
    return v;
}

std::vector<std::string> Search(FakeHost& host, const std::string& masks,
                                const std::string& folders, FileList* out = nullptr) {
    FileList local;
    FileList& l = out ? *out : local;
    RunSearch(l, host, masks, folders);
    return Paths(l);
}

std::string Disk(const std::string& gbk) {
    std::string d;
    ferro::GbkToDisk(gbk, d);
    return d;
}

ferro::FileTime LocalTime(int y, int mo, int d, int h, int mi, int s) {
    return ferro::FromLocal(ferro::DateTime{y, mo, d, h, mi, s, 0});
}

}  // namespace

TEST(SizeBound, DecimalNumbersAreCutToWholeBytes) {
    const std::pair<const char*, int64_t> good[] = {
        {"0", 0},
        {"50000", 50000},
        {"  42  ", 42},
        {"+7", 7},
        {"-3", -3},
        {"12.99", 12},
        {"-1.5", -1},
        {".5", 0},
        {"5.", 5},
        {"1e3", 1000},
        {"2.5E+2", 250},
        {"12345e-2", 123},
        {"\t9\t", 9},
        {"0e999999", 0},
        {"1e999999999", INT64_MAX},
        {"9223372036854775807", INT64_MAX},
        {"99999999999999999999", INT64_MAX},
        {"-99999999999999999999", -INT64_MAX},
        {"4294967396", 4294967396LL},
        {"000000000000000000000012", 12},
        {"1.0000000000000000000000e1", 10},
    };
    for (const auto& [text, want] : good) {
        int64_t v = -999;
        EXPECT_TRUE(ferro::TryParseSizeBound(text, v)) << text;
        EXPECT_EQ(v, want) << text;
    }
    for (const char* bad : {"", " ", "abc", "1,000", "1e", "1e+", "--1", "+", ".", "1 2", "0x10",
                            "12abc", "e5", "1.2.3", "inf", "nan"}) {
        int64_t v = 0;
        EXPECT_FALSE(ferro::TryParseSizeBound(bad, v)) << bad;
    }
    try {
        ferro::SizeBoundValue(Gbk("五万"));
        FAIL() << "no error";
    } catch (const ferro::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "'" + Gbk("五万") + "' is not a valid floating point value");
    }
}

TEST(FileTimeToText, FormatsLocalTimeLikeTheListCells) {
    for (ferro::FileTime t : {LocalTime(2024, 2, 29, 23, 59, 59), LocalTime(1999, 1, 2, 3, 4, 5),
                              LocalTime(2030, 12, 31, 0, 0, 0) + 999999999}) {
        EXPECT_EQ(ferro::FileTimeToText("yyyy-mm-dd hh:nn:ss", t),
                  ferro::PackedTimeText(ferro::PackLocalTime(t)));
    }
    const ferro::FileTime t = LocalTime(2007, 8, 9, 10, 11, 12);
    EXPECT_EQ(ferro::FileTimeToText("YYYY/MM/DD HH.NN.SS", t), "2007/08/09 10.11.12");
    EXPECT_EQ(ferro::FileTimeToText(Gbk("yyyy年mm月dd日"), t), Gbk("2007年08月09日"));
    // A double-byte character whose trail byte is a pattern letter stays whole.
    const std::string lead = "\xB0";
    EXPECT_EQ(ferro::FileTimeToText(lead + "ddd", t), lead + "d09");
    EXPECT_EQ(ferro::FileTimeToText("x m y", t), "x m y");
}

TEST(SplitMasks, CutsAtEverySemicolonKeepingBlanksAndTheEmptyLast) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ferro::SplitMasks("*.txt"), V{"*.txt"});
    EXPECT_EQ(ferro::SplitMasks("*.txt; *.ini"), (V{"*.txt", " *.ini"}));
    EXPECT_EQ(ferro::SplitMasks("*.txt;"), (V{"*.txt", ""}));
    EXPECT_EQ(ferro::SplitMasks("a;;b "), (V{"a", "", "b "}));
}

TEST(RunSearch, OrderIsMasksThenFoldersThenDepthFirst) {
    TempFolder t;
    t.Write("a/1.txt");
    t.Write("a/1.ini");
    t.Write("a/sub/2.txt");
    t.Write("a/sub/deeper/3.txt");
    t.Write("b/4.txt");
    t.Write("b/4.ini");
    FakeHost h;
    const std::string a = t / "a", b = t / "b";
    EXPECT_EQ(Search(h, "*.txt;*.ini", a + ";" + b),
              (std::vector<std::string>{a + "/1.txt", a + "/sub/2.txt", a + "/sub/deeper/3.txt",
                                        b + "/4.txt", a + "/1.ini", b + "/4.ini"}));
    EXPECT_EQ(h.passes, (std::vector<std::pair<std::string, std::string>>{
                            {"*.txt", a}, {"*.txt", b}, {"*.ini", a}, {"*.ini", b}}));
    // One visit per folder whatever the number of masks, each told when
    // done.
    EXPECT_EQ(h.folderVisits, 4);
    EXPECT_EQ(h.foldersDone, 4);
    // Listed once per mask and once per folder that reaches it; a folder
    // that is not there adds nothing.
    EXPECT_EQ(Search(h, "*.txt;4.*", b + ";" + b + ";" + t / "missing").size(), 6u);

    // Empty masks before, between and after, and a file under two masks.
    FakeHost e;
    EXPECT_EQ(Search(e, ";*.txt;;*.ini;1.*;", a + ";" + b),
              (std::vector<std::string>{a + "/1.txt", a + "/sub/2.txt", a + "/sub/deeper/3.txt",
                                        b + "/4.txt", a + "/1.ini", b + "/4.ini", a + "/1.ini",
                                        a + "/1.txt"}));
    std::vector<std::string> passMasks;
    for (const auto& p : e.passes) passMasks.push_back(p.first);
    EXPECT_EQ(passMasks, (std::vector<std::string>{"", "", "*.txt", "*.txt", "", "", "*.ini",
                                                   "*.ini", "1.*", "1.*", "", ""}));
    EXPECT_EQ(e.foldersDone, 4);
}

TEST(RunSearch, EachFolderIsListedInNameOrder) {
    // Made in the reverse of the order wanted, so neither the order of
    // making nor the directory's hash order can pass for it.
    TempFolder t;
    // Names that differ only in case are listed upper case first; a letter
    // beyond ASCII, a character outside the BMP and a full-width letter sort
    // by their upper-cased UTF-16 units.
    const std::vector<std::string> files = {"A.txt",       "a.txt",        "b10.txt",
                                            "B2.txt",      "Z.txt",        "_x.txt",
                                            Gbk("é.txt"),  Gbk("中.txt"),  Gbk("啊.txt"),
                                            Gbk("😀.txt"), Gbk("Ａ.txt")};
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        t.Write("r/b/" + *it);
        t.Write("r/" + *it);
    }
    t.Write("r/a/1.txt");
    FakeHost h;
    std::vector<std::string> want;
    for (const std::string& f : files) want.push_back(t / "r/" + f);
    want.push_back(t / "r/a/1.txt");  // sub-folders in name order too, after the files
    for (const std::string& f : files) want.push_back(t / "r/b/" + f);
    EXPECT_EQ(Search(h, "*.txt", t / "r"), want);
}

TEST(RunSearch, AFolderOfManyFilesIsListedWholeWithEachFilesOwnFacts) {
    // More files than the walk takes in one go, and than the system is
    // asked about at once: every one listed, in order, with its own size
    // and times, whichever way its facts were fetched.
    TempFolder t;
    const int count = 700;
    for (int i = count - 1; i >= 0; --i) {
        char name[32];
        std::snprintf(name, sizeof name, "m/f%04d.txt", i);
        t.Write(name, std::string(static_cast<std::size_t>(i), 'x'));
        t.SetModified(name, LocalTime(2020, 1, 1, 0, 0, 0) / 1000000000 + i * 60);
        if (i % 3 == 0) t.Write(std::string(name) + ".log");
    }
    FakeHost h;
    FileList l;
    const std::vector<std::string> found = Search(h, "*.txt", t / "m", &l);
    ASSERT_EQ(found.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.txt", i);
        ASSERT_EQ(l.Name(i + 1), name);
        ASSERT_EQ(l.Cell(ferro::kColSize, i + 1), std::to_string(i));
        const ferro::DateTime d = ferro::ToLocal(LocalTime(2020, 1, 1, 0, 0, 0) + i * 60000000000LL);
        char modified[32];
        std::snprintf(modified, sizeof modified, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                      d.day, d.hour, d.minute, d.second);
        ASSERT_EQ(l.Cell(ferro::kColModified, i + 1), modified);
    }
}

TEST(RunSearch, AttributeSetsDecideWhatIsListedAndEntered) {
    TempFolder t;
    const bool xattrs = ferro::SupportsExtendedAttributes(t.path());
    t.Write("root/plain/p.txt");
    t.Write("root/.dotted/d.txt");
    t.Write("root/readonly/r.txt");
    t.SetMode("root/readonly", 0555);
    t.Write("target/l.txt");
    ASSERT_EQ(symlink(Disk(t / "target").c_str(), Disk(t / "root/link").c_str()), 0);
    ASSERT_EQ(symlink("plain/p.txt", Disk(t / "root/link.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(Disk(t / "root/fifo.txt").c_str(), 0600), 0);
    if (xattrs) {
        t.Write("root/hidden/h.txt");
        t.Write("root/system/s.txt");
        t.Write("root/archive/a.txt");
        t.Write("root/temp.txt");
        ASSERT_TRUE(ferro::SetFileAttributes(t / "root/hidden", ferro::attr::Hidden));
        ASSERT_TRUE(ferro::SetFileAttributes(t / "root/system", ferro::attr::System));
        ASSERT_TRUE(ferro::SetFileAttributes(t / "root/archive", ferro::attr::Archive));
        ASSERT_TRUE(ferro::SetFileAttributes(t / "root/temp.txt", ferro::attr::Temporary));
    }
    FakeHost h;
    const std::string root = t / "root";
    std::vector<std::string> found = Search(h, "*.txt", root);
    std::set<std::string> got(found.begin(), found.end());
    std::set<std::string> want = {root + "/plain/p.txt", root + "/.dotted/d.txt"};
    if (xattrs) want.insert({root + "/hidden/h.txt", root + "/system/s.txt"});
    // Not the read-only or archive folders, the link to a folder, the link to
    // a file, the FIFO or the temporary file.
    EXPECT_EQ(got, want);

    // "*" lists the folders that are more than folders, never a plain one.
    found = Search(h, "*", root);
    got.clear();
    for (const std::string& p : found)
        if (p.rfind(root + "/", 0) == 0 && p.find('/', root.size() + 1) == std::string::npos)
            got.insert(p.substr(root.size() + 1));
    want = {".dotted", "readonly"};
    if (xattrs) want.insert({"hidden", "system", "archive"});
    EXPECT_EQ(got, want);

    // A root that is itself a link is read through it.
    EXPECT_EQ(Search(h, "*.txt", root + "/link"), std::vector<std::string>{root + "/link/l.txt"});
}

TEST(RunSearch, FiltersUseFullSizesAndTheChosenDate) {
    TempFolder t;
    t.Write("f/exact.txt", std::string(50000, 'x'));
    t.Write("f/over.txt", std::string(50001, 'x'));
    t.Write("f/empty.txt");
    {
        // 4 GiB + 100 bytes: its low 32 bits alone would read as 100.
        const std::string big = t.Write("f/big.txt");
        ASSERT_EQ(truncate(Disk(big).c_str(), (int64_t{1} << 32) + 100), 0);
    }
    FakeHost h;
    h.sizeOn = true;
    std::vector<std::string> found = Search(h, "*.txt", t / "f");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{t / "f/empty.txt", t / "f/exact.txt"}));
    h.bounds.minSize = 50001;
    h.bounds.maxSize = INT64_MAX;
    found = Search(h, "*.txt", t / "f");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{t / "f/big.txt", t / "f/over.txt"}));

    // The date type picks the time compared: the access time was set with
    // the modified time, the creation time is today's.
    TempFolder d;
    d.Write("old.txt");
    d.SetModified("old.txt", LocalTime(2021, 6, 15, 12, 0, 0) / 1000000000);
    FakeHost dh;
    dh.dateOn = true;
    dh.bounds.minDay = dh.bounds.maxDay = ferro::DaysFromCivil(2021, 6, 15);
    EXPECT_EQ(Search(dh, "*.txt", d.path()).size(), 1u);
    dh.bounds.date = ferro::SearchDate::LastAccess;
    EXPECT_EQ(Search(dh, "*.txt", d.path()).size(), 1u);
    dh.bounds.date = ferro::SearchDate::Creation;
    EXPECT_TRUE(Search(dh, "*.txt", d.path()).empty());
}

TEST(RunSearch, SettingsChangedDuringTheSearchApplyFromTheNextFolderOrEntry) {
    TempFolder t;
    t.Write("r/small.txt", "1");
    t.Write("r/s/small.txt", "1");
    t.Write("r/s/big.txt", std::string(100, 'x'));
    t.Write("r/s/s2/small.txt", "1");
    FakeHost h;
    h.sizeOn = true;
    // At the second folder the bounds change and sub-folders are switched
    // off: the second folder is filtered by the new bounds and its own
    // sub-folders are skipped.
    h.onVisit = [](FakeHost& self) {
        if (self.folderVisits == 2) {
            self.bounds.minSize = 50;
            self.sub = false;
        }
    };
    EXPECT_EQ(Search(h, "*.txt", t / "r"),
              (std::vector<std::string>{t / "r/small.txt", t / "r/s/big.txt"}));

    // A bound that is no number ends the search where it is read; the rows
    // found before stay in the list.
    FakeHost bad;
    bad.onVisit = [](FakeHost& self) {
        if (self.folderVisits == 2) throw ferro::Error("'x' is not a valid floating point value");
    };
    FileList l;
    EXPECT_THROW(RunSearch(l, bad, "*.txt", t / "r"), ferro::Error);
    EXPECT_EQ(Paths(l), std::vector<std::string>{t / "r/small.txt"});
}

namespace {
FakeHost* g_stopHost = nullptr;
int g_pumps = 0;
int g_stopAfter = 0;
void StopFromPump() {
    if (++g_pumps == g_stopAfter) g_stopHost->stop = true;
}
}  // namespace

TEST(RunSearch, AStopEndsEveryLevelAndKeepsTheRowsFound) {
    TempFolder t;
    std::string rel = "deep";
    for (int level = 0; level < 8; ++level) {
        for (int f = 0; f < 6; ++f) t.Write(rel + "/f" + std::to_string(f) + ".txt");
        rel += "/d" + std::to_string(level);
    }
    FakeHost h;
    const size_t all = Search(h, "*.txt", t / "deep").size();
    ASSERT_EQ(all, 48u);

    // The hook runs on every 16th pump call; stop on its third run.
    g_stopHost = &h;
    g_pumps = 0;
    g_stopAfter = 3;
    ferro::SetMessagePumpHook(&StopFromPump, 0);
    FileList l;
    const int visitsBefore = h.folderVisits;
    RunSearch(l, h, "*.txt;*.txt", t / "deep");
    ferro::SetMessagePumpHook(nullptr);
    const size_t kept = Paths(l).size();
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, all);
    // No folder was entered after the stop, and no second pass began.
    EXPECT_LT(h.folderVisits - visitsBefore, 8);
    EXPECT_EQ(h.passes.back().first, "*.txt");
    EXPECT_EQ(h.passes.size(), 2u);  // one from the full search, one here
}

namespace {

// A chain of folders made through descriptors, so that it may go deeper than
// a path can name: each level holds one file, "f<level>.txt".
void MakeChain(const std::string& top, const std::string& name, int levels) {
    int fd = open(Disk(top).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < levels; ++level) {
        const std::string file = "f" + std::to_string(level) + ".txt";
        const int f = openat(fd, file.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(f, 0);
        close(f);
        if (level + 1 == levels) break;
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    close(fd);
}

// Removes what a folder holds, through descriptors, at any depth.
void EmptyFolderAt(int fd) {
    DIR* dir = fdopendir(fd);
    if (!dir) return;
    std::vector<std::pair<std::string, bool>> entries;
    while (dirent* d = readdir(dir)) {
        const std::string n = d->d_name;
        if (n != "." && n != "..") entries.emplace_back(n, d->d_type == DT_DIR);
    }
    for (const auto& [n, isDir] : entries) {
        if (isDir) {
            const int sub = openat(dirfd(dir), n.c_str(), O_RDONLY | O_DIRECTORY);
            if (sub >= 0) EmptyFolderAt(sub);
            unlinkat(dirfd(dir), n.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(dirfd(dir), n.c_str(), 0);
        }
    }
    closedir(dir);
}

struct SkipHost : FakeHost {
    std::vector<std::string> skipped;
    void FolderSkipped(const std::string& folder) override { skipped.push_back(folder); }
};

// The number the next descriptor opened will get.
int LowestFreeDescriptor() {
    const int fd = dup(0);
    close(fd);
    return fd;
}

// Holds the soft limit of open files at a value while it lives.
struct FileLimit {
    explicit FileLimit(rlim_t soft) {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = soft;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FileLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
    rlimit saved{};
};

}  // namespace

TEST(RunSearch, NoDepthOfTreeStopsTheWalk) {
    TempFolder t;
    struct Case {
        const char* what;
        std::string name;
        int levels;
        int fileLimit;  // 0: as it is
    };
    // Deeper than the open-file limit allows folders held open; longer paths
    // than the system can name (4096 bytes).
    const Case cases[] = {{"deeper than the open-file limit", "d", 40, LowestFreeDescriptor() + 8},
                          {"longer than a path", std::string(250, 'n'), 18, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string top = t.MakeFolder(c.name.substr(0, 1) + std::to_string(c.levels));
        MakeChain(top, c.name, c.levels);
        SkipHost h;
        FileList l;
        {
            std::unique_ptr<FileLimit> limit;
            if (c.fileLimit) limit = std::make_unique<FileLimit>(c.fileLimit);
            RunSearch(l, h, "*.txt;f1?.txt", top);
        }
        const int twice = std::min(c.levels, 20) - 10;  // f10.txt .. f19.txt
        ASSERT_EQ(ferro::SearchRowCount(l), c.levels + twice);
        std::string folder = top;
        for (int level = 0; level < c.levels; ++level) {
            ASSERT_EQ(l.Name(level + 1), "f" + std::to_string(level) + ".txt");
            ASSERT_EQ(l.Folder(level + 1), folder);
            folder += "/" + c.name;
        }
        EXPECT_GT(l.Path(c.levels).size(), c.name.size() == 1 ? 0u : 4096u);
        for (int i = 0; i < twice; ++i)
            EXPECT_EQ(l.Name(c.levels + 1 + i), "f1" + std::to_string(i) + ".txt");
        EXPECT_TRUE(h.skipped.empty());
        const int fd = open(Disk(top).c_str(), O_RDONLY | O_DIRECTORY);
        EmptyFolderAt(fd);
    }
}

TEST(RunSearch, AFolderThatCannotBeOpenedIsReported) {
    TempFolder t;
    t.Write("r/a.txt");
    t.Write("r/sub/b.txt");
    t.Write("r/locked/c.txt");
    t.SetMode("r/locked", 0200);  // not read-only, yet not to be read (but by root)
    SkipHost h;
    FileList l;
    // Room for the root alone: the sub-folders cannot be opened beside it.
    {
        FileLimit limit(LowestFreeDescriptor() + 1);
        RunSearch(l, h, "*.txt", t / "r");
    }
    EXPECT_EQ(ferro::SearchRowCount(l), 1);
    EXPECT_EQ(h.skipped, (std::vector<std::string>{t / "r/locked", t / "r/sub"}));
    // With room, a folder the user may not read is left out without a word.
    SkipHost quiet;
    EXPECT_EQ(Search(quiet, "*.txt", t / "r").size(), geteuid() == 0 ? 3u : 2u);
    EXPECT_TRUE(quiet.skipped.empty());
    t.SetMode("r/locked", 0755);
}

TEST(RunSearch, EachFileIsListedWithItsOwnRecordEvenWhenItsFolderMovesMeanwhile) {
    // Enough files for their facts to be asked for together. The second
    // time, the folder is moved away just after the walk went into it and a
    // look-alike takes its old place: the same names, but no records. The
    // rows must still tell the facts of the files the walk is reading.
    TempFolder t;
    if (!ferro::SupportsExtendedAttributes(t.path())) GTEST_SKIP() << "no extended attributes";
    const ferro::FileTime created = LocalTime(2001, 2, 3, 4, 5, 6);
    auto fill = [&](const std::string& folder, bool records) {
        for (int i = 0; i < 10; ++i) t.Write(folder + "/f" + std::to_string(i) + ".txt");
        if (!records) return;
        ASSERT_TRUE(ferro::SetFileAttributes(t / (folder + "/f2.txt"), ferro::attr::Temporary));
        ASSERT_TRUE(ferro::SetFileAttributes(t / (folder + "/f5.txt"), ferro::attr::Hidden));
        ASSERT_TRUE(ferro::SetFileTimes(t / (folder + "/f3.txt"), created, std::nullopt,
                                        std::nullopt));
    };
    fill("a/sub", true);
    const std::vector<std::string> listed = {"f0.txt", "f1.txt", "f3.txt", "f4.txt", "f5.txt",
                                             "f6.txt", "f7.txt", "f8.txt", "f9.txt"};
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "moved" : "in place");
        FakeHost h;
        h.onVisit = [&](FakeHost& host) {
            if (!move || host.folderVisits != 2) return;
            ASSERT_EQ(rename(Disk(t / "a").c_str(), Disk(t / "b").c_str()), 0);
            fill("a/sub", false);
        };
        FileList l;
        Search(h, "*.txt", t / "a", &l);
        ASSERT_EQ(ferro::SearchRowCount(l), static_cast<int>(listed.size()));
        for (int r = 1; r <= l.LastRow(); ++r) {
            SCOPED_TRACE(r);
            EXPECT_EQ(l.Name(r), listed[static_cast<std::size_t>(r - 1)]);
            EXPECT_EQ(l.Folder(r), t / "a/sub");
            if (l.Name(r) == "f3.txt")
                EXPECT_EQ(l.Cell(ferro::kColCreated, r), "2001-02-03 04:05:06");
            else
                EXPECT_NE(l.Cell(ferro::kColCreated, r), "2001-02-03 04:05:06");
        }
    }
}
