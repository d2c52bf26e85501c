// The fifteen operations, in the order of the window's operation selector:
// the one list the window's selector and pages, the command line's names
// and help, and remembered settings walk.
#pragma once

#include <span>
#include <string_view>

#include "ops/operation.h"

namespace ferro::ops {

std::span<const Operation* const> Operations();

// By command-line name ("rename"); null when there is none of that name.
const Operation* FindOperation(std::string_view name);

}  // namespace ferro::ops
