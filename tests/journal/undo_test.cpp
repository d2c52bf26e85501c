// Runs recorded in the journal and undone: names, times, attributes,
// contents, the trash and created files come back exactly; anything the
// world changed since the run is left alone and reported; the rest is
// undone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "fileops/attribute_change.h"
#include "fileops/date_change.h"
#include "fileops/extension_change.h"
#include "fileops/rename.h"
#include "journal_support.h"
#include "platform/trash.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::JournalHost;
using testing::RawState;
using testing::ScopedEnv;
using testing::StoppingHost;
using testing::TempFolder;
using testing::TickedList;
using testing::UndoNewest;

class UndoTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
    TempFolder t_;
    Journal journal_;

    std::vector<std::string> MakeFiles(const char* stem, int n) {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%02d.txt", stem, i);
            paths.push_back(t_.Write(name, std::string("content of ") + name));
        }
        return paths;
    }

    // Gives a file a write through the journal, as a text run does.
    bool RecordedWrite(JournalHost& host, const std::string& path, std::string_view bytes) {
        OldContentKeeper* keeper = host.recorder()->WillWrite(path);
        if (!keeper) return false;
        const bool ok = WriteFileSafely(path, bytes, keeper);
        if (ok) host.recorder()->Changed();
        else host.recorder()->NotChanged();
        return ok;
    }
};

void SetTimesNs(const std::string& path, long long mtime, long long atime) {
    const timespec ts[2] = {{atime / 1000000000LL, atime % 1000000000LL},
                            {mtime / 1000000000LL, mtime % 1000000000LL}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW), 0);
}

TEST_F(UndoTest, RenameOfFiftyFilesIsUndoneNameByNameWithTheSameBytes) {
    const std::vector<std::string> paths = MakeFiles("file", 50);
    FileList list = TickedList(paths);
    {
        JournalHost host(journal_, "更改文件名称");
        EXPECT_EQ(RenameFiles(list, "img_${sn(1,3)}", "", &host).done, 50);
    }
    ASSERT_EQ(Entries(t_.path()).front(), "img_001.txt");

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 50);
    EXPECT_TRUE(undo.summary.undone.empty());
    ASSERT_EQ(undo.restored.size(), 50u);
    EXPECT_EQ(undo.restored.front().from, t_ / "img_050.txt");  // the last rename first
    EXPECT_EQ(undo.restored.front().to, t_ / "file49.txt");
    for (int i = 0; i < 50; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file%02d.txt", i);
        EXPECT_EQ(t_.Read(name), std::string("content of ") + name);
    }
    EXPECT_EQ(Entries(t_.path()).size(), 50u);
    EXPECT_FALSE(journal_.NextToUndo());  // undone runs are not offered again
}

TEST_F(UndoTest, ExtensionChangeIsUndone) {
    const std::vector<std::string> paths = MakeFiles("doc", 3);
    FileList list = TickedList(paths);
    {
        JournalHost host(journal_, "更改文件扩展名");
        EXPECT_EQ(ChangeExtensions(list, "bak", &host).done, 3);
    }
    EXPECT_TRUE(t_.Exists("doc01.bak"));
    EXPECT_EQ(UndoNewest(journal_).summary.done, 3);
    EXPECT_EQ(Entries(t_.path()), (std::vector<std::string>{"doc00.txt", "doc01.txt", "doc02.txt"}));
}

