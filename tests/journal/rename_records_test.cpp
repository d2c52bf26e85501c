// What the journal holds of renames whose new names are taken: a rename
// that waits for another file of the run to give its name up stays one
// planned change (no record of its own, no flush of its own), a ring adds
// the step aside, a name taken by a file outside the run is withdrawn; and
// undo gives every old name back.
#include <errno.h>
#include <unistd.h>

#include <fstream>

#include "fileops/rename.h"
#include "journal/run_log.h"
#include "journal_support.h"
#include "platform/sys_calls.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::JournalHost;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TickedList;
using testing::UndoNewest;

// A journal of its own and a folder for the files.
struct Scene {
    TempFolder state;
    ScopedEnv env{"XDG_STATE_HOME", state.path()};
    Journal journal;
    TempFolder t;
};

struct Records {
    int items = 0, done = 0, withdrawn = 0, open = 0;
};

Records RecordsOf(const std::string& logPath) {
    journal::RunLog log;
    EXPECT_TRUE(journal::ReadRunLog(logPath, log));
    Records r;
    for (const journal::Item& item : log.items) {
        ++r.items;
        if (item.state == journal::Item::State::Done) ++r.done;
        else if (item.state == journal::Item::State::Withdrawn) ++r.withdrawn;
        else ++r.open;
    }
    return r;
}

TEST(RenameRecords, NamesGivenUpWithinTheRunAreRecordedOnceAndUndone) {
    const struct {
        const char* what;
        std::vector<std::string> names;  // the files, in the run's order
        std::string list;                // their new bases, one a line ("": a shift by one)
        int done;
        Records records;
        std::vector<Undone> undone;  // the reasons of the files left, in order
    } cases[] = {
        {"shift by one of 300", {}, "", 300, {300, 300, 0, 0}, {}},
        // The last of a ring steps aside: its planned rename is withdrawn,
        // the two steps are recorded on their own.
        {"swap", {"a.txt", "b.txt"}, "b\na\n", 2, {4, 3, 1, 0}, {}},
        {"rotation", {"1.txt", "2.txt", "3.txt"}, "2\n3\n1\n", 3, {5, 4, 1, 0}, {}},
        // b.txt -> c.txt meets c.txt, which is not part of the run: given
        // up, and a.txt, which waited for b.txt's name, stays too. Nothing
        // changed, so nothing is kept.
        {"a file outside the run", {"a.txt", "b.txt"}, "b\nc\n", 0, {}, {Undone::NameExists, Undone::NameExists}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        Journal& journal = scene.journal;
        TempFolder& t = scene.t;
        std::vector<std::string> names = c.names;
        if (names.empty())
            for (int i = 1; i <= 300; ++i) names.push_back("f" + std::to_string(i) + ".txt");
        std::vector<std::string> paths;
        for (const std::string& n : names) paths.push_back(t.Write(n, "content of " + n));
        if (c.what == std::string("a file outside the run")) t.Write("c.txt", "outside");
        TempFolder lists;
        const std::string pattern =
            c.list.empty() ? std::string("f${sn(2,1)}") : "${file(" + lists.Write("names.lst", c.list) + ")}";
        FileList list = TickedList(paths);
        RunSummary s;
        {
            JournalHost host(journal, "更改文件名称");
            s = RenameFiles(list, pattern, "", &host);
        }
        EXPECT_EQ(s.done, c.done);
        std::vector<Undone> undone;
        for (const FileResult& r : s.undone) undone.push_back(r.why);
        EXPECT_EQ(undone, c.undone);
        if (c.done == 0) {
            for (const std::string& n : names) EXPECT_EQ(t.Read(n), "content of " + n) << n;
            EXPECT_FALSE(journal.NextToUndo().has_value());
            continue;
        }
        testing::ExpectIndexAsLog(journal);
        const std::optional<JournalRun> run = journal.NextToUndo();
        ASSERT_TRUE(run.has_value());
        const Records r = RecordsOf(journal.RunFolder(run->id) + "/log");
        EXPECT_EQ(r.items, c.records.items);
        EXPECT_EQ(r.done, c.records.done);
        EXPECT_EQ(r.withdrawn, c.records.withdrawn);
        EXPECT_EQ(r.open, c.records.open);

        const UndoResult back = UndoNewest(journal);
        EXPECT_TRUE(back.complete()) << UndoneListText(back.summary);
        for (const std::string& n : names) EXPECT_EQ(t.Read(n), "content of " + n) << n;
        EXPECT_EQ(Entries(t.path()).size(), names.size());
    }
}

// A file gone from its folder after it was listed: its reason is the one
// the preview gives, whether its new name is free or taken.
TEST(RenameRecords, AFileGoneSinceItWasListedKeepsItsReason) {
    const struct {
        bool targetTaken;
        Undone why;
    } cases[] = {{false, Undone::Missing}, {true, Undone::NameExists}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.targetTaken);
        Scene scene;
        Journal& journal = scene.journal;
        TempFolder& t = scene.t;
        FileList list = TickedList({t.Write("x.txt", "x")});
        if (c.targetTaken) t.Write("new_x.txt", "someone else's");
        ASSERT_EQ(unlink((t.path() + "/x.txt").c_str()), 0);
        RunSummary s;
        {
            JournalHost host(journal, "更改文件名称");
            s = RenameFiles(list, "new_${filename}", "", &host);
        }
        EXPECT_EQ(s.done, 0);
        ASSERT_EQ(s.undone.size(), 1u);
        EXPECT_EQ(s.undone[0].why, c.why);
        if (c.targetTaken) EXPECT_EQ(t.Read("new_x.txt"), "someone else's");
        EXPECT_FALSE(journal.NextToUndo().has_value());
    }
}

