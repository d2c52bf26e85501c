// What a file holds about itself besides its name and times: when a photo
// or video was taken, the camera, the pixel size, audio tags and length,
// document properties, checksums of the contents. Each kind of file is read
// by the field's own library (Exiv2 for photos, TagLib for audio,
// MediaInfoLib for video, poppler for PDF, libzip with Qt's XML reader for
// Office and OpenDocument files); only the values asked for are read.
//
// Texts are GBK (GB18030 where GBK lacks a character, as names are), as
// the library gave them: not yet fit for a file name (file_items.h does
// that). Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/times.h"

namespace ferro {

enum class FileValue : std::uint8_t {
    TakenTime,  // photos: EXIF DateTimeOriginal, else DateTimeDigitized; videos: creation time
    Camera,     // make and model, the make once ("Canon EOS 80D")
    Width,      // pixels, images and videos
    Height,
    Artist,  // audio tags
    Title,
    Album,
    Year,
    Track,
    Duration,  // audio and video
    DocTitle,  // PDF, Office Open XML, OpenDocument
    Author,
    Pages,  // where the document states it
    Md5,    // of the contents, lower-case hex
    Crc32,
    kCount
};

// A set of values, one bit each.
using FileValueSet = std::uint32_t;
constexpr FileValueSet Bit(FileValue v) { return FileValueSet{1} << static_cast<unsigned>(v); }
constexpr FileValueSet kAllFileValues = (FileValueSet{1} << static_cast<unsigned>(FileValue::kCount)) - 1;

// What the file system says of the file: the key under which its values
// are kept (a file that changes is read again), and the times the file
// list shows.
struct FileFacts {
    bool exists = false;
    std::int64_t size = 0;
    FileTime created = 0;
    FileTime modified = 0;
};

struct FileValues {
    FileFacts facts;
    FileValueSet looked = 0;  // values looked for, found or not

    std::optional<DateTime> taken;  // local time (a photo's clock as written)
    std::string camera;             // empty: not held
    std::int64_t width = 0, height = 0;  // 0: not held
    std::string artist, title, album;
    std::int64_t year = 0, track = 0;
    std::optional<std::int64_t> durationMs;
    std::string docTitle, author;
    std::int64_t pages = 0;
    std::string md5, crc32;  // empty: the contents could not be read
};

// The file system's facts of a file (exists false when nothing is there).
FileFacts ReadFileFacts(std::string_view path);

// Reads the asked values of a file (GBK path) into values, adding them to
// `looked`; values already there of other kinds stay. Nothing is kept
// between calls (value_cache.h keeps them).
void ReadFileValues(std::string_view path, FileValueSet wanted, FileValues& values);

// For tests: how many times a library was asked to read a file, since the
// start (lazy reading and the cache are checked with it).
int FileReadsForTesting();

}  // namespace ferro
