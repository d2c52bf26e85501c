// Whether a run's old contents fit the undo journal, decided once for both
// front ends: the window asks whether to go on without undo, the command
// line refuses and points to --no-undo.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/run.h"

namespace ferro {
class Journal;
}

namespace ferro::ops {

// The journal the runs are recorded in, in its usual folder. The
// environment variable FERRO_UNDO_BUDGET (a number of bytes) gives it a
// smaller budget, so that tests can reach it with small files.
std::unique_ptr<Journal> OpenRunJournal();

// "512 字节", "3 KB", "1.5 MB", "2.0 GB".
std::string SizeText(uint64_t bytes);

struct UndoRoom {
    bool fits = true;
    uint64_t bytes = 0;   // old contents the run would keep
    uint64_t budget = 0;  // the journal's budget
};

// Makes room in the journal for the old contents of the files a run
// rewrites (older runs go); fits is false when they would not fit even then.
UndoRoom MakeUndoRoom(Journal& journal, const std::vector<BatchFile>& rewritten);
// The same answer with nothing dropped: what a dry run reports.
UndoRoom CheckUndoRoom(const Journal& journal, const std::vector<BatchFile>& rewritten);

// When they do not fit (GBK): the window's question, and the command line's
// refusal.
std::string UndoRoomQuestion(const UndoRoom& room);
std::string UndoRoomRefusal(const UndoRoom& room);

}  // namespace ferro::ops
