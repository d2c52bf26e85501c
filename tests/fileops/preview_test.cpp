// The preview of the name and metadata operations against the runs
// themselves: for every ticked row, the preview's new name and reason are
// what the run then does.
#include "fileops/preview.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "fileops/extension_change.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::TempFolder;

FileList Listed(const TempFolder& dir, const std::vector<std::string>& names,
                const std::vector<int>& unticked = {}) {
    FileList list;
    for (const std::string& n : names) {
        const std::string path = dir.Write(n, n);
        FindEntry e;
        EXPECT_TRUE(StatPath(path, e)) << path;
        list.SetChecked(list.AddFile(e, ExtractFileDir(path)), true);
    }
    for (int r : unticked) list.SetChecked(r, false);
    return list;
}

struct Outcome {
    std::string name;  // the row's name afterwards
    Undone why;
};

// What the preview says of each ticked row, settled over the whole list.
std::vector<Outcome> Previewed(ChangePreview& preview, const FileList& list) {
    EXPECT_TRUE(preview.Advance(0));
    std::vector<Outcome> out;
    for (int r = 1; r <= list.LastRow(); ++r) {
        const auto c = preview.Row(r);
        if (!c) continue;
        EXPECT_TRUE(c->settled);
        out.push_back({c->why == Undone::None ? c->after : list.Name(r), c->why});
    }
    return out;
}

// What the run did to the same rows.
std::vector<Outcome> Ran(const FileList& list, const RunSummary& s) {
    std::vector<Outcome> out;
    std::size_t u = 0;
    for (int r = 1; r <= list.LastRow(); ++r) {
        if (!list.Checked(r)) continue;
        Undone why = Undone::None;
        if (u < s.undone.size() && s.undone[u].row == r) why = s.undone[u++].why;
        out.push_back({list.Name(r), why});
    }
    return out;
}

void ExpectSame(const std::vector<Outcome>& preview, const std::vector<Outcome>& run) {
    ASSERT_EQ(preview.size(), run.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(preview[i].name, run[i].name) << "row " << i;
        EXPECT_EQ(preview[i].why, run[i].why) << "row " << i << " " << run[i].name;
    }
}

TEST(Preview, RenamePreviewIsWhatTheRunDoes) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> existing;  // other files in the folder
        std::vector<int> unticked;
        std::string pattern;                // "@" stands for the folder
        std::string list;                   // name list file, when used
    } cases[] = {
        {"numbers follow the ticks, not the rows", {"a.jpg", "b.jpg", "c.png", "d.jpg"}, {}, {2},
         "IMG_${sn(7,3)}", ""},
        {"clashes between rows and with the disk",
         {"ab1.txt", "ab2.txt", "cd1.txt", "xy1.txt", "ab3.txt"}, {"xy.txt"}, {},
         "${GetLeft(2)}", ""},
        {"a name given up earlier in the run is free", {"c.txt", "b.txt", "a.txt"}, {}, {},
         "${file(@/names.lst)}", "d\r\nc\r\nb\r\n"},
        {"the list ends before the rows do", {"1.txt", "2.txt", "3.txt", "4.txt"}, {}, {},
         "${file(@/names.lst)}", "one\r\n\r\nbad/name\r\n"},
        {"unchanged and lower-cased", {"same.txt", "Up.TXT"}, {}, {}, "${filename}_${sn(1,1)}",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        for (const std::string& e : c.existing) dir.Write(e, "keep");
        if (!c.list.empty()) dir.Write("names.lst", c.list);
        FileList list = Listed(dir, c.files, c.unticked);
        std::string pattern = c.pattern;
        if (const auto at = pattern.find('@'); at != std::string::npos)
            pattern.replace(at, 1, dir.path());

        auto preview = ChangePreview::ForRename(list, pattern, "");
        const auto previewed = Previewed(*preview, list);
        const int changing = preview->changing(), skipping = preview->skipping();
        preview.reset();
        const RunSummary s = RenameFiles(list, pattern, "");
        ExpectSame(previewed, Ran(list, s));
        EXPECT_EQ(changing, s.done);
        EXPECT_EQ(skipping, static_cast<int>(s.undone.size()));
        for (const std::string& e : c.existing) EXPECT_EQ(dir.Read(e), "keep");
    }
}

TEST(Preview, ExtensionPreviewIsWhatTheRunDoes) {
    TempFolder dir;
    dir.Write("a.txt.bak", "keep");
    FileList list = Listed(dir, {"a.txt", "b.TXT", "c", "d.txt.bak"});
    auto preview = ChangePreview::ForExtension(list, "${ext}.bak");
    const auto previewed = Previewed(*preview, list);
    preview.reset();
    ExpectSame(previewed, Ran(list, ChangeExtensions(list, "${ext}.bak")));
    EXPECT_EQ(dir.Read("a.txt.bak"), "keep");
}

TEST(Preview, RowsOnScreenAreAnsweredBeforeTheWalk) {
    TempFolder dir;
    FileList list = Listed(dir, {"x1.txt", "x2.txt", "y.txt"});
    auto preview = ChangePreview::ForRename(list, "${getleft(1)}", "");
    // Row 2 alone cannot know that row 1 takes its name first.
    auto early = preview->Row(2);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->after, "x.txt");
    EXPECT_FALSE(early->settled);
    EXPECT_EQ(preview->Row(3)->why, Undone::Unchanged);
    EXPECT_TRUE(preview->Row(3)->settled);
    preview->Advance(0);
    EXPECT_EQ(preview->Row(2)->why, Undone::DuplicateName);
    EXPECT_FALSE(ChangePreview::ForRename(list, "x", "")->Row(4));
    // Nothing was touched.
    EXPECT_TRUE(dir.Exists("x1.txt") && dir.Exists("x2.txt") && !dir.Exists("x.txt"));
}

TEST(Preview, DatesAndAttributesShowWhatWouldBeWritten) {
    TempFolder dir;
    FileList list = Listed(dir, {"a.txt", "ro.txt", "gone.txt"});
    dir.SetMode("ro.txt", 0444);
    ASSERT_TRUE(DeleteFile(dir / "gone.txt"));

    DateSettings d;
    d.setModified = true;
    d.useTime = true;
    d.modified = {2019, 3, 4};
    d.time = {6, 7, 8, 0};
    auto dates = ChangePreview::ForDates(list, d);
    EXPECT_TRUE(dates->Advance(0));
    EXPECT_NE(dates->Row(1)->after.find("2019-03-04 06:07:08"), std::string::npos);
    EXPECT_EQ(dates->Row(1)->why, Undone::None);
    EXPECT_EQ(dates->Row(2)->why, Undone::ReadOnly);
    EXPECT_EQ(dates->Row(3)->why, Undone::Missing);
    EXPECT_EQ(dates->changing(), 1);

    AttributeSettings a;
    a.readOnly = a.hidden = true;
    auto attributes = ChangePreview::ForAttributes(list, a);
    attributes->Advance(0);
    EXPECT_EQ(attributes->Row(1)->after, "R H A");
    EXPECT_EQ(attributes->Row(2)->why, Undone::None);  // attributes of a read-only file do change
    EXPECT_EQ(attributes->Row(3)->why, Undone::Missing);
    const RunSummary s = ChangeAttributes(list, a);
    EXPECT_EQ(s.done, attributes->changing());
}

}  // namespace
}  // namespace ferro
