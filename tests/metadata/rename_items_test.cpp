// Names from what files hold, through the rename and the extension change
// as the window runs them, through their preview, and through the command
// line as a child process: every item, the reasons of files that lack a
// value, values that a name cannot hold as they are, and folders made from
// names and undone.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <filesystem>
#include <functional>
#include <future>

#include "cli/program.h"
#include "common/temp_folder.h"
#include "fileops/extension_change.h"
#include "fileops/preview.h"
#include "fileops/rename.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/undo.h"
#include "metadata/fixtures.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::AudioTags;
using testing::Gbk;
using testing::PhotoTags;
using testing::TempFolder;

const PhotoTags kCanon{"2024:05:01 10:20:30", "", "Canon", "Canon EOS 80D"};
const AudioTags kSong{"周杰伦", "晴天", "叶惠美", 2003, 3};

FileList Listed(const std::vector<std::string>& paths) {
    FileList list;
    for (const std::string& path : paths) {
        FindEntry e;
        if (!StatPath(path, e)) ADD_FAILURE() << path;
        list.SetChecked(list.AddFile(e, ExtractFileDir(path)), true);
    }
    return list;
}

std::string DiskPath(const std::string& gbk) {
    std::string disk;
    GbkToDisk(gbk, disk);
    return disk;
}

// The names of a folder's files, as GBK.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(DiskPath(folder)))
        names.push_back(DiskToGbk(e.path().filename().string()));
    std::sort(names.begin(), names.end());
    return names;
}

using Maker = std::function<std::string(const TempFolder&)>;

struct ItemCase {
    const char* name;
    Maker make;
    const char* pattern;
    std::string newName;  // GBK
};

std::vector<ItemCase> EveryItem() {
    return {
        {"date taken", [](const TempFolder& d) { return testing::MakeJpeg(d, "photo.jpg", 64, 48, kCanon); },
         "${TakenTime(yyyymmdd_hhnnss)}", "20240501_102030.jpg"},
        {"date taken with a number after", [](const TempFolder& d) { return testing::MakeJpeg(d, "photo.jpg", 64, 48, kCanon); },
         "${TakenTime(yyyy-mm-dd)}_${Sn(1,3)}", "2024-05-01_001.jpg"},
        {"camera and size", [](const TempFolder& d) { return testing::MakeJpeg(d, "photo.jpg", 64, 48, kCanon); },
         "${Camera}_${Width}x${Height}", "Canon EOS 80D_64x48.jpg"},
        {"a function of the old name beside an item", [](const TempFolder& d) { return testing::MakeJpeg(d, "photo.jpg", 64, 48, kCanon); },
         "${GetLeft(2)}_${Camera}", "ph_Canon EOS 80D.jpg"},
        {"a size of a PNG", [](const TempFolder& d) { return testing::MakePng(d, "shot.png", 30, 20); },
         "shot_${Width}x${Height}", "shot_30x20.png"},
        {"the tags of an MP3", [](const TempFolder& d) { return testing::MakeMp3(d, "song.mp3", 2, kSong); },
         "${Track(2)} ${Artist} - ${Title}", Gbk("03 周杰伦 - 晴天.mp3")},
        {"album, year and length of an MP3", [](const TempFolder& d) { return testing::MakeMp3(d, "song.mp3", 2, kSong); },
         "${Album}_${Year}_${Duration(nnss)}", Gbk("叶惠美_2003_0002.mp3")},
        {"the tags of a FLAC", [](const TempFolder& d) { return testing::MakeFlac(d, "song.flac", 2, kSong); },
         "${Artist}-${Title}-${Track}", Gbk("周杰伦-晴天-3.flac")},
        {"when a video was taken, in local time", [](const TempFolder& d) { return testing::MakeMp4(d, "clip.mp4", 1714528800, 1280, 720, 3); },
         "${TakenTime(yyyymmdd_hhnn)}_${Height}p_${Duration(ss)}s", "20240501_1000_720p_03s.mp4"},
        {"a PDF's properties", [](const TempFolder& d) { return testing::MakePdf(d, "a.pdf", "年度报告", "张三", 3); },
         "${DocTitle}_${Author}_${Pages}", Gbk("年度报告_张三_3.pdf")},
        {"a docx's properties", [](const TempFolder& d) { return testing::MakeDocx(d, "a.docx", "年度报告", "张三", 2); },
         "${Author} ${DocTitle} ${Pages}", Gbk("张三 年度报告 2.docx")},
        {"an odt's properties", [](const TempFolder& d) { return testing::MakeOdt(d, "a.odt", "年度报告", "张三", 5); },
         "${DocTitle}${Pages}", Gbk("年度报告5.odt")},
        {"checksums", [](const TempFolder& d) { return d.Write("abc.txt", "abc"); },
         "${MD5}_${CRC32}", "900150983cd24fb0d6963f7d28e17f72_352441c2.txt"},
        {"the modified time", [](const TempFolder& d) {
             const std::string p = d.Write("old.txt", "x");
             d.SetModified("old.txt", 1700000000);  // 2023-11-15 06:13:20 in Beijing
             return p;
         },
         "${ModTime(yyyy-mm-dd hh_nn)}", "2023-11-15 06_13.txt"},
        {"the created time", [](const TempFolder& d) {
             const std::string p = d.Write("new.txt", "x");
             if (!SetFileTimes(p, FromLocal({2022, 1, 2, 3, 4, 5}), std::nullopt, std::nullopt))
                 ADD_FAILURE() << "no created time can be set here";
             return p;
         },
         "${CreTime(yyyymmdd-hhnnss)}", "20220102-030405.txt"},
        {"the modified time for a missing date taken", [](const TempFolder& d) {
             const std::string p = testing::MakeJpeg(d, "scan.jpg", 8, 8);
             d.SetModified("scan.jpg", 1700000000);
             return p;
         },
         "${TakenTime(yyyymmdd,1)}", "20231115.jpg"},
        {"a value holding a slash", [](const TempFolder& d) { return testing::MakeMp3(d, "x.mp3", 1, {"AC/DC", "T.N.T.", "", 0, 0}); },
         "${Artist} ${Title}", "AC_DC T.N.T..mp3"},
        {"a value holding markup", [](const TempFolder& d) { return testing::MakeMp3(d, "x.mp3", 1, {"", "${len(ab)}", "", 0, 0}); },
         "${Title}", "${len(ab)}.mp3"},
        // 한국 is not in GBK: it travels as GB18030 and reaches the disk as UTF-8.
        {"characters GBK lacks", [](const TempFolder& d) { return testing::MakeMp3(d, "x.mp3", 1, {"한국", "노래", "", 0, 0}); },
         "${Artist}_${Title}", DiskToGbk("한국_노래.mp3")},
    };
}

