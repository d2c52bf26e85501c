// Windows mask matching: '*' any run, '?' one character (a double-byte
// character is one), letters without regard to case; "*.*" and "*" match
// every name, a mask ending in "." matches names without a dot.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ferro {

// The plain rule, character by character.
bool MatchesMask(std::string_view name, std::string_view mask);

// A mask prepared once for a whole pass; matches exactly as MatchesMask
// does, without allocating for masks of plain ASCII (the walks over many
// directory entries).
class MaskMatcher {
public:
    explicit MaskMatcher(std::string_view mask);
    bool Matches(std::string_view name) const;
    bool empty() const { return mask_.empty(); }

private:
    bool Glob(std::string_view name, std::size_t maskEnd) const;

    std::string mask_;         // as given
    std::string lower_;        // ASCII letters lowered (ASCII masks only)
    bool suffixOnly_ = false;  // "*" and a tail without wildcards ("*.txt")
    bool all_ = false;         // "*" or "*.*"
    bool ascii_ = true;
};

}  // namespace ferro