// KIO's "world changed" cases: whatever happened to one file after the run,
// undo refuses exactly that file, leaves it byte for byte as it is, and
// undoes the others.
TEST_F(UndoTest, RenameUndoRefusesExactlyTheFileTheWorldChanged) {
    struct Case {
        const char* name;
        void (*change)(const TempFolder& t);
        Undone why;
        const char* renamedBytes;  // what the renamed file holds afterwards; null: it is gone
    };
    const Case cases[] = {
        {"rewritten after the run", [](const TempFolder& t) { t.Write("new_02.txt", "edited"); },
         Undone::ChangedSince, "edited"},
        {"modified time retouched",
         [](const TempFolder& t) { t.SetModified("new_02.txt", 1341130500); }, Undone::ChangedSince,
         "content of a02.txt"},
        {"old name taken by a new file", [](const TempFolder& t) { t.Write("a02.txt", "newcomer"); },
         Undone::NameExists, "content of a02.txt"},
        {"made read-only", [](const TempFolder& t) { t.SetMode("new_02.txt", 0444); },
         Undone::ReadOnly, "content of a02.txt"},
        {"gone", [](const TempFolder& t) { unlink((t / "new_02.txt").c_str()); }, Undone::Missing,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        std::vector<std::string> paths;
        for (int i = 0; i < 5; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "a%02d.txt", i);
            paths.push_back(t.Write(name, std::string("content of ") + name));
        }
        FileList list = TickedList(paths);
        {
            JournalHost host(journal_, "更改文件名称");
            ASSERT_EQ(RenameFiles(list, "new_${sn(0,2)}", "", &host).done, 5);
        }
        c.change(t);
        const std::vector<std::string> before = Entries(t.path());

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(undo.summary.done, 4);
        ASSERT_EQ(undo.summary.undone.size(), 1u);
        EXPECT_EQ(undo.summary.undone[0].path, t / "new_02.txt");
        EXPECT_EQ(undo.summary.undone[0].why, c.why);
        for (int i : {0, 1, 3, 4}) {
            char name[16];
            std::snprintf(name, sizeof name, "a%02d.txt", i);
            EXPECT_EQ(t.Read(name), std::string("content of ") + name);
        }
        if (c.renamedBytes) EXPECT_EQ(t.Read("new_02.txt"), c.renamedBytes);
        else EXPECT_FALSE(t.Exists("new_02.txt"));
        if (c.why == Undone::NameExists) {
            EXPECT_EQ(t.Read("a02.txt"), "newcomer");
        }
        EXPECT_EQ(before.size(), Entries(t.path()).size());
        t.SetMode("new_02.txt", 0644);
    }
}

