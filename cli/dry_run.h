// --dry-run: what a run would do, worked out by the run's own rules, and
// nothing written. The name and metadata operations show each file's new
// name, times or attributes (or why the file would be left as it is); the
// line operations what their rule makes of each file (lines removed and
// added); a conversion the files each source writes (or why it would leave
// the source undone); the others the files they would process.
#pragma once

#include "cli/console.h"
#include "cli/request.h"
#include "fileops/filelist.h"

namespace ferro::cli {

// The exit status: always 0.
int DryRun(const CliRequest& request, const FileList& list, Console& console);

}  // namespace ferro::cli
