#include "textops/new_lines.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/pump.h"
#include "platform/random.h"
#include "platform/text.h"
#include "template/template.h"
#include "textops/textfile.h"

namespace ferro {

NewLinesSettings MakeNewLinesSettings(NewLineMode mode, int lineNo, int period, int position,
                                      std::vector<std::string> keywords) {
    NewLinesSettings s;
    s.mode = mode;
    s.lineNo = std::max(lineNo, 0);
    s.period = period;
    s.position = std::max(position, 1);
    if (s.position >= s.period) s.position = 0;
    s.keywords = std::move(keywords);
    return s;
}

namespace {

// Position of the first c at a character boundary at or after from.
std::size_t FindCharAt(std::string_view text, char c, std::size_t from) {
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i))
        if (i >= from && text[i] == c) return i;
    return std::string_view::npos;
}

// The item starting with the lower-case name at its first occurrence in
// lower, up to and including the next "}"; empty when there is none.
std::string_view FindItem(std::string_view text, std::string_view lower, std::string_view name) {
    const std::size_t start = lower.find(name);  // "$" is never a trail byte
    if (start == std::string_view::npos) return {};
    const std::size_t close = FindCharAt(text, '}', start + name.size());
    if (close == std::string_view::npos) return {};
    return text.substr(start, close - start + 1);
}

// The argument of an item: after its name and "(", before its last two
// characters (")}").
std::string_view ItemArgument(std::string_view item, std::size_t nameLength) {
    if (item.size() < nameLength + 2) return {};
    return item.substr(nameLength, item.size() - nameLength - 2);
}

std::string ApplyEscapes(std::string_view text) {
    std::string out = ReplaceAll(text, "\\t", "\t");
    ReplaceAllInPlace(out, "\\r", "\r");
    ReplaceAllInPlace(out, "\\n", "\n");
    return out;
}

}  // namespace

NewLineBlock NewLineBlock::Parse(std::string_view text) {
    static constexpr std::string_view kLineStr = "${linestr(";
    static constexpr std::string_view kLineStr2 = "${linestr2(";
    static constexpr std::string_view kLineRand = "${linerandstr(";

    NewLineBlock block;
    const std::string lower = AnsiLower(text);
    struct Found {
        Kind kind;
        std::string lower;  // the item's text in lower case
    };
    std::vector<Found> items;
    if (auto item = FindItem(text, lower, kLineStr); !item.empty()) {
        block.lineNo_ = StrToInt(ItemArgument(item, kLineStr.size()));
        items.push_back({Kind::kLineNo, AnsiLower(item)});
    }
    if (auto item = FindItem(text, lower, kLineStr2); !item.empty()) {
        block.keyword_ = std::string(ItemArgument(item, kLineStr2.size()));
        items.push_back({Kind::kKeyword, AnsiLower(item)});
    }
    if (auto item = FindItem(text, lower, kLineRand); !item.empty()) {
        block.random_ = true;
        items.push_back({Kind::kRandom, AnsiLower(item)});
    }

    // Cut the text into literal runs and item occurrences, so that the
    // escapes touch only what the user typed around the items and a line
    // put in for one item is never searched for another.
    std::size_t literalStart = 0;
    std::size_t i = 0;
    auto flushLiteral = [&](std::size_t end) {
        if (end > literalStart)
            block.pieces_.push_back(
                {Kind::kText, ApplyEscapes(text.substr(literalStart, end - literalStart))});
    };
    while (i < text.size()) {
        const Found* hit = nullptr;
        for (const Found& f : items)
            if (lower.compare(i, f.lower.size(), f.lower) == 0) hit = &f;
        if (!hit) {
            i += CharLength(text, i);
            continue;
        }
        flushLiteral(i);
        block.pieces_.push_back({hit->kind, std::string(text.substr(i, hit->lower.size()))});
        i += hit->lower.size();
        literalStart = i;
    }
    flushLiteral(text.size());
    return block;
}

std::string NewLineBlock::ForFile(const LineList& lines) const {
    const std::size_t count = lines.size();
    std::string_view byNumber, byKeyword, byChance;
    bool haveNumber = false, haveKeyword = false, haveChance = false;
    if (lineNo_ >= 1 && static_cast<std::size_t>(lineNo_) <= count) {
        byNumber = lines[lineNo_ - 1];
        haveNumber = true;
    }
    if (random_ && count > 0) {
        byChance = lines[RandomBelow(static_cast<int>(std::min<std::size_t>(count, INT32_MAX)))];
        haveChance = true;
    }
    if (!keyword_.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            ProcessPendingMessages();
            if (ContainsKeyword(lines[i], keyword_)) {
                byKeyword = lines[i];
                haveKeyword = true;
                break;
            }
        }
    }

    std::string out;
    for (const Piece& p : pieces_) {
        switch (p.kind) {
            case Kind::kText:
                out += p.text;
                break;
            case Kind::kLineNo:
                out += haveNumber ? byNumber : p.text;
                break;
            case Kind::kKeyword:
                out += haveKeyword ? byKeyword : p.text;
                break;
            case Kind::kRandom:
                out += haveChance ? byChance : p.text;
                break;
        }
    }
    return out;
}

void InsertNewLines(const NewLinesSettings& settings, std::string_view block, const LineList& in,
                    LineSink& out) {
    const std::size_t count = in.size();
    out.reserve(count + 1, in.byteSize() + block.size());
    switch (settings.mode) {
        case NewLineMode::kAtLine: {
            const std::size_t at = std::min<std::size_t>(settings.lineNo, count);
            for (std::size_t i = 0; i < at; ++i) out.push_back(in[i]);
            out.push_back(block);
            for (std::size_t i = at; i < count; ++i) out.push_back(in[i]);
            break;
        }
        case NewLineMode::kInterval: {
            const std::size_t period = static_cast<std::size_t>(std::max(settings.period, 1));
            const std::size_t position = static_cast<std::size_t>(settings.position);
            for (std::size_t j = 1; j <= count; ++j) {
                ProcessPendingMessages();
                if (j % period == position) out.push_back(block);
                out.push_back(in[j - 1]);
            }
            break;
        }
        case NewLineMode::kKeywords:
            for (std::size_t i = 0; i < count; ++i) {
                ProcessPendingMessages();
                if (ContainsAnyKeyword(in[i], settings.keywords)) out.push_back(block);
                out.push_back(in[i]);
            }
            break;
    }
}

LineOperation NewLinesOperation(const NewLinesSettings& settings,
                                std::shared_ptr<const NewLineBlock> block) {
    return LineOperation([settings, block](const LineList& in, LineSink& out) {
        InsertNewLines(settings, block->ForFile(in), in, out);
    });
}

}  // namespace ferro
