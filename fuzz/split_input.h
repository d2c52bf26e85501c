// How a fuzz input (and a seed file) holds a template case: the subject on
// the first line, the expression in the rest. Without a newline the whole
// input is the expression and the subject is empty.
#pragma once

#include <string_view>

namespace ferro::fuzz {

struct TemplateCase {
    std::string_view subject, expression;
};

inline TemplateCase SplitTemplateInput(std::string_view data) {
    const std::size_t nl = data.find('\n');
    if (nl == std::string_view::npos) return {std::string_view(), data};
    return {data.substr(0, nl), data.substr(nl + 1)};
}

}  // namespace ferro::fuzz