TEST(RenameItems, EveryItemThroughTheRename) {
    const testing::TimeZone zone("Asia/Shanghai");
    for (const ItemCase& c : EveryItem()) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        FileList list = Listed({c.make(dir)});
        const RunSummary s = RenameFiles(list, c.pattern, "");
        ASSERT_EQ(s.done, 1) << (s.undone.empty() ? "" : UndoneText(s.undone[0].why));
        EXPECT_EQ(list.Name(1), c.newName);
        EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{c.newName});
    }
}

// The command line never loads the window's libraries (Qt's widgets and
// network modules), and those of the video and PDF readers only for a file
// of theirs (the dynamic loader's own account of what it loaded).
TEST(RenameItems, EveryItemThroughTheCommandLine) {
    const testing::TimeZone zone("Asia/Shanghai");  // the child has it too
    setenv("LD_DEBUG", "files", 1);
    for (const ItemCase& c : EveryItem()) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string file = c.make(dir);
        const testing::ProgramRun run =
            testing::RunProgram(DiskPath(dir.path()), {"rename", "--pattern", c.pattern, DiskPath(file)});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{c.newName});
        const auto loaded = [&run](const char* lib) {
            return run.err.find(std::string("file=") + lib) != std::string::npos ||
                   run.err.find(std::string("/") + lib) != std::string::npos;
        };
        const std::string ext = ExtractFileExt(file);
        EXPECT_FALSE(loaded("libQt6Widgets.so")) << run.err.substr(0, 2000);
        EXPECT_FALSE(loaded("libQt6Network.so"));
        EXPECT_FALSE(loaded("ferrovan-batch-window.so"));
        EXPECT_EQ(loaded("ferrovan-batch-video.so"), ext == ".mp4");
        EXPECT_EQ(loaded("libmediainfo.so"), ext == ".mp4");
        EXPECT_EQ(loaded("ferrovan-batch-pdf.so"), ext == ".pdf");
        EXPECT_EQ(loaded("libpoppler-cpp.so"), ext == ".pdf");
    }
    unsetenv("LD_DEBUG");
}

