// Keywords: a keyword field split into its keywords, and keywords looked
// for in lines, in GBK or in a UTF-8 file's own bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regex/regex.h"
#include "textops/lines.h"

namespace ferro {

// Splits a keyword field at ";" and blanks; a keyword in double quotes may
// hold both ("" stands for one quote). Empty keywords stay in the list.
std::vector<std::string> SplitKeywords(std::string_view text);

// Whether line holds keyword's bytes anywhere (case-sensitive, byte-wise,
// so also from the second byte of one double-byte character into the
// next); an empty keyword matches nothing.
inline bool ContainsKeyword(std::string_view line, std::string_view keyword) {
    return !keyword.empty() && line.find(keyword) != std::string_view::npos;
}
bool ContainsAnyKeyword(std::string_view line, const std::vector<std::string>& keywords);

// GBK keywords looked for in lines of either bytes, with one result: in a
// UTF-8 file's own lines, exactly what ContainsAnyKeyword gives for the same
// lines converted to GBK. A keyword is looked for in UTF-8; the GBK bytes
// of a line could also hold it from inside a character (the second byte of
// "丒", 81 45, is an "E"), which needs the characters that would follow
// such a start: only a line holding those is converted and looked at as
// GBK.
class KeywordMatcher {
public:
    KeywordMatcher(const std::vector<std::string>& gbkKeywords, LineBytes bytes);

    // False when a keyword cannot be looked for in UTF-8 lines without
    // converting every line (one too short to tell what follows a start
    // inside a character, or bytes that are no GBK text).
    bool usable() const { return usable_; }
    bool AnyIn(std::string_view line) const;

private:
    struct Utf8Keyword {
        std::string gbk, utf8;
        std::vector<std::string> hints;  // lines holding one are converted
        // The one hint is part of the keyword: a line without it holds
        // neither, so one search tells most lines.
        bool hintFirst = false;
    };
    std::vector<std::string> gbk_;
    LineBytes bytes_;
    bool usable_ = true;
    std::vector<Utf8Keyword> utf8_;
    mutable std::string converted_;
};

// Keywords taken as regular expressions (the line operations' "正则表达式"
// choice): each keyword of the split field is a pattern, matched on
// characters in GBK and UTF-8 lines alike, and a line matches when any of
// them matches; an empty keyword matches nothing, as without the choice.
class KeywordPatterns {
public:
    // Nothing, with "正则表达式不正确：…" (GBK) in gbkMessage, when a keyword
    // is no pattern.
    static std::optional<KeywordPatterns> Compile(const std::vector<std::string>& gbkKeywords,
                                                  RegexFlags flags, std::string& gbkMessage);

    bool AnyIn(std::string_view line, LineBytes bytes) const;

    // The lines of in that match, as a cursor walked in order: a list cut
    // from a text is searched whole, one scan per pattern, not line by line.
    class Hits {
    public:
        // Whether line i matches; i must not go back.
        bool At(std::size_t i) {
            while (next_ < lines_.size() && lines_[next_] < i) ++next_;
            return next_ < lines_.size() && lines_[next_] == i;
        }

    private:
        friend class KeywordPatterns;
        std::vector<std::size_t> lines_;
        std::size_t next_ = 0;
    };
    Hits Scan(const LineList& in, LineBytes bytes) const;

private:
    std::vector<Regex> patterns_;
};

}  // namespace ferro
