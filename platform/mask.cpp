#include "platform/mask.h"

#include "platform/text.h"

namespace ferro {
namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// CharLength without the call for the plain ASCII bytes most names are made of.
std::size_t CharLen(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]) < 0x80 ? 1 : CharLength(s, i);
}

bool IsAsciiText(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool GlobMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
            continue;
        }
        if (m < mask.size() && mask[m] == '?') {
            n += CharLength(name, n);
            ++m;
            continue;
        }
        if (m < mask.size()) {
            std::size_t len = CharLength(mask, m);
            if (name.compare(n, len, mask.substr(m, len)) == 0 && CharLength(name, n) == len) {
                n += len;
                m += len;
                continue;
            }
        }
        if (starM == std::string_view::npos) return false;
        m = starM + 1;
        starN += CharLength(name, starN);
        n = starN;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask.empty()) return false;
    if (mask == "*" || mask == "*.*") return true;
    std::string n = AnsiLower(name), m = AnsiLower(mask);
    if (GlobMatch(n, m)) return true;
    // "name." and "*." stand for names without an extension.
    if (m.size() > 1 && m.back() == '.' && n.find('.') == std::string::npos)
        return GlobMatch(n, std::string_view(m).substr(0, m.size() - 1));
    return false;
}

MaskMatcher::MaskMatcher(std::string_view mask) : mask_(mask) {
    all_ = mask == "*" || mask == "*.*";
    for (char c : mask) {
        if (static_cast<unsigned char>(c) >= 0x80) ascii_ = false;
        lower_.push_back(LowerAscii(c));
    }
    // "*.txt" and the like: a suffix compare for names of plain ASCII.
    if (ascii_ && lower_.size() > 1 && lower_[0] == '*' && lower_.back() != '.' &&
        lower_.find_first_of("*?", 1) == std::string::npos)
        suffixOnly_ = true;
}

// The mask's first maskEnd bytes against a name: '*' any run of characters,
// '?' one character (a double-byte one whole), letters without case. Mask
// letters are plain ASCII here, so they can only equal one-byte characters.
bool MaskMatcher::Glob(std::string_view name, std::size_t maskEnd) const {
    const std::string_view m(lower_.data(), maskEnd);
    std::size_t n = 0, k = 0;
    std::size_t starK = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (k < m.size() && m[k] == '*') {
            starK = k++;
            starN = n;
            continue;
        }
        if (k < m.size() && m[k] == '?') {
            n += CharLen(name, n);
            ++k;
            continue;
        }
        if (k < m.size() && CharLen(name, n) == 1 && LowerAscii(name[n]) == m[k]) {
            ++n;
            ++k;
            continue;
        }
        if (starK == std::string_view::npos) return false;
        k = starK + 1;
        starN += CharLen(name, starN);
        n = starN;
    }
    while (k < m.size() && m[k] == '*') ++k;
    return k == m.size();
}

bool MaskMatcher::Matches(std::string_view name) const {
    if (mask_.empty()) return false;
    if (all_) return true;
    if (!ascii_) return MatchesMask(name, mask_);
    if (suffixOnly_ && IsAsciiText(name)) {
        const std::size_t n = lower_.size() - 1;
        if (name.size() < n) return false;
        const char* tail = name.data() + (name.size() - n);
        for (std::size_t i = 0; i < n; ++i)
            if (LowerAscii(tail[i]) != lower_[i + 1]) return false;
        return true;
    }
    if (Glob(name, lower_.size())) return true;
    // "name." and "*." stand for names without an extension.
    return lower_.size() > 1 && lower_.back() == '.' && name.find('.') == std::string_view::npos &&
           Glob(name, lower_.size() - 1);
}

}  // namespace ferro
