// Videos through MediaInfoLib: MP4/MOV, Matroska/WebM, AVI, WMV/ASF,
// MPEG-TS/M2TS and the other containers it knows. The file is handed over
// as bytes from a descriptor of ours (with the seeks it asks for), so a
// name in any encoding opens, whatever the locale.
#include <MediaInfo/MediaInfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <mutex>
#include <vector>

#include "metadata/readers.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace ferro::metadata_detail {
namespace {

using MediaInfoLib::MediaInfo;

// MediaInfoLib's option tables are shared by its objects; one file at a
// time.
std::mutex g_mediaInfo;

// A container's header and index are what is read; a file's middle is
// skipped through seeks, so this is a bound on a damaged file only.
constexpr std::uint64_t kMostBytes = std::uint64_t{64} << 20;

std::string Text(const MediaInfoLib::String& s) {
    return Trim(QStringToGbk(QString::fromStdWString(s)));
}

std::string Field(MediaInfo& mi, MediaInfoLib::stream_t kind, const wchar_t* name) {
    return Text(mi.Get(kind, 0, name));
}

std::int64_t Number(MediaInfo& mi, MediaInfoLib::stream_t kind, const wchar_t* name) {
    const std::string s = Field(mi, kind, name);
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

bool Feed(MediaInfo& mi, int fd) {
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    mi.Open_Buffer_Init(size, 0);
    std::vector<unsigned char> buffer(std::size_t{1} << 16);
    std::uint64_t at = 0, read = 0;
    while (read < kMostBytes) {
        const ssize_t n = pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
        if (n <= 0) break;
        at += static_cast<std::uint64_t>(n);
        read += static_cast<std::uint64_t>(n);
        const std::size_t state = mi.Open_Buffer_Continue(buffer.data(), static_cast<std::size_t>(n));
        if (state & 0x08) break;  // finished
        const std::uint64_t to = mi.Open_Buffer_Continue_GoTo_Get();
        if (to != static_cast<std::uint64_t>(-1)) {
            if (to >= size) break;
            at = to;
            mi.Open_Buffer_Init(size, at);
        }
    }
    mi.Open_Buffer_Finalize();
    return true;
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
    const Descriptor file{open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return;
    std::lock_guard<std::mutex> lock(g_mediaInfo);
    try {
        MediaInfo mi;
        if (!Feed(mi, file.fd)) return;
        using MediaInfoLib::Stream_General;
        using MediaInfoLib::Stream_Video;
        // The container's creation time is UTC ("2024-05-01 10:00:00 UTC",
        // older versions "UTC 2024-05-01 10:00:00"); a recorded date that
        // says no zone is the camera's clock.
        for (const wchar_t* key : {L"Encoded_Date", L"Tagged_Date", L"Recorded_Date"}) {
            if (v.taken) break;
            const std::string text = Field(mi, Stream_General, key);
            const std::optional<DateTime> t = ParseLibraryTime(text);
            if (!t) continue;
            v.taken = text.find("UTC") != std::string::npos ? UtcToLocal(*t) : *t;
        }
        if (v.width == 0) v.width = Number(mi, Stream_Video, L"Width");
        if (v.height == 0) v.height = Number(mi, Stream_Video, L"Height");
        if (!v.durationMs) {
            const std::int64_t ms = Number(mi, Stream_General, L"Duration");
            if (ms > 0) v.durationMs = ms;
        }
        if (v.camera.empty())
            v.camera = CameraText(Field(mi, Stream_General, L"Encoded_Hardware_CompanyName"),
                                  Field(mi, Stream_General, L"Encoded_Hardware_Name"));
        if (v.artist.empty()) v.artist = Field(mi, Stream_General, L"Performer");
        if (v.title.empty()) v.title = Field(mi, Stream_General, L"Title");
        if (v.album.empty()) v.album = Field(mi, Stream_General, L"Album");
        if (v.track == 0) v.track = Number(mi, Stream_General, L"Track/Position");
        if (v.year == 0) v.year = YearOf(Field(mi, Stream_General, L"Recorded_Date"));
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
