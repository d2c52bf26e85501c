// The options every operation takes besides its own fields' (UTF-8 texts):
// where the files come from, how text files are read, undo, and how the run
// reports. The help lists them; the parser knows them by these names.
#pragma once

#include <span>
#include <string_view>

#include "ops/operation.h"

namespace ferro::cli {

std::span<const ops::Option> SourceOptions();  // --search --mask --no-sub --size --date
const ops::Option& EncodingOption();           // --encoding, for the text operations
const ops::Option& UndoOption();               // --no-undo, for the operations that change files
std::span<const ops::Option> RunOptions();     // --dry-run --json --help

// The option of that name this operation takes, its own or a common one;
// null when it takes none of that name.
const ops::Option* FindOption(const ops::Operation& op, std::string_view name);

}  // namespace ferro::cli
