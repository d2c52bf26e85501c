#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/collator_reference.h"
#include "common/temp_folder.h"
#include "fileops/filelist.h"
#include "platform/text.h"

using ferro::FileList;
using ferro::testing::Gbk;

namespace {

ferro::FindEntry Entry(const std::string& name, int64_t size = 1, ferro::FileTime t = 0) {
    ferro::FindEntry e;
    e.name = name;
    e.size = size;
    e.creationTime = e.lastWriteTime = t;
    e.attributes = ferro::attr::Archive;
    return e;
}

std::vector<std::string> Names(const FileList& l) {
    std::vector<std::string> v;
    for (int r = 1; r <= l.LastRow(); ++r) v.push_back(l.Name(r));
    return v;
}

}  // namespace

TEST(FileList, AddingUsesTheEmptyFirstRowThenAppends) {
    FileList l;
    EXPECT_EQ(l.RowCount(), 2);
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(l.AddFile(Entry("a.txt", 12), "/data"), 1);
    EXPECT_FALSE(l.IsEmpty());
    EXPECT_EQ(l.AddFile(Entry("b.tar.gz"), "/data/x"), 2);
    EXPECT_EQ(l.RowCount(), 3);
    EXPECT_EQ(l.Path(2), "/data/x/b.tar.gz");
    EXPECT_EQ(l.Cell(ferro::kColSize, 1), "12");
    EXPECT_EQ(l.Cell(ferro::kColType, 2), ".gz");
    EXPECT_EQ(l.Cell(ferro::kColType, 1), ".txt");
    // A list emptied by a search starts without ticks, and a file put into
    // a ticked empty row comes in unticked.
    l.SetChecked(2, true);
    l.Clear();
    EXPECT_EQ(l.RowCount(), 2);
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(l.Cell(ferro::kColName, 1), "");
    EXPECT_FALSE(l.Checked(1));
    l.SetChecked(1, true);
    l.AddFile(Entry("c"), "/");
    l.AddFile(Entry("d"), "/");
    EXPECT_FALSE(l.Checked(1));
    EXPECT_FALSE(l.Checked(2));
}

TEST(FileList, CellsReadBackAsWritten) {
    FileList l;
    l.AddFile(Entry(Gbk("报告.txt"), 5LL << 32), "/d");
    EXPECT_EQ(l.Cell(ferro::kColSize, 1), "21474836480");  // no 32-bit wrap
    l.SetCell(ferro::kColModified, 1, "2012-07-01 17:30:00");
    EXPECT_EQ(l.Cell(ferro::kColModified, 1), "2012-07-01 17:30:00");
    l.SetCell(ferro::kColName, 1, Gbk("新.txt"));
    EXPECT_EQ(l.Name(1), Gbk("新.txt"));
    EXPECT_EQ(l.Folder(1), "/d");
}

TEST(FileList, SortsSizesNumericallyAndTextByCollationWithTicksFollowingTheirFiles) {
    FileList l;
    l.AddFile(Entry("ten", 10), "/b");
    l.AddFile(Entry("nine", 9), "/a");
    l.AddFile(Entry("hundred", 100), "/b");
    l.SetChecked(1, true);
    l.SetChecked(3, true);
    auto ticked = [&l] {
        std::vector<std::string> v;
        for (int r = 1; r <= l.LastRow(); ++r)
            if (l.Checked(r)) v.push_back(l.Name(r));
        return v;
    };
    const std::vector<std::string> tickedNames{"ten", "hundred"};
    struct Case {
        ferro::FileColumn column;
        bool ascending;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {ferro::kColSize, true, {"nine", "ten", "hundred"}},
        {ferro::kColSize, false, {"hundred", "ten", "nine"}},
        {ferro::kColFolder, true, {"nine", "hundred", "ten"}},  // equal folders by name
        {ferro::kColName, true, {"hundred", "nine", "ten"}},
        {ferro::kColName, false, {"ten", "nine", "hundred"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << (c.ascending ? " up" : " down"));
        l.Sort(c.column, c.ascending);
        EXPECT_EQ(Names(l), c.names);
        std::vector<std::string> got = ticked(), want = tickedNames;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

TEST(FileList, NameSortLeavesOutHyphensAndApostrophes) {
    FileList l;
    for (const char* n : {"ad", "o'b", "a-c", "AB", "oa"}) l.AddFile(Entry(n), "/");
    l.Sort(ferro::kColName, true);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"AB", "a-c", "ad", "oa", "o'b"}));
    l.Sort(ferro::kColName, false);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"o'b", "oa", "ad", "a-c", "AB"}));
}

