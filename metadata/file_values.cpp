// Which library reads which file, and what the readers share.
#include "metadata/file_values.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <initializer_list>

#include "metadata/readers.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace ferro {
namespace {

using namespace metadata_detail;

std::atomic<int> g_reads{0};

enum class Source { Photo, Video, Audio, Pdf, OpenXml, OpenDocument, Checksums };

constexpr FileValueSet kImageValues =
    Bit(FileValue::TakenTime) | Bit(FileValue::Camera) | Bit(FileValue::Width) | Bit(FileValue::Height);
constexpr FileValueSet kTagValues = Bit(FileValue::Artist) | Bit(FileValue::Title) |
                                    Bit(FileValue::Album) | Bit(FileValue::Year) |
                                    Bit(FileValue::Track) | Bit(FileValue::Duration);
constexpr FileValueSet kDocumentValues =
    Bit(FileValue::DocTitle) | Bit(FileValue::Author) | Bit(FileValue::Pages);
constexpr FileValueSet kChecksumValues = Bit(FileValue::Md5) | Bit(FileValue::Crc32);

FileValueSet Gives(Source s) {
    switch (s) {
        case Source::Photo: return kImageValues;
        case Source::Video: return kImageValues | kTagValues;
        case Source::Audio: return kTagValues;
        case Source::Pdf:
        case Source::OpenXml:
        case Source::OpenDocument: return kDocumentValues;
        case Source::Checksums: return kChecksumValues;
    }
    return 0;
}

bool OneOf(std::string_view ext, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), ext) != list.end();
}

// The library that reads a kind of file, by its extension. A file with any
// other extension is offered to Exiv2, which knows images by their bytes.
Source ContentSource(std::string_view ext) {
    if (OneOf(ext, {"mp4", "m4v", "mov", "qt", "3gp", "3g2", "mkv", "webm", "avi", "wmv", "asf",
                    "flv", "mts", "m2ts", "ts", "mpg", "mpeg", "vob", "mxf", "ogv", "rm", "rmvb",
                    "divx"}))
        return Source::Video;
    if (OneOf(ext, {"mp3", "mp2", "aac", "ogg", "oga", "opus", "spx", "flac", "mpc", "wv", "tta",
                    "m4a", "m4b", "m4r", "m4p", "wma", "aif", "aiff", "aifc", "wav", "ape", "dsf",
                    "dff"}))
        return Source::Audio;
    if (ext == "pdf") return Source::Pdf;
    if (OneOf(ext, {"docx", "docm", "dotx", "dotm", "xlsx", "xlsm", "xltx", "xltm", "pptx", "pptm",
                    "potx", "potm", "ppsx", "ppsm"}))
        return Source::OpenXml;
    if (OneOf(ext, {"odt", "ods", "odp", "odg", "ott", "ots", "otp", "otg"}))
        return Source::OpenDocument;
    return Source::Photo;
}

void Run(Source s, const std::string& disk, FileValues& v) {
    g_reads.fetch_add(1, std::memory_order_relaxed);
    switch (s) {
        case Source::Photo: ReadPhoto(disk, v); break;
        case Source::Video: ReadVideo(disk, v); break;
        case Source::Audio: ReadAudio(disk, v); break;
        case Source::Pdf: ReadPdf(disk, v); break;
        case Source::OpenXml: ReadOfficeDocument(disk, false, v); break;
        case Source::OpenDocument: ReadOfficeDocument(disk, true, v); break;
        case Source::Checksums: ReadChecksums(disk, v); break;
    }
}

int Digits(std::string_view s, std::size_t& i, int most, int& value) {
    int n = 0;
    value = 0;
    while (i < s.size() && n < most && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    return n;
}

}  // namespace

namespace metadata_detail {

std::string LibraryText(std::string_view bytes) {
    std::string out;
    if (Utf8ToGb18030(bytes, out)) return Trim(out);
    const std::u16string asGbk = DecodeCodePage(bytes, "gb18030");
    if (asGbk.find(u'\uFFFD') == std::u16string::npos) return Trim(bytes);
    return Trim(Utf16ToGbk(asGbk));
}

std::optional<DateTime> ParseLibraryTime(std::string_view text) {
    int parts[6] = {0, 0, 0, 0, 0, 0};
    int found = 0;
    std::size_t i = 0;
    while (i < text.size() && (text[i] < '0' || text[i] > '9')) ++i;
    while (found < 6 && i < text.size()) {
        int value = 0;
        const int n = Digits(text, i, found == 0 ? 4 : 2, value);
        if (n == 0 || (found == 0 && n != 4)) break;
        parts[found++] = value;
        // One separator between parts: "-", ":", "T", " ", "/".
        if (i >= text.size() || (text[i] >= '0' && text[i] <= '9')) break;
        if (found == 3 && text[i] != ' ' && text[i] != 'T' && text[i] != 't') break;
        ++i;
    }
    if (found < 3) return std::nullopt;
    DateTime t{parts[0], parts[1], parts[2], parts[3], parts[4], std::min(parts[5], 59), 0};
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59)
        return std::nullopt;
    return t;
}

DateTime UtcToLocal(const DateTime& utc) {
    const std::int64_t seconds = DaysFromCivil(utc.year, utc.month, utc.day) * 86400 +
                                 utc.hour * 3600 + utc.minute * 60 + utc.second;
    return ToLocal(seconds * 1000000000);
}

std::string CameraText(std::string_view makeText, std::string_view modelText) {
    const std::string make = Trim(makeText), model = Trim(modelText);
    if (make.empty()) return model;
    if (model.empty()) return make;
    // "NIKON CORPORATION" and "NIKON D750": the model names the make already.
    const std::string word = make.substr(0, make.find(' '));
    const std::string lowerModel = AnsiLower(model);
    if (lowerModel.rfind(AnsiLower(word), 0) == 0) return model;
    return make + " " + model;
}

}  // namespace metadata_detail

FileFacts ReadFileFacts(std::string_view path) {
    FileFacts facts;
    FindEntry entry;
    if (!StatPath(path, entry)) return facts;
    facts.exists = true;
    facts.size = entry.size;
    facts.created = entry.creationTime;
    facts.modified = entry.lastWriteTime;
    return facts;
}

void ReadFileValues(std::string_view path, FileValueSet wanted, FileValues& values) {
    wanted &= kAllFileValues & ~values.looked;
    if (wanted == 0) return;
    values.looked |= wanted;
    std::string disk;
    if (!GbkToDisk(path, disk)) return;
    std::string ext = ExtractFileExt(path);
    if (!ext.empty()) ext.erase(0, 1);
    AnsiLowerInPlace(ext);
    // A library asked for one of its values gives all of them at once.
    for (Source s : {ContentSource(ext), Source::Checksums}) {
        if (!(Gives(s) & wanted)) continue;
        Run(s, disk, values);
        values.looked |= Gives(s);
    }
}

int FileReadsForTesting() { return g_reads.load(); }

}  // namespace ferro
