// What the next start does with runs a crash, a kill or a power cut cut
// short. For each change the run was about to make, the files tell whether
// it was made: a renamed file is found under its new name, a replaced file
// has a new identity, times and attributes differ from the old ones. A file
// whose in-place rewrite was under way gets its old content back from the
// journal (it may hold part of the old and part of the new), so no file is
// ever left neither old nor new. What was made is then the run's finished
// part, which can be undone like any run.
#pragma once

#include <string>
#include <vector>

#include "journal/journal.h"

namespace ferro {

struct JournalRecovery {
    // Runs cut short with a finished part, newest first.
    std::vector<JournalRun> interrupted;
    int restored = 0;  // files given their old content back
    // GBK paths of files whose old content could not be put back (the
    // journal keeps it, and the next start tries again).
    std::vector<std::string> unresolved;
};

// Mends every run whose program is gone before it ended. Cheap when there
// is none; meant for program start, after RecoverInterruptedWrites().
JournalRecovery RecoverInterruptedRuns(Journal& journal);

namespace journal {
struct RunLog;
class LogWriter;
// Mends one run cut short, whose log the caller holds open and locked; the
// log is read again afterwards.
void MendRun(const std::string& diskRunFolder, RunLog& log, LogWriter& writer,
             JournalRecovery& report);
}  // namespace journal

}  // namespace ferro
