// The engine's function table: one entry per ${name(...)} function, looked up
// by its lower-case name.
#pragma once

#include <string>
#include <string_view>

namespace ferro::detail {

// The first two commas split the argument text; the third argument keeps any
// further commas.
struct Arguments {
    std::string_view a1, a2, a3;
};

Arguments SplitArguments(std::string_view text);

// Transforms the working text w (the subject) into the function's result.
using TemplateFunction = std::string (*)(std::string_view w, const Arguments& args);

// nullptr for a name the engine does not know. name must be lower case.
TemplateFunction FindFunction(std::string_view name);

// A number argument: the arithmetic value truncated toward zero.
long long NumberArgument(std::string_view text);

enum class Replaced { kNothing, kDone, kTooLong };

// ReplaceAllInPlace that leaves text unchanged (and says kTooLong) when the
// result would be longer than maxSize.
Replaced ReplaceAllBounded(std::string& text, std::string_view oldPart, std::string_view newPart,
                           std::size_t maxSize);

// The longest result a replacing function may give for a working text of
// the given length. Replacing every byte of a text by a long argument, and
// that nested, would otherwise grow as a power of the text length.
std::size_t ReplacementLimit(std::size_t workingLength);

}  // namespace ferro::detail
