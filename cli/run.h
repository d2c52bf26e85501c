// Running a request of the command line: the files are found (searched
// and named), each is processed as a ticked row of the window would be,
// by the operation's own job, and what happened is told the way the window
// tells it: its closing message on standard error, followed by the files
// left undone with their reasons. Results (statistics, --dry-run, the
// --json report) go to standard output.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/request.h"

namespace ferro::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;     // every file processed (or help shown)
inline constexpr int kExitUndone = 1;   // some file left undone: refused, failed or stopped
inline constexpr int kExitRefused = 2;  // settings refused or bad usage: nothing changed

int Run(const CliRequest& request, Console& console);

// The arguments after "run" (GBK): parsed, then run; help goes to standard
// output and a refusal to standard error.
int Main(const std::vector<std::string>& args, Console& console);

}  // namespace ferro::cli
