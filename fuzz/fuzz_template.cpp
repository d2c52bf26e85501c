// EvaluateTemplate and CompiledTemplate on arbitrary subjects and
// expressions: both must end, neither may crash nor read out of bounds, and
// they must give the same value (or both refuse it as too long), whatever
// the input. The compiled form is checked fresh, run a second time on the
// buffers of the first, and compiled into an object that held the previous
// input's template, so that no state carries over from one run or text to
// the next.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/split_input.h"
#include "template/functions.h"
#include "template/template.h"

namespace {

ferro::DateTime FixedNow() {
    return ferro::DateTime{2012, 3, 4, 5, 6, 7, 890};
}

// Values of hundreds of megabytes would only slow the search down; the
// bound is the same code whatever its size.
constexpr std::size_t kFuzzValueLimit = std::size_t{64} << 10;

std::optional<std::string> Plain(std::string_view subject, std::string_view expression) {
    try {
        return ferro::EvaluateTemplate(subject, expression);
    } catch (const ferro::TemplateError&) {
        return std::nullopt;
    }
}

std::optional<std::string> Compiled(ferro::CompiledTemplate& t, std::string_view subject) {
    try {
        return std::string(t.Evaluate(subject));
    } catch (const ferro::TemplateError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The clock is fixed so that two evaluations of date and time agree.
    ferro::detail::SetClockForTesting(FixedNow);
    ferro::detail::SetValueLimitForTesting(kFuzzValueLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ferro::CompiledTemplate reused;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto c = ferro::fuzz::SplitTemplateInput(input);

    const std::optional<std::string> expected = Plain(c.subject, c.expression);
    // Text without a call and without escapes is its own result.
    if (c.expression.find("${") == std::string_view::npos &&
        c.expression.find('\\') == std::string_view::npos && expected != c.expression)
        __builtin_trap();

    ferro::CompiledTemplate fresh(c.expression);
    if (Compiled(fresh, c.subject) != expected) __builtin_trap();
    if (Compiled(fresh, c.subject) != expected) __builtin_trap();
    reused.Compile(c.expression);
    if (Compiled(reused, c.subject) != expected) __builtin_trap();
    // Another subject through the same object: the expression itself.
    if (Compiled(fresh, c.expression) != Plain(c.expression, c.expression)) __builtin_trap();
    return 0;
}
