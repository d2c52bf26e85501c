// ${RegRep(模式,替换)} and ${RegGet(模式,组)}: regular expressions over the
// working text. A pattern is compiled once: each evaluator keeps the few it
// met last in its workspace, and the process keeps those compiled on any
// thread, so a run over thousands of files or lines compiles a pattern once.
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/codec.h"
#include "regex/arguments.h"
#include "regex/regex.h"
#include "template/functions.h"
#include "template/template.h"

namespace ferro {

PatternError::PatternError(std::string message, std::size_t reasonAt)
    : TemplateError(std::move(message)), reasonAt_(reasonAt) {}

std::string_view PatternError::reason() const {
    const std::string_view m = what();
    return m.substr(std::min(reasonAt_, m.size()));
}

namespace detail {
namespace {

// A pattern as the engine has it, or why it has none.
struct CompiledPattern {
    std::optional<Regex> regex;
    std::string message;  // GBK, when regex is empty
};

// Every pattern compiled so far, by its argument text as written; a
// Regex is shared between threads (matching does not change it). Bounded:
// a pattern made of values (a file's name put in) is a new text per file.
class SharedPatterns {
public:
    CompiledPattern Get(std::string_view written) {
        const std::lock_guard lock(mutex_);
        if (auto it = map_.find(std::string(written)); it != map_.end()) return it->second;
        if (map_.size() >= kMaxPatterns) map_.clear();
        CompiledPattern p;
        p.regex = Regex::Compile(UnescapeTemplateArgument(written), {}, p.message);
        return map_.emplace(std::string(written), std::move(p)).first->second;
    }

private:
    static constexpr std::size_t kMaxPatterns = 256;
    std::mutex mutex_;
    std::unordered_map<std::string, CompiledPattern> map_;
};

SharedPatterns& Shared() {
    static SharedPatterns patterns;
    return patterns;
}

// "正则表达式不正确：" and the reason, as Regex words it.
[[noreturn]] void ThrowPatternError(const std::string& message) {
    static const std::string prefix = Utf16ToGbk(u"正则表达式不正确：");
    throw PatternError(message, message.starts_with(prefix) ? prefix.size() : 0);
}

}  // namespace

// The last few patterns and replacements an evaluator met, without a lock.
struct RegexCache {
    static constexpr std::size_t kSlots = 4;
    struct Pattern {
        std::string written;
        CompiledPattern compiled;
    };
    struct Replacement {
        std::string written;
        RegexReplacement replacement;
    };
    std::array<Pattern, kSlots> patterns;
    std::array<Replacement, kSlots> replacements;
    std::size_t nextPattern = 0, nextReplacement = 0;
    std::size_t usedPatterns = 0, usedReplacements = 0;
    RegexMatch match;

    const Regex& PatternFor(std::string_view written) {
        for (std::size_t i = 0; i < usedPatterns; ++i)
            if (patterns[i].written == written) return Usable(patterns[i].compiled);
        Pattern& slot = patterns[nextPattern];
        nextPattern = (nextPattern + 1) % kSlots;
        usedPatterns = std::max(usedPatterns, nextPattern == 0 ? kSlots : nextPattern);
        slot.written.assign(written);
        slot.compiled = Shared().Get(written);
        return Usable(slot.compiled);
    }

    const RegexReplacement& ReplacementFor(std::string_view written) {
        for (std::size_t i = 0; i < usedReplacements; ++i)
            if (replacements[i].written == written) return replacements[i].replacement;
        Replacement& slot = replacements[nextReplacement];
        nextReplacement = (nextReplacement + 1) % kSlots;
        usedReplacements = std::max(usedReplacements, nextReplacement == 0 ? kSlots : nextReplacement);
        slot.written.assign(written);
        slot.replacement = RegexReplacement(UnescapeTemplateArgument(written));
        return slot.replacement;
    }

private:
    static const Regex& Usable(const CompiledPattern& p) {
        if (!p.regex) ThrowPatternError(p.message);
        return *p.regex;
    }
};

namespace {

RegexCache& CacheOf(Workspace& work) {
    if (!work.regexes) work.regexes = std::make_shared<RegexCache>();
    return *work.regexes;
}

// The pattern and what follows its first comma that is not "\,".
struct RegexArguments {
    std::string_view pattern, rest;
};

RegexArguments SplitRegexArguments(std::string_view all) {
    const std::size_t comma = FindUnescaped(all, ',');
    if (comma == std::string_view::npos) return {all, {}};
    return {all.substr(0, comma), all.substr(comma + 1)};
}

}  // namespace

void RegRep(std::string_view w, const Arguments& args, std::string& out, Workspace& work) {
    const RegexArguments a = SplitRegexArguments(args.all);
    RegexCache& cache = CacheOf(work);
    const Regex& regex = cache.PatternFor(a.pattern);
    // The replacement keeps any further commas.
    const RegexReplacement& replacement = cache.ReplacementFor(a.rest);
    out.clear();
    if (!regex.ReplaceAll(w, SubjectBytes::Gbk, replacement, out, ValueLimit())) {
        out.clear();
        throw ValueTooLong();
    }
}

void RegRepTexts(std::string_view all, std::string& pattern, std::string& replacement) {
    const RegexArguments a = SplitRegexArguments(all);
    pattern = UnescapeTemplateArgument(a.pattern);
    replacement = UnescapeTemplateArgument(a.rest);
}

void RegGet(std::string_view w, const Arguments& args, std::string& out, Workspace& work) {
    const RegexArguments a = SplitRegexArguments(args.all);
    const Regex& regex = CacheOf(work).PatternFor(a.pattern);
    const std::size_t comma = FindUnescaped(a.rest, ',');
    const long long group = NumberArgument(a.rest.substr(0, comma));
    out.clear();
    RegexMatch& match = CacheOf(work).match;
    if (group < 0 || group > 9 || !regex.FirstMatch(w, SubjectBytes::Gbk, match)) return;
    out.assign(match.Group(w, static_cast<std::size_t>(group)));
}

}  // namespace detail

bool CheckTemplatePatterns(std::string_view expression, std::string& gbkMessage) {
    gbkMessage.clear();
    // The escapes of the typed template come first, as when it is evaluated.
    std::string text(expression);
    detail::ApplyTemplateEscapes(text);
    for (std::size_t open = text.find("${"); open != std::string::npos;
         open = text.find("${", open + 2)) {
        if (!detail::TakesEscapes(text, open)) continue;
        const std::size_t end = detail::CallEnd(text, open);
        if (end == std::string::npos) continue;
        const std::size_t paren = text.find('(', open);
        // The argument text, less the ")" the call ends with.
        std::string_view args = std::string_view(text).substr(paren + 1, end - paren - 1);
        if (!args.empty() && args.back() == ')') args.remove_suffix(1);
        const std::string_view pattern = detail::SplitRegexArguments(args).pattern;
        if (pattern.find("${") != std::string_view::npos) continue;
        std::string message;
        if (!Regex::Compile(UnescapeTemplateArgument(pattern), {}, message)) {
            gbkMessage = std::move(message);
            return false;
        }
    }
    return true;
}

std::vector<std::pair<std::size_t, std::size_t>> RegexCallSpans(std::string_view text) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t i = 0;
    while ((i = text.find("${", i)) != std::string_view::npos) {
        const std::size_t end = detail::TakesEscapes(text, i) ? detail::CallEnd(text, i)
                                                              : std::string_view::npos;
        if (end == std::string_view::npos) {
            i += 2;
            continue;
        }
        spans.emplace_back(i, end + 1);
        i = end + 1;
    }
    return spans;
}

}  // namespace ferro
