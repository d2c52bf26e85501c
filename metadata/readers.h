// The readers of file_values.cpp, one per library, and what they share.
// Each fills the values it finds and leaves the others as they are; none
// throws. Paths are the bytes on disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "metadata/file_values.h"

namespace ferro::metadata_detail {

void ReadPhoto(const std::string& disk, FileValues& v);      // Exiv2
void ReadAudio(const std::string& disk, FileValues& v);      // TagLib
void ReadVideo(const std::string& disk, FileValues& v);      // MediaInfoLib
void ReadPdf(const std::string& disk, FileValues& v);        // poppler
// libzip and QXmlStreamReader; openDocument: meta.xml, else docProps/.
void ReadOfficeDocument(const std::string& disk, bool openDocument, FileValues& v);
void ReadChecksums(const std::string& disk, FileValues& v);  // Qt's MD5, zlib's CRC-32

// A library's UTF-8 text as GBK, trimmed. Bytes that are not UTF-8 are
// taken as GBK when they read as such (cameras and old tags write it).
std::string LibraryText(std::string_view utf8);

// A date and time as libraries write them: "2024:05:01 10:00:00" (EXIF),
// "2024-05-01T10:00:00+08:00" (XMP, ISO 8601), "2024-05-01 10:00:00 UTC";
// the clock as written, whatever zone follows. A date alone is midnight.
// nullopt for anything that is not a real date (EXIF writes zeros or
// blanks when the camera had no clock).
std::optional<DateTime> ParseLibraryTime(std::string_view text);

// The local time of a UTC calendar time.
DateTime UtcToLocal(const DateTime& utc);

// The camera as one text: the make once, then the model ("Canon" and
// "Canon EOS 80D" give "Canon EOS 80D"; "SONY" and "ILCE-7M3" give
// "SONY ILCE-7M3").
std::string CameraText(std::string_view make, std::string_view model);

}  // namespace ferro::metadata_detail