TEST_F(UndoTest, DatesAndAttributesComeBackExactlyWithTheDosRecord) {
    // One file with a DOS record holding attributes and a created time, one
    // without any record, and times with nanoseconds.
    const std::string dressed = t_.Write("dressed.txt", "x");
    ASSERT_TRUE(SetFileAttributes(dressed, attr::Hidden | attr::Archive));
    ASSERT_TRUE(SetFileTimes(dressed, FromLocal(DateTime{2001, 2, 3, 4, 5, 6, 7}), {}, {}));
    const std::string plain = t_.Write("plain.txt", "y");
    SetTimesNs(dressed, 1341130500123456789LL, 1341130600987654321LL);
    SetTimesNs(plain, 1241130500000000001LL, 1241130600000000002LL);
    ASSERT_FALSE(testing::Xattr(plain, kDosAttribName));

    struct Case {
        const char* name;
        RunSummary (*run)(FileList& list, RunHost* host);
    };
    const Case cases[] = {
        {"all three dates with a time of day",
         [](FileList& list, RunHost* host) {
             DateSettings s;
             s.setModified = s.setCreated = s.setAccessed = s.useTime = true;
             s.modified = s.created = s.accessed = CalendarDate{2020, 2, 29};
             s.time = TimeOfDay{13, 14, 15, 0};
             return ChangeDates(list, s, host);
         }},
        {"the time of day alone",
         [](FileList& list, RunHost* host) {
             DateSettings s;
             s.useTime = true;
             s.time = TimeOfDay{1, 2, 3, 456};
             return ChangeDates(list, s, host);
         }},
        {"read-only, system and hidden",
         [](FileList& list, RunHost* host) {
             AttributeSettings s;
             s.archive = false;
             s.readOnly = s.system = s.hidden = true;
             return ChangeAttributes(list, s, host);
         }},
        {"archive alone",
         [](FileList& list, RunHost* host) { return ChangeAttributes(list, AttributeSettings{}, host); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RawState dressedBefore = RawState::Of(dressed), plainBefore = RawState::Of(plain);
        FileList list = TickedList({dressed, plain});
        {
            JournalHost host(journal_, c.name);
            ASSERT_EQ(c.run(list, &host).done, 2);
        }
        ASSERT_NE(RawState::Of(dressed), dressedBefore);
        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(undo.summary.done, 2);
        EXPECT_EQ(RawState::Of(dressed), dressedBefore);
        EXPECT_EQ(RawState::Of(plain), plainBefore);
    }
}

TEST_F(UndoTest, FoldersGetTheirTimesBackToo) {
    const std::string folder = t_.MakeFolder("sub");
    const std::string file = t_.Write("sub/a.txt", "a");
    SetTimesNs(folder, 1341130500000000000LL, 1341130500000000000LL);
    const RawState before = RawState::Of(folder);
    FileList list = TickedList({file});
    {
        JournalHost host(journal_, "更改文件或目录日期");
        DateSettings s;
        s.setModified = s.foldersToo = true;
        s.modified = CalendarDate{2019, 1, 1};
        ASSERT_EQ(ChangeDates(list, s, &host).done, 1);
    }
    ASSERT_NE(RawState::Of(folder).mtimeNs, before.mtimeNs);
    EXPECT_EQ(UndoNewest(journal_).summary.done, 2);
    EXPECT_EQ(RawState::Of(folder).mtimeNs, before.mtimeNs);
}

TEST_F(UndoTest, RewritesComeBackForEveryLinkOfTheFile) {
    struct Case {
        const char* name;
        bool hardLinked;
    };
    for (const Case c : {Case{"hard-linked file, written in place", true},
                         Case{"single file, replaced", false}}) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string f = t.Write("notes.txt", "old line 1\r\nold line 2\r\n");
        if (c.hardLinked) {
            ASSERT_EQ(link(f.c_str(), (t / "link.txt").c_str()), 0);
        }
        t.SetMode("notes.txt", 0640);
        ASSERT_EQ(setxattr(f.c_str(), "user.note", "kept", 4, 0), 0);
        SetTimesNs(f, 1341130500000000123LL, 1341130500000000123LL);
        const struct stat before = testing::Stat(f);
        {
            JournalHost host(journal_, "内容按行删除");
            ASSERT_TRUE(RecordedWrite(host, f, "new content\r\n"));
        }
        ASSERT_EQ(t.Read("notes.txt"), "new content\r\n");
        if (c.hardLinked) {
            ASSERT_EQ(t.Read("link.txt"), "new content\r\n");
        }

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(undo.summary.done, 1);
        EXPECT_EQ(t.Read("notes.txt"), "old line 1\r\nold line 2\r\n");
        if (c.hardLinked) {
            EXPECT_EQ(t.Read("link.txt"), "old line 1\r\nold line 2\r\n");
            EXPECT_EQ(testing::Stat(f).st_ino, before.st_ino);
            EXPECT_EQ(testing::Stat(f).st_nlink, 2u);
        }
        const struct stat after = testing::Stat(f);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(testing::Xattr(f, "user.note"), "kept");
        EXPECT_EQ(Entries(t.path()).size(), c.hardLinked ? 2u : 1u);
    }
}

TEST_F(UndoTest, RewriteUndoRefusesExactlyTheFileTheWorldChanged) {
    struct Case {
        const char* name;
        void (*change)(const TempFolder& t);
        Undone why;
    };
    const Case cases[] = {
        {"rewritten after the run", [](const TempFolder& t) { t.Write("b.txt", "edited by hand"); },
         Undone::ChangedSince},
        {"modified time retouched", [](const TempFolder& t) { t.SetModified("b.txt", 1341130500); },
         Undone::ChangedSince},
        {"made read-only", [](const TempFolder& t) { t.SetMode("b.txt", 0444); }, Undone::ReadOnly},
        {"gone", [](const TempFolder& t) { unlink((t / "b.txt").c_str()); }, Undone::Missing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        for (const char* n : {"a.txt", "b.txt", "c.txt"}) t.Write(n, std::string("old ") + n);
        {
            JournalHost host(journal_, "行内容截取字符");
            for (const char* n : {"a.txt", "b.txt", "c.txt"})
                ASSERT_TRUE(RecordedWrite(host, t / n, std::string("new ") + n));
        }
        c.change(t);
        const bool gone = !t.Exists("b.txt");
        const std::string changed = gone ? std::string() : t.Read("b.txt");

        const UndoResult undo = UndoNewest(journal_);
        EXPECT_EQ(undo.summary.done, 2);
        ASSERT_EQ(undo.summary.undone.size(), 1u);
        EXPECT_EQ(undo.summary.undone[0].path, t / "b.txt");
        EXPECT_EQ(undo.summary.undone[0].why, c.why);
        EXPECT_EQ(t.Read("a.txt"), "old a.txt");
        EXPECT_EQ(t.Read("c.txt"), "old c.txt");
        if (gone) EXPECT_FALSE(t.Exists("b.txt"));
        else EXPECT_EQ(t.Read("b.txt"), changed);
        t.SetMode("b.txt", 0644);
    }
}

TEST_F(UndoTest, CreatedFilesGoAndTheFilesTheyReplacedComeBack) {
    const std::string created = t_ / "out.csv";
    const std::string replaced = t_.Write("old.csv", "the user's table");
    {
        JournalHost host(journal_, "文件格式转换");
        ASSERT_TRUE(RecordedWrite(host, created, "a,b\r\n"));
        ASSERT_TRUE(RecordedWrite(host, replaced, "c,d\r\n"));
    }
    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 2);
    EXPECT_FALSE(t_.Exists("out.csv"));
    EXPECT_EQ(t_.Read("old.csv"), "the user's table");

    // A created file the user has changed since stays.
    {
        JournalHost host(journal_, "文件格式转换");
        ASSERT_TRUE(RecordedWrite(host, created, "a,b\r\n"));
    }
    t_.Write("out.csv", "my own edits");
    const UndoResult refused = UndoNewest(journal_);
    ASSERT_EQ(refused.summary.undone.size(), 1u);
    EXPECT_EQ(refused.summary.undone[0].why, Undone::ChangedSince);
    EXPECT_EQ(t_.Read("out.csv"), "my own edits");
}

TEST_F(UndoTest, TrashedFilesComeBackToTheirPlaces) {
    TempFolder data;
    ScopedEnv dataHome("XDG_DATA_HOME", data.path());
    const std::string a = t_.Write("a.txt", "first"), b = t_.Write("b.txt", "second");
    {
        JournalHost host(journal_, "删除");
        for (const std::string& p : {a, b}) {
            ASSERT_TRUE(host.recorder()->WillTrash(p));
            const TrashResult r = MoveToTrash(p);
            ASSERT_EQ(r.outcome, TrashResult::Outcome::Trashed);
            host.recorder()->Trashed(r.item);
        }
    }
    ASSERT_FALSE(t_.Exists("a.txt"));
    t_.Write("b.txt", "a new b");  // takes the name of a trashed file

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 1);
    ASSERT_EQ(undo.summary.undone.size(), 1u);
    EXPECT_EQ(undo.summary.undone[0].why, Undone::NameExists);
    EXPECT_EQ(t_.Read("a.txt"), "first");
    EXPECT_EQ(t_.Read("b.txt"), "a new b");
    EXPECT_EQ(Entries(data / "Trash/files"), std::vector<std::string>{"b.txt"});
}

