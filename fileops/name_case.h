// Letters of a new name: the case a run gives them, the pattern's own
// letters kept as typed, and the numbered name a clash falls back to.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

enum class LetterCase {
    Keep,   // 不变
    Lower,  // 全部小写
    Upper,  // 全部大写
    Title,  // 每个词首字母大写
};

// The name in the case chosen (GBK; ASCII and full-width letters, trail
// bytes never touched). Title: the first letter of each word upper, the
// others lower; a word is a run of letters and digits; the extension (from
// the last ".") is lower case.
std::string WithLetterCase(std::string_view name, LetterCase c);

// A pattern with the names of its items and functions in lower case and
// every other letter as typed ("IMG_${SN(1,3)}" -> "IMG_${sn(1,3)}"): what
// keeping the pattern's letters gives the engine, which finds its items in
// lower case. Byte positions are unchanged.
std::string LowerItemNames(std::string_view pattern);

// The pattern as the engine is given it: LowerItemNames when its letters
// are kept, otherwise classically all in lower case, except inside
// ${RegRep(..)} and ${RegGet(..)}, whose letters mean what they say ("\D"
// is no "\d", "[A-Z]" no "[a-z]"): there only the names are lowered. Byte
// positions are unchanged.
std::string PatternLetters(std::string_view typed, bool keepCase);

// "报告 (2).txt": the name with the number before its extension, the form a
// clash is given when clashes are numbered.
std::string NumberedName(std::string_view name, int number);

}  // namespace ferro