TEST(RenameItems, FilesLackingAValueAreLeftWithTheirReason) {
    TempFolder dir;
    const std::string noDate = testing::MakeJpeg(dir, "no date.jpg", 8, 8);
    const std::string dated = testing::MakeJpeg(dir, "dated.jpg", 8, 8, kCanon);
    const std::string untitled = testing::MakeMp3(dir, "untitled.mp3", 1, {"someone", "", "", 0, 0});
    const std::string text = dir.Write("plain.txt", "x");
    struct Case {
        const char* pattern;
        std::string path;
        const char16_t* detail;
    };
    const Case cases[] = {
        {"${TakenTime(yyyymmdd)}", noDate, u"没有拍摄时间"},
        {"${Camera}", noDate, u"没有相机型号"},
        {"${Title}", untitled, u"没有标题"},
        {"${Album}", untitled, u"没有专辑"},
        {"${Track(2)}_${Artist}", untitled, u"没有音轨号"},
        {"${DocTitle}", text, u"没有文档标题"},
        {"${Pages}", text, u"没有页数"},
        {"${Width}", text, u"没有宽度"},
        {"${Duration(ss)}", text, u"没有时长"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        FileList list = Listed({c.path, dated});
        // The preview says so before the run.
        auto preview = ChangePreview::ForRename(list, c.pattern, "");
        preview->Advance(0);
        EXPECT_EQ(preview->Row(1)->why, Undone::NoValue);
        EXPECT_EQ(preview->Row(1)->detail, Utf16ToGbk(c.detail));

        const RunSummary s = RenameFiles(list, c.pattern, "");
        ASSERT_EQ(s.undone.size(), s.total - s.done);
        ASSERT_FALSE(s.undone.empty());
        EXPECT_EQ(s.undone[0].path, c.path);
        EXPECT_EQ(s.undone[0].why, Undone::NoValue);
        EXPECT_EQ(s.undone[0].detail, Utf16ToGbk(c.detail));
        EXPECT_NE(UndoneListText(s).find(Utf16ToGbk(c.detail)), std::string::npos);
        EXPECT_TRUE(FileExists(c.path));
        // Put a renamed second file back for the next case.
        if (list.Path(2) != dated) MoveFile(list.Path(2), dated);
    }
}

TEST(RenameItems, TheCommandLineReportsWhatIsMissing) {
    TempFolder dir;
    testing::MakeJpeg(dir, "a.jpg", 8, 8, kCanon);
    testing::MakeJpeg(dir, "b.jpg", 8, 8);
    const testing::ProgramRun dry = testing::RunProgram(
        DiskPath(dir.path()),
        {"rename", "--pattern", "${TakenTime(yyyymmdd)}", "--dry-run", "a.jpg", "b.jpg"});
    EXPECT_NE(dry.out.find("20240501.jpg"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("b.jpg  不处理：缺少名称所需的信息：没有拍摄时间"), std::string::npos) << dry.out;
    const testing::ProgramRun dryJson = testing::RunProgram(
        DiskPath(dir.path()),
        {"rename", "--pattern", "${TakenTime(yyyymmdd)}", "--dry-run", "--json", "a.jpg", "b.jpg"});
    const QJsonArray planned = dryJson.Json().value("files").toArray();
    ASSERT_EQ(planned.size(), 2) << dryJson.out;
    EXPECT_EQ(planned[0].toObject().value("after").toString(), "20240501.jpg");
    EXPECT_EQ(planned[1].toObject().value("result").toString(), "no-value");
    EXPECT_EQ(planned[1].toObject().value("detail").toString(), QString("没有拍摄时间"));
    const testing::ProgramRun run = testing::RunProgram(
        DiskPath(dir.path()),
        {"rename", "--pattern", "${TakenTime(yyyymmdd)}", "--json", "a.jpg", "b.jpg"});
    EXPECT_EQ(run.status, 1);
    const QJsonArray files = run.Json().value("files").toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject().value("result").toString(), "done");
    EXPECT_EQ(files[1].toObject().value("detail").toString(), QString("没有拍摄时间"));
    EXPECT_NE(run.err.find("没有拍摄时间"), std::string::npos) << run.err;
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"20240501.jpg", "b.jpg"}));
}