TEST_F(UndoTest, TenRunsAreUndoneNewestFirstAndAnEleventhDropsTheOldest) {
    t_.Write("n00.txt", "the file");
    TempFolder lists;
    for (int i = 0; i < 11; ++i) {
        char from[16], to[16];
        std::snprintf(from, sizeof from, "n%02d.txt", i);
        std::snprintf(to, sizeof to, "n%02d\r\n", i + 1);
        const std::string names = lists.Write("names.txt", to);
        FileList list = TickedList({t_ / from});
        JournalHost host(journal_, "更改文件名称");
        ASSERT_EQ(RenameFiles(list, "${file(" + names + ")}", "", &host).done, 1);
    }
    ASSERT_TRUE(t_.Exists("n11.txt"));
    EXPECT_EQ(journal_.Runs().size(), static_cast<std::size_t>(Journal::kRunsKept));
    for (int i = 11; i > 1; --i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(UndoNewest(journal_).summary.done, 1);
        char back[16];
        std::snprintf(back, sizeof back, "n%02d.txt", i - 1);
        EXPECT_TRUE(t_.Exists(back));
    }
    EXPECT_FALSE(journal_.NextToUndo());
    EXPECT_EQ(t_.Read("n01.txt"), "the file");
}

TEST_F(UndoTest, AStoppedUndoLeavesTheRestForTheNextOne) {
    FileList list = TickedList(MakeFiles("s", 6));
    {
        JournalHost host(journal_, "更改文件名称");
        ASSERT_EQ(RenameFiles(list, "t${filename}", "", &host).done, 6);
    }
    StoppingHost stop(2);
    const UndoResult first = UndoNewest(journal_, &stop);
    EXPECT_TRUE(first.summary.stopped);
    EXPECT_EQ(first.summary.done, 2);
    EXPECT_EQ(first.summary.undone.size(), 4u);
    const std::optional<JournalRun> rest = journal_.NextToUndo();
    ASSERT_TRUE(rest);
    const UndoResult second = UndoRun(journal_, rest->id, nullptr);
    EXPECT_EQ(second.summary.done, 4);
    EXPECT_TRUE(second.summary.undone.empty());
    EXPECT_EQ(Entries(t_.path()).front(), "s00.txt");
}