// A shift by one of 300 files whose 5th and 250th went away after they
// were listed (one in each half of the plan, whose states are read on two
// threads): the file before each takes the name it left free (the run
// does not look before it waits for a later file's name, so the gone file
// has to give it up), the rest shift as planned, and undo gives every name
// back.
TEST(RenameRecords, AShiftPastFilesGoneSinceTheyWereListed) {
    constexpr int kFiles = 300;
    const auto gone = [](int i) { return i == 5 || i == 250; };
    Scene scene;
    TempFolder& t = scene.t;
    std::vector<std::string> paths;
    for (int i = 1; i <= kFiles; ++i)
        paths.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
    FileList list = TickedList(paths);
    for (int i = 1; i <= kFiles; ++i)
        if (gone(i)) ASSERT_EQ(unlink((t.path() + "/f" + std::to_string(i) + ".txt").c_str()), 0);
    RunSummary s;
    {
        JournalHost host(scene.journal, "更改文件名称");
        s = RenameFiles(list, "f${sn(2,1)}", "", &host);
    }
    EXPECT_EQ(s.done, kFiles - 2);
    ASSERT_EQ(s.undone.size(), 2u);
    EXPECT_EQ(s.undone[0].row, 5);
    EXPECT_EQ(s.undone[1].row, 250);
    for (const FileResult& r : s.undone) EXPECT_EQ(r.why, Undone::Missing);
    for (int i = 1; i <= kFiles; ++i)
        if (!gone(i)) EXPECT_EQ(t.Read("f" + std::to_string(i + 1) + ".txt"), std::to_string(i)) << i;
    EXPECT_EQ(Entries(t.path()).size(), std::size_t{kFiles - 2});
    testing::ExpectIndexAsLog(scene.journal);
    const UndoResult back = UndoNewest(scene.journal);
    EXPECT_TRUE(back.complete()) << UndoneListText(back.summary);
    for (int i = 1; i <= kFiles; ++i)
        if (!gone(i)) EXPECT_EQ(t.Read("f" + std::to_string(i) + ".txt"), std::to_string(i)) << i;
}

// Files of two folders: the run is known by its first file (and its index
// entry says so without reading the log back).
TEST(RenameRecords, ARunOverTwoFoldersIsNotedAsItsLogTellsIt) {
    Scene scene;
    TempFolder& t = scene.t;
    const std::string a = t.Write(testing::Gbk("一/x.txt"), "a"), b = t.Write(testing::Gbk("二/x.txt"), "b");
    FileList list = TickedList({a, b});
    {
        JournalHost host(scene.journal, "更改文件名称");
        EXPECT_EQ(RenameFiles(list, "y", "", &host).done, 2);
    }
    testing::ExpectIndexAsLog(scene.journal);
    EXPECT_EQ(scene.journal.Runs().front().place, a);
    EXPECT_EQ(scene.journal.Runs().front().files, 2);
}

// A run that plans a batch at a time (while values are read ahead) and has
// a rename wait for its name finds it planned again, and the later
// batches' changes planned too: no intent of their own.
TEST(RenameRecords, LaterBatchesStayPlannedOnceAskedOutOfOrder) {
    Scene scene;
    Journal& journal = scene.journal;
    TempFolder& t = scene.t;
    std::vector<std::string> from, to;
    for (const char* n : {"1", "2", "3", "4"}) {
        from.push_back(t.Write(std::string("x") + n, n));
        to.push_back(t / (std::string("y") + n));
    }
    auto rename = [&](RunRecorder& r, int i) {
        ASSERT_TRUE(r.WillRename(from[i], to[i]));
        ASSERT_TRUE(MoveFile(from[i], to[i]));
        r.Changed();
    };
    {
        JournalHost host(journal, "更改文件名称");
        RunRecorder& r = host.run();
        using C = ChangeRecorder::Change;
        ASSERT_TRUE(r.Plan({{C::Rename, from[0], to[0]}, {C::Rename, from[1], to[1]}}));
        // The first waits for its name, as in a shift.
        ASSERT_TRUE(r.WillRename(from[0], to[0]));
        r.NotYet();
        rename(r, 1);
        rename(r, 0);
        ASSERT_TRUE(r.Plan({{C::Rename, from[2], to[2]}, {C::Rename, from[3], to[3]}}));
        rename(r, 3);
        rename(r, 2);
    }
    const std::optional<JournalRun> run = journal.NextToUndo();
    ASSERT_TRUE(run.has_value());
    const Records r = RecordsOf(journal.RunFolder(run->id) + "/log");
    EXPECT_EQ(r.items, 4);
    EXPECT_EQ(r.done, 4);
    EXPECT_TRUE(UndoNewest(journal).complete());
    for (const char* n : {"1", "2", "3", "4"}) EXPECT_EQ(t.Read(std::string("x") + n), n);
}

