// The checks the settings of the line operations pass before a run, made in
// the order the window has always made them, and the message that refuses
// each (GBK). The window and the command line read their fields through
// these, so both refuse the same settings with the same words.
#pragma once

#include <string>
#include <string_view>

#include "textops/line_cut.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/new_lines.h"

namespace ferro {

// Line cut and line insert: the template (trimmed) must not be empty and
// must hold "${"; keyword mode needs a keyword.
enum class LineCutProblem { None, NoFormat, NoVariable, NoKeyword };
enum class LineInsertProblem { None, NoFormat, NoVariable, NoKeyword };
LineCutProblem CheckLineCutSettings(const LineCutSettings& settings);
LineInsertProblem CheckLineInsertSettings(const LineInsertSettings& settings);
std::string ProblemText(LineCutProblem problem);
std::string ProblemText(LineInsertProblem problem);

// The number fields of the line-number and interval modes, as typed: the
// line number, the period ("every N lines") and the position in it.
struct LineNumberFields {
    std::string lineNumber = "1";
    std::string period = "2";
    std::string position = "1";
};

// Line delete and line extract, from the fields as typed: keyword mode needs
// a keyword that can match (a field of blanks or ";" alone has none); then
// all three numbers are read, whatever the mode (one that is not a whole
// number throws the conversion error); then interval mode needs a period of
// at least 1. out is filled as far as the reading got.
enum class LineDeleteProblem { None, NoKeyword, PeriodBelowOne };
enum class LineExtractProblem { None, NoKeyword, PeriodBelowOne };
LineDeleteProblem ReadLineDeleteSettings(LineDeleteMode mode, std::string_view keywords,
                                         const LineNumberFields& numbers, LineDeleteSettings& out);
// keepBlank is left as it is.
LineExtractProblem ReadLineExtractSettings(LineExtractMode mode, std::string_view keywords,
                                           const LineNumberFields& numbers,
                                           LineExtractSettings& out);
std::string ProblemText(LineDeleteProblem problem);
std::string ProblemText(LineExtractProblem problem);

// Insert new lines: the text to insert must not be empty (it is taken as
// typed: a text of blanks is inserted); keyword mode needs the keyword field
// not empty; then the three numbers are read (the conversion error
// otherwise), and interval mode needs a period of at least 1.
enum class NewLinesProblem { None, NoText, NoKeyword, PeriodBelowOne };
NewLinesProblem ReadNewLinesSettings(std::string_view text, NewLineMode mode,
                                     std::string_view keywords, const LineNumberFields& numbers,
                                     NewLinesSettings& out);
std::string ProblemText(NewLinesProblem problem);

}  // namespace ferro
