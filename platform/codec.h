// The code-page edge of the program. Inside, text is a byte string in code
// page 936 (GBK; read and written with ICU's GB18030 converter, a superset,
// so every name round-trips). These functions are the only places where
// text changes encoding: QString for the window, UTF-8 for names on disk,
// code page 950 (Big5) for the Traditional Chinese conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class QString;

namespace ferro {

// How text files are read and written. Auto: each file is read in the
// encoding it is found in (UTF-8 or GBK, with or without a byte-order mark)
// and written back the same way; files the program creates are UTF-8 with
// LF. ClassicGbk: every file is code page 936 bytes, CR LF after every line,
// exactly as the Windows program always wrote them.
enum class TextMode { Auto, ClassicGbk };

// GBK bytes <-> UTF-16. Undecodable bytes become U+FFFD; unencodable
// characters become '?'.
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view text);

// Any ICU converter by name ("windows-950", "gb18030", ...), same
// substitution rules as above.
std::u16string DecodeCodePage(std::string_view bytes, const char* converter);
std::string EncodeCodePage(std::u16string_view text, const char* converter);
// Bytes in a named character set as GBK text (GB18030), only when every byte
// reads as a character of that set and none is a control character but tab
// and line breaks: false otherwise, and for a set ICU does not know.
bool CodePageToGbkStrict(std::string_view bytes, const char* converter, std::string& out);

// Text file contents. GB18030 maps every Unicode character, so these are
// lossless both ways for valid input; the mapping is ICU's gb18030, read
// into tables once. Each call appends to out, and processes pending window
// messages now and then on long texts.
//
// Reading: false at the first sequence that is not valid in the source
// encoding (an overlong or truncated UTF-8 sequence, a UTF-8 or UTF-16
// surrogate without its pair, an odd UTF-16 length); out then holds an
// unfinished part and is to be thrown away.
bool Utf8ToGb18030(std::string_view utf8, std::string& out);
bool Utf16ToGb18030(std::string_view bytes, bool bigEndian, std::string& out);
// Writing: a byte that begins no valid GB18030 character (a rule may cut a
// character in two) becomes U+FFFD.
void Gb18030ToUtf8(std::string_view gb, std::string& out);
void Gb18030ToUtf16(std::string_view gb, bool bigEndian, std::string& out);
// GBK text in UTF-8 (out replaced), only when it reads back as the same
// bytes: false for text holding a byte that begins no character.
bool Gb18030ToUtf8Exact(std::string_view gb, std::string& out);

// The same piece by piece, into a buffer of the caller's (for readers and
// writers that convert as they go, without holding a file twice).
// Utf8PieceToGb18030: out has room for 2 * in.size() + 32 bytes; unless
// last, a character cut off by the end of in is left for the next piece.
// Returns false at the first invalid sequence; consumed and written tell how
// far it got (the bytes before it are converted).
bool Utf8PieceToGb18030(std::string_view in, bool last, char* out, std::size_t& consumed,
                        std::size_t& written);
// out has room for 3 * gb.size() + 32 bytes; returns the bytes written.
std::size_t Gb18030PieceToUtf8(std::string_view gb, char* out);
// Whether a piece is UTF-8 that Utf8PieceToGb18030 would take, checked
// without converting it (a UTF-8 file kept as it is); unless last, a
// character cut off by the end is left for the next piece. consumed tells
// where the complete characters end. noNul: a NUL byte is refused too (the
// piece is text, as well as UTF-8), at no extra pass over it.
bool Utf8PieceValid(std::string_view in, bool last, std::size_t& consumed, bool noNul = false);
// Tests: the check sixteen bytes at a time, even where a wider one exists.
void SetNarrowUtf8CheckForTesting(bool narrow);

// The window edge.
QString GbkToQString(std::string_view gbk);
std::string QStringToGbk(const QString& text);

// The disk edge. Names on disk are UTF-8 but may hold bytes that are not
// valid UTF-8; each such byte b is carried through GBK as the private-use
// character U+F700+b, so that DiskToGbk and GbkToDisk round-trip every name.
std::string DiskToGbk(std::string_view diskName);
// Returns false (and leaves out empty) when gbk is not valid GB18030; callers
// treat such a path as one that does not exist.
bool GbkToDisk(std::string_view gbk, std::string& out);

}  // namespace ferro
