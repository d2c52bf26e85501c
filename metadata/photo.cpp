// Photos through Exiv2: it reads EXIF and XMP from JPEG, TIFF, PNG, WebP,
// HEIF/AVIF and the common RAW formats, and tells a file's type from its
// bytes, so a photo with an odd extension is read too.
#include <exiv2/exiv2.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "metadata/readers.h"

namespace ferro::metadata_detail {
namespace {

std::mutex g_xmpToolkit;

void LockXmp(void*, bool lock) {
    if (lock) g_xmpToolkit.lock();
    else g_xmpToolkit.unlock();
}

// Exiv2 is safe on several threads once its XMP toolkit has been set up
// with a lock; its warnings are not ours to print.
void SetUpExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(&LockXmp, nullptr);
        Exiv2::enableBMFF(true);
    });
}

// The keys looked up in every photo, made once (a key is parsed from its
// name against Exiv2's tag tables).
struct Keys {
    Exiv2::ExifKey original{"Exif.Photo.DateTimeOriginal"};
    Exiv2::ExifKey originalInIfd0{"Exif.Image.DateTimeOriginal"};
    Exiv2::ExifKey digitized{"Exif.Photo.DateTimeDigitized"};
    Exiv2::ExifKey make{"Exif.Image.Make"};
    Exiv2::ExifKey model{"Exif.Image.Model"};
    Exiv2::ExifKey pixelX{"Exif.Photo.PixelXDimension"};
    Exiv2::ExifKey pixelY{"Exif.Photo.PixelYDimension"};
};

const Keys& ExifKeys() {
    static const Keys keys;
    return keys;
}

std::string ExifText(const Exiv2::ExifData& exif, const Exiv2::ExifKey& key) {
    const auto it = exif.findKey(key);
    if (it == exif.end() || it->count() == 0) return {};
    return it->toString();
}

std::string XmpText(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end() || it->count() == 0) return {};
    return it->toString();
}

std::int64_t ExifNumber(const Exiv2::ExifData& exif, const Exiv2::ExifKey& key) {
    const auto it = exif.findKey(key);
    if (it == exif.end() || it->count() == 0) return 0;
    return it->toLong();
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// A JPEG's metadata stands before its image data, usually within its first
// few kilobytes: those are read in one call, and Exiv2 reads them from
// memory instead of opening the file three times for small reads. The
// reading is whole when the file fits, or when the frame header (which
// follows every metadata segment) was reached; otherwise, or for any other
// type, Exiv2 reads the file itself.
constexpr std::size_t kJpegHead = std::size_t{256} << 10;

Exiv2::Image::AutoPtr ReadMetadata(const std::string& disk) {
    {
        const Descriptor file{open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
        struct stat st{};
        if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
        std::vector<Exiv2::byte> head(std::min<std::size_t>(kJpegHead, static_cast<std::size_t>(st.st_size)));
        std::size_t got = 0;
        while (got < head.size()) {
            const ssize_t n = read(file.fd, head.data() + got, head.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        const bool whole = got == static_cast<std::size_t>(st.st_size);
        if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
            try {
                Exiv2::Image::AutoPtr image =
                    Exiv2::ImageFactory::open(head.data(), static_cast<long>(got));
                image->readMetadata();
                if (whole || image->pixelWidth() > 0) return image;
            } catch (const Exiv2::AnyError&) {
                if (whole) throw;
            }
        }
    }
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(disk);
    if (image.get()) image->readMetadata();
    return image;
}

}  // namespace

void ReadPhoto(const std::string& disk, FileValues& v) {
    SetUpExiv2();
    try {
        const Exiv2::Image::AutoPtr image = ReadMetadata(disk);
        if (!image.get()) return;
        const Exiv2::ExifData& exif = image->exifData();
        const Exiv2::XmpData& xmp = image->xmpData();
        const Keys& keys = ExifKeys();

        // The moment the picture was taken; a file without it may still say
        // when it was digitized (a scan), in EXIF or in XMP.
        for (const Exiv2::ExifKey* key : {&keys.original, &keys.originalInIfd0, &keys.digitized}) {
            if (v.taken) break;
            v.taken = ParseLibraryTime(ExifText(exif, *key));
        }
        for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated",
                                "Xmp.exif.DateTimeDigitized"}) {
            if (v.taken) break;
            v.taken = ParseLibraryTime(XmpText(xmp, key));
        }
        if (v.camera.empty())
            v.camera = CameraText(LibraryText(ExifText(exif, keys.make)),
                                  LibraryText(ExifText(exif, keys.model)));
        if (v.width == 0) {
            v.width = image->pixelWidth();
            if (v.width <= 0) v.width = ExifNumber(exif, keys.pixelX);
        }
        if (v.height == 0) {
            v.height = image->pixelHeight();
            if (v.height <= 0) v.height = ExifNumber(exif, keys.pixelY);
        }
        if (v.width < 0) v.width = 0;
        if (v.height < 0) v.height = 0;
    } catch (const Exiv2::AnyError&) {
        // Not an image Exiv2 knows, or a damaged one: no values.
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
