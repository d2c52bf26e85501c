// What the regular-expression core does to a pattern's text before the
// engine (RE2) sees it. Patterns are RE2 syntax in UTF-8 here; these
// functions only ever see patterns RE2 has already accepted as written.
#pragma once

#include <string>
#include <string_view>

namespace ferro::regex_detail {

// The two forms a pattern is compiled in.
//  - whole: for one subject (a name, a line). \d, \w, \s and their
//    negations take Unicode's digits, letters and spaces (a Chinese
//    character is a \w, the ideographic space a \s); RE2's own are ASCII.
//  - lines: the same for a buffer of many lines joined by LF and searched
//    with LF never matched: every ^, $, \A and \z stands for a line's start
//    or end, so a line holds a match in the buffer exactly when it holds one
//    on its own.
struct PatternForms {
    std::string whole;
    std::string lines;
};

// False, with the reason (UTF-16, for the message) in problem, for what the
// program cannot offer on both kinds of subject: \C (one byte, which would
// cut a character) and \W or \S inside negated brackets (Unicode's
// complement of a class cannot be taken out of another class).
bool RewritePattern(std::string_view utf8Pattern, PatternForms& forms, std::u16string& problem);

// Text every match of the pattern holds (UTF-8): the longest run of
// literal characters outside every group, in a pattern without a
// top-level "|"; empty when there is none, or when case may be ignored
// anywhere in it. A subject without these characters cannot match.
std::string RequiredLiteral(std::string_view utf8Pattern);

// The Chinese words for the engine's reason, by RE2's error code; empty for
// a code without them.
std::u16string ReasonText(int re2ErrorCode);

}  // namespace ferro::regex_detail
