// Line pattern replace: every non-blank line is split into fields at a
// separator found by the run itself, and rewritten from a pattern that names
// the fields $1, $2, ... and may hold ${...} items.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "template/template.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

struct PatternReplaceSettings {
    std::string pattern;       // as typed, lines joined by CR LF
    std::string prefix = "$";  // trimmed; the names are prefix + 1, 2, ...
    int count = 3;             // fields that get a name (any number); none when 0 or less
};

// What a run carries from line to line and file to file: the separator,
// decided by the first non-blank line holding a tab, ";", ":" or a space
// (in that order of preference).
struct PatternReplaceState {
    std::string separator;  // empty until decided
    // The items met so far, compiled: an item whose text recurs from line
    // to line is read once.
    TemplateCache templates;
};

// One output text for one line (may hold CR LF when the pattern has several
// lines). Decides the separator in state if it is still open. line must not
// be blank.
std::string ApplyPattern(const PatternReplaceSettings& settings, PatternReplaceState& state,
                         std::string_view line);

// Rewrites one file: blank lines vanish, every other line becomes the
// pattern filled in.
void ReplaceByPattern(const PatternReplaceSettings& settings, PatternReplaceState& state,
                      const LineList& in, LineSink& out);

// The operation a run applies, with the run's state (which must outlive
// it). A line depends on no other but through the state, so files are
// taken a piece of lines at a time.
LineOperation PatternReplaceOperation(const PatternReplaceSettings& settings,
                                      PatternReplaceState& state);

// Puts the fields into the pattern name by name, in order: every occurrence
// of the k-th name (the prefix in any letter case, then k) is replaced by the
// k-th field. Users' patterns rely on this order: with ten or more names
// "$10" is caught by "$1", and a field whose text is a later name is
// replaced again. A name whose field the line lacks stays as it is; any
// count works (there is no table of names).
std::string FillFields(std::string_view pattern, std::string_view prefix, int count,
                       const std::vector<std::string>& fields);

// Evaluates the ${...} items of text innermost first, each against the text
// as built so far. A "}" that closes no item stays as it is; a value is
// final text, never searched for items again; an item of a function the
// template language does not know stays as typed. So the pass always ends.
std::string EvaluatePatternItems(std::string text);

}  // namespace ferro
