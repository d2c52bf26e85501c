// Files made for the tests by the field's own writers: JPEG and PNG images
// by Qt's QImage with EXIF put in by Exiv2, audio tags by TagLib (on MPEG
// and FLAC streams of silence written here byte by byte), a PDF by Qt's
// QPdfWriter with its author set by poppler, Office and OpenDocument
// packages by libzip, an MP4 container written box by box. Names are GBK
// within a TempFolder; texts of tags are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/temp_folder.h"

namespace ferro::testing {

struct PhotoTags {
    std::string taken;      // EXIF DateTimeOriginal, "2024:05:01 10:20:30"
    std::string digitized;  // EXIF DateTimeDigitized
    std::string make, model;
};
std::string MakeJpeg(const TempFolder& dir, std::string_view name, int width, int height,
                     const PhotoTags& tags = {});
std::string MakePng(const TempFolder& dir, std::string_view name, int width, int height);

struct AudioTags {
    std::string artist, title, album;  // UTF-8
    unsigned year = 0, track = 0;
};
std::string MakeMp3(const TempFolder& dir, std::string_view name, int seconds,
                    const AudioTags& tags);
std::string MakeFlac(const TempFolder& dir, std::string_view name, int seconds,
                     const AudioTags& tags);

// An MP4 with one video track; created: seconds since 1970 (UTC), 0 for none.
std::string MakeMp4(const TempFolder& dir, std::string_view name, std::int64_t created,
                    int width, int height, int seconds);

// Documents with a title and author (UTF-8; empty: none) and pages.
std::string MakePdf(const TempFolder& dir, std::string_view name, const std::string& title,
                    const std::string& author, int pages);
std::string MakeDocx(const TempFolder& dir, std::string_view name, const std::string& title,
                     const std::string& author, int pages);
std::string MakeOdt(const TempFolder& dir, std::string_view name, const std::string& title,
                    const std::string& author, int pages);

// The process's time zone for as long as it lives.
class TimeZone {
public:
    explicit TimeZone(const char* tz);
    ~TimeZone();
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string old_;
    bool had_ = false;
};

}  // namespace ferro::testing
