// CompiledTemplate: the template read once into a program, then run against
// each subject.
//
// Everything about a template's structure is known from its text: which
// bytes open and close items (a value is never read for markers), the order
// in which items are evaluated, and, for most items, the function and its
// argument text. What a subject changes is only the values of items, and
// with them the argument texts they are part of. So the program is a list
// of items in evaluation order, each with its text as pieces (literal text,
// or the value of an earlier item), and the top-level call over the pieces
// of its argument text.
//
// Text after the top-level call is a list of parts: literal text, or a call
// of its own, compiled as a program of its own (without escapes, which the
// whole template has had already).
//
// The reference evaluator lets an item that equals an earlier one (in any
// letter case) take that one's value. Between two items whose texts are
// fixed this is decided here; otherwise the two texts are compared when
// they are known, unless their fixed beginnings already differ.
#include <algorithm>

#include "platform/text.h"
#include "template/functions.h"
#include "template/template.h"

namespace ferro {

namespace {

using detail::Arguments;
using detail::TemplateFunction;

constexpr int kLiteral = -1;

// Text of the template (item >= 0: the value of that item).
struct Piece {
    std::uint32_t begin = 0, size = 0;
    int item = kLiteral;
};

enum class Form : std::uint8_t {
    kConstant,  // fixed text
    kSubject,   // the subject itself (an unknown function, lineorg)
    kCall,      // a known function over its argument pieces
    kDynamic,   // the name holds a value: the text is read when it is known
};

struct Item {
    Form form = Form::kConstant;
    TemplateFunction fn = nullptr;
    // kConstant: the text.
    Piece constant;
    // The whole item "${...}", as pieces.
    std::uint32_t textBegin = 0, textEnd = 0;
    // kCall: the argument text, as pieces, without its last byte when
    // dropLast (the byte before the closing "}", which the call ends with).
    std::uint32_t argBegin = 0, argEnd = 0;
    bool dropLast = false;
    // The argument text is fixed: split once.
    bool fixedArgs = false;
    Arguments args;
    // The item's whole text is fixed.
    bool fixedText = false;
    // Takes the value of this earlier item (when no candidate below matches).
    int sameAs = -1;
    // Earlier items whose text may equal this one's: compared in this
    // order when the texts are known.
    std::uint32_t candBegin = 0, candEnd = 0;
    // Its upper-case text is needed while running.
    bool keyed = false;
};

bool Contains(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

}  // namespace

struct CompiledTemplate::Program {
    std::string expression;  // as given
    std::string text;        // after the escapes; pieces point into it

    // Text after the top-level call: literal text or a call.
    struct TailPart {
        Piece literal;
        std::unique_ptr<Program> call;
    };
    std::vector<TailPart> tail;

    // The top level.
    Item root;
    bool runsItems = false;  // items are evaluated before the top-level call
    std::vector<Item> items;
    std::vector<Piece> pieces;
    std::vector<int> candidates;

    // Compile scratch.
    std::vector<Piece> current;
    std::vector<std::uint32_t> open;
    std::string escapes;  // per open item: whether it takes backslash units
    std::vector<bool> recorded;

    // Run state, kept from one evaluation to the next.
    std::vector<std::string_view> values;
    std::vector<std::string> buffers;  // one per item
    std::vector<std::string> keys;     // upper-case texts of keyed items
    std::string argScratch, callScratch, subjectCopy, result;
    std::string joined;  // the value when the template has text after its call
    detail::Workspace work;

    std::string_view Literal(const Piece& p) const {
        return std::string_view(text).substr(p.begin, p.size);
    }
    std::string_view View(const Piece& p) const {
        return p.item == kLiteral ? Literal(p) : values[static_cast<std::size_t>(p.item)];
    }

