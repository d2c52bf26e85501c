// Line lists from plain string vectors and back, for the line operation tests.
#pragma once

#include <string>
#include <vector>

#include "textops/lines.h"

namespace ferro::testing {

using Lines = std::vector<std::string>;

inline LineList Of(const Lines& lines) {
    LineList list;
    for (const std::string& l : lines) list.push_back(l);
    return list;
}

}  // namespace ferro::testing
