#include "metadata/fixtures.h"

#include <exiv2/exiv2.hpp>
#include <poppler-document.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/xiphcomment.h>
#include <zip.h>

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/codec.h"

namespace ferro::testing {
namespace {

std::string Disk(const std::string& gbkPath) {
    std::string disk;
    if (!GbkToDisk(gbkPath, disk)) throw std::runtime_error("not a GBK path");
    return disk;
}

void WriteBytes(const std::string& disk, const std::string& bytes) {
    std::ofstream out(disk, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + disk);
}

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    return image;
}

void SetExif(const std::string& disk, const PhotoTags& tags) {
    if (tags.taken.empty() && tags.digitized.empty() && tags.make.empty() && tags.model.empty())
        return;
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(disk);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    if (!tags.taken.empty()) exif["Exif.Photo.DateTimeOriginal"] = tags.taken;
    if (!tags.digitized.empty()) exif["Exif.Photo.DateTimeDigitized"] = tags.digitized;
    if (!tags.make.empty()) exif["Exif.Image.Make"] = tags.make;
    if (!tags.model.empty()) exif["Exif.Image.Model"] = tags.model;
    image->writeMetadata();
}

TagLib::String Utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

void SetTags(TagLib::Tag& tag, const AudioTags& tags) {
    if (!tags.artist.empty()) tag.setArtist(Utf8(tags.artist));
    if (!tags.title.empty()) tag.setTitle(Utf8(tags.title));
    if (!tags.album.empty()) tag.setAlbum(Utf8(tags.album));
    if (tags.year) tag.setYear(tags.year);
    if (tags.track) tag.setTrack(tags.track);
}

// Big-endian numbers and ISO base media boxes.
std::string Be(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}
std::string Box(const char* type, const std::string& payload) {
    return Be(payload.size() + 8, 4) + type + payload;
}
std::string Zeros(std::size_t n) { return std::string(n, '\0'); }
std::string Matrix() {
    return Be(0x00010000, 4) + Zeros(12) + Be(0x00010000, 4) + Zeros(12) + Be(0x40000000, 4);
}

void Package(const std::string& disk, const std::vector<std::pair<std::string, std::string>>& parts) {
    int error = 0;
    zip_t* zip = zip_open(disk.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) throw std::runtime_error("zip_open");
    for (const auto& [name, bytes] : parts) {
        void* copy = std::malloc(bytes.size() + 1);
        std::memcpy(copy, bytes.data(), bytes.size());
        zip_source_t* source = zip_source_buffer(zip, copy, bytes.size(), 1);
        if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            throw std::runtime_error("zip_file_add");
    }
    if (zip_close(zip) != 0) throw std::runtime_error("zip_close");
}

std::string XmlText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<') out += "&lt;";
        else if (c == '&') out += "&amp;";
        else out.push_back(c);
    }
    return out;
}

}  // namespace

std::string MakeJpeg(const TempFolder& dir, std::string_view name, int width, int height,
                     const PhotoTags& tags) {
    const std::string path = dir / name, disk = Disk(path);
    if (!Picture(width, height).save(QString::fromStdString(disk), "JPG"))
        throw std::runtime_error("QImage cannot write JPEG");
    SetExif(disk, tags);
    return path;
}

std::string MakePng(const TempFolder& dir, std::string_view name, int width, int height) {
    const std::string path = dir / name;
    if (!Picture(width, height).save(QString::fromStdString(Disk(path)), "PNG"))
        throw std::runtime_error("QImage cannot write PNG");
    return path;
}

std::string MakeMp3(const TempFolder& dir, std::string_view name, int seconds,
                    const AudioTags& tags) {
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono: 417-byte frames of
    // 1152 samples, all side information zero (silence).
    std::string frame = "\xFF\xFB\x90\xC4";
    frame += Zeros(417 - 4);
    std::string stream;
    const int frames = seconds * 44100 / 1152 + 1;
    for (int i = 0; i < frames; ++i) stream += frame;
    const std::string path = dir / name, disk = Disk(path);
    WriteBytes(disk, stream);
    TagLib::MPEG::File file(disk.c_str());
    SetTags(*file.ID3v2Tag(true), tags);
    if (!file.save(TagLib::MPEG::File::ID3v2)) throw std::runtime_error("TagLib cannot save MP3");
    return path;
}

std::string MakeFlac(const TempFolder& dir, std::string_view name, int seconds,
                     const AudioTags& tags) {
    // "fLaC" and the one STREAMINFO block (the last): 4096-sample blocks,
    // 44.1 kHz, 2 channels, 16 bits, the total number of samples.
    const std::uint64_t samples = static_cast<std::uint64_t>(seconds) * 44100;
    std::string info = Be(4096, 2) + Be(4096, 2) + Be(0, 3) + Be(0, 3);
    const std::uint64_t packed = (std::uint64_t{44100} << 44) | (std::uint64_t{1} << 41) |
                                 (std::uint64_t{15} << 36) | samples;
    info += Be(packed, 8) + Zeros(16);
    const std::string bytes = std::string("fLaC") + "\x80" + Be(info.size(), 3) + info;
    const std::string path = dir / name, disk = Disk(path);
    WriteBytes(disk, bytes);
    TagLib::FLAC::File file(disk.c_str());
    SetTags(*file.xiphComment(true), tags);
    if (!file.save()) throw std::runtime_error("TagLib cannot save FLAC");
    return path;
}