TEST_F(UndoTest, ARunThatChangedNothingLeavesNothing) {
    FileList list = TickedList(MakeFiles("same", 3));
    {
        JournalHost host(journal_, "更改文件名称");
        const RunSummary s = RenameFiles(list, "${filename}x", "", &host);
        ASSERT_EQ(s.done, 3);
    }
    ASSERT_EQ(journal_.Runs().size(), 1u);
    {
        JournalHost host(journal_, "更改文件扩展名");
        EXPECT_EQ(ChangeExtensions(list, "${ext}", &host).done, 0);  // refused pattern
        EXPECT_EQ(ChangeExtensions(list, "txt", &host).done, 0);     // every name unchanged
    }
    EXPECT_EQ(journal_.Runs().size(), 1u);
}

TEST_F(UndoTest, AJournalThatCannotBeWrittenLeavesEveryFileAsItWas) {
    const std::vector<std::string> paths = MakeFiles("locked", 3);
    t_.Write("not-a-folder", "");
    Journal blocked(t_ / "not-a-folder/journal");
    FileList list = TickedList(paths);
    JournalHost host(blocked, "更改文件名称");
    const RunSummary s = RenameFiles(list, "x${filename}", "", &host);
    EXPECT_EQ(s.done, 0);
    ASSERT_EQ(s.undone.size(), 3u);
    for (const FileResult& r : s.undone) EXPECT_EQ(r.why, Undone::NotRecorded);
    EXPECT_TRUE(t_.Exists("locked00.txt"));
}

TEST_F(UndoTest, OldContentsAreKeptWithinTheBudgetOldestRunsFirstToGo) {
    journal_.SetBudget(3000);
    const std::string f = t_.Write("big.txt", std::string(1200, 'a'));
    EXPECT_EQ(EstimateOldContentBytes({{1, f}, {2, t_ / "missing.txt"}}), 1200u);
    for (char c : {'b', 'c', 'd'}) {
        JournalHost host(journal_, "内容按行删除");
        ASSERT_TRUE(RecordedWrite(host, f, std::string(1200, c)));
    }
    // Three runs keep 3600 bytes: the oldest went.
    EXPECT_EQ(journal_.Runs().size(), 2u);
    EXPECT_EQ(journal_.KeptBytes(), 2400u);
    EXPECT_FALSE(journal_.MakeRoom(3001));
    EXPECT_EQ(journal_.Runs().size(), 2u);
    EXPECT_TRUE(journal_.MakeRoom(1500));
    EXPECT_EQ(journal_.Runs().size(), 1u);
    EXPECT_EQ(UndoNewest(journal_).summary.done, 1);
    EXPECT_EQ(t_.Read("big.txt"), std::string(1200, 'c'));
}

TEST_F(UndoTest, NamesWithTabsBreaksBackslashesAndChineseSurviveTheLog) {
    const std::string odd = testing::Gbk("报\\告\t一\n二.txt");
    const std::string f = t_.Write(odd, "odd");
    FileList list = TickedList({f});
    {
        JournalHost host(journal_, "更改文件名称");
        ASSERT_EQ(RenameFiles(list, "新${filename}", "", &host).done, 1);
    }
    // A power cut can leave garbage after the last line.
    const std::string log = journal_.RunFolder(journal_.Runs().front().id) + "/log";
    const int fd = open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_EQ(write(fd, "D\t9\tgarbage\0\0\0", 14), 14);
    close(fd);
    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 1);
    EXPECT_EQ(t_.Read(odd), "odd");
}

}  // namespace
}  // namespace ferro
