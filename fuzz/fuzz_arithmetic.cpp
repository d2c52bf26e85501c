// EvaluateArithmetic on arbitrary text: unbalanced parentheses, stray
// operators and odd numbers must all yield a number without crashing. A
// plain whole number of up to 18 digits (short ones take a shortcut past the
// general conversion) must give what strtod gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "template/arithmetic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const double result = ferro::EvaluateArithmetic(input);

    std::string compact;
    for (char c : input)
        if (c != ' ' && c != ',') compact.push_back(c);
    const std::size_t digitsFrom = !compact.empty() && (compact[0] == '+' || compact[0] == '-');
    const bool whole = compact.size() > digitsFrom && compact.size() - digitsFrom <= 18 &&
                       compact.find_first_not_of("0123456789", digitsFrom) == std::string::npos;
    if (whole && result != std::strtod(compact.c_str(), nullptr)) __builtin_trap();
    return 0;
}
