// Keyword fields split into keywords; keywords in GBK lines, and in a UTF-8
// file's own lines with the result they have in the same lines as GBK.
#include "textops/keywords.h"

#include <algorithm>

#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {

namespace {

bool IsDigit(unsigned char c) { return c >= 0x30 && c <= 0x39; }
bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

// Whether the first n bytes of keyword can end a GB18030 character that
// began before them: the second byte of a double-byte character, or the
// last one, two or three bytes of a four-byte one.
bool CanEndCharacter(std::string_view keyword, std::size_t n) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(keyword[i]); };
    switch (n) {
        case 1:
            return IsTrailByte(at(0)) || IsDigit(at(0));
        case 2:
            return IsLeadByte(at(0)) && IsDigit(at(1));
        case 3:
            return IsDigit(at(0)) && IsLeadByte(at(1)) && IsDigit(at(2));
    }
    return false;
}

// The whole characters of keyword from byte `from` on, up to a character
// the keyword ends inside of. False when the bytes are no GB18030 text,
// which no line converted from UTF-8 holds.
bool WholeCharacters(std::string_view keyword, std::size_t from, std::string_view& whole) {
    const std::size_t n = keyword.size();
    std::size_t i = from;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(keyword[k]); };
    while (i < n) {
        const unsigned char c = at(i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (!IsLeadByte(c)) return false;
        if (i + 1 == n) break;
        if (IsDigit(at(i + 1))) {
            if (i + 2 == n) break;
            if (!IsLeadByte(at(i + 2))) return false;
            if (i + 3 == n) break;
            if (!IsDigit(at(i + 3))) return false;
            i += 4;
        } else if (IsTrailByte(at(i + 1))) {
            i += 2;
        } else {
            return false;
        }
    }
    whole = keyword.substr(from, i - from);
    return true;
}

}  // namespace

std::vector<std::string> SplitKeywords(std::string_view text) {
    std::vector<std::string> keys;
    const std::size_t n = text.size();
    auto isBlank = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 0x01 && u <= 0x20;
    };
    std::size_t i = 0;
    while (i < n && isBlank(text[i])) ++i;
    while (i < n) {
        std::string key;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        key.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                key.push_back(text[i++]);
            }
        } else {
            while (i < n && text[i] != ';' && !isBlank(text[i])) key.push_back(text[i++]);
        }
        keys.push_back(std::move(key));
        while (i < n && isBlank(text[i])) ++i;
        if (i < n && text[i] == ';') {
            if (i + 1 == n) keys.emplace_back();  // a ";" as the very last byte
            ++i;
            while (i < n && isBlank(text[i])) ++i;
        }
    }
    return keys;
}

bool ContainsAnyKeyword(std::string_view line, const std::vector<std::string>& keywords) {
    return std::any_of(keywords.begin(), keywords.end(),
                       [&](const std::string& k) { return ContainsKeyword(line, k); });
}

KeywordMatcher::KeywordMatcher(const std::vector<std::string>& gbkKeywords, LineBytes bytes)
    : gbk_(gbkKeywords), bytes_(bytes) {
    if (bytes_ != LineBytes::Utf8) return;
    for (const std::string& keyword : gbkKeywords) {
        Utf8Keyword k;
        k.gbk = keyword;
        if (!Gb18030ToUtf8Exact(keyword, k.utf8)) {
            usable_ = false;
            return;
        }
        // Each start inside a character, its first j bytes ending that
        // character: the whole characters that must follow. A keyword that
        // could lie inside one character, or with nothing whole after such
        // a start, would need every line converted.
        for (std::size_t j = 1; j <= 3 && j <= keyword.size(); ++j) {
            std::string_view whole;
            if (!CanEndCharacter(keyword, j) || !WholeCharacters(keyword, j, whole)) continue;
            if (whole.empty()) {
                usable_ = false;
                return;
            }
            std::string hint;
            if (Gb18030ToUtf8Exact(whole, hint)) k.hints.push_back(std::move(hint));
        }
        k.hintFirst = k.hints.size() == 1 && k.utf8.find(k.hints[0]) != std::string::npos;
        utf8_.push_back(std::move(k));
    }
}

bool KeywordMatcher::AnyIn(std::string_view line) const {
    if (bytes_ != LineBytes::Utf8) return ContainsAnyKeyword(line, gbk_);
    bool converted = false;
    for (const Utf8Keyword& k : utf8_) {
        if (k.utf8.empty()) continue;
        if (k.hintFirst && line.find(k.hints[0]) == std::string_view::npos) continue;
        if (line.find(k.utf8) != std::string_view::npos) return true;
        for (const std::string& hint : k.hints) {
            if (line.find(hint) == std::string_view::npos) continue;
            if (!converted) {
                converted_.clear();
                Utf8ToGb18030(line, converted_);
                converted = true;
            }
            if (ContainsKeyword(converted_, k.gbk)) return true;
            break;
        }
    }
    return false;
}

std::optional<KeywordPatterns> KeywordPatterns::Compile(const std::vector<std::string>& gbkKeywords,
                                                         RegexFlags flags, std::string& gbkMessage) {
    KeywordPatterns k;
    for (const std::string& keyword : gbkKeywords) {
        if (keyword.empty()) continue;
        std::optional<Regex> re = Regex::Compile(keyword, flags, gbkMessage);
        if (!re) return std::nullopt;
        k.patterns_.push_back(std::move(*re));
    }
    return k;
}

bool KeywordPatterns::AnyIn(std::string_view line, LineBytes bytes) const {
    const SubjectBytes b = bytes == LineBytes::Utf8 ? SubjectBytes::Utf8 : SubjectBytes::Gbk;
    for (const Regex& re : patterns_)
        if (re.Matches(line, b)) return true;
    return false;
}

KeywordPatterns::Hits KeywordPatterns::Scan(const LineList& in, LineBytes bytes) const {
    Hits hits;
    const SubjectBytes b = bytes == LineBytes::Utf8 ? SubjectBytes::Utf8 : SubjectBytes::Gbk;
    const std::string_view text = in.UnbrokenText();
    if (text.empty()) {
        // Lines added one by one: each on its own.
        std::size_t i = 0;
        for (const std::string_view line : in) {
            if (AnyIn(line, bytes)) hits.lines_.push_back(i);
            ++i;
        }
        return hits;
    }
    for (const Regex& re : patterns_) {
        const std::size_t before = hits.lines_.size();
        re.MatchingLines(text, b, hits.lines_);
        if (before != 0 && hits.lines_.size() != before) {
            auto mid = hits.lines_.begin() + static_cast<std::ptrdiff_t>(before);
            std::inplace_merge(hits.lines_.begin(), mid, hits.lines_.end());
            hits.lines_.erase(std::unique(hits.lines_.begin(), hits.lines_.end()), hits.lines_.end());
        }
    }
    return hits;
}

}  // namespace ferro
