// Byte-level helpers for code page 936 text: character boundaries, trimming
// and the ANSI case mappings. Case mapping never changes a byte position.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

// A lead byte of a multi-byte character (0x81..0xFE).
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the character that starts at text[i]: 1, 2, or 4 for a
// GB18030 four-byte sequence. A lead byte at the very end counts as 1.
std::size_t CharLength(std::string_view text, std::size_t i);

// Removes every byte from 0x00 to 0x20 at both ends.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Splits text into trimmed fields at a one-byte separator. An empty text or
// separator gives the text itself as the one field. The rest is trimmed
// after every cut, so a run of blanks is one separator when the separator is
// a blank; a separator at the end adds no empty field.
std::vector<std::string> SplitFields(std::string_view text, std::string_view separator);

// ANSI lower and upper case of code page 936: ASCII letters, and the
// full-width Latin, Greek and Cyrillic letters of the double-byte area. Trail
// bytes are never touched.
std::string AnsiLower(std::string_view text);
std::string AnsiUpper(std::string_view text);
void AnsiLowerInPlace(std::string& text);
void AnsiUpperInPlace(std::string& text);

// Case-insensitive equality under AnsiLower.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace ferro