TEST(RenameItems, ThePreviewGivesTheRunsNamesAndReadsOffItsThread) {
    TempFolder dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        const std::string taken = "2024:05:0" + std::to_string(i % 3 + 1) + " 10:00:00";
        paths.push_back(testing::MakeJpeg(dir, "p" + std::to_string(i) + ".jpg", 8, 8,
                                          {i == 4 ? "" : taken, "", "", ""}));
    }
    FileList list = Listed(paths);
    FileValueCache cache;
    // The reader's thread holds after its first file until the preview
    // has been looked at: six small photos are otherwise read before that.
    std::promise<void> open;
    const std::shared_future<void> gate = open.get_future().share();
    FileValueReader reader(cache, [gate](const std::string&) { gate.wait(); }, 1);
    auto preview = ChangePreview::ForRename(list, "${TakenTime(yyyymmdd)}", "");
    EXPECT_EQ(preview->wanted(), Bit(FileValue::TakenTime));
    // A fresh cache: nothing is known, nothing is read here.
    preview->UseReader(&reader);
    EXPECT_TRUE(preview->Row(3)->pending);
    EXPECT_FALSE(preview->Advance(0));
    EXPECT_TRUE(preview->waiting());
    open.set_value();
    reader.WaitIdle();
    EXPECT_FALSE(preview->Row(3)->pending);
    EXPECT_EQ(preview->Row(3)->after, "20240503.jpg");
    for (int round = 0; round < 10 && !preview->Advance(0); ++round) reader.WaitIdle();
    ASSERT_TRUE(preview->finished());
    // Row 4 takes row 1's name and row 6 row 3's; row 5 has no date.
    EXPECT_EQ(preview->Row(4)->why, Undone::DuplicateName);
    EXPECT_EQ(preview->Row(6)->why, Undone::DuplicateName);
    EXPECT_EQ(preview->changing(), 3);
    EXPECT_EQ(preview->Row(5)->detail, Gbk("没有拍摄时间"));
    std::vector<PlannedChange> planned;
    for (int r = 1; r <= 6; ++r) planned.push_back(*preview->Row(r));

    const RunSummary s = RenameFiles(list, "${TakenTime(yyyymmdd)}", "");
    EXPECT_EQ(s.done, preview->changing());
    for (int r = 1; r <= 6; ++r) {
        SCOPED_TRACE(r);
        if (planned[r - 1].why == Undone::None) EXPECT_EQ(list.Name(r), planned[r - 1].after);
        else EXPECT_EQ(list.Name(r), "p" + std::to_string(r - 1) + ".jpg");
    }
}

TEST(RenameItems, FileTimesNeedNoReader) {
    TempFolder dir;
    const std::string path = dir.Write("a.txt", "x");
    dir.SetModified("a.txt", 1700000000);
    FileList list = Listed({path});
    FileValueCache cache;
    FileValueReader reader(cache);
    auto preview = ChangePreview::ForRename(list, "${ModTime(yyyy)}_${Sn(1,2)}", "");
    preview->UseReader(&reader);
    EXPECT_EQ(preview->wanted(), 0u);
    EXPECT_FALSE(preview->Row(1)->pending);
    EXPECT_EQ(preview->Row(1)->after, "2023_01.txt");
    EXPECT_EQ(reader.Pending(), 0u);
}

TEST(RenameItems, ExtensionPatternsTakeItemsToo) {
    TempFolder dir;
    FileList list = Listed({testing::MakeJpeg(dir, "a.JPG", 8, 8, kCanon), testing::MakeJpeg(dir, "b.jpg", 8, 8)});
    auto preview = ChangePreview::ForExtension(list, "${ext}_${TakenTime(yyyy)}");
    preview->Advance(0);
    EXPECT_EQ(preview->Row(1)->after, "a.JPG_2024");
    EXPECT_EQ(preview->Row(2)->detail, Gbk("没有拍摄时间"));
    const RunSummary s = ChangeExtensions(list, "${ext}_${TakenTime(yyyy)}");
    EXPECT_EQ(s.done, 1);
    EXPECT_EQ(list.Name(1), "a.JPG_2024");
    EXPECT_EQ(list.Cell(kColType, 1), ".JPG_2024");
    ASSERT_EQ(s.undone.size(), 1u);
    EXPECT_EQ(s.undone[0].detail, Gbk("没有拍摄时间"));
}

