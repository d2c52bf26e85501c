// What the next start does with runs a crash, a kill or a power cut cut
// short. For each change the run was about to make, the files tell whether
// it was made: a renamed file is found under its new name, a replaced file
// has a new identity, times and attributes differ from the old ones. A file
// whose in-place rewrite was under way gets its old content back from the
// journal (it may hold part of the old and part of the new), so no file is
// ever left neither old nor new. What was made is then the run's finished
// part, which can be undone like any run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/rescue.h"

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

// What every way of starting the program (the window, the command line)
// does first, before it changes any file, under the journal's lock so that
// two programs starting at once do not mend the same files: the safe
// write's interrupted writes and temporaries (rescue.h), then the runs cut
// short. journal may be null (the run keeps no journal): the writes are
// mended all the same.
struct StartRecovery {
    RecoveryReport writes;
    JournalRecovery runs;
    // The run undo would take next, when its record is damaged.
    std::optional<JournalRun> damaged;
};
StartRecovery RecoverAtStart(Journal* journal);

// What it did, for the command line's standard error (GBK lines); empty
// when there was nothing to mend.
std::string StartRecoveryText(const StartRecovery& found);

// How a damaged run is named to the user: "最近一次处理的撤销记录已损坏：…".
std::string DamagedRunText(const JournalRun& run);

namespace journal {
struct RunLog;
class LogWriter;
// Mends one run cut short, whose log the caller holds open and locked; the
// log is read again afterwards.
void MendRun(const std::string& diskRunFolder, RunLog& log, LogWriter& writer,
             JournalRecovery& report);
}  // namespace journal

}  // namespace ferro
