// Patterns and replacements written as arguments of the template language,
// ${RegRep(模式,替换)} and ${RegGet(模式,组)}, and the words that tell users
// how.
//
// The template language splits its arguments at commas and takes "}" for
// the end of a ${...} item, while a pattern needs both ("{2,4}"). Inside
// such an argument a backslash and the character after it are one unit:
//   \,  stands for ","        \}  stands for "}"
// and every other unit (\\, \d, \(, \{ ...) is the pattern's own and passes
// to the engine unchanged. "(" and ")" need no escape: an argument list
// runs to the call's last ")". So [0-9]{2,4} is written [0-9]{2\,4\}, a
// literal "}" \}, a literal "," \, (the engine reads a bare "," and a bare
// "}" as themselves), and a backslash before a separating comma is written
// \\ as in the pattern.
//
// Text is GBK and walked by characters, so a Chinese character whose second
// byte is "\" or "}" is never taken for one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ferro {

// The position of the first c at or after from that is not escaped (not
// the second half of a backslash unit, nor the second byte of a double-byte
// character); npos when there is none. For the template language's
// splitting at "," and its search for "}".
std::size_t FindUnescaped(std::string_view gbkText, char c, std::size_t from = 0);

// Argument text as the pattern (or replacement) it stands for: \, and \}
// lose their backslash, everything else is kept.
std::string UnescapeTemplateArgument(std::string_view gbkText);

// What the picker's hint and the usage notes say about regular expressions
// (GBK): the hint is one line, the notes a few lines ending in CR LF.
std::string RegexPickerHint();
std::string RegexUsageNotes();

}  // namespace ferro
