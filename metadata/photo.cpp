// Photos through Exiv2: it reads EXIF and XMP from JPEG, TIFF, PNG, WebP,
// HEIF/AVIF and the common RAW formats, and tells a file's type from its
// bytes, so a photo with an odd extension is read too.
#include <exiv2/exiv2.hpp>

#include <mutex>

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

std::string ExifText(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0) return {};
    return it->toString();
}

std::string XmpText(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end() || it->count() == 0) return {};
    return it->toString();
}

std::int64_t ExifNumber(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0) return 0;
    return it->toLong();
}

}  // namespace

void ReadPhoto(const std::string& disk, FileValues& v) {
    SetUpExiv2();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(disk);
        if (!image.get()) return;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const Exiv2::XmpData& xmp = image->xmpData();

        // The moment the picture was taken; a file without it may still say
        // when it was digitized (a scan), in EXIF or in XMP.
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTimeOriginal",
                                "Exif.Photo.DateTimeDigitized"}) {
            if (v.taken) break;
            v.taken = ParseLibraryTime(ExifText(exif, key));
        }
        for (const char* key : {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated",
                                "Xmp.exif.DateTimeDigitized"}) {
            if (v.taken) break;
            v.taken = ParseLibraryTime(XmpText(xmp, key));
        }
        if (v.camera.empty())
            v.camera = CameraText(LibraryText(ExifText(exif, "Exif.Image.Make")),
                                  LibraryText(ExifText(exif, "Exif.Image.Model")));
        if (v.width == 0) {
            v.width = image->pixelWidth();
            if (v.width <= 0) v.width = ExifNumber(exif, "Exif.Photo.PixelXDimension");
        }
        if (v.height == 0) {
            v.height = image->pixelHeight();
            if (v.height <= 0) v.height = ExifNumber(exif, "Exif.Photo.PixelYDimension");
        }
        if (v.width < 0) v.width = 0;
        if (v.height < 0) v.height = 0;
    } catch (const Exiv2::AnyError&) {
        // Not an image Exiv2 knows, or a damaged one: no values.
    } catch (const std::exception&) {
    }
}

}  // namespace ferro::metadata_detail
