// The undo journal on the command line: `ferrovan-batch history` lists the
// runs it keeps, `ferrovan-batch undo` undoes the newest one as the window's
// 撤销 button does, through the same journal calls, without a window.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "journal/journal.h"

namespace ferro::cli {

// A run as the window's undo question and the history name it (GBK):
// "“更改文件名称”（12月8日 11:50，命令行，/home/u/照片，50 个文件）". Two runs
// of one operation a minute apart are told apart by where they were
// started and on what.
std::string DescribeRun(const JournalRun& run);

// Whether a run can still be undone, in words (GBK): "可以撤销", "已撤销", ...
std::string UndoStateText(const JournalRun& run, bool next);

int HistoryMain(const std::vector<std::string>& args, Console& console);

// `undo [--dry-run] [--json]`. Exit status as run's: 0 every change came
// back, 1 some was left (listed with its reason), 2 nothing to undo, a
// record the user must decide about, or bad usage (nothing changed).
int UndoMain(const std::vector<std::string>& args, Console& console);

}  // namespace ferro::cli