TEST(FileList, EqualNamesAreOrderedByTheirRowNumberAsText) {
    FileList l;
    for (int i = 1; i <= 10; ++i) l.AddFile(Entry(i == 2 || i == 10 ? "same" : "z" + std::to_string(i)), "/");
    // Rows 2 and 10 hold the same name: "same.10" sorts before "same.2".
    l.SetCell(ferro::kColSize, 2, "2");
    l.SetCell(ferro::kColSize, 10, "10");
    l.Sort(ferro::kColName, true);
    EXPECT_EQ(l.Cell(ferro::kColSize, 1), "10");
    EXPECT_EQ(l.Cell(ferro::kColSize, 2), "2");
}

TEST(FileList, RemovedRowsTakeTheirTicksWithThem) {
    FileList l;
    for (const char* n : {"r1", "r2", "r3", "r4", "r5"}) l.AddFile(Entry(n), "/");
    l.SetChecked(2, true);
    l.SetChecked(4, true);
    EXPECT_EQ(l.RemoveCheckedRows(), 2);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"r1", "r3", "r5"}));
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(l.Checked(r)) << r;
    // One row at a time, as the disk deletion removes them: the ticks of the
    // rows below move up with them.
    l.SetChecked(3, true);
    l.RemoveRow(1);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"r3", "r5"}));
    EXPECT_FALSE(l.Checked(1));
    EXPECT_TRUE(l.Checked(2));
    l.RemoveRow(1);
    l.RemoveRow(1);
    EXPECT_EQ(l.RowCount(), 1);  // the header alone
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(l.AddFile(Entry("new"), "/"), 1);
}

TEST(FileList, TicksGrowWithTheListWithoutALimit) {
    FileList l;
    const int rows = 600000;
    ferro::FindEntry e = Entry("f");
    for (int i = 0; i < rows; ++i) l.AddFile(e, "/big");
    l.SetChecked(rows, true);
    EXPECT_TRUE(l.Checked(rows));
    l.SetChecked(rows + 1000, true);
    EXPECT_FALSE(l.Checked(rows + 1000));  // beyond the list: never ticked
    EXPECT_EQ(l.Path(rows), "/big/f");
}

TEST(FileList, EveryCellReadsBackAfterSortsRenamesAndRemovals) {
    // Enough long names to fill several of the blocks names are kept in,
    // under a few folders; every fifth file's times written as cell text.
    FileList l;
    const int rows = 30000;
    const ferro::FileTime found = 1700000000LL * 1000000000LL;
    auto name = [](int i) {
        return std::string(150 + i % 90, static_cast<char>('a' + i % 26)) + "_" + std::to_string(i) +
               (i % 3 ? ".txt" : i % 2 ? ".tar.gz" : "");
    };
    for (int i = 0; i < rows; ++i) {
        l.AddFile(Entry(name(i), i, found + i * 1000000000LL), "/f" + std::to_string(i / 1000));
        if (i % 5 == 0) l.SetCell(ferro::kColModified, i + 1, "2001-02-03 04:05:06");
    }
    l.SetCell(ferro::kColName, 7, Gbk("改名.doc"));
    l.Sort(ferro::kColSize, false);
    for (int r = 1; r <= rows; r += 2) l.SetChecked(r, true);
    ASSERT_EQ(l.RemoveCheckedRows(), rows / 2);
    ASSERT_EQ(l.LastRow(), rows / 2);
    for (int r = 1; r <= l.LastRow(); ++r) {
        const int i = rows - 2 * r;  // sizes descending, every other row removed
        SCOPED_TRACE(i);
        const std::string n = i == 6 ? Gbk("改名.doc") : name(i);
        ASSERT_EQ(l.Name(r), n);
        ASSERT_EQ(l.Folder(r), "/f" + std::to_string(i / 1000));
        ASSERT_EQ(l.Path(r), l.Folder(r) + "/" + n);
        ASSERT_EQ(l.Cell(ferro::kColSize, r), std::to_string(i));
        // The type cell keeps the name's first extension even after a rename.
        ASSERT_EQ(l.Cell(ferro::kColType, r), i % 3 ? ".txt" : i % 2 ? ".gz" : "");
        const ferro::FileTime t = found + i * 1000000000LL;
        ASSERT_EQ(l.Cell(ferro::kColCreated, r), ferro::PackedTimeText(ferro::PackLocalTime(t)));
        ASSERT_EQ(l.Cell(ferro::kColModified, r),
                  i % 5 == 0 ? "2001-02-03 04:05:06" : ferro::PackedTimeText(ferro::PackLocalTime(t)));
    }
    // Sorting by a time column orders the shown texts.
    l.Sort(ferro::kColModified, true);
    for (int r = 2; r <= l.LastRow(); ++r)
        ASSERT_LE(l.Cell(ferro::kColModified, r - 1), l.Cell(ferro::kColModified, r));
    l.Clear();
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(l.AddFile(Entry("again.txt"), "/f1"), 1);
    EXPECT_EQ(l.Path(1), "/f1/again.txt");
}