std::string MakeMp4(const TempFolder& dir, std::string_view name, std::int64_t created,
                    int width, int height, int seconds) {
    const std::uint64_t since1904 = created ? static_cast<std::uint64_t>(created) + 2082844800u : 0;
    const std::uint64_t ms = static_cast<std::uint64_t>(seconds) * 1000;
    const std::string ftyp = Box("ftyp", std::string("isom") + Be(512, 4) + "isomiso2avc1mp41");
    const std::string mvhd = Box("mvhd", Zeros(4) + Be(since1904, 4) + Be(since1904, 4) +
                                             Be(1000, 4) + Be(ms, 4) + Be(0x00010000, 4) +
                                             Be(0x0100, 2) + Zeros(10) + Matrix() + Zeros(24) +
                                             Be(2, 4));
    const std::string tkhd =
        Box("tkhd", Be(3, 4) + Be(since1904, 4) + Be(since1904, 4) + Be(1, 4) + Zeros(4) +
                        Be(ms, 4) + Zeros(8) + Zeros(2) + Zeros(2) + Zeros(2) + Zeros(2) +
                        Matrix() + Be(static_cast<std::uint64_t>(width) << 16, 4) +
                        Be(static_cast<std::uint64_t>(height) << 16, 4));
    const std::string mdhd = Box("mdhd", Zeros(4) + Be(since1904, 4) + Be(since1904, 4) +
                                             Be(1000, 4) + Be(ms, 4) + Be(0x55C4, 2) + Zeros(2));
    const std::string hdlr =
        Box("hdlr", Zeros(4) + Zeros(4) + "vide" + Zeros(12) + std::string("VideoHandler") + '\0');
    const std::string avc1 =
        Box("avc1", Zeros(6) + Be(1, 2) + Zeros(16) + Be(width, 2) + Be(height, 2) +
                        Be(0x00480000, 4) + Be(0x00480000, 4) + Zeros(4) + Be(1, 2) + Zeros(32) +
                        Be(0x0018, 2) + Be(0xFFFF, 2));
    const std::string stbl =
        Box("stbl", Box("stsd", Zeros(4) + Be(1, 4) + avc1) + Box("stts", Zeros(8)) +
                        Box("stsc", Zeros(8)) + Box("stsz", Zeros(12)) + Box("stco", Zeros(8)));
    const std::string minf =
        Box("minf", Box("vmhd", Be(1, 4) + Zeros(8)) +
                        Box("dinf", Box("dref", Zeros(4) + Be(1, 4) + Box("url ", Be(1, 4)))) +
                        stbl);
    const std::string moov = Box("moov", mvhd + Box("trak", tkhd + Box("mdia", mdhd + hdlr + minf)));
    const std::string path = dir / name;
    WriteBytes(Disk(path), ftyp + moov + Box("mdat", Zeros(64)));
    return path;
}

std::string MakePdf(const TempFolder& dir, std::string_view name, const std::string& title,
                    const std::string& author, int pages) {
    const std::string path = dir / name, disk = Disk(path);
    {
        QPdfWriter pdf(QString::fromStdString(disk));
        if (!title.empty()) pdf.setTitle(QString::fromStdString(title));
        QPainter painter(&pdf);
        for (int i = 1; i < pages; ++i) pdf.newPage();
    }
    if (!author.empty()) {
        std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(disk));
        if (!doc) throw std::runtime_error("poppler cannot read the PDF");
        doc->set_author(poppler::ustring::from_utf8(author.c_str()));
        const std::string copy = disk + ".tmp";
        if (!doc->save(copy)) throw std::runtime_error("poppler cannot save the PDF");
        doc.reset();
        std::rename(copy.c_str(), disk.c_str());
    }
    return path;
}

std::string MakeDocx(const TempFolder& dir, std::string_view name, const std::string& title,
                     const std::string& author, int pages) {
    const std::string path = dir / name;
    std::string core =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
        "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";
    if (!title.empty()) core += "<dc:title>" + XmlText(title) + "</dc:title>";
    if (!author.empty()) core += "<dc:creator>" + XmlText(author) + "</dc:creator>";
    core += "<cp:lastModifiedBy>someone else</cp:lastModifiedBy></cp:coreProperties>";
    const std::string app =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "extended-properties\"><Application>Tests</Application><Pages>" +
        std::to_string(pages) + "</Pages></Properties>";
    Package(Disk(path),
            {{"[Content_Types].xml",
              "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/"
              "2006/content-types\"/>"},
             {"word/document.xml", "<w:document xmlns:w=\"http://schemas.openxmlformats.org/"
                                   "wordprocessingml/2006/main\"/>"},
             {"docProps/core.xml", core},
             {"docProps/app.xml", app}});
    return path;
}

std::string MakeOdt(const TempFolder& dir, std::string_view name, const std::string& title,
                    const std::string& author, int pages) {
    const std::string path = dir / name;
    std::string meta =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document-meta xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><office:meta>";
    if (!title.empty()) meta += "<dc:title>" + XmlText(title) + "</dc:title>";
    if (!author.empty()) meta += "<meta:initial-creator>" + XmlText(author) + "</meta:initial-creator>";
    meta += "<dc:creator>someone else</dc:creator><meta:document-statistic meta:page-count=\"" +
            std::to_string(pages) + "\" meta:word-count=\"10\"/></office:meta></office:document-meta>";
    Package(Disk(path), {{"mimetype", "application/vnd.oasis.opendocument.text"},
                         {"meta.xml", meta},
                         {"content.xml", "<office:document-content/>"}});
    return path;
}

TimeZone::TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) {
        old_ = old;
        had_ = true;
    }
    setenv("TZ", tz, 1);
    tzset();
}

TimeZone::~TimeZone() {
    if (had_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

}  // namespace ferro::testing
