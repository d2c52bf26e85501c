// EvaluateArithmetic on arbitrary text: unbalanced parentheses, stray
// operators and odd numbers must all yield a number without crashing.
#include <cstdint>
#include <string_view>

#include "template/arithmetic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    volatile double result = ferro::EvaluateArithmetic(input);
    (void)result;
    return 0;
}
