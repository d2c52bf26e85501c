// Date change over real files, in a fixed time zone eight hours east of UTC
// so that a local/UTC mix-up shows.
#include "fileops/date_change.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "common/temp_folder.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::TempFolder;

constexpr FileTime kSecond = 1000000000LL;

class DateChange : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) oldTz_ = tz, hadTz_ = true;
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", oldTz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

    // A file with all three times at a local date and time (plus 700 ms).
    std::string Make(const std::string& name, DateTime local) {
        const std::string path = dir_.Write(name, name);
        local.millisecond = 700;
        const FileTime t = FromLocal(local);
        EXPECT_TRUE(SetFileTimes(path, t, t, t));
        FindEntry e;
        EXPECT_TRUE(StatPath(path, e));
        list_.SetChecked(list_.AddFile(e, ExtractFileDir(path)), true);
        return path;
    }
    FileTimes Times(const std::string& path) {
        FileTimes t;
        EXPECT_TRUE(GetFileTimes(path, t));
        return t;
    }

    TempFolder dir_;
    FileList list_;

private:
    std::string oldTz_;
    bool hadTz_ = false;
};

TEST_F(DateChange, TimeAloneKeepsEachLocalDate) {
    const std::string a = Make("a.txt", {2012, 7, 1, 8, 15, 0});
    const std::string b = Make("b.txt", {2012, 7, 1, 23, 59, 0});  // 15:59 UTC
    DateSettings s;
    s.useTime = true;
    s.time = {17, 30, 0, 250};
    EXPECT_EQ(ChangeDates(list_, s).done, 2);
    const FileTime expected = 1341135000LL * kSecond + 250000000LL;  // 09:30:00.25 UTC
    const FileTimes ta = Times(a), tb = Times(b);
    EXPECT_EQ(ta.lastWrite, expected);
    EXPECT_EQ(ta.lastAccess, expected);
    EXPECT_EQ(ta.creation, expected);
    EXPECT_EQ(tb.lastWrite, expected);
    // The list is left as it was.
    EXPECT_EQ(list_.Cell(kColModified, 1), "2012-07-01 08:15:00");
    EXPECT_EQ(list_.Cell(kColCreated, 2), "2012-07-01 23:59:00");
}

TEST_F(DateChange, ChosenDateKeepsOrReplacesTheTimeOfDay) {
    const std::string a = Make("a.txt", {2012, 7, 1, 8, 15, 42});
    const FileTimes before = Times(a);
    DateSettings s;
    s.setModified = true;
    s.modified = {2020, 2, 29};
    EXPECT_EQ(ChangeDates(list_, s).done, 1);
    FileTimes after = Times(a);
    EXPECT_EQ(after.lastWrite, FromLocal({2020, 2, 29, 8, 15, 42}));  // whole seconds
    EXPECT_EQ(after.creation, before.creation);  // not chosen, not touched
    EXPECT_EQ(after.lastAccess, before.lastAccess);
    EXPECT_EQ(list_.Cell(kColModified, 1), "2020-02-29 08:15:42");
    EXPECT_EQ(list_.Cell(kColCreated, 1), "2012-07-01 08:15:42");

    // Created date with the chosen time: kept where the list reads it.
    s = DateSettings{};
    s.setCreated = true;
    s.useTime = true;
    s.created = {2019, 1, 2};
    s.time = {9, 0, 5, 999};
    EXPECT_EQ(ChangeDates(list_, s).done, 1);
    after = Times(a);
    EXPECT_EQ(after.creation, FromLocal({2019, 1, 2, 9, 0, 5}));
    EXPECT_EQ(after.lastWrite, FromLocal({2020, 2, 29, 8, 15, 42}));
    EXPECT_EQ(list_.Cell(kColCreated, 1), "2019-01-02 09:00:05");
    FindEntry e;
    ASSERT_TRUE(StatPath(a, e));
    EXPECT_EQ(PackedTimeText(PackLocalTime(e.creationTime)), "2019-01-02 09:00:05");
}

TEST_F(DateChange, AccessedTimeChangesOnDiskOnly) {
    const std::string a = Make("a.txt", {2015, 5, 5, 5, 5, 5});
    const FileTimes before = Times(a);
    DateSettings s;
    s.setAccessed = true;
    s.accessed = {2016, 6, 6};
    EXPECT_EQ(ChangeDates(list_, s).done, 1);
    const FileTimes after = Times(a);
    EXPECT_EQ(after.lastAccess, FromLocal({2016, 6, 6, 5, 5, 5}));
    EXPECT_EQ(after.lastWrite, before.lastWrite);
    EXPECT_EQ(after.creation, before.creation);
    EXPECT_EQ(list_.Cell(kColModified, 1), "2015-05-05 05:05:05");
    EXPECT_EQ(list_.Cell(kColCreated, 1), "2015-05-05 05:05:05");
}

TEST_F(DateChange, FailuresAreNotCounted) {
    const std::string a = Make("ro.txt", {2015, 5, 5, 5, 5, 5});
    const std::string b = Make("gone.txt", {2015, 5, 5, 5, 5, 5});
    Make("ok.txt", {2015, 5, 5, 5, 5, 5});
    dir_.SetMode("ro.txt", 0444);
    ASSERT_TRUE(DeleteFile(b));
    const FileTimes before = Times(a);
    DateSettings s;
    s.setModified = s.setCreated = true;
    s.modified = s.created = {2001, 1, 1};
    EXPECT_EQ(ChangeDates(list_, s).done, 1);
    EXPECT_EQ(Times(a).lastWrite, before.lastWrite);
    EXPECT_EQ(Times(a).creation, before.creation);
    EXPECT_EQ(list_.Cell(kColModified, 1), "2015-05-05 05:05:05");
    EXPECT_EQ(list_.Cell(kColModified, 3), "2001-01-01 05:05:05");
    EXPECT_EQ(ChangeDates(list_, DateSettings{}).done, 0);  // nothing chosen
}

TEST_F(DateChange, FolderOfARunOfRowsIsSetOnce) {
    const std::string folder = dir_.MakeFolder("one");
    for (int i = 0; i < 10; ++i) Make("one/f" + std::to_string(i) + ".txt", {2015, 5, 5, 5, 5, 5});
    dir_.SetModified("one", FromLocal({2014, 4, 4, 14, 0, 0}) / kSecond);
    DateSettings s;
    s.setModified = true;
    s.foldersToo = true;
    s.modified = {2018, 8, 8};
    EXPECT_EQ(ChangeDates(list_, s).done, 10);  // folders are not counted
    EXPECT_EQ(Times(folder).lastWrite, FromLocal({2018, 8, 8, 14, 0, 0}));

    // The rule itself: a folder is visited again only after another one,
    // and one that failed is tried again with the next row.
    FileList list;
    FindEntry e;
    e.name = "x";
    for (const char* f : {"A", "A", "A", "B", "B", "A", "C", "C"}) list.SetChecked(list.AddFile(e, f), true);
    list.SetChecked(3, false);
    std::string visited;
    int calls = 0;
    const int files = ForEachTickedFile(
        list, [](int row) { return row != 2 ? Undone::None : Undone::ReadOnly; },
        [&](const std::string& f) {
            visited += f;
            return f != "C" || ++calls > 1;
        },
        nullptr).done;
    EXPECT_EQ(files, 6);
    EXPECT_EQ(visited, "ABACC");
}

}  // namespace
}  // namespace ferro
