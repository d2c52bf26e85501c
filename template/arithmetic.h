// Number arguments of the template language, and the Chinese text helpers.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

// A small arithmetic expression (+ - * / and parentheses) as a real number;
// 0 for text that holds no number.
double EvaluateArithmetic(std::string_view text);

// Chinese numeral characters to digits, character by character.
std::string ConvertChineseNumerals(std::string_view text);

// Simplified Chinese (code page 936) to Traditional Chinese in code page 950
// (Big5) bytes, and back.
std::string ConvertGbToBig5(std::string_view gbk);
std::string ConvertBig5ToGb(std::string_view big5);

}  // namespace ferro
