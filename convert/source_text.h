// Text files as the conversions meet them: the encoding a source was
// written in, found from its bytes, and the bytes of the text files the
// conversions create, in the text mode of the run.
#pragma once

#include <string>
#include <string_view>

#include "platform/codec.h"
#include "textops/lines.h"

namespace ferro {

enum class FoundEncoding { Gbk, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// UTF-8 with a byte-order mark; UTF-16 LE/BE with one; valid UTF-8 holding at
// least one multi-byte sequence; otherwise GBK (read as GB18030, its
// superset). Pure ASCII is GBK, which reads it the same.
FoundEncoding DetectEncoding(std::string_view bytes);

// Whether the bytes are UTF-8 throughout and hold at least one multi-byte
// sequence.
bool IsMultiByteUtf8(std::string_view bytes);

// A source's text as code page 936 bytes (GB18030), whatever it was written
// in; the byte-order mark is dropped. GBK text is returned as it is, byte for
// byte.
std::string SourceTextToGbk(std::string bytes);

// Text in a named character set ("UTF-8", "Big5", "ISO-8859-1", ...) as
// code page 936 bytes. The GBK family is taken as it is; a set nobody knows
// leaves the bytes as they are.
std::string CharsetToGbk(std::string_view bytes, std::string_view charset);

// The legacy character set that text which is neither UTF-8 nor, by the
// look of it, GBK is written in, where a charset detector (uchardet) is
// confident of one and that set reads every byte of it cleanly: a name ICU
// knows ("Big5", "Shift_JIS", "windows-1252"...). Empty means GBK: for text
// shaped like GB2312 only another multi-byte East Asian set is taken, for
// other text a single-byte set only when every character it gives beyond
// ASCII is a letter (or typographic punctuation).
std::string DetectLegacyCharset(std::string_view bytes);

// UTF-8 <-> code page 936 (GB18030), losslessly for valid input.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// The bytes of a text file a conversion creates from GBK lines: UTF-8 with
// LF after every line (Auto), or the GBK bytes with CR LF (ClassicGbk). A
// line break inside a line (a quoted table field) takes the same form. A
// comma-separated table made in Auto mode starts with a UTF-8 byte-order
// mark, by which spreadsheet programs know it is UTF-8.
std::string CreatedText(const LineList& lines, TextMode mode, bool commaTable = false);

// The byte-order mark of UTF-8.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace ferro
