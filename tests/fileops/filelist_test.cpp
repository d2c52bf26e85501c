#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "fileops/filelist.h"

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