// Every call a run makes to its recorder, in order.
class RecordingRecorder : public ChangeRecorder {
public:
    std::vector<std::string> calls;
    bool refuseFolders = false;
    bool Plan(const std::vector<Planned>& changes) override {
        calls.push_back("plan " + std::to_string(changes.size()));
        return true;
    }
    bool WillRename(std::string_view from, std::string_view to) override {
        calls.push_back("rename " + std::string(from) + " -> " + std::string(to));
        return true;
    }
    bool WillMakeFolder(std::string_view path) override {
        calls.push_back("folder " + std::string(path));
        return !refuseFolders;
    }
    bool WillSetTimes(std::string_view) override { return true; }
    bool WillSetAttributes(std::string_view) override { return true; }
    OldContentKeeper* WillWrite(std::string_view) override { return nullptr; }
    bool WillCopyTo(std::string_view) override { return true; }
    bool WillTrash(std::string_view) override { return true; }
    void Changed() override { calls.push_back("changed"); }
    void Trashed(const TrashedFile&) override {}
    void NotChanged() override { calls.push_back("not changed"); }
};

class RecordingHost : public RunHost {
public:
    ChangeRecorder* recorder() override { return recorder_; }
    void FileStarted(int index, std::string_view) override { started = index + 1; }
    bool StopRequested() override { return stopAfter > 0 && started >= stopAfter; }
    ChangeRecorder* recorder_ = nullptr;
    int started = 0, stopAfter = 0;
};

