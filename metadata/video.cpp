// Videos through MediaInfoLib (its module: metadata/modules/video_module.cpp):
// MP4/MOV, Matroska/WebM, AVI, WMV/ASF, MPEG-TS/M2TS and the other
// containers it knows. The file is opened here and handed over as a
// descriptor, so a name in any encoding opens, whatever the locale.
#include <fcntl.h>
#include <unistd.h>

#include "metadata/modules/fields.h"
#include "platform/modules.h"
#include "metadata/readers.h"

namespace ferro::metadata_detail {
namespace {

using metadata_module::VideoFields;

std::int64_t Number(const std::string& utf8) {
    const std::string s = LibraryText(utf8);
    // "1080", "12345.000"; a list "1920 / 1920" gives its first.
    std::int64_t n = 0;
    bool digits = false;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        digits = true;
        if (n > (std::int64_t{1} << 50)) return 0;
    }
    return digits ? n : 0;
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// "2012", "2012-05-01": the year it begins with.
std::int64_t YearOf(std::string_view text) {
    if (text.size() < 4) return 0;
    std::int64_t year = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        year = year * 10 + (text[i] - '0');
    }
    return year;
}

}  // namespace

void ReadVideo(const std::string& disk, FileValues& v) {
    const auto read = reinterpret_cast<metadata_module::ReadVideoFields>(
        ModuleEntry("video", metadata_module::kReadVideoFields));
    if (!read) return;
    const Descriptor file{open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return;
    VideoFields f;
    if (!read(file.fd, f)) return;
    // The container's creation time is UTC ("2024-05-01 10:00:00 UTC",
    // older versions "UTC 2024-05-01 10:00:00"); a recorded date that says
    // no zone is the camera's clock.
    for (const std::string* field : {&f.encodedDate, &f.taggedDate, &f.recordedDate}) {
        if (v.taken) break;
        const std::string text = LibraryText(*field);
        const std::optional<DateTime> t = ParseLibraryTime(text);
        if (!t) continue;
        v.taken = text.find("UTC") != std::string::npos ? UtcToLocal(*t) : *t;
    }
    if (v.width == 0) v.width = Number(f.width);
    if (v.height == 0) v.height = Number(f.height);
    if (!v.durationMs) {
        const std::int64_t ms = Number(f.duration);
        if (ms > 0) v.durationMs = ms;
    }
    if (v.camera.empty()) v.camera = CameraText(LibraryText(f.company), LibraryText(f.hardware));
    if (v.artist.empty()) v.artist = LibraryText(f.performer);
    if (v.title.empty()) v.title = LibraryText(f.title);
    if (v.album.empty()) v.album = LibraryText(f.album);
    if (v.track == 0) v.track = Number(f.track);
    if (v.year == 0) v.year = YearOf(LibraryText(f.recordedDate));
}

}  // namespace ferro::metadata_detail
