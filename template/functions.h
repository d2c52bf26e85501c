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

}  // namespace ferro::detail