    // typed: the template as written (escapes, text after its call);
    // otherwise one call of it.
    void Compile(std::string_view expressionText, bool typed = true);
    void CompileTail(std::size_t from);
    void ReadCall(Item& item, std::uint32_t callBegin, std::uint32_t callSize);
    void ParseNested(std::uint32_t argsBegin, std::uint32_t argsSize, bool topEscapes);
    void AppendLiteral(std::uint32_t at, std::uint32_t size);
    void CloseItem(std::uint32_t start, bool record);
    void AnalyzeItem(Item& item);
    void FindEqualItems(std::size_t index);

    std::string_view Run(std::string_view subject);
    std::string_view RunCall(std::string_view subject);
    std::string_view ArgumentText(std::uint32_t begin, std::uint32_t end, bool dropLast);
    void BuildText(const Item& item, std::string& out) const;
    std::string_view EvaluateItem(const Item& item, std::string_view subject, std::string& out);
    std::string_view EvaluateCallText(std::string_view call, std::string_view subject,
                                      std::string& out);
};

// ---- Compiling ----

void CompiledTemplate::Program::Compile(std::string_view expressionText, bool typed) {
    expression.assign(expressionText);
    text.assign(expressionText);
    items.clear();
    pieces.clear();
    candidates.clear();
    recorded.clear();
    tail.clear();
    runsItems = false;
    root = Item();
    // Escapes belong to the typed template, once; values never get them.
    if (typed) detail::ApplyTemplateEscapes(text);
    std::string_view e = text;
    const std::size_t a = e.find("${");
    if (a == std::string_view::npos) {
        root.constant = {0, static_cast<std::uint32_t>(e.size())};
        return;
    }
    if (typed) {
        const std::size_t end = detail::CallEnd(e, a);
        if (end != std::string_view::npos && end + 1 < e.size()) {
            CompileTail(end + 1);
            e = e.substr(0, end + 1);
        }
    }
    // Text before "${" is dropped; the last byte is taken as the closing "}".
    if (e.size() >= a + 3)
        ReadCall(root, static_cast<std::uint32_t>(a + 2),
                 static_cast<std::uint32_t>(e.size() - a - 3));
    else
        root.constant = {0, 0};
    if (root.form != Form::kCall && root.form != Form::kSubject) return;
    if (root.form == Form::kSubject && !root.fn) return;  // an unknown name reads no argument

    // The argument text of the top-level call: the items in it are evaluated
    // first (when it holds a "}"), the rest is as written.
    const Piece args = pieces.back();
    pieces.clear();
    if (Contains(Literal(args), '}')) {
        ParseNested(args.begin, args.size, detail::IsRegexFunction(root.fn));
    } else {
        current.clear();
        if (args.size != 0) current.push_back(args);
    }
    runsItems = !items.empty();
    root.argBegin = static_cast<std::uint32_t>(pieces.size());
    for (const Piece& p : current) {
        // Literal runs that an unclosed "${" split are one text again.
        if (pieces.size() > root.argBegin && p.item == kLiteral && pieces.back().item == kLiteral &&
            pieces.back().begin + pieces.back().size == p.begin)
            pieces.back().size += p.size;
        else
            pieces.push_back(p);
    }
    root.argEnd = static_cast<std::uint32_t>(pieces.size());
    root.fixedArgs = root.argEnd == root.argBegin ||
                     (root.argEnd - root.argBegin == 1 && pieces[root.argBegin].item == kLiteral);
    if (root.fixedArgs)
        root.args = detail::SplitArguments(
            root.argEnd == root.argBegin ? std::string_view() : Literal(pieces[root.argBegin]));
}

// The parts of the text after the top-level call, from `from` on, as the
// reference reads them.
void CompiledTemplate::Program::CompileTail(std::size_t from) {
    const std::string_view e = text;
    auto addLiteral = [&](std::size_t begin, std::size_t size) {
        if (size == 0) return;
        if (!tail.empty() && !tail.back().call &&
            tail.back().literal.begin + tail.back().literal.size == begin) {
            tail.back().literal.size += static_cast<std::uint32_t>(size);
            return;
        }
        TailPart part;
        part.literal = {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(size)};
        tail.push_back(std::move(part));
    };
    std::size_t i = from;
    while (i < e.size()) {
        const std::size_t open = e.find("${", i);
        const std::size_t end = open == std::string_view::npos ? open : detail::CallEnd(e, open);
        if (end == std::string_view::npos) {
            addLiteral(i, e.size() - i);
            break;
        }
        addLiteral(i, open - i);
        TailPart part;
        part.call = std::make_unique<Program>();
        part.call->Compile(e.substr(open, end + 1 - open), false);
        tail.push_back(std::move(part));
        i = end + 1;
    }
}

// The call text (between "${" and the closing "}") of a fixed text: its
// form, and for a call its argument text as the one last piece.
void CompiledTemplate::Program::ReadCall(Item& item, std::uint32_t callBegin,
                                         std::uint32_t callSize) {
    const std::string_view call = std::string_view(text).substr(callBegin, callSize);
    const std::size_t b = call.find('(');
    if (b == std::string_view::npos) {
        item.form = Form::kConstant;
        item.constant = {callBegin, callSize};
        return;
    }
    // The last byte of the call is taken as the closing ")".
    const std::uint32_t argsBegin = callBegin + static_cast<std::uint32_t>(b) + 1;
    const std::uint32_t argsSize =
        call.size() >= b + 2 ? static_cast<std::uint32_t>(call.size() - b - 2) : 0;
    item.fn = detail::LookupFunction(call.substr(0, b));
    item.form = !item.fn || detail::IsSubjectFunction(item.fn) ? Form::kSubject : Form::kCall;
    pieces.push_back({argsBegin, argsSize, kLiteral});
}

// Mirrors the reference's one pass over the argument text: each "}" closes
// the nearest open "${", and the item it closes is replaced by its value;
// where a regular expression is written, a backslash unit is text.
void CompiledTemplate::Program::ParseNested(std::uint32_t argsBegin, std::uint32_t argsSize,
                                            bool topEscapes) {
    const std::string_view args = std::string_view(text).substr(argsBegin, argsSize);
    const std::size_t lastOpen = args.rfind("${");
    current.clear();
    open.clear();
    escapes.clear();
    const std::size_t n = args.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = args[i];
        const auto at = static_cast<std::uint32_t>(argsBegin + i);
        if (c == '\\' && i + 1 < n && (open.empty() ? topEscapes : escapes.back() != '\0')) {
            const std::size_t len = 1 + CharLength(args, i + 1);
            AppendLiteral(at, static_cast<std::uint32_t>(len));
            i += len;
        } else if (c == '$' && i + 1 < n && args[i + 1] == '{') {
            // An item's text begins a piece of its own.
            open.push_back(static_cast<std::uint32_t>(current.size()));
            escapes.push_back(detail::TakesEscapes(args, i) ? '\1' : '\0');
            current.push_back({at, 2, kLiteral});
            i += 2;
        } else if (c == '}' && !open.empty()) {
            const std::uint32_t start = open.back();
            open.pop_back();
            escapes.pop_back();
            AppendLiteral(at, 1);
            ++i;
            // Only an item that another can follow is remembered.
            CloseItem(start, lastOpen != std::string_view::npos && i <= lastOpen);
        } else if (static_cast<unsigned char>(c) >= 0x81) {
            // A trail byte may look like "{" or "}"; it is part of its
            // character.
            const std::size_t len = CharLength(args, i);
            AppendLiteral(at, static_cast<std::uint32_t>(len));
            i += len;
        } else {
            AppendLiteral(at, 1);
            ++i;
        }
    }
}

void CompiledTemplate::Program::AppendLiteral(std::uint32_t at, std::uint32_t size) {
    if (!current.empty() && current.back().item == kLiteral &&
        current.back().begin + current.back().size == at) {
        current.back().size += size;
    } else {
        current.push_back({at, size, kLiteral});
    }
}

void CompiledTemplate::Program::CloseItem(std::uint32_t start, bool record) {
    Item item;
    item.textBegin = static_cast<std::uint32_t>(pieces.size());
    pieces.insert(pieces.end(), current.begin() + start, current.end());
    item.textEnd = static_cast<std::uint32_t>(pieces.size());
    item.fixedText = item.textEnd - item.textBegin == 1;
    AnalyzeItem(item);
    const int index = static_cast<int>(items.size());
    items.push_back(item);
    recorded.push_back(record);
    if (keys.size() < items.size()) keys.resize(items.size());
    if (item.fixedText) {
        keys[static_cast<std::size_t>(index)].assign(Literal(pieces[item.textBegin]));
        detail::MakeItemKey(keys[static_cast<std::size_t>(index)]);
    }
    FindEqualItems(static_cast<std::size_t>(index));
    current.resize(start);
    current.push_back({0, 0, index});
}

void CompiledTemplate::Program::AnalyzeItem(Item& item) {
    const Piece first = pieces[item.textBegin];  // begins with "${"
    if (item.fixedText) {
        // "${" + call + "}"
        ReadCall(item, first.begin + 2, first.size - 3);
        if (item.form == Form::kCall) {
            item.argBegin = static_cast<std::uint32_t>(pieces.size() - 1);
            item.argEnd = static_cast<std::uint32_t>(pieces.size());
            item.fixedArgs = true;
            item.args = detail::SplitArguments(Literal(pieces.back()));
        } else if (item.form == Form::kSubject) {
            pieces.pop_back();
        } else {
            // kConstant: ReadCall pushed nothing.
        }
        return;
    }
    // The name ends at the first "(" of the call; when the fixed beginning
    // holds none, a value decides where it is.
    const std::string_view head = Literal(first);
    const std::size_t paren = head.find('(', 2);
    if (paren == std::string_view::npos) {
        item.form = Form::kDynamic;
        return;
    }
    item.fn = detail::LookupFunction(head.substr(2, paren - 2));
    if (!item.fn || detail::IsSubjectFunction(item.fn)) {
        item.form = Form::kSubject;
        return;
    }
    item.form = Form::kCall;
    // The argument text runs from after "(" to the end of the call, less the
    // call's last byte. The last piece ends with the closing "}"; when it
    // holds nothing else, the byte to drop is the end of a value.
    const Piece last = pieces[item.textEnd - 1];
    const std::uint32_t textBegin = item.textBegin, textEnd = item.textEnd;
    item.argBegin = static_cast<std::uint32_t>(pieces.size());
    const Piece afterParen{first.begin + static_cast<std::uint32_t>(paren) + 1,
                           first.size - static_cast<std::uint32_t>(paren) - 1, kLiteral};
    if (afterParen.size != 0) pieces.push_back(afterParen);
    for (std::uint32_t k = textBegin + 1; k + 1 < textEnd; ++k) {
        const Piece middle = pieces[k];
        pieces.push_back(middle);
    }
    if (last.size >= 2) {
        if (last.size > 2) pieces.push_back({last.begin, last.size - 2, kLiteral});
    } else {
        item.dropLast = true;
    }
    item.argEnd = static_cast<std::uint32_t>(pieces.size());
}

// Which earlier remembered items this one may take its value from.
void CompiledTemplate::Program::FindEqualItems(std::size_t index) {
    Item& item = items[index];
    item.candBegin = static_cast<std::uint32_t>(candidates.size());
    const std::string_view head = Literal(pieces[item.textBegin]);
    std::string upperHead;
    for (std::size_t k = 0; k < index; ++k) {
        if (!recorded[k]) continue;
        Item& earlier = items[k];
        if (item.fixedText && earlier.fixedText) {
            if (keys[k] == keys[index]) {
                item.sameAs = static_cast<int>(k);
                break;
            }
            continue;
        }
        // Texts that begin differently (in upper case) never match. The
        // fixed beginnings map to upper case as they would in the whole text:
        // a character never starts before the item does.
        if (upperHead.empty()) upperHead = AnsiUpper(head);
        const std::string otherHead = AnsiUpper(Literal(pieces[earlier.textBegin]));
        const std::size_t common = std::min(upperHead.size(), otherHead.size());
        if (upperHead.compare(0, common, otherHead, 0, common) != 0) continue;
        candidates.push_back(static_cast<int>(k));
        earlier.keyed = true;
        item.keyed = true;
    }
    item.candEnd = static_cast<std::uint32_t>(candidates.size());
}

// ---- Running ----

std::string_view CompiledTemplate::Program::ArgumentText(std::uint32_t begin, std::uint32_t end,
                                                         bool dropLast) {
    std::string_view s;
    if (end - begin == 1) {
        s = View(pieces[begin]);
    } else if (end != begin) {
        argScratch.clear();
        for (std::uint32_t k = begin; k < end; ++k) argScratch.append(View(pieces[k]));
        s = argScratch;
    }
    if (dropLast && !s.empty()) s.remove_suffix(1);
    return s;
}

void CompiledTemplate::Program::BuildText(const Item& item, std::string& out) const {
    out.clear();
    for (std::uint32_t k = item.textBegin; k < item.textEnd; ++k) out.append(View(pieces[k]));
}

// The reference's reading of an item whose text is known only now, from
// its call text on.
std::string_view CompiledTemplate::Program::EvaluateCallText(std::string_view call,
                                                             std::string_view subject,
                                                             std::string& out) {
    const std::size_t b = call.find('(');
    if (b == std::string_view::npos) {
        out.assign(call);
        return out;
    }
    const std::string_view args =
        call.size() >= b + 2 ? call.substr(b + 1, call.size() - b - 2) : std::string_view();
    const TemplateFunction fn = detail::LookupFunction(call.substr(0, b));
    if (!fn) return subject;
    fn(subject, detail::SplitArguments(args), out, work);
    return out;
}

std::string_view CompiledTemplate::Program::EvaluateItem(const Item& item, std::string_view subject,
                                                         std::string& out) {
    switch (item.form) {
        case Form::kConstant:
            return Literal(item.constant);
        case Form::kSubject:
            return subject;
        case Form::kCall: {
            if (item.fixedArgs) {
                item.fn(subject, item.args, out, work);
            } else {
                const std::string_view args =
                    ArgumentText(item.argBegin, item.argEnd, item.dropLast);
                item.fn(subject, detail::SplitArguments(args), out, work);
            }
            return out;
        }
        case Form::kDynamic: {
            BuildText(item, callScratch);
            const std::string_view whole = callScratch;
            return EvaluateCallText(whole.substr(2, whole.size() - 3), subject, out);
        }
    }
    return {};
}

std::string_view CompiledTemplate::Program::Run(std::string_view subject) {
    if (tail.empty()) return RunCall(subject);
    // A subject that is our own last value must survive this evaluation.
    if (!subject.empty() && subject.data() >= joined.data() &&
        subject.data() < joined.data() + joined.size()) {
        subjectCopy.assign(subject);
        subject = subjectCopy;
    }
    const std::string_view head = RunCall(subject);
    joined.assign(head);
    for (const TailPart& part : tail) {
        if (!part.call) {
            joined.append(Literal(part.literal));
            continue;
        }
        joined.append(part.call->Run(subject));
        if (joined.size() > detail::ValueLimit()) throw ValueTooLong();
    }
    return joined;
}

std::string_view CompiledTemplate::Program::RunCall(std::string_view subject) {
    switch (root.form) {
        case Form::kConstant:
            return Literal(root.constant);
        case Form::kSubject:
            if (!runsItems) return subject;
            break;
        default:
            break;
    }
    // A subject that is our own last value must survive this evaluation.
    if (!subject.empty() && subject.data() >= result.data() &&
        subject.data() < result.data() + result.size()) {
        subjectCopy.assign(subject);
        subject = subjectCopy;
    }
    if (runsItems) {
        const std::size_t n = items.size();
        if (values.size() < n) values.resize(n);
        if (buffers.size() < n) buffers.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            const Item& item = items[k];
            if (item.keyed && !item.fixedText) {
                BuildText(item, keys[k]);
                detail::MakeItemKey(keys[k]);
            }
            int same = -1;
            for (std::uint32_t c = item.candBegin; c < item.candEnd && same < 0; ++c) {
                const auto other = static_cast<std::size_t>(candidates[c]);
                if (keys[other] == keys[k]) same = candidates[c];
            }
            if (same < 0) same = item.sameAs;
            values[k] = same >= 0 ? values[static_cast<std::size_t>(same)]
                                  : EvaluateItem(item, subject, buffers[k]);
        }
    }
    if (root.form == Form::kSubject) return subject;
    if (root.fixedArgs) {
        root.fn(subject, root.args, result, work);
    } else {
        const std::string_view args = ArgumentText(root.argBegin, root.argEnd, false);
        root.fn(subject, detail::SplitArguments(args), result, work);
    }
    return result;
}

