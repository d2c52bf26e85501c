// What a text file's bytes are, found from the bytes alone, and the way back.
// Inside the program text is code page 936 (read as GB18030), so a file is
// read into those bytes and written back in the encoding, byte-order mark
// and line breaks it was found in. The conversions themselves are the
// codec's (platform/codec.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codec.h"

namespace ferro {

enum class TextEncoding : uint8_t {
    Ascii,  // no byte above 0x7F: the same text in every encoding; written as UTF-8
    Gbk,    // code page 936 (GB18030), and anything not valid in the others
    Utf8,
    Utf16Le,  // only with a byte-order mark
    Utf16Be,
};

enum class LineBreak : uint8_t { CrLf, Lf, Cr };

// How a file was found, so that it is written back the same way.
struct TextFormat {
    TextEncoding encoding = TextEncoding::Gbk;
    bool bom = false;
    LineBreak lineBreak = LineBreak::CrLf;
    bool finalBreak = true;  // the last line ended with a break (or there was none)
    // Lines go out byte for byte followed by CR LF, breaks inside a line as
    // they are: the classic mode. Otherwise every break, inside a line too,
    // is the file's own.
    bool classic = false;

    // Code page 936 bytes, CR LF after every line.
    static TextFormat Classic();
    // A file the program creates: UTF-8 with LF in the automatic mode.
    static TextFormat ForNewFile(TextMode mode);

    bool operator==(const TextFormat&) const = default;
};

struct DetectedEncoding {
    TextEncoding encoding = TextEncoding::Ascii;
    std::size_t bomLength = 0;
};

// UTF-8 with a byte-order mark; UTF-16 LE or BE with one; otherwise valid
// UTF-8 holding at least one multi-byte character is UTF-8, bytes below 0x80
// alone are Ascii and anything else is GBK. Bytes that are not valid in the
// encoding their mark names are GBK too.
DetectedEncoding DetectTextEncoding(std::string_view bytes);

// The text of a file's bytes as GBK, and how it was found. ClassicGbk: the
// bytes as they are, format Classic(). A file detected as GBK or Ascii is
// never converted, so its bytes come back untouched.
std::string DecodeToGbk(std::string&& bytes, TextMode mode, TextFormat& format);

// The same for a file, read piece by piece: a UTF-8 file is converted as
// it is read, so it is never held twice. False when the file cannot be read
// (LastFsProblem says why). keepUtf8 (automatic mode): a UTF-8 file is not
// converted at all; gbk then holds its own bytes without the byte-order
// mark, and format.encoding says Utf8.
bool ReadTextFile(std::string_view path, TextMode mode, std::string& gbk, TextFormat& format,
                  bool keepUtf8 = false);

// How a file is to be read and written back, found by reading it through
// once in pieces without holding it: what ReadTextFile would give as its
// format, for a file whose text can then be read a piece at a time.
struct TextScan {
    TextFormat format;
    std::size_t markLength = 0;  // bytes of a byte-order mark before the text
    std::uint64_t size = 0;      // of the file, as it was read
    bool nul = false;            // the text holds a NUL byte
    bool whole = false;          // UTF-16: to be decoded whole (format not found)
};
// False when the file cannot be read (LastFsProblem says why).
bool ScanTextFile(std::string_view path, TextMode mode, TextScan& scan);

// The line-break style of GBK text (its first break; LF when it has none)
// and whether it ends with a break (an empty text counts as ending so).
void FindLineBreaks(std::string_view gbk, TextFormat& format);

// GBK text in the format's encoding, appended to out (no byte-order mark,
// breaks as they are in the text).
void AppendEncoded(std::string_view gbk, const TextFormat& format, std::string& out);
// The byte-order mark to write first: empty unless the format has one.
std::string_view ByteOrderMark(const TextFormat& format);
// A break of the style, as GBK bytes.
std::string_view LineBreakText(LineBreak lineBreak);

// The whole file back: mark and text (whose breaks are the caller's).
std::string EncodeFromGbk(std::string_view gbk, const TextFormat& format);

}  // namespace ferro
