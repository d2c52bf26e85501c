// The engine's function table: one entry per ${name(...)} function, looked up
// by its name, and the pieces both evaluators share (argument splitting, the
// work buffers, the value bound). Each function writes its result into a
// buffer the caller owns, so an evaluator that keeps its buffers from one
// evaluation to the next allocates nothing once they have grown.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/times.h"

namespace ferro::detail {

// The first two commas split the argument text; the third argument keeps any
// further commas. The regular-expression functions split the whole text
// themselves, where a "\," is no comma.
struct Arguments {
    std::string_view a1, a2, a3;
    std::string_view all;
};

Arguments SplitArguments(std::string_view text);

// Scratch space a function may use besides its output; kept by the
// evaluator between calls.
struct RegexCache;
struct Workspace {
    std::string upperText, upperOld;  // upper-case copies, for replacements
    std::string spare;                // an intermediate result
    // The patterns and replacements of the regular-expression functions,
    // compiled once; made on first use.
    std::shared_ptr<RegexCache> regexes;
};

// Writes the function's result for the working text w (the subject) into
// out. out is overwritten and never overlaps w or the arguments.
using TemplateFunction = void (*)(std::string_view w, const Arguments& args, std::string& out,
                                  Workspace& work);

// nullptr for a name the engine does not know. Letter case does not matter;
// a byte outside ASCII (or a blank) makes an unknown name.
TemplateFunction LookupFunction(std::string_view name);

// Whether the item whose "${" is at `open` calls ${RegRep} or ${RegGet}
// (any letter case), whose arguments hold regular expressions: there a
// backslash and the character after it are one unit, never a marker (so
// "\}" closes nothing, and "\)}" ends nothing).
bool TakesEscapes(std::string_view text, std::size_t open);

// The key under which an item's text shares the value of an equal earlier
// one: its text in upper case, or as it is for a regular-expression call,
// whose letters matter. In place.
void MakeItemKey(std::string& text);

// Where the call that begins with the "${" at `open` ends: the index of the
// "}" that closes it, npos when none does. Inside the call every "}" closes
// the nearest "${" still open; one that closes none of those ends the call
// only right after a ")" (a call's "...)}"), or anywhere when the call has
// no "(" of its own ("${name}"); otherwise it is text. Trail bytes of
// double-byte characters are never markers. A pattern whose first call ends
// before its last byte has text after the call, kept as written (its own
// calls evaluated in turn).
std::size_t CallEnd(std::string_view text, std::size_t open);

// ${RegRep(模式,替换)} and ${RegGet(模式,组)} (regex_functions.cpp). A
// pattern the engine refuses throws PatternError.
void RegRep(std::string_view w, const Arguments& args, std::string& out, Workspace& work);
void RegGet(std::string_view w, const Arguments& args, std::string& out, Workspace& work);
// The escapes of a typed template (\t, \r, \n) as the characters they
// stand for, in place; once per template, before it is read.
void ApplyTemplateEscapes(std::string& text);

// regrep and regget.
bool IsRegexFunction(TemplateFunction fn);
// The pattern and replacement of a ${RegRep(..)} argument text, as RegRep
// gives them to the engine.
void RegRepTexts(std::string_view all, std::string& pattern, std::string& replacement);

// lineorg: its value is the subject itself, so an evaluator may use the
// subject without a copy.
bool IsSubjectFunction(TemplateFunction fn);

// A number argument: the arithmetic value truncated toward zero.
long long NumberArgument(std::string_view text);

// The longest value a replacing function (repstr, xchg) may give. Beyond it
// the evaluation throws ValueTooLong.
std::size_t ValueLimit();

// Lowers (or restores, with 0) the bound for a test or a fuzz target, which
// cannot afford values of hundreds of megabytes.
void SetValueLimitForTesting(std::size_t limit);

// The clock of date and time. A test or a fuzz target fixes it, so that two
// evaluations of the same template give the same text; nullptr restores the
// real clock.
using Clock = DateTime (*)();
void SetClockForTesting(Clock clock);

// ReplaceAll into out (which must not overlap text). False, with out
// untouched, when nothing matched (then the result is text itself). Throws
// ValueTooLong when the result would be longer than maxSize.
bool ReplaceAllInto(std::string_view text, std::string_view oldPart, std::string_view newPart,
                    std::string& out, Workspace& work, std::size_t maxSize);

}  // namespace ferro::detail
