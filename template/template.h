// The ${name(arguments)} template language: evaluation against a subject
// (a file name without extension, or a line), and its text primitives.
// All text is GBK bytes; positions are 1-based byte positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace ferro {

// An evaluation that gives no value for its subject. Whoever processes a
// file leaves it as it was and reports it.
class TemplateError : public Error {
public:
    using Error::Error;
};

// The value would grow beyond the engine's bound (256 MiB): a replacement
// that multiplies a text, nested.
class ValueTooLong : public TemplateError {
public:
    ValueTooLong();
};

// A regular expression the engine refuses, met only while evaluating (its
// text came from a value, so no check could see it before): what() is
// "正则表达式不正确：" and the reason, reason() the reason alone.
class PatternError : public TemplateError {
public:
    PatternError(std::string message, std::size_t reasonAt);
    std::string_view reason() const;

private:
    std::size_t reasonAt_;
};

// The first pattern of a ${RegRep(..)} or ${RegGet(..)} in expression (as
// typed, escapes and all) that the engine refuses: false, with
// "正则表达式不正确：…" (GBK) in gbkMessage. A pattern that holds an item
// is known only per subject and is not checked here.
bool CheckTemplatePatterns(std::string_view expression, std::string& gbkMessage);

// Where the ${RegRep(..)} and ${RegGet(..)} calls of a text are, each from
// its "${" to its closing "}" inclusive ([first, second)); the outermost
// ones only.
std::vector<std::pair<std::size_t, std::size_t>> RegexCallSpans(std::string_view text);

// Evaluates one template expression against a subject. Text before the
// first call is dropped; text after its closing brace is kept as written,
// with each further call in it evaluated (so "${date(yyyy)}_x" gives
// "2024_x"). Never loops for ever: malformed input yields some text. Throws
// TemplateError only (ValueTooLong, PatternError).
std::string EvaluateTemplate(std::string_view subject, std::string_view expression);

// A template expression read once and evaluated against many subjects, with
// exactly the results of EvaluateTemplate (which reads the text anew each
// time). Function names are looked up and the nesting is worked out when it
// is compiled; it keeps its buffers from one evaluation to the next, so once
// they have grown an evaluation allocates nothing (date, time and the
// Big5 conversions aside).
class CompiledTemplate {
public:
    CompiledTemplate();  // the empty expression
    explicit CompiledTemplate(std::string_view expression);
    CompiledTemplate(CompiledTemplate&&) noexcept;
    CompiledTemplate& operator=(CompiledTemplate&&) noexcept;
    ~CompiledTemplate();

    // Reads another expression, keeping the storage.
    void Compile(std::string_view expression);
    // The expression as given to Compile.
    std::string_view expression() const;

    // The value for one subject. It may be a view of the subject itself;
    // otherwise it stays valid until the next Evaluate or Compile. The
    // subject may be a value this object returned. Throws TemplateError.
    std::string_view Evaluate(std::string_view subject);

    // When every value is the subject with fixed texts added at its ends
    // (${AddLeft(x)}, ${AddRight(x)}, or the subject alone), those texts:
    // such a value never depends on the subject's bytes. False otherwise.
    bool Affixes(std::string& left, std::string& right) const;

    // When every value is ${RegRep(pattern,replacement)} of the subject
    // with fixed arguments, the pattern and the replacement as the engine
    // is given them (escapes of the arguments read). False otherwise.
    bool SingleRegRep(std::string& pattern, std::string& replacement) const;

private:
    struct Program;
    std::unique_ptr<Program> program_;
};

// Evaluation of expressions whose text may change from call to call (a
// pattern with a row's name or a line's fields put in): the last few texts
// are kept compiled, so a text met again is not read again.
class TemplateCache {
public:
    explicit TemplateCache(std::size_t capacity = 8);

    // As CompiledTemplate(expression).Evaluate(subject). The value stays
    // valid until the next call; the subject must not be one of its values.
    std::string_view Evaluate(std::string_view subject, std::string_view expression);

private:
    struct Entry {
        CompiledTemplate compiled;
        std::uint64_t lastUse = 0;
        bool used = false;
    };
    std::vector<Entry> entries_;
    std::uint64_t clock_ = 0;
};

// The longest value an evaluation may give (ValueTooLong beyond it).
std::size_t TemplateValueLimit();

// True when name (any letter case) is a function the engine evaluates.
// Variables that the operations substitute themselves (${filename}, ${sn(...)},
// ...) are not engine functions.
bool IsTemplateFunction(std::string_view name);

// Text primitives.
// 1-based position of the first occurrence of part (exact bytes); 0 if none
// or part is empty.
std::size_t Find(std::string_view text, std::string_view part);
// Bytes from start on, at most count; a start below 1 counts as 1.
std::string Copy(std::string_view text, long long start, long long count);
// Removes at most count bytes from start; nothing for a start outside the text.
void Delete(std::string& text, long long start, long long count);
// Inserts part so that it begins at position at (clamped to the text).
void Insert(std::string& text, std::string_view part, long long at);
// Replaces every occurrence of old, case-insensitively (ANSI upper case),
// never matching from the inside of a multi-byte character; left to right,
// inserted text is not scanned again. An empty old changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldPart, std::string_view newPart);
// The same in place; returns whether anything was replaced. Costs no
// allocation when nothing matches.
bool ReplaceAllInPlace(std::string& text, std::string_view oldPart, std::string_view newPart);

}  // namespace ferro
