// Regular expressions for the template language and the line operations.
//
// A pattern is GBK text, like everything typed into the window; it is
// matched on characters, not bytes, in either kind of subject the program
// has: GBK bytes (code page 936, GB18030 at the edges) or a UTF-8 file's
// own bytes. "." and every class take one character, a Chinese character
// included; \d, \w and \s are Unicode's digits, letters and spaces. Every
// position handed back is a byte position in the subject's own encoding.
//
// The engine is RE2: matching takes time linear in the subject whatever
// the pattern, so no pattern can hold up a run. Its syntax is RE2's (Perl's
// without back-references and look-around); (?i) and the other inline
// flags work.
//
// A GBK subject is matched through a UTF-8 copy, and positions are carried
// back character by character; a byte that begins no character (a rule may
// cut one in two) stays one character of its own, matched by "." and kept
// as it was in every result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

// What the bytes of a subject are.
enum class SubjectBytes : std::uint8_t { Gbk, Utf8 };

struct RegexFlags {
    bool ignoreCase = false;
};

// Where a group matched, in bytes of the subject; begin == npos when the
// group took no part in the match.
struct RegexSpan {
    static constexpr std::size_t npos = std::string_view::npos;
    std::size_t begin = npos;
    std::size_t end = npos;
    bool matched() const { return begin != npos; }
};

// A match: group 0 is the whole of it, then the pattern's groups up to
// group 9 (the ones a replacement or ${RegGet} can name).
struct RegexMatch {
    std::vector<RegexSpan> groups;
    // The text of group n; empty for a group that did not match or that
    // the pattern does not have.
    std::string_view Group(std::string_view subject, std::size_t n) const;
};

// A replacement text, GBK: \0 to \9 stand for the groups of the match (a
// group the pattern lacks, or that did not match, for nothing), \\ for one
// backslash; any other backslash is itself.
class RegexReplacement {
public:
    RegexReplacement() = default;
    explicit RegexReplacement(std::string_view gbk);

    // The highest group it names; -1 for none.
    int highestGroup() const { return highest_; }
    // Whether its texts have a UTF-8 form that converts back to the same
    // bytes; without one, a UTF-8 subject gets U+FFFD for the bytes that
    // begin no character.
    bool exactInUtf8() const { return exactUtf8_; }

private:
    friend class Regex;
    struct Piece {
        int group = -1;  // -1: the text
        std::string gbk, utf8;
    };
    std::vector<Piece> pieces_;
    int highest_ = -1;
    bool exactUtf8_ = true;
};

class Regex {
public:
    // Compiles a GBK pattern. A pattern the engine refuses, or one the
    // program cannot match on both kinds of subject, throws ferro::Error
    // with "正则表达式不正确：" and the reason in Chinese.
    explicit Regex(std::string_view gbkPattern, RegexFlags flags = {});
    // The same without the exception: nothing, with the message in
    // gbkMessage.
    static std::optional<Regex> Compile(std::string_view gbkPattern, RegexFlags flags,
                                        std::string& gbkMessage);

    // The pattern as it was given.
    const std::string& pattern() const;
    // The pattern's own groups, (?:...) not counted.
    int groupCount() const;

    // Whether the pattern matches anywhere in subject.
    bool Matches(std::string_view subject, SubjectBytes bytes = SubjectBytes::Gbk) const;

    // The leftmost match and its groups; false, with match cleared, when
    // there is none.
    bool FirstMatch(std::string_view subject, SubjectBytes bytes, RegexMatch& match) const;
    bool FirstMatch(std::string_view subject, RegexMatch& match) const {
        return FirstMatch(subject, SubjectBytes::Gbk, match);
    }

    // subject with every match replaced, left to right; after an empty
    // match the search goes on one character later, and no empty match is
    // taken right where the previous match ended (as sed does). Appends to
    // out. The replacement is taken in the subject's bytes. False, with out
    // holding part of it, as soon as out would grow beyond limit bytes.
    bool ReplaceAll(std::string_view subject, SubjectBytes bytes,
                    const RegexReplacement& replacement, std::string& out,
                    std::size_t limit = std::string::npos) const;
    std::string ReplaceAll(std::string_view subject, const RegexReplacement& replacement,
                           SubjectBytes bytes = SubjectBytes::Gbk) const;

    // The lines of text that hold a match, as 0-based numbers in order
    // (appended to lines). text is many lines as a line list holds them: CR
    // LF, a lone LF and a lone CR each end a line, a break at the very end
    // adds no empty line. A line matches exactly when it would on its own:
    // ^ and $ are its own start and end, and no match runs over a break.
    // The text is searched as a whole, not line by line.
    void MatchingLines(std::string_view text, SubjectBytes bytes,
                       std::vector<std::size_t>& lines) const;

private:
    struct Compiled;
    Regex() = default;
    // The scan of a whole text, its first line numbered firstLine.
    void ScanWhole(std::string_view text, SubjectBytes bytes, std::size_t firstLine,
                   std::vector<std::size_t>& lines) const;
    std::shared_ptr<const Compiled> c_;
};

}  // namespace ferro
