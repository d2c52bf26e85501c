// EvaluateTemplate on arbitrary subjects and expressions: it must end, and
// neither crash nor read out of bounds, whatever the input.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/split_input.h"
#include "template/template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto c = ferro::fuzz::SplitTemplateInput(input);
    const std::string result = ferro::EvaluateTemplate(c.subject, c.expression);
    // Text without a call and without escapes is its own result.
    if (c.expression.find("${") == std::string_view::npos &&
        c.expression.find('\\') == std::string_view::npos && result != c.expression)
        __builtin_trap();
    return 0;
}
