// The disks users plug in, for real: a FAT16 image through fusefat, exFAT
// through exfat-fuse on a loop device and NTFS through ntfs-3g, each made
// and mounted for the test and unmounted (and detached) however it ends.
// Through the runs the window and the command line make, with the undo
// journal recording them: rename, a rename that changes case alone, a
// clash, a line delete with its .bak, attributes set and read back, the
// trash, and the undo of each. A disk whose driver, /dev/fuse or loop
// device is missing is skipped with the reason.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "batch/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "fileops/attribute_change.h"
#include "fileops/delete_files.h"
#include "fileops/rename.h"
#include "journal/journal.h"
#include "journal/journal_support.h"
#include "journal/recovery.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/sys_calls.h"
#include "textops/line_delete.h"
#include "textops/text_batch.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::InChild;
using testing::JournalHost;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::TickedList;
using testing::UndoNewest;
using testing::Xattr;

enum class Kind { Fat, Exfat, Ntfs };

const char* NameOf(Kind k) {
    switch (k) {
        case Kind::Fat: return "fat16-fusefat";
        case Kind::Exfat: return "exfat-fuse-loop";
        case Kind::Ntfs: return "ntfs-3g";
    }
    return "";
}

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// What a folder holds, as the disk spells it.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// An image made and mounted for one test; unmounted, detached and removed
// when it goes, also when the test fails.
class MountedImage {
public:
    // Empty with the reason in whyNot when this machine cannot mount it.
    static std::unique_ptr<MountedImage> Make(Kind kind, std::string& whyNot) {
        if (access("/dev/fuse", R_OK | W_OK) != 0) {
            whyNot = "/dev/fuse is missing";
            return nullptr;
        }
        const char* tools[3][2] = {{"mkfs.fat", "fusefat"},
                                   {"mkfs.exfat", "mount.exfat-fuse"},
                                   {"mkntfs", "ntfs-3g"}};
        for (const char* tool : tools[static_cast<int>(kind)])
            if (!Have(tool)) {
                whyNot = std::string(tool) + " is not installed (scripts/common.sh installs it)";
                return nullptr;
            }
        if (kind == Kind::Exfat &&
            (access("/dev/loop-control", R_OK | W_OK) != 0 || !Have("losetup"))) {
            whyNot = "no loop device";
            return nullptr;
        }
        std::unique_ptr<MountedImage> m(new MountedImage);
        const std::string image = m->folder_.path() + "/disk.img";
        m->mountPoint_ = m->folder_.MakeFolder("mnt");
        if (!Run("truncate -s 64M '" + image + "'")) {
            whyNot = "cannot make an image";
            return nullptr;
        }
        bool made = false;
        switch (kind) {
            case Kind::Fat:
                made = Run("mkfs.fat -F 16 '" + image + "'") &&
                       Run("fusefat -o rw+ '" + image + "' '" + m->mountPoint_ + "'");
                break;
            case Kind::Exfat:
                if (!Run("mkfs.exfat '" + image + "'")) break;
                m->loop_ = Output("losetup -f --show '" + image + "' 2>/dev/null");
                if (m->loop_.empty()) {
                    whyNot = "no loop device could be attached";
                    return nullptr;
                }
                made = Run("mount.exfat-fuse '" + m->loop_ + "' '" + m->mountPoint_ + "'");
                break;
            case Kind::Ntfs:
                made = Run("mkntfs -F -Q '" + image + "'") &&
                       Run("ntfs-3g '" + image + "' '" + m->mountPoint_ + "'");
                break;
        }
        if (!made) {
            whyNot = std::string("cannot mount ") + NameOf(kind);
            return nullptr;
        }
        m->mounted_ = true;
        return m;
    }

    ~MountedImage() {
        if (mounted_ && !Run("fusermount -u '" + mountPoint_ + "'"))
            Run("fusermount -uz '" + mountPoint_ + "'");
        if (!loop_.empty()) Run("losetup -d '" + loop_ + "'");
    }

