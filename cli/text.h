// Text at the command line's edge: its own messages are written here in
// UTF-8 and held as GBK like all text of the program; what it prints goes
// out as UTF-8 (names with bytes that are not UTF-8 as they are on disk).
#pragma once

#include <string>
#include <string_view>

namespace ferro::cli {

class Console;

// UTF-8 (a literal of this program, an argument) to GBK.
std::string FromUtf8(std::string_view utf8);

// GBK to the bytes printed: UTF-8, a file name's odd bytes as on disk.
std::string ToUtf8(std::string_view gbk);

// GBK text as a JSON string, quotes included: always valid UTF-8, with
// every control character escaped.
std::string JsonString(std::string_view gbk);

// A path as a JSON member: "name":"…" (a name's odd bytes shown as the
// replacement character), and where the path on disk is not UTF-8 also
// "name_bytes":"…" with the bytes on disk in base64, so that a reader gets
// the very name (as ripgrep's JSON gives bytes that are not text).
std::string JsonPathMember(std::string_view name, std::string_view gbk);

// GBK text printed on standard output and standard error.
void PrintOut(Console& console, std::string_view gbk);
void PrintErr(Console& console, std::string_view gbk);

}  // namespace ferro::cli