TEST(FileList, RowsRemovedOneByOneAnywhereLeaveTheOthersInOrder) {
    // Several thousand rows, so that the rows moved up (or the rows above
    // moved down, near the top) cross the blocks the rows are kept in.
    FileList l;
    std::vector<std::string> model;
    for (int i = 0; i < 20000; ++i) {
        model.push_back("f" + std::to_string(i));
        l.AddFile(Entry(model.back(), i), "/d");
    }
    l.SetChecked(5000, true);
    const int removals[] = {1, 1, 2, 4095, 4096, 4097, 8190, 10000, 19990, 19990, 3, 1, 6000};
    for (int row : removals) {
        SCOPED_TRACE(row);
        l.RemoveRow(row);
        model.erase(model.begin() + (row - 1));
        ASSERT_EQ(Names(l), model);
    }
    const auto tick = std::find(model.begin(), model.end(), "f4999") - model.begin() + 1;
    for (int r = 1; r <= l.LastRow(); ++r) EXPECT_EQ(l.Checked(r), r == tick) << r;
    for (int r = 1; r <= l.LastRow(); ++r) {
        ASSERT_EQ(l.Cell(ferro::kColSize, r), model[r - 1].substr(1)) << r;
    }
    // Emptied from the top down to one row, then filled again.
    while (l.LastRow() > 1) l.RemoveRow(1);
    EXPECT_EQ(l.Name(1), "f19999");
    l.AddFile(Entry("g"), "/e");
    EXPECT_EQ(Names(l), (std::vector<std::string>{"f19999", "g"}));
    EXPECT_EQ(l.Path(2), "/e/g");
}

namespace {

// The rows' order as the list has always sorted a text column: each row's
// cell (the folder and the type with the name after a separator), a dot and
// its row number, lower-cased, ordered by its word sort key from the
// collator, turned round for descending.
std::vector<int64_t> ReferenceOrder(const FileList& l, ferro::FileColumn column, bool ascending) {
    std::vector<std::pair<std::string, int64_t>> keyed;
    for (int r = 1; r <= l.LastRow(); ++r) {
        std::string text = l.Cell(column, r);
        if (column == ferro::kColFolder || column == ferro::kColType) text += "/" + l.Name(r);
        text += "." + std::to_string(r);
        keyed.emplace_back(ferro::testing::WordKeyFromCollator(ferro::AnsiLower(text)),
                           std::stoll(l.Cell(ferro::kColSize, r)));
    }
    std::sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    std::vector<int64_t> ids;
    for (const auto& k : keyed) ids.push_back(k.second);
    return ids;
}

std::vector<int64_t> Ids(const FileList& l) {
    std::vector<int64_t> ids;
    for (int r = 1; r <= l.LastRow(); ++r) ids.push_back(std::stoll(l.Cell(ferro::kColSize, r)));
    return ids;
}

// A mixed list: Latin in both cases, digits, punctuation, hyphens and
// apostrophes, Chinese (pinyin order), characters of GBK alone, full-width
// forms, names that differ by case alone and duplicates, in folders of
// both scripts. Each row's size is its number, to tell rows apart.
FileList MixedList(int rows, unsigned seed) {
    static const char* const kPieces[] = {
        "report", "Report", "a", "B", "z", "_", "-", "'", ".", " ", "(1)", "[2]", "~", "0", "9",
        "10", "007", "img", "IMG", "data", "x-y", "o'b", "中", "文", "报告", "啊", "爸", "镕",
        "堃", "喆", "犇", "〇", "Ａ", "ｚ", "１", "é", "ǎ", "·", "—", "，"};
    static const char* const kExts[] = {".txt", ".TXT", ".dat", ".jpg", "", ".tar.gz", ".文档"};
    static const char* const kFolders[] = {"/data/a", "/data/B", "/数据/报告", "/data/a-b", "/x"};
    std::mt19937 rng(seed);
    std::vector<std::string> names;
    FileList l;
    for (int i = 0; i < rows; ++i) {
        std::string name;
        if (i > 10 && i % 7 == 0) {
            name = names[rng() % names.size()];  // a duplicate
        } else if (i > 10 && i % 11 == 0) {
            name = ferro::AnsiUpper(names[rng() % names.size()]);  // differs by case alone
        } else {
            for (int k = 1 + rng() % 4; k > 0; --k) name += Gbk(kPieces[rng() % std::size(kPieces)]);
            name += Gbk(kExts[rng() % std::size(kExts)]);
        }
        names.push_back(name);
        const ferro::FileTime t = 1300000000LL * 1000000000LL + (rng() % 1000) * 86400LL * 1000000000LL;
        l.AddFile(Entry(name, i, t), Gbk(kFolders[rng() % std::size(kFolders)]));
    }
    return l;
}

}  // namespace