    // The top of the mounted disk (GBK, ASCII here).
    const std::string& root() const { return mountPoint_; }
    std::string operator/(std::string_view name) const { return mountPoint_ + "/" + std::string(name); }

private:
    MountedImage() = default;
    TempFolder folder_;  // removed last, once the disk is unmounted
    std::string mountPoint_;
    std::string loop_;
    bool mounted_ = false;
};

void Write(const std::string& path, std::string_view bytes) {
    ASSERT_TRUE(WriteFileSafely(path, bytes)) << path;
}

std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

class DiskTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        std::string whyNot;
        disk_ = MountedImage::Make(GetParam(), whyNot);
        if (!disk_) GTEST_SKIP() << NameOf(GetParam()) << ": " << whyNot;
    }
    void TearDown() override { disk_.reset(); }

    bool caseInsensitive() const { return GetParam() != Kind::Ntfs; }

    TempFolder state_;
    ScopedEnv stateHome_{"XDG_STATE_HOME", state_.path()};
    ScopedEnv dataHome_{"XDG_DATA_HOME", state_.path() + "/data"};
    Journal journal_;
    std::unique_ptr<MountedImage> disk_;
};

TEST_P(DiskTest, RenamesNeverReplaceAndAreUndone) {
    const MountedImage& d = *disk_;
    Write(d / "a.txt", "A");
    Write(d / "b.txt", "B");
    Write(d / "new_b.txt", "taken");
    {
        FileList list = TickedList({d / "a.txt", d / "b.txt"});
        JournalHost host(journal_, "rename");
        const RunSummary s = RenameFiles(list, "new_${filename}", "", &host);
        EXPECT_EQ(s.done, 1);
        ASSERT_EQ(s.undone.size(), 1u);
        EXPECT_EQ(s.undone[0].why, Undone::NameExists);
    }
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"b.txt", "new_a.txt", "new_b.txt"}));
    EXPECT_EQ(Read(d / "new_b.txt"), "taken");
    EXPECT_EQ(Read(d / "new_a.txt"), "A");

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 1);
    EXPECT_TRUE(undo.summary.undone.empty());
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"a.txt", "b.txt", "new_b.txt"}));
    EXPECT_EQ(Read(d / "a.txt"), "A");
}

TEST_P(DiskTest, ACaseOnlyRenameIsMadeAndUndoneAndAClashIsNot) {
    const MountedImage& d = *disk_;
    Write(d / "Report.TXT", "R");
    Write(d / "Other.txt", "O");
    {
        FileList list = TickedList({d / "Report.TXT"});
        JournalHost host(journal_, "rename");
        std::unordered_set<std::string> given;
        EXPECT_EQ(RenameRow(list, 1, "report.txt", given, host.recorder()), Undone::None);
    }
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"Other.txt", "report.txt"}));
    EXPECT_EQ(Read(d / "report.txt"), "R");

    // Another file's name, in any case, stays taken.
    {
        FileList list = TickedList({d / "Other.txt"});
        std::unordered_set<std::string> given;
        EXPECT_EQ(RenameRow(list, 1, "report.txt", given), Undone::NameExists);
        if (caseInsensitive()) {
            EXPECT_EQ(RenameRow(list, 1, "REPORT.txt", given), Undone::NameExists);
        }
    }
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"Other.txt", "report.txt"}));
    EXPECT_EQ(Read(d / "Other.txt"), "O");

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_EQ(undo.summary.done, 1);
    EXPECT_TRUE(undo.summary.undone.empty());
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"Other.txt", "Report.TXT"}));
}

