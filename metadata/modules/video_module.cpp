// MediaInfoLib's side of the video reader: the container's fields as text.
// The file is handed over as bytes from the caller's descriptor (with the
// seeks it asks for), so a name in any encoding opens, whatever the locale.
#include <MediaInfo/MediaInfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

#include "metadata/modules/fields.h"

namespace {

using MediaInfoLib::MediaInfo;
using ferro::metadata_module::VideoFields;

// MediaInfoLib's option tables are shared by its objects; one file at a
// time.
std::mutex g_mediaInfo;

// A container's header and index are what is read; a file's middle is
// skipped through seeks, so this is a bound on a damaged file only.
constexpr std::uint64_t kMostBytes = std::uint64_t{64} << 20;

std::string Field(MediaInfo& mi, MediaInfoLib::stream_t kind, const wchar_t* name) {
    return QString::fromStdWString(mi.Get(kind, 0, name)).toStdString();
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

}  // namespace

extern "C" __attribute__((visibility("default"))) bool ferro_read_video_fields_1(int fd,
                                                                                VideoFields& out) {
    std::lock_guard<std::mutex> lock(g_mediaInfo);
    try {
        MediaInfo mi;
        if (!Feed(mi, fd)) return false;
        using MediaInfoLib::Stream_General;
        using MediaInfoLib::Stream_Video;
        out.encodedDate = Field(mi, Stream_General, L"Encoded_Date");
        out.taggedDate = Field(mi, Stream_General, L"Tagged_Date");
        out.recordedDate = Field(mi, Stream_General, L"Recorded_Date");
        out.width = Field(mi, Stream_Video, L"Width");
        out.height = Field(mi, Stream_Video, L"Height");
        out.duration = Field(mi, Stream_General, L"Duration");
        out.company = Field(mi, Stream_General, L"Encoded_Hardware_CompanyName");
        out.hardware = Field(mi, Stream_General, L"Encoded_Hardware_Name");
        out.performer = Field(mi, Stream_General, L"Performer");
        out.title = Field(mi, Stream_General, L"Title");
        out.album = Field(mi, Stream_General, L"Album");
        out.track = Field(mi, Stream_General, L"Track/Position");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
