// The shell completions and the manual page, made from the same tables as
// the help: the operations' fields and options and the options every
// operation takes. The build writes them (cli/tool) and installs them, so
// they never fall behind the program. All texts UTF-8.
#pragma once

#include <string>

namespace ferro::cli {

std::string BashCompletion();
std::string ZshCompletion();
// ferrovan-batch(1), in Chinese, as roff.
std::string ManPage();

}  // namespace ferro::cli