TEST_P(DiskTest, NamesTheDiskRefusesAreNotAllowed) {
    const MountedImage& d = *disk_;
    Write(d / "a.txt", "A");
    FileList list = TickedList({d / "a.txt"});
    std::unordered_set<std::string> given;
    for (const char* name : {"a:b.txt", "a?.txt", "trailing.", "trailing "}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(NameAllowedOnDisk(d.root(), name));
        EXPECT_EQ(RenameRow(list, 1, name, given), Undone::NameNotAllowed);
    }
    // fusefat takes plain ASCII names alone; the others take Chinese.
    const std::string chinese = Gbk("报告.txt");
    const bool chineseTaken = GetParam() != Kind::Fat;
    EXPECT_EQ(NameAllowedOnDisk(d.root(), chinese), chineseTaken);
    EXPECT_EQ(RenameRow(list, 1, chinese, given), chineseTaken ? Undone::None : Undone::NameNotAllowed);
    EXPECT_EQ(Listing(d.root()).size(), 1u);
}

TEST_P(DiskTest, ALineDeleteKeepsABackupAndIsUndone) {
    const MountedImage& d = *disk_;
    const std::string path = d / "log.txt";
    Write(path, "keep 1\r\nERR gone\r\nkeep 2\r\n");
    LineDeleteSettings settings;
    settings.mode = LineDeleteMode::Keywords;
    settings.keywords = {"ERR"};
    TextBatchOptions options;
    options.backup = true;
    {
        JournalHost host(journal_, "delete-lines");
        const RunSummary s = RewriteTextFiles({BatchFile{1, path}}, options,
                                              LineDeleteOperation(settings), &host);
        EXPECT_EQ(s.done, 1);
        EXPECT_TRUE(s.undone.empty());
        EXPECT_TRUE(s.error.empty()) << s.error;
    }
    EXPECT_EQ(Read(path), "keep 1\r\nkeep 2\r\n");
    EXPECT_EQ(Read(path + ".bak"), "keep 1\r\nERR gone\r\nkeep 2\r\n");
    // Nothing of the write's own is left behind.
    EXPECT_EQ(Listing(d.root()), (std::vector<std::string>{"log.txt", "log.txt.bak"}));

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_TRUE(undo.summary.undone.empty());
    EXPECT_EQ(Read(path), "keep 1\r\nERR gone\r\nkeep 2\r\n");
    EXPECT_EQ(Listing(d.root()), std::vector<std::string>{"log.txt"});
}

// NTFS keeps every attribute itself; FAT and exFAT through FUSE keep none
// but the plain set, and a request for more is refused and changes nothing.
TEST_P(DiskTest, AttributesAreSetAndReadBackWhereTheDiskKeepsThem) {
    const MountedImage& d = *disk_;
    const std::string path = d / "a.txt";
    Write(path, "A");
    const bool kept = GetParam() == Kind::Ntfs;
    EXPECT_EQ(GetFileAttributes(path), attr::Archive);
    AttributeSettings settings;
    settings.hidden = true;
    settings.system = true;
    settings.readOnly = true;
    {
        FileList list = TickedList({path});
        JournalHost host(journal_, "attributes");
        const RunSummary s = ChangeAttributes(list, settings, &host);
        EXPECT_EQ(s.done, kept ? 1 : 0);
        if (!kept) {
            ASSERT_EQ(s.undone.size(), 1u);
            EXPECT_EQ(s.undone[0].why, Undone::CannotWrite);
        }
    }
    const uint32_t all = attr::Archive | attr::Hidden | attr::System | attr::ReadOnly;
    EXPECT_EQ(GetFileAttributes(path), kept ? all : attr::Archive);
    if (kept) {
        // Read-only is the disk's own bit, and refuses writes and deletion.
        EXPECT_FALSE(WriteFileSafely(path, "changed"));
        EXPECT_EQ(LastFsProblem(), FsProblem::ReadOnly);
        EXPECT_FALSE(DeleteFile(path));
        EXPECT_EQ(Read(path), "A");
        // The listing reads the same bits.
        FolderReader reader;
        ASSERT_TRUE(reader.Open(d.root()));
        DirItem item;
        FindEntry entry;
        while (reader.Next(item) && item.name != "a.txt") {
        }
        ASSERT_TRUE(reader.Stat(item, entry));
        EXPECT_EQ(entry.attributes, all);
        // A created time set by the user is the disk's own too.
        const std::string other = d / "b.txt";
        Write(other, "B");
        const FileTime created = 1500000000LL * 1000000000LL;
        ASSERT_TRUE(SetFileTimes(other, created, std::nullopt, std::nullopt));
        FileTimes times;
        ASSERT_TRUE(GetFileTimes(other, times));
        EXPECT_EQ(times.creation, created);
        EXPECT_FALSE(Xattr(other, kDosAttribName));
    }
    if (kept) {
        const UndoResult undo = UndoNewest(journal_);
        EXPECT_TRUE(undo.summary.undone.empty());
    } else {
        EXPECT_FALSE(journal_.NextToUndo());  // nothing was changed
    }
    EXPECT_EQ(GetFileAttributes(path), attr::Archive);
    EXPECT_TRUE(WriteFileSafely(path, "changed"));
}

