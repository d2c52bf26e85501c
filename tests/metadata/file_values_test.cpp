// What each kind of file gives through its library, read lazily and kept
// under the file's size and modified time; the reader on its threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <condition_variable>
#include <mutex>

#include "common/temp_folder.h"
#include "metadata/file_values.h"
#include "metadata/fixtures.h"
#include "metadata/value_cache.h"
#include "platform/codec.h"

namespace ferro {
namespace {

using testing::AudioTags;
using testing::Gbk;
using testing::PhotoTags;
using testing::TempFolder;

FileValues Read(const std::string& path, FileValueSet wanted = kAllFileValues) {
    FileValues v;
    v.facts = ReadFileFacts(path);
    ReadFileValues(path, wanted, v);
    return v;
}

std::string Taken(const FileValues& v) {
    if (!v.taken) return "none";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", v.taken->year,
                  v.taken->month, v.taken->day, v.taken->hour, v.taken->minute, v.taken->second);
    return text;
}

TEST(FileValues, PhotosGiveTheirDateTakenCameraAndSize) {
    TempFolder dir;
    struct Case {
        const char* name;
        PhotoTags tags;
        const char* taken;
        const char* camera;
    };
    const Case cases[] = {
        {"original.jpg", {"2024:05:01 10:20:30", "2024:06:01 00:00:00", "Canon", "Canon EOS 80D"},
         "2024-05-01 10:20:30", "Canon EOS 80D"},
        {"digitized only.jpg", {"", "2019:12:31 23:59:58", "SONY", "ILCE-7M3"},
         "2019-12-31 23:59:58", "SONY ILCE-7M3"},
        {"make in model.jpg", {"2020:02:29 12:00:00", "", "NIKON CORPORATION", "NIKON D750"},
         "2020-02-29 12:00:00", "NIKON D750"},
        {"no clock.jpg", {"0000:00:00 00:00:00", "", "", ""}, "none", ""},
        {"no exif.jpg", {}, "none", ""},
        {"odd extension.dat", {"2021:01:02 03:04:05", "", "", "X100"}, "2021-01-02 03:04:05", "X100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileValues v = Read(testing::MakeJpeg(dir, c.name, 64, 48, c.tags));
        EXPECT_EQ(Taken(v), c.taken);
        EXPECT_EQ(v.camera, c.camera);
        EXPECT_EQ(v.width, 64);
        EXPECT_EQ(v.height, 48);
    }
    const FileValues png = Read(testing::MakePng(dir, "shot.png", 30, 20));
    EXPECT_EQ(png.width, 30);
    EXPECT_EQ(png.height, 20);
    EXPECT_FALSE(png.taken);
}

TEST(FileValues, APhotoWhoseMetadataRunsFarIntoTheFileIsReadWhole) {
    TempFolder dir;
    const std::string path = testing::MakeJpeg(dir, "long.jpg", 64, 48, {"2024:05:01 10:20:30", "", "Canon", "Canon EOS 80D"});
    // Six comment segments of 60 000 bytes right after the start: the
    // date, the camera and the frame come after the first 256 KB.
    std::string bytes = dir.Read("long.jpg");
    std::string comments;
    for (int i = 0; i < 6; ++i) {
        comments += "\xFF\xFE";
        comments.push_back(static_cast<char>(60002 >> 8));
        comments.push_back(static_cast<char>(60002 & 0xFF));
        comments += std::string(60000, 'c');
    }
    bytes.insert(2, comments);
    dir.Write("long.jpg", bytes);
    const FileValues v = Read(path);
    EXPECT_EQ(Taken(v), "2024-05-01 10:20:30");
    EXPECT_EQ(v.camera, "Canon EOS 80D");
    EXPECT_EQ(v.width, 64);

    // A JPEG cut short reads as far as it goes, and never fails the run.
    dir.Write("cut.jpg", bytes.substr(0, 200000));
    const FileValues cut = Read(dir / "cut.jpg");
    EXPECT_FALSE(cut.taken);
}

TEST(FileValues, AudioGivesItsTagsAndLength) {
    TempFolder dir;
    const AudioTags tags{"周杰伦", "晴天", "叶惠美", 2003, 3};
    for (const std::string& path : {testing::MakeMp3(dir, "a.mp3", 2, tags),
                                    testing::MakeFlac(dir, "a.flac", 2, tags)}) {
        SCOPED_TRACE(path);
        const FileValues v = Read(path);
        EXPECT_EQ(v.artist, Gbk("周杰伦"));
        EXPECT_EQ(v.title, Gbk("晴天"));
        EXPECT_EQ(v.album, Gbk("叶惠美"));
        EXPECT_EQ(v.year, 2003);
        EXPECT_EQ(v.track, 3);
        ASSERT_TRUE(v.durationMs);
        EXPECT_NEAR(static_cast<double>(*v.durationMs), 2000.0, 60.0);
        EXPECT_FALSE(v.taken);
    }
}

TEST(FileValues, VideosGiveTheirCreationTimeInLocalTime) {
    const testing::TimeZone zone("Asia/Shanghai");
    TempFolder dir;
    // 2024-05-01 02:00:00 UTC is 10:00 in Beijing.
    const FileValues v = Read(testing::MakeMp4(dir, "clip.mp4", 1714528800, 1280, 720, 3));
    EXPECT_EQ(Taken(v), "2024-05-01 10:00:00");
    EXPECT_EQ(v.width, 1280);
    EXPECT_EQ(v.height, 720);
    ASSERT_TRUE(v.durationMs);
    EXPECT_EQ(*v.durationMs, 3000);
    EXPECT_FALSE(Read(testing::MakeMp4(dir, "no time.mp4", 0, 640, 480, 1)).taken);
}

TEST(FileValues, DocumentsGiveTitleAuthorAndPages) {
    TempFolder dir;
    for (const std::string& path :
         {testing::MakePdf(dir, "a.pdf", "年度报告", "张三", 3),
          testing::MakeDocx(dir, "a.docx", "年度报告", "张三", 3),
          testing::MakeOdt(dir, "a.odt", "年度报告", "张三", 3)}) {
        SCOPED_TRACE(path);
        const FileValues v = Read(path);
        EXPECT_EQ(v.docTitle, Gbk("年度报告"));
        EXPECT_EQ(v.author, Gbk("张三"));
        EXPECT_EQ(v.pages, 3);
    }
    const FileValues untitled = Read(testing::MakeDocx(dir, "b.docx", "", "", 1));
    EXPECT_EQ(untitled.docTitle, "");
    EXPECT_EQ(untitled.pages, 1);
}

TEST(FileValues, ChecksumsOfTheContents) {
    TempFolder dir;
    const FileValues abc = Read(dir.Write("abc.txt", "abc"));
    EXPECT_EQ(abc.md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(abc.crc32, "352441c2");
    const FileValues empty = Read(dir.Write("empty.txt", ""));
    EXPECT_EQ(empty.md5, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(empty.crc32, "00000000");
    // Two megabytes and a bit: read in pieces.
    const FileValues big = Read(dir.Write("big.bin", std::string((2 << 20) + 3, 'x')));
    EXPECT_EQ(big.md5.size(), 32u);
    EXPECT_EQ(Read(dir.MakeFolder("folder")).md5, "");
}

TEST(FileValues, OnlyTheLibraryAValueNeedsIsAsked) {
    TempFolder dir;
    const std::string jpeg = testing::MakeJpeg(dir, "a.jpg", 8, 8, {"2024:05:01 10:20:30", "", "", ""});
    int before = FileReadsForTesting();
    FileValues v = Read(jpeg, Bit(FileValue::Md5));
    EXPECT_EQ(FileReadsForTesting() - before, 1);  // the checksums only
    EXPECT_FALSE(v.taken);
    before = FileReadsForTesting();
    ReadFileValues(jpeg, Bit(FileValue::TakenTime) | Bit(FileValue::Camera) | Bit(FileValue::Md5), v);
    EXPECT_EQ(FileReadsForTesting() - before, 1);  // Exiv2 once for both, the sum known
    EXPECT_TRUE(v.taken);
    before = FileReadsForTesting();
    Read(jpeg, 0);
    EXPECT_EQ(FileReadsForTesting() - before, 0);
}

TEST(FileValueCache, KeepsValuesUntilTheFileChanges) {
    TempFolder dir;
    const std::string path = dir.Write("a.txt", "abc");
    FileValueCache cache;
    int before = FileReadsForTesting();
    EXPECT_EQ(cache.Get(path, Bit(FileValue::Md5))->md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(cache.Get(path, Bit(FileValue::Crc32))->crc32, "352441c2");
    EXPECT_NE(cache.Peek(path, Bit(FileValue::Md5)), nullptr);
    EXPECT_EQ(FileReadsForTesting() - before, 1);

    // A value of another library is read then, the rest kept; a value no
    // library gives for such a file asks none.
    EXPECT_EQ(cache.Peek(path, Bit(FileValue::Camera)), nullptr);
    cache.Get(path, Bit(FileValue::Camera) | Bit(FileValue::Md5));
    EXPECT_EQ(FileReadsForTesting() - before, 2);
    EXPECT_EQ(cache.Get(path, Bit(FileValue::Title))->title, "");
    EXPECT_EQ(FileReadsForTesting() - before, 2);

    dir.Write("a.txt", "abcd");
    dir.SetModified("a.txt", 1500000000);
    EXPECT_EQ(cache.Peek(path, Bit(FileValue::Md5)), nullptr);
    EXPECT_EQ(cache.Get(path, Bit(FileValue::Md5))->md5, "e2fc714c4727ee9395f324cd2e7f331f");

    std::remove((dir / "a.txt").c_str());
    EXPECT_FALSE(cache.Get(path, Bit(FileValue::Md5))->facts.exists);
}

TEST(FileValueCache, KeepsAtMostItsCapacity) {
    TempFolder dir;
    FileValueCache cache(16);
    for (int i = 0; i < 100; ++i) cache.Get(dir.Write("f" + std::to_string(i), "x"), Bit(FileValue::Md5));
    EXPECT_LE(cache.size(), 17u);
    EXPECT_NE(cache.Peek(dir / "f99", Bit(FileValue::Md5)), nullptr);
}

TEST(FileValuesAhead, GivesEveryFileInOrderWhoeverReadsIt) {
    TempFolder dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 200; ++i) paths.push_back(dir.Write("f" + std::to_string(i), std::to_string(i)));
    paths.push_back(dir / "missing");
    FileValueCache cache;
    {
        FileValuesAhead ahead(cache, Bit(FileValue::Crc32), paths, 2);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            SCOPED_TRACE(i);
            const auto v = ahead.Take(i);
            ASSERT_NE(v, nullptr);
            if (i + 1 == paths.size()) {
                EXPECT_FALSE(v->facts.exists);
                continue;
            }
            EXPECT_TRUE(v->facts.exists);
            EXPECT_EQ(v->crc32, cache.Get(paths[i], Bit(FileValue::Crc32))->crc32);
        }
    }
    // One that goes before its files are taken stops its workers.
    FileValuesAhead left(cache, Bit(FileValue::Md5), paths, 2);
    EXPECT_NE(left.Take(7), nullptr);
}

TEST(FileValueReader, ReadsTheMostUrgentFirstAndTellsWhenReady) {
    TempFolder dir;
    FileValueCache cache;
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::vector<std::string> order;
    FileValueReader reader(
        cache,
        [&](const std::string& path) {
            std::unique_lock<std::mutex> lock(m);
            order.push_back(path.substr(path.rfind('/') + 1));
            // The first file holds the one worker until everything is asked.
            cv.wait(lock, [&] { return release; });
        },
        1);
    reader.Request(dir.Write("first", "1"), Bit(FileValue::Md5), 5);
    for (;;) {
        std::lock_guard<std::mutex> lock(m);
        if (!order.empty()) break;
    }
    reader.Request(dir.Write("late", "2"), Bit(FileValue::Md5), 9);
    reader.Request(dir.Write("soon", "3"), Bit(FileValue::Md5), 3);
    reader.Request(dir.Write("urgent", "4"), Bit(FileValue::Md5), 10);
    reader.Request(dir / "urgent", Bit(FileValue::Crc32), 0);  // moved forward
    EXPECT_EQ(reader.Pending(), 4u);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    reader.WaitIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "urgent", "soon", "late"}));
    const auto urgent = cache.Peek(dir / "urgent", Bit(FileValue::Md5) | Bit(FileValue::Crc32));
    ASSERT_NE(urgent, nullptr);
    EXPECT_EQ(urgent->crc32.size(), 8u);
}

