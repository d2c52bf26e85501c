// Line insert: a template rewrites each chosen line (typically adding text
// to it); every line stays in the file. The template may hold one sequence
// item ${Sn(start,width)} that numbers the chosen lines of each file.
#pragma once

#include <string>
#include <string_view>

#include "textops/line_select.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

// The sequence item of a template, as typed, with its start and width.
struct SequenceItem {
    std::string text;  // empty when the template has none
    int start = 0;
    int width = 0;
};

// Finds the first ${Sn(...)} item (any letter case) of a template. Throws
// the conversion error "'%s' is not a valid integer value" when its start or
// width is not a whole number, or the item is not closed by "}".
SequenceItem FindSequenceItem(std::string_view format);

// The number n as text, padded with zeros on the left to width (at most 16
// zeros are added; a longer number is never cut).
std::string SequenceNumberText(long long n, int width);

struct LineInsertSettings {
    std::string format;  // the template, trimmed, holding "${"
    LineChoice choice = LineChoice::TextLines;
    std::string keyword;  // keyword mode: one string, as typed
    int lineNumber = 1;   // line-number mode; below 1 counts as 1
    SequenceItem sequence;
};

// Fills out from one file's lines; the numbering starts again at the start
// number in every file. In line-number mode the one treated line gets the
// start number. Line-number mode on an empty file gives no lines.
void InsertIntoLines(const LineInsertSettings& settings, const LineList& in, LineSink& out);

// The operation a run applies. A template that only adds fixed texts to the
// ends of lines (${AddLeft(x)}, ${AddRight(x)}) takes UTF-8 files in their
// own bytes.
LineOperation LineInsertOperation(const LineInsertSettings& settings);

}  // namespace ferro