// Every text column, both ways, and again on the rows as the last sort left
// them (ties then follow the new row numbers): the same order as the
// collator's word sort keys give.
TEST(FileList, TextSortsFollowTheCollatorsWordKeysOnAMixedTable) {
    FileList l = MixedList(3000, 1);
    const ferro::FileColumn columns[] = {ferro::kColName, ferro::kColFolder, ferro::kColType,
                                         ferro::kColCreated, ferro::kColModified};
    for (int round = 0; round < 2; ++round) {
        for (ferro::FileColumn column : columns) {
            for (bool ascending : {true, false}) {
                SCOPED_TRACE(testing::Message() << "round " << round << ", column " << column
                                                << (ascending ? " up" : " down"));
                const std::vector<int64_t> want = ReferenceOrder(l, column, ascending);
                l.Sort(column, ascending);
                ASSERT_EQ(Ids(l), want);
            }
        }
    }
}

// A list large enough to be keyed on several threads and sorted by the
// bytes of many keys at once, names mostly sharing long beginnings.
TEST(FileList, ALargeNameSortFollowsTheCollatorsWordKeys) {
    FileList l;
    std::mt19937 rng(3);
    for (int i = 0; i < 70000; ++i) {
        std::string name = (i % 10 == 0 ? Gbk("报告_") : std::string(i % 13 ? "report_" : "Report-")) +
                           std::to_string(rng() % 20000) + (i % 3 ? "_file.txt" : "_data.dat");
        l.AddFile(Entry(name, i), "/data");
    }
    for (bool ascending : {true, false, true}) {
        SCOPED_TRACE(ascending ? "up" : "down");
        const std::vector<int64_t> want = ReferenceOrder(l, ferro::kColName, ascending);
        l.Sort(ferro::kColName, ascending);
        ASSERT_EQ(Ids(l), want);
    }
}

// Sizes: numbers in order, unreadable ones below every number, equal sizes
// in the order of their rows either way.
TEST(FileList, SizeSortsKeepTheRowsOrderAmongEqualSizes) {
    FileList l;
    const int sizes[] = {5, 3, 5, -1, 3, 0, 5, -1, 7, 3};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        l.AddFile(Entry("r" + std::to_string(i), sizes[i]), "/");
        if (sizes[i] < 0) l.SetCell(ferro::kColSize, static_cast<int>(i) + 1, "?");
    }
    for (bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "up" : "down");
        std::vector<std::string> want = Names(l);
        auto size = [&](const std::string& n) { return sizes[std::stoi(n.substr(1))]; };
        std::stable_sort(want.begin(), want.end(), [&](const auto& a, const auto& b) {
            return ascending ? size(a) < size(b) : size(b) < size(a);
        });
        l.Sort(ferro::kColSize, ascending);
        EXPECT_EQ(Names(l), want);
    }
}
