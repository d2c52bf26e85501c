// The ${name(arguments)} template language: evaluation against a subject
// (a file name without extension, or a line), and its text primitives.
// All text is GBK bytes; positions are 1-based byte positions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ferro {

// Evaluates one template expression against a subject. Never fails, never
// loops for ever: malformed input yields some text.
std::string EvaluateTemplate(std::string_view subject, std::string_view expression);

// True when name (any letter case) is a function the engine evaluates.
// Variables that the operations substitute themselves (${filename}, ${sn(...)},
// ...) are not engine functions.
bool IsTemplateFunction(std::string_view name);

// Text primitives.
// 1-based position of the first occurrence of part (exact bytes); 0 if none
// or part is empty.
std::size_t Find(std::string_view text, std::string_view part);
// Bytes from start on, at most count; a start below 1 counts as 1.
std::string Copy(std::string_view text, long long start, long long count);
// Removes at most count bytes from start; nothing for a start outside the text.
void Delete(std::string& text, long long start, long long count);
// Inserts part so that it begins at position at (clamped to the text).
void Insert(std::string& text, std::string_view part, long long at);
// Replaces every occurrence of old, case-insensitively (ANSI upper case),
// never matching from the inside of a multi-byte character; left to right,
// inserted text is not scanned again. An empty old changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldPart, std::string_view newPart);
// The same in place; returns whether anything was replaced. Costs no
// allocation when nothing matches.
bool ReplaceAllInPlace(std::string& text, std::string_view oldPart, std::string_view newPart);

}  // namespace ferro
