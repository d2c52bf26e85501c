// The fields that the line delete and line extract pages share: the keyword
// field and the three numbers of the line-number and interval modes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "textops/line_select.h"

namespace ferro {
class TForm1;
}

namespace ferro::page {

// Whether a keyword field gave at least one keyword that can match; a field
// of blanks or ";" alone gives none.
bool HasKeyword(const std::vector<std::string>& keywords);

struct LineNumbers {
    int lineNumber = 1;  // at least 1
    LineInterval interval;
};

// Reads the line number, the period and the position, whatever the mode; a
// field that is not a number shows the conversion error, and in interval
// mode a period below 1 is refused (the focus goes to its field). Returns
// nothing when the run must not start.
std::optional<LineNumbers> ReadLineNumbers(TForm1& form, const char* lineField,
                                           const char* periodField, const char* positionField,
                                           bool intervalMode);

}  // namespace ferro::page