TEST(RenameItems, LongRunsArePlannedAndRenamedABatchAtATime) {
    struct Case {
        const char* name;
        int stopAfter;
        std::vector<std::string> plans;
        int done;
    };
    const Case cases[] = {
        {"to the end", 0, {"plan 256", "plan 444"}, 700},
        {"stopped in the second batch", 300, {"plan 256", "plan 444"}, 300},
        {"stopped in the first", 10, {"plan 256"}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        std::vector<std::string> paths;
        for (int i = 0; i < 700; ++i)
            paths.push_back(dir.Write("f" + std::to_string(1000 + i) + ".txt", std::to_string(i)));
        FileList list = Listed(paths);
        FileValues first;
        ReadFileValues(paths[0], Bit(FileValue::Crc32), first);
        RecordingRecorder recorder;
        RecordingHost host;
        host.recorder_ = &recorder;
        host.stopAfter = c.stopAfter;
        const RunSummary s = RenameFiles(list, "${CRC32}_${Sn(1,3)}", "", &host);
        EXPECT_EQ(s.done, c.done);
        EXPECT_EQ(s.stopped, c.stopAfter > 0);
        std::vector<std::string> plans;
        int renamesBeforeSecondPlan = 0;
        for (const std::string& call : recorder.calls) {
            if (call.rfind("plan", 0) == 0) plans.push_back(call);
            else if (call.rfind("rename", 0) == 0 && plans.size() == 1) ++renamesBeforeSecondPlan;
        }
        EXPECT_EQ(plans, c.plans);
        // Each batch's plan comes before its first rename.
        EXPECT_EQ(renamesBeforeSecondPlan, std::min(256, c.done));
        EXPECT_EQ(list.Name(1), first.crc32 + "_001.txt");
        EXPECT_EQ(list.Name(700), c.done == 700 ? list.Name(700) : "f1699.txt");
        if (c.stopAfter > 0) {
            EXPECT_EQ(s.undone.back().why, Undone::Stopped);
        }
    }
}

TEST(FoldersFromNames, AreMadeBelowTheFilesFolderAndToldBeforeTheyAreMade) {
    TempFolder dir;
    const std::string a = testing::MakeJpeg(dir, "a.jpg", 8, 8, {"2024:05:01 10:00:00", "", "", ""});
    const std::string b = testing::MakeJpeg(dir, "b.jpg", 8, 8, {"2024:05:20 10:00:00", "", "", ""});
    const std::string c = testing::MakeJpeg(dir, "c.jpg", 8, 8, {"2023:12:31 10:00:00", "", "", ""});
    FileList list = Listed({a, b, c});
    RecordingRecorder recorder;
    RecordingHost host;
    host.recorder_ = &recorder;
    const RenameSettings settings{"${TakenTime(yyyy)}/${TakenTime(mm)}/${filename}", "", true};

    auto preview = ChangePreview::ForRename(list, settings);
    preview->Advance(0);
    EXPECT_EQ(preview->Row(1)->after, "2024/05/a.jpg");
    EXPECT_EQ(preview->changing(), 3);

    const RunSummary s = RenameFiles(list, settings, &host);
    EXPECT_EQ(s.done, 3);
    const std::string d = dir.path();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{
                                  "plan 3", "folder " + d + "/2024", "changed", "folder " + d + "/2024/05",
                                  "changed", "rename " + a + " -> " + d + "/2024/05/a.jpg", "changed",
                                  "rename " + b + " -> " + d + "/2024/05/b.jpg", "changed",
                                  "folder " + d + "/2023", "changed", "folder " + d + "/2023/12",
                                  "changed", "rename " + c + " -> " + d + "/2023/12/c.jpg", "changed"}));
    EXPECT_EQ(NamesIn(d + "/2024/05"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(list.Folder(1), d + "/2024/05");
    EXPECT_EQ(list.Name(1), "a.jpg");
    EXPECT_EQ(list.Path(3), d + "/2023/12/c.jpg");
}

TEST(FoldersFromNames, NeverAboveTheFolderNorOverAnything) {
    TempFolder dir;
    dir.Write("taken/2024", "a file where a folder would go");
    dir.Write("taken/x/a.jpg", "already there");
    struct Case {
        const char* name;
        const char* pattern;
        bool makeFolders;
        Undone why;
    };
    const Case cases[] = {
        {"up a level", "../${filename}", true, Undone::NameNotAllowed},
        {"up inside", "x/../../${filename}", true, Undone::NameNotAllowed},
        {"from the root", "/tmp/${filename}", true, Undone::NameNotAllowed},
        {"an empty part", "x//${filename}", true, Undone::NameNotAllowed},
        {"a separator without the setting", "x/${filename}", false, Undone::NameNotAllowed},
        {"a file holds a folder's name", "${TakenTime(yyyy)}/${filename}", true, Undone::NameExists},
        {"the name is taken below", "x/${filename}", true, Undone::NameExists},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string photo = testing::MakeJpeg(dir, "taken/a.jpg", 8, 8, kCanon);
        FileList list = Listed({photo});
        RecordingRecorder recorder;
        RecordingHost host;
        host.recorder_ = &recorder;
        const RunSummary s = RenameFiles(list, {c.pattern, "", c.makeFolders}, &host);
        ASSERT_EQ(s.undone.size(), 1u);
        EXPECT_EQ(s.undone[0].why, c.why);
        EXPECT_TRUE(FileExists(photo));
        for (const std::string& call : recorder.calls) EXPECT_EQ(call.rfind("folder", 0), std::string::npos) << call;
        EXPECT_EQ(NamesIn(dir / "taken"), (std::vector<std::string>{"2024", "a.jpg", "x"}));
    }
    // A folder the recorder cannot record is not made, nor the file moved.
    const std::string photo = dir / "taken/a.jpg";
    FileList list = Listed({photo});
    RecordingRecorder refusing;
    refusing.refuseFolders = true;
    RecordingHost host;
    host.recorder_ = &refusing;
    const RunSummary s = RenameFiles(list, {"new/${filename}", "", true}, &host);
    ASSERT_EQ(s.undone.size(), 1u);
    EXPECT_EQ(s.undone[0].why, Undone::NotRecorded);
    EXPECT_FALSE(DirectoryExists(dir / "taken/new"));
    EXPECT_TRUE(FileExists(photo));
}

class JournalHost : public RunHost {
public:
    explicit JournalHost(Journal& journal) : recorder_(journal.StartRun("更改文件名称")) {}
    ChangeRecorder* recorder() override { return recorder_.get(); }
    void Close() { recorder_->Close(); }

private:
    std::unique_ptr<RunRecorder> recorder_;
};

TEST(FoldersFromNames, UndoMovesTheFilesBack) {
    TempFolder dir;
    const std::string a = testing::MakeJpeg(dir, "a.jpg", 8, 8, {"2024:05:01 10:00:00", "", "", ""});
    const std::string b = testing::MakeJpeg(dir, "b.jpg", 8, 8, {"2023:01:01 10:00:00", "", "", ""});
    Journal journal(dir / "state/journal");
    FileList list = Listed({a, b});
    {
        JournalHost host(journal);
        EXPECT_EQ(RenameFiles(list, {"${TakenTime(yyyy)}/${TakenTime(mm)}/${filename}", "", true}, &host).done, 2);
        host.Close();
    }
    EXPECT_TRUE(FileExists(dir / "2024/05/a.jpg"));
    const auto next = journal.NextToUndo();
    ASSERT_TRUE(next);
    const UndoResult undo = UndoRun(journal, next->id, nullptr);
    EXPECT_EQ(undo.summary.done, undo.summary.total);
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
    EXPECT_FALSE(FileExists(dir / "2024/05/a.jpg"));
}

// A photo tree sorted into year and month folders by the command line:
// "/" is refused without --make-folders, planned by --dry-run, and the run
// is undone from the journal the program kept.
TEST(FoldersFromNames, ThroughTheCommandLineAndUndone) {
    TempFolder dir;
    dir.MakeFolder("cam1");
    dir.MakeFolder(Gbk("手机"));
    const std::vector<std::string> photos = {
        testing::MakeJpeg(dir, "cam1/a.jpg", 8, 8, {"2024:05:01 10:00:00", "", "", ""}),
        testing::MakeJpeg(dir, "cam1/b.jpg", 8, 8, {"2023:12:31 23:59:59", "", "", ""}),
        testing::MakeJpeg(dir, Gbk("手机/c.jpg"), 8, 8, {"2024:05:02 08:00:00", "", "", ""})};
    const std::string pattern = "${TakenTime(yyyy)}/${TakenTime(mm)}/${Filename}";
    const std::vector<std::string> search = {"--search", ".", "--mask", "*.jpg"};
    auto args = [&](std::vector<std::string> more) {
        std::vector<std::string> a = {"rename", "--pattern", pattern};
        a.insert(a.end(), more.begin(), more.end());
        a.insert(a.end(), search.begin(), search.end());
        return a;
    };
    const testing::ProgramRun help = testing::RunProgram(DiskPath(dir.path()), {"rename", "--help"});
    EXPECT_NE(help.out.find("--make-folders"), std::string::npos) << help.out;

    const testing::ProgramRun refused = testing::RunProgram(DiskPath(dir.path()), args({"--json"}));
    EXPECT_EQ(refused.status, 1);
    const QJsonArray refusedFiles = refused.Json().value("files").toArray();
    EXPECT_EQ(refusedFiles.size(), 3);
    for (const auto& f : refusedFiles) {
        EXPECT_EQ(f.toObject().value("reason").toString(), QString("新名称不允许"));
        // Whole paths, though the search folder was ".": undo works from anywhere.
        EXPECT_TRUE(f.toObject().value("path").toString().startsWith(QString::fromStdString(DiskPath(dir.path()))));
    }
    for (const std::string& p : photos) EXPECT_TRUE(FileExists(p)) << p;

    const testing::ProgramRun dry =
        testing::RunProgram(DiskPath(dir.path()), args({"--make-folders", "--dry-run"}));
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_NE(dry.out.find("cam1/b.jpg -> 2023/12/b.jpg"), std::string::npos) << dry.out;
    EXPECT_FALSE(FileExists(dir / "cam1/2023"));

    const testing::ProgramRun run = testing::RunProgram(DiskPath(dir.path()), args({"--make-folders"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(FileExists(dir / "cam1/2024/05/a.jpg"));
    EXPECT_TRUE(FileExists(dir / "cam1/2023/12/b.jpg"));
    EXPECT_TRUE(FileExists(dir / Gbk("手机/2024/05/c.jpg")));
    for (const std::string& p : photos) EXPECT_FALSE(FileExists(p)) << p;

    Journal journal(testing::ChildStateHome() + "/ferrovan-batch/journal");
    const auto last = journal.NextToUndo();
    ASSERT_TRUE(last);
    const UndoResult undo = UndoRun(journal, last->id, nullptr);
    EXPECT_TRUE(undo.complete());
    EXPECT_EQ(undo.folders, 6);  // year and month under each of the two folders
    EXPECT_EQ(undo.summary.done - undo.folders, 3);
    for (const FileResult& f : undo.summary.undone) ADD_FAILURE() << f.path << " " << UndoneText(f.why, f.detail);
    for (const std::string& p : photos) EXPECT_TRUE(FileExists(p)) << p;
    for (const char* made : {"cam1/2024", "cam1/2023"})
        EXPECT_EQ(GetFileAttributes(dir / made), attr::Invalid) << made;
    EXPECT_EQ(GetFileAttributes(dir / Gbk("手机/2024")), attr::Invalid);
}

}  // namespace
}  // namespace ferro