// A disk without the no-replace rename and without hard links (FAT and
// exFAT through FUSE): the rename that is tried first says a taken name
// through the platform's last way (a look under the folder's lock), so a
// shift completes there too and a file outside the run is never replaced.
TEST(RenameRecords, AShiftCompletesWhereTheDiskLacksTheNoReplaceRename) {
    sys::ScopedSysCall noFlag(&sys::Calls::renameat2, +[](int, const char*, int, const char*, unsigned) {
        errno = EINVAL;
        return -1;
    });
    sys::ScopedSysCall noLink(&sys::Calls::link, +[](const char*, const char*) {
        errno = EPERM;
        return -1;
    });
    Scene scene;
    TempFolder& t = scene.t;
    std::vector<std::string> paths;
    for (int i = 1; i <= 50; ++i) paths.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
    t.Write("f52.txt", "outside");
    FileList list = TickedList(paths);
    RunSummary s;
    {
        JournalHost host(scene.journal, "更改文件名称");
        s = RenameFiles(list, "f${sn(2,1)}", "", &host);
    }
    EXPECT_EQ(s.done, 50);
    for (int i = 1; i <= 50; ++i) EXPECT_EQ(t.Read("f" + std::to_string(i + 1) + ".txt"), std::to_string(i));
    EXPECT_FALSE(t.Exists("f1.txt"));

    // One more by one: f51 -> f52 meets the file outside the run, and the
    // whole chain behind it stays.
    paths.clear();
    for (int i = 2; i <= 51; ++i) paths.push_back(t / ("f" + std::to_string(i) + ".txt"));
    FileList again = TickedList(paths);
    {
        JournalHost host(scene.journal, "更改文件名称");
        s = RenameFiles(again, "f${sn(3,1)}", "", &host);
    }
    EXPECT_EQ(s.done, 0);
    ASSERT_EQ(s.undone.size(), 50u);
    for (const FileResult& r : s.undone) EXPECT_EQ(r.why, Undone::NameExists) << r.path;
    EXPECT_EQ(t.Read("f52.txt"), "outside");
    for (int i = 1; i <= 50; ++i) EXPECT_EQ(t.Read("f" + std::to_string(i + 1) + ".txt"), std::to_string(i));

    const UndoResult back = UndoNewest(scene.journal);
    EXPECT_TRUE(back.complete()) << UndoneListText(back.summary);
    for (int i = 1; i <= 50; ++i) EXPECT_EQ(t.Read("f" + std::to_string(i) + ".txt"), std::to_string(i));
    EXPECT_EQ(t.Read("f52.txt"), "outside");
}

// A shift killed before the records of its last renames reached the log:
// recovery finds them made from the files and tells them in the order of
// their ids, the reverse of the order they were made in. Undo still gives
// every old name back.
TEST(RenameRecords, AShiftCutShortBeforeItsRecordsIsUndoneWhole) {
    Scene scene;
    TempFolder& t = scene.t;
    std::vector<std::string> paths;
    for (int i = 1; i <= 30; ++i) paths.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
    FileList list = TickedList(paths);
    {
        JournalHost host(scene.journal, "更改文件名称");
        ASSERT_EQ(RenameFiles(list, "f${sn(2,1)}", "", &host).done, 30);
    }
    const std::optional<JournalRun> run = scene.journal.NextToUndo();
    ASSERT_TRUE(run.has_value());
    // The log as a kill leaves it: the plan and the first five renames'
    // records (the shift's far end), nothing after.
    const std::string log = scene.journal.RunFolder(run->id) + "/log";
    std::ifstream in(log, std::ios::binary);
    std::string kept, line;
    int done = 0;
    while (std::getline(in, line)) {
        if (line.rfind("D\t", 0) == 0 && ++done > 5) continue;
        if (line.rfind("E\t", 0) == 0) continue;
        kept += line + "\n";
    }
    in.close();
    std::ofstream(log, std::ios::binary | std::ios::trunc) << kept;

    const UndoResult back = UndoNewest(scene.journal);
    EXPECT_TRUE(back.complete()) << UndoneListText(back.summary);
    for (int i = 1; i <= 30; ++i) EXPECT_EQ(t.Read("f" + std::to_string(i) + ".txt"), std::to_string(i)) << i;
    EXPECT_EQ(Entries(t.path()).size(), 30u);
}

}  // namespace
}  // namespace ferro
