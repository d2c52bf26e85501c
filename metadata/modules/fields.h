// What the readers kept in modules of their own hand back: each field as its
// library writes it (UTF-8), for the core side to turn into values. The
// libraries behind them (MediaInfoLib, poppler) take longer to load than a
// whole run of most commands, so a process loads them only when a file of
// theirs is read.
#pragma once

#include <string>

namespace ferro::metadata_module {

struct VideoFields {
    std::string encodedDate, taggedDate, recordedDate;
    std::string width, height, duration;
    std::string company, hardware;
    std::string performer, title, album, track;
};

struct PdfFields {
    std::string title, author;
    int pages = 0;
    bool locked = false;
};

// The entry points, by name; a module of another build of the program
// has other names, and is not taken.
using ReadVideoFields = bool (*)(int fd, VideoFields& out);
using ReadPdfFields = bool (*)(const char* disk, PdfFields& out);
inline constexpr const char* kReadVideoFields = "ferro_read_video_fields_1";
inline constexpr const char* kReadPdfFields = "ferro_read_pdf_fields_1";

}  // namespace ferro::metadata_module
