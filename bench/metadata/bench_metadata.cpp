// The photos of the date-taken benchmark, and the check of what each tool
// made of them.
//
//   bench_metadata make FOLDER N   N JPEGs (160x120) whose EXIF dates taken
//                                  are all different: one photo made by
//                                  Qt's QImage with its EXIF written by
//                                  Exiv2, copied with the date's bytes set
//   bench_metadata check FOLDER N  exit 0 when the folder holds exactly the
//                                  N names yyyymmdd_hhnnss.jpg of the dates
//   bench_metadata read FOLDER N   microseconds a photo on one thread: our
//                                  reader (the file's facts and its date
//                                  taken), and Exiv2 opening the file and
//                                  reading its metadata as exiv2(1) does
#include <exiv2/exiv2.hpp>
#include <fcntl.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "metadata/file_values.h"
#include "platform/codec.h"

namespace {

constexpr const char* kTemplateDate = "2000:01:01 00:00:00";

// File i was taken at 2019-01-01 00:00:00 plus 61 seconds times i.
std::tm TakenAt(int i) {
    const std::time_t t = 1546300800 + static_cast<std::time_t>(i) * 61;
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

std::string Format(const std::tm& tm, const char* format) {
    char text[64];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

int Make(const std::string& folder, int n) {
    std::filesystem::create_directories(folder);
    const std::string first = folder + "/.template.jpg";
    QImage image(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) image.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
    if (!image.save(QString::fromStdString(first), "JPG", 85)) return 1;
    {
        Exiv2::Image::AutoPtr photo = Exiv2::ImageFactory::open(first);
        photo->readMetadata();
        Exiv2::ExifData& exif = photo->exifData();
        exif["Exif.Image.Make"] = "Canon";
        exif["Exif.Image.Model"] = "Canon EOS 80D";
        exif["Exif.Photo.DateTimeOriginal"] = kTemplateDate;
        exif["Exif.Photo.DateTimeDigitized"] = "2001:02:03 04:05:06";
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        photo->writeMetadata();
    }
    std::ifstream in(first, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string bytes = s.str();
    std::filesystem::remove(first);
    const std::size_t at = bytes.find(kTemplateDate);
    if (at == std::string::npos) return 1;
    for (int i = 0; i < n; ++i) {
        const std::string date = Format(TakenAt(i), "%Y:%m:%d %H:%M:%S");
        bytes.replace(at, date.size(), date);
        char name[64];
        std::snprintf(name, sizeof name, "/IMG_%05d.jpg", i);
        const int fd = open((folder + name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            close(fd) != 0)
            return 1;
    }
    return 0;
}

int Check(const std::string& folder, int n) {
    std::set<std::string> expected, found;
    for (int i = 0; i < n; ++i) expected.insert(Format(TakenAt(i), "%Y%m%d_%H%M%S") + ".jpg");
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) found.insert(e.path().filename().string());
    if (found == expected) return 0;
    int missing = 0;
    for (const std::string& name : expected) missing += found.count(name) ? 0 : 1;
    std::fprintf(stderr, "%zu files, %d expected names missing\n", found.size(), missing);
    return 1;
}

int Read(const std::string& folder, int n) {
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file() && static_cast<int>(paths.size()) < n) paths.push_back(e.path().string());
    auto perFile = [&](auto&& read) {
        const auto start = std::chrono::steady_clock::now();
        int found = 0;
        for (const std::string& p : paths) found += read(p) ? 1 : 0;
        const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        std::printf("  %.1f us a photo, %d of %zu with a date\n", us / static_cast<double>(paths.size()), found, paths.size());
    };
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    for (int round = 0; round < 2; ++round) {
        std::printf("ours (facts and date taken)");
        perFile([](const std::string& p) {
            ferro::FileValues v;
            const std::string gbk = ferro::DiskToGbk(p);
            v.facts = ferro::ReadFileFacts(gbk);
            ferro::ReadFileValues(gbk, ferro::Bit(ferro::FileValue::TakenTime), v);
            return v.taken.has_value();
        });
        std::printf("Exiv2 open and readMetadata");
        perFile([](const std::string& p) {
            Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(p);
            image->readMetadata();
            const Exiv2::ExifData& exif = image->exifData();
            return exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")) != exif.end();
        });
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_metadata make|check FOLDER N\n");
        return 2;
    }
    const std::string what = argv[1], folder = argv[2];
    const int n = std::atoi(argv[3]);
    if (what == "make") return Make(folder, n);
    if (what == "check") return Check(folder, n);
    if (what == "read") return Read(folder, n);
    return 2;
}
