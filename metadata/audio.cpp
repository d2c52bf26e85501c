// Audio through TagLib: ID3v1 and ID3v2 (MP3), Vorbis comments (Ogg, FLAC,
// Opus), MP4/M4A atoms, ASF (WMA), APE and the rest of its formats, and the
// length from the stream's own header. The file's type comes from its
// extension, as TagLib chooses it.
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

#include <mutex>

#include "metadata/readers.h"

namespace ferro::metadata_detail {
namespace {

// TagLib keeps a few lazily made tables (frame factories, string
// handlers); one file at a time keeps them out of each other's way.
std::mutex g_taglib;

std::string Text(const TagLib::String& s) {
    return s.isEmpty() ? std::string() : LibraryText(s.to8Bit(true));
}

}  // namespace

void ReadAudio(const std::string& disk, FileValues& v) {
    std::lock_guard<std::mutex> lock(g_taglib);
    try {
        const TagLib::FileRef file(disk.c_str(), true, TagLib::AudioProperties::Average);
        if (file.isNull()) return;
        if (const TagLib::Tag* tag = file.tag()) {
            if (v.artist.empty()) v.artist = Text(tag->artist());
            if (v.title.empty()) v.title = Text(tag->title());
            if (v.album.empty()) v.album = Text(tag->album());
            if (v.year == 0) v.year = tag->year();
            if (v.track == 0) v.track = tag->track();
        }
        if (!v.durationMs)
            if (const TagLib::AudioProperties* p = file.audioProperties())
                if (p->lengthInMilliseconds() > 0) v.durationMs = p->lengthInMilliseconds();
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