TEST_P(DiskTest, TheTrashIsTheDisksOwnAndIsUndone) {
    const MountedImage& d = *disk_;
    Write(d / "gone.txt", "G");
    {
        FileList list = TickedList({d / "gone.txt"});
        JournalHost host(journal_, "delete");
        const RunSummary s = TrashTickedFiles(list, [] { return false; }, &host);
        EXPECT_EQ(s.done, 1);
        EXPECT_TRUE(s.undone.empty());
    }
    EXPECT_FALSE(FileExists(d / "gone.txt"));
    const std::string trash = d / (".Trash-" + std::to_string(geteuid()));
    EXPECT_EQ(Listing(trash + "/files"), std::vector<std::string>{"gone.txt"});
    EXPECT_EQ(Listing(trash + "/info"), std::vector<std::string>{"gone.txt.trashinfo"});

    const UndoResult undo = UndoNewest(journal_);
    EXPECT_TRUE(undo.summary.undone.empty());
    EXPECT_EQ(Read(d / "gone.txt"), "G");
    EXPECT_TRUE(Listing(trash + "/files").empty());
}

// A kill between the two steps of a case-only rename: the next start puts
// the file back under its old name.
int DyingRenameat2(int a, const char* from, int b, const char* to, unsigned flags) {
    if (std::strstr(from, ".ferro-case") != nullptr) _exit(0);
    return sys::Real().renameat2(a, from, b, to, flags);
}

TEST_P(DiskTest, ACaseOnlyRenameKilledBetweenItsStepsIsPutBack) {
    if (!caseInsensitive()) GTEST_SKIP() << "a case-sensitive disk renames in one step";
    const MountedImage& d = *disk_;
    Write(d / "Report.TXT", "R");
    ASSERT_EQ(InChild([&] {
                  Journal journal;
                  FileList list = TickedList({d / "Report.TXT"});
                  JournalHost host(journal, "rename");
                  sys::ScopedSysCall dying(&sys::Calls::renameat2, DyingRenameat2);
                  std::unordered_set<std::string> given;
                  RenameRow(list, 1, "report.txt", given, host.recorder());
                  return false;  // not reached: the second step kills it
              }),
              0);
    EXPECT_EQ(Listing(d.root()), std::vector<std::string>{".report.txt.ferro-case"});
    const JournalRecovery recovery = RecoverInterruptedRuns(journal_);
    EXPECT_TRUE(recovery.unresolved.empty());
    EXPECT_TRUE(recovery.interrupted.empty());  // it had made nothing
    EXPECT_EQ(Listing(d.root()), std::vector<std::string>{"Report.TXT"});
    EXPECT_EQ(Read(d / "Report.TXT"), "R");
}

INSTANTIATE_TEST_SUITE_P(Disks, DiskTest, ::testing::Values(Kind::Fat, Kind::Exfat, Kind::Ntfs),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             switch (info.param) {
                                 case Kind::Fat: return std::string("Fat16");
                                 case Kind::Exfat: return std::string("Exfat");
                                 case Kind::Ntfs: return std::string("Ntfs");
                             }
                             return std::string();
                         });

}  // namespace
}  // namespace ferro
