// The program's verbs: `ferrovan-batch run|presets|history|undo ...`, each
// answered without a window (no display needed), and the refusal of a word
// in their place that is none of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/console.h"

namespace ferro::cli {

// "run", "presets", "history", "undo".
bool IsVerb(std::string_view word);
// A first argument that stands where a verb would (a plain word of small
// letters and '-', and no file or folder of that name here) but is none:
// the program refuses it rather than open a window on nothing.
bool LooksLikeVerb(std::string_view word);

// The arguments after the verb (GBK); the exit status of run.h.
int VerbMain(std::string_view verb, const std::vector<std::string>& args, Console& console);

// The usage of the verbs (GBK), printed with the refusal of a word that is
// none of them.
std::string VerbUsage();
int RefuseVerb(std::string_view word, Console& console);

// `ferrovan-batch presets [--names]`: the presets with their operations, or
// their names alone (for shell completion).
int PresetsMain(const std::vector<std::string>& args, Console& console);

}  // namespace ferro::cli
