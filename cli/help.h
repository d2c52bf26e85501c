// The help of `ferrovan-batch run`, made from the operations' tables: the
// operations with their captions, and each one's options (GBK).
#pragma once

#include <string>

#include "ops/operation.h"

namespace ferro::cli {

// `run --help`.
std::string RunHelp();
// `run OPERATION --help`.
std::string OperationHelp(const ops::Operation& op);
// The operations with their captions, one a line (also in the program's
// --help).
std::string OperationListText();

}  // namespace ferro::cli
