// Line cut: a template picks part of each chosen line; the file keeps either
// the part that was cut out or the rest of the line.
#pragma once

#include <string>

#include "textops/line_select.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

struct LineCutSettings {
    std::string format;   // the template, trimmed, holding "${"
    bool keepCut = true;  // keep what the template gives, else the rest of the line
    LineChoice choice = LineChoice::TextLines;
    std::string keyword;  // keyword mode: one string, as typed
    int lineNumber = 1;   // line-number mode; below 1 counts as 1
};

// Fills out from one file's lines. In keep-cut mode only results that differ
// from their line are kept (outside line-number mode), and with a
// ${RegGet(..)} in the template only results that are not empty; in keep-rest mode
// every line stays, less the first occurrence of its result. Line-number
// mode on an empty file gives no lines.
void CutLines(const LineCutSettings& settings, const LineList& in, LineSink& out);

// The operation a run applies; outside line-number mode files are taken a
// piece of lines at a time.
LineOperation LineCutOperation(const LineCutSettings& settings);

}  // namespace ferro