TEST(FileValueReader, ForgottenRequestsAreNotRead) {
    TempFolder dir;
    FileValueCache cache;
    std::atomic<int> ready{0};
    {
        FileValueReader reader(cache, [&](const std::string&) { ++ready; }, 2);
        for (int i = 0; i < 50; ++i)
            reader.Request(dir.Write("f" + std::to_string(i), "x"), Bit(FileValue::Md5), i);
        reader.Forget();
        reader.WaitIdle();
        EXPECT_EQ(reader.Pending(), 0u);
    }
    EXPECT_LT(ready.load(), 50);
}

// A window asks again for the rows on screen each time it paints them: a
// file being read is not read twice, nor does it hold a second worker
// waiting while other files wait in the queue.
TEST(FileValueReader, AFileBeingReadTakesOneWorker) {
    TempFolder dir;
    const std::string big = dir.Write("big.bin");
    {
        std::string disk;
        GbkToDisk(big, disk);
        std::filesystem::resize_file(disk, std::uintmax_t{256} << 20);  // its checksum takes a while
    }
    const std::string small = dir.Write("small.txt", "abc");
    FileValueCache cache;
    std::mutex m;
    std::vector<std::string> order;
    FileValueReader reader(
        cache,
        [&](const std::string& path) {
            std::lock_guard<std::mutex> lock(m);
            order.push_back(path.substr(path.rfind('/') + 1));
        },
        2);
    reader.Request(big, Bit(FileValue::Md5), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int i = 0; i < 5; ++i) reader.Request(big, Bit(FileValue::Md5), 0);
    reader.Request(small, Bit(FileValue::Md5), 1);
    reader.WaitIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"small.txt", "big.bin"}));
}

}  // namespace
}  // namespace ferro
