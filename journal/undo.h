// Undo of a recorded run: every change it made is put back, the last one
// first. Names go back (never replacing a file), times, attributes and the
// DOS record go back exactly, old contents go back through the safe write
// (owner, mode and hard links stay as they are) with their modified time,
// trashed files come back to their places, and files the run created go.
//
// Undo never overwrites anything the run did not leave: a file changed since
// the run (its size, modified time, change time or identity differ; for
// small files the content hash decides), an old name taken since, a file
// gone or made read-only, is left alone and reported with its reason; the
// rest is undone. A backup (.bak) the run made goes only when its file has
// its old content back; otherwise it stays and is reported. Decisions are
// data: nothing here asks.
#pragma once

#include <string>
#include <vector>

#include "batch/run.h"

namespace ferro {

class Journal;

struct UndoResult {
    // One entry per change, in the order undone; a file put back counts as
    // done, one left alone is listed with its reason. Paths are where the
    // files were before the undo.
    RunSummary summary;
    struct Moved {
        std::string from;  // GBK: where the file was before the undo
        std::string to;    // GBK: where it is now (the same for all but renames and the trash)
    };
    std::vector<Moved> restored;
    int removed = 0;  // of the files done: those the run had created, removed
    int folders = 0;  // of the changes done: folders the run had made, removed

    // Every change of the run is undone: nothing was left, stopped or lost.
    bool complete() const;
};

// The closing message of an undo (GBK): "撤销完成,…" only when it is complete.
std::string UndoClosingText(const UndoResult& result);

// Undoes run `id` of the journal (normally Journal::NextToUndo()): the
// changes not undone yet. A run cut short is mended first (recovery.h). A
// stop between files leaves the rest for the next undo; a run undone to its
// end is not offered again.
UndoResult UndoRun(Journal& journal, const std::string& id, RunHost* host);

}  // namespace ferro