// ---- The class ----

CompiledTemplate::CompiledTemplate() : program_(std::make_unique<Program>()) {
    program_->Compile({});
}

CompiledTemplate::CompiledTemplate(std::string_view expression)
    : program_(std::make_unique<Program>()) {
    program_->Compile(expression);
}

CompiledTemplate::CompiledTemplate(CompiledTemplate&&) noexcept = default;
CompiledTemplate& CompiledTemplate::operator=(CompiledTemplate&&) noexcept = default;
CompiledTemplate::~CompiledTemplate() = default;

void CompiledTemplate::Compile(std::string_view expression) {
    program_->Compile(expression);
}

std::string_view CompiledTemplate::expression() const {
    return program_->expression;
}

std::string_view CompiledTemplate::Evaluate(std::string_view subject) {
    return program_->Run(subject);
}

bool CompiledTemplate::Affixes(std::string& left, std::string& right) const {
    const Program& p = *program_;
    left.clear();
    right.clear();
    if (p.runsItems) return false;
    if (p.root.form != Form::kSubject) {
        if (p.root.form != Form::kCall || !p.root.fixedArgs) return false;
        if (p.root.fn == detail::LookupFunction("addleft")) left.assign(p.root.args.a1);
        else if (p.root.fn == detail::LookupFunction("addright")) right.assign(p.root.args.a1);
        else return false;
    }
    // Literal text after the call follows the value.
    for (const Program::TailPart& part : p.tail) {
        if (part.call) return false;
        right.append(p.Literal(part.literal));
    }
    return true;
}

bool CompiledTemplate::SingleRegRep(std::string& pattern, std::string& replacement) const {
    const Program& p = *program_;
    if (p.runsItems || !p.tail.empty() || p.root.form != Form::kCall || !p.root.fixedArgs ||
        p.root.fn != detail::LookupFunction("regrep"))
        return false;
    detail::RegRepTexts(p.root.args.all, pattern, replacement);
    return true;
}

TemplateCache::TemplateCache(std::size_t capacity) : entries_(std::max<std::size_t>(capacity, 1)) {}

std::string_view TemplateCache::Evaluate(std::string_view subject, std::string_view expression) {
    ++clock_;
    Entry* oldest = &entries_.front();
    for (Entry& e : entries_) {
        if (e.used && e.compiled.expression() == expression) {
            e.lastUse = clock_;
            return e.compiled.Evaluate(subject);
        }
        if (e.lastUse < oldest->lastUse) oldest = &e;
    }
    oldest->compiled.Compile(expression);
    oldest->used = true;
    oldest->lastUse = clock_;
    return oldest->compiled.Evaluate(subject);
}

}  // namespace ferro
