// Locale collation of code page 936 text (ICU, Chinese rules), as the list
// sorts names, folders and types.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

// Compares two texts with the Chinese collation: <0, 0, >0.
int CompareLocale(std::string_view a, std::string_view b);
// A binary sort key: memcmp order of two keys equals CompareLocale order.
std::string CollationKey(std::string_view text);
// Whether the keys of plain ASCII text (lower-case letters, digits, most
// punctuation) are made without the collator: only where that gives the
// collator's own keys byte for byte, checked on probes at the first key.
bool PlainKeysInUse();
// Case-insensitive equality as the locale sees it (AnsiLower, then collation).
bool SameTextLocale(std::string_view a, std::string_view b);

// A binary sort key for the word sort of lists: the collation of the text
// with its hyphens and apostrophes left out ("ab", "a-c", "ad"), then, for
// texts equal that way, the collation of the whole text, then its bytes.
std::string WordSortKey(std::string_view text);
// The same key appended to out (many keys in one buffer); safe on several
// threads at once.
void AppendWordSortKey(std::string_view text, std::string& out);
// The part of that key before its first zero byte (the collation of the
// text without hyphens and apostrophes). Two texts whose heads differ
// compare as their heads do (a head before every longer head it begins),
// so a sort may order heads and make whole keys only for equal heads.
void AppendWordSortKeyHead(std::string_view text, std::string& out);

// The order of names in a folder listing of a Windows file system: the
// names as UTF-16 code units, each unit upper-cased, compared as numbers
// (case-insensitive and ordinal). AppendFileNameKey appends the units of a
// name's key; CompareFileNames compares two names by their keys, and names
// equal that way by their bytes.
void AppendFileNameKey(std::string_view gbkName, std::u16string& key);
int CompareFileNames(std::string_view gbkA, std::string_view gbkB);

}  // namespace ferro
