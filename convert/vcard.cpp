#include "convert/vcard.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "convert/sheet_text.h"
#include "convert/source_text.h"
#include "platform/codec.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {
namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && AnsiUpper(s.substr(0, prefix.size())) == prefix;
}

std::string_view Unquoted(std::string_view s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// Splits at sep outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        if (s[i] == sep && !quoted) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// Position of the ":" that ends a property's name and parameters, or npos.
std::size_t ValueColon(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) return i;
    }
    // An unbalanced quote: the first ":" then.
    return line.find(':');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out.push_back(s[i]);
            continue;
        }
        const int hi = i + 1 < s.size() ? HexValue(s[i + 1]) : -1;
        const int lo = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
        if (hi >= 0 && lo >= 0) {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else if (i + 1 < s.size()) {
            out.push_back('=');  // not an escape: kept as written
        }
        // A "=" at the very end is a soft line break: nothing.
    }
    return out;
}

std::string DecodeBase64(std::string_view s) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : s) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '-')
            v = 62;
        else if (c == '/' || c == '_')
            v = 63;
        else if (c == '=')
            break;
        else
            continue;  // blanks of folded lines
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool ValidUtf8(std::string_view s) { return IsAscii(s) || IsMultiByteUtf8(s); }

enum class Encoding { None, QuotedPrintable, Base64 };

Encoding EncodingNamed(std::string_view text) {
    const std::string v = AnsiUpper(Trim(Unquoted(Trim(text))));
    if (v == "QUOTED-PRINTABLE") return Encoding::QuotedPrintable;
    if (v == "BASE64" || v == "B") return Encoding::Base64;
    return Encoding::None;
}

// Bytes of a text together with the character set they say they are in.
struct Tagged {
    std::string bytes;
    std::string charset;  // empty: none given
};

// One property of a card, its value decoded from its transfer encoding but
// still in the character set it was written in.
struct Property {
    std::string group;               // upper case; empty when none
    std::string name;                // upper case
    std::vector<std::string> types;  // upper case, raw bytes
    std::vector<Tagged> labels;      // vendor labels given as parameters
    bool encoded = false;            // QUOTED-PRINTABLE or base64
    std::string charset;             // as written; empty when none is given
    std::string value;
};

// The properties the table uses, and the labels of numbers.
bool Wanted(std::string_view name) {
    return name == "N" || name == "FN" || name == "TEL" || name == "EMAIL" || name == "ORG" ||
           name == "ADR" || name == "X-ABLABEL";
}

// The label of Android's "X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,
// =E6=89=8B=E6=9C=BA)" type: the last of its items, decoded.
Tagged CustomLabel(std::string_view inner) {
    Tagged label;
    const std::vector<std::string_view> items = SplitOutsideQuotes(inner, ',');
    Encoding encoding = Encoding::None;
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        const std::size_t eq = items[i].find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = AnsiUpper(Trim(items[i].substr(0, eq)));
        if (key == "CHARSET") label.charset = Trim(Unquoted(Trim(items[i].substr(eq + 1))));
        if (key == "ENCODING") encoding = EncodingNamed(items[i].substr(eq + 1));
    }
    const std::string last = Trim(items.back());
    label.bytes = encoding == Encoding::QuotedPrintable ? DecodeQuotedPrintable(last)
                  : encoding == Encoding::Base64        ? DecodeBase64(last)
                                                        : last;
    return label;
}

// Reads one unfolded line; false when it holds no ":".
bool ReadProperty(std::string_view line, Property& p) {
    const std::size_t colon = ValueColon(line);
    if (colon == std::string_view::npos) return false;
    p = Property();
    const std::vector<std::string_view> head = SplitOutsideQuotes(line.substr(0, colon), ';');
    std::string_view name = head[0];
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        p.group = AnsiUpper(Trim(name.substr(0, dot)));
        name.remove_prefix(dot + 1);
    }
    p.name = AnsiUpper(Trim(name));
    Encoding encoding = Encoding::None;
    for (std::size_t i = 1; i < head.size(); ++i) {
        const std::string param = Trim(head[i]);
        if (StartsWithNoCase(param, "X-CUSTOM(") && param.back() == ')') {
            p.labels.push_back(CustomLabel(std::string_view(param).substr(9, param.size() - 10)));
            continue;
        }
        const std::size_t eq = param.find('=');
        if (eq == std::string::npos) {
            // A bare 2.1 parameter: an encoding or a type.
            const Encoding e = EncodingNamed(param);
            const std::string v = AnsiUpper(Trim(Unquoted(param)));
            if (e != Encoding::None)
                encoding = e;
            else if (!v.empty() && v != "8BIT" && v != "7BIT")
                p.types.push_back(v);
            continue;
        }
        const std::string key = AnsiUpper(Trim(std::string_view(param).substr(0, eq)));
        const std::string_view value = std::string_view(param).substr(eq + 1);
        if (key == "TYPE") {
            for (std::string_view part : SplitOutsideQuotes(value, ',')) {
                // The trimmed part must outlive the views the split hands out.
                const std::string trimmed = Trim(part);
                for (std::string_view t : SplitOutsideQuotes(Unquoted(trimmed), ',')) {
                    const std::string v = AnsiUpper(Trim(Unquoted(Trim(t))));
                    if (!v.empty()) p.types.push_back(v);
                }
            }
        } else if (key == "ENCODING") {
            encoding = EncodingNamed(value);
        } else if (key == "CHARSET") {
            p.charset = Trim(Unquoted(Trim(value)));
        }
    }
    const std::string_view value = line.substr(colon + 1);
    p.encoded = encoding != Encoding::None;
    p.value = encoding == Encoding::QuotedPrintable ? DecodeQuotedPrintable(value)
              : encoding == Encoding::Base64        ? DecodeBase64(value)
                                                    : std::string(value);
    return true;
}

struct Card {
    int version = 0;  // 21, 30, 40; 0 when no VERSION line was seen
    std::vector<Property> properties;
};

// The cards of the text, line by line: folded lines unfolded, quoted-
// printable soft breaks joined.
class CardSplitter {
public:
    void Line(std::string_view line) {
        Property p;
        if (!ReadProperty(line, p)) return;
        if (p.name == "VERSION") {
            const std::string v = Trim(p.value);
            current_.version = v.rfind("2.", 0) == 0 ? 21 : v.rfind("3.", 0) == 0 ? 30 : 40;
        } else if (p.name == "END") {
            cards_.push_back(std::move(current_));
            current_ = Card();
        } else if (Wanted(p.name)) {
            current_.properties.push_back(std::move(p));
        }
    }
    // Whether the line is a quoted-printable value ending in a soft break.
    static bool SoftBreak(std::string_view line) {
        if (line.empty() || line.back() != '=') return false;
        const std::size_t colon = ValueColon(line);
        if (colon == std::string_view::npos) return false;
        for (std::string_view param : SplitOutsideQuotes(line.substr(0, colon), ';')) {
            const std::size_t eq = param.find('=');
            if (EncodingNamed(eq == std::string_view::npos ? param : param.substr(eq + 1)) ==
                Encoding::QuotedPrintable)
                return true;
        }
        return false;
    }
    // vCard 2.1 keeps the blank that folds a line; later versions drop it.
    bool KeepsFoldBlank() const { return current_.version == 21; }
    std::vector<Card> Take() { return std::move(cards_); }

private:
    Card current_;
    std::vector<Card> cards_;
};

std::vector<Card> SplitCards(std::string_view bytes) {
    CardSplitter splitter;
    std::string logical;
    bool have = false;
    std::size_t pos = 0;
    const std::size_t n = bytes.size();
    while (pos < n) {
        ProcessPendingMessages();
        std::size_t end = pos;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        const std::string_view line(bytes.data() + pos, end - pos);
        pos = end;
        if (pos < n && bytes[pos] == '\r') {
            ++pos;
            if (pos < n && bytes[pos] == '\n') ++pos;
        } else if (pos < n) {
            ++pos;
        }
        if (have) {
            if (CardSplitter::SoftBreak(logical)) {
                logical.pop_back();
                logical.append(line);
                continue;
            }
            if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
                logical.append(splitter.KeepsFoldBlank() ? line : line.substr(1));
                continue;
            }
            splitter.Line(logical);
        }
        logical.assign(line);
        have = true;
    }
    if (have) splitter.Line(logical);
    return splitter.Take();
}

// --- character sets ------------------------------------------------------

// How the values of one card without a CHARSET of their own are read.
struct CardSets {
    bool utf8 = true;     // its plain values are UTF-8 (or ASCII)
    std::string legacy;   // else: the legacy set they are in; empty: GBK
};

// A value without a CHARSET that is not UTF-8: one of the card's plain
// values when they are not UTF-8 throughout, or an encoded value that is
// not UTF-8 by itself.
bool IsLegacy(const Property& p, bool cardUtf8) {
    if (!p.charset.empty() || IsAscii(p.value)) return false;
    return p.encoded ? !IsMultiByteUtf8(p.value) : !cardUtf8;
}

bool PlainValuesAreUtf8(const Card& card) {
    std::string plain;
    for (const Property& p : card.properties)
        if (!p.encoded && p.charset.empty()) plain += p.value + '\n';
    return ValidUtf8(plain);
}

std::string ToGbk(const Tagged& text, const CardSets& sets, bool encoded) {
    if (IsAscii(text.bytes)) return text.bytes;
    if (!text.charset.empty()) {
        // A plain value in a UTF-8 card is UTF-8, whatever it says.
        if (!encoded && sets.utf8 && IsMultiByteUtf8(text.bytes)) return Utf8ToGbk(text.bytes);
        return CharsetToGbk(text.bytes, text.charset);
    }
    if (encoded ? IsMultiByteUtf8(text.bytes) : sets.utf8) return Utf8ToGbk(text.bytes);
    if (sets.legacy.empty()) return text.bytes;
    std::string gbk;
    return CodePageToGbkStrict(text.bytes, sets.legacy.c_str(), gbk) ? gbk : text.bytes;
}

std::string ValueGbk(const Property& p, const CardSets& sets) {
    return ToGbk(Tagged{p.value, p.charset}, sets, p.encoded);
}

// --- structured values ---------------------------------------------------

// The components of a structured value (N, ADR, ORG), each a list of
// values: ";" between components and, from vCard 3.0, "," between the values
// of one. Escapes are undone: "\n" a line break, "\," "\;" "\\" the
// character itself.
using Components = std::vector<std::vector<std::string>>;

Components SplitComponents(std::string_view gbk, bool lists) {
    Components out(1, std::vector<std::string>(1));
    std::size_t i = 0;
    while (i < gbk.size()) {
        const char c = gbk[i];
        if (c == ';') {
            out.emplace_back(1);
            ++i;
            continue;
        }
        if (c == ',' && lists) {
            out.back().emplace_back();
            ++i;
            continue;
        }
        if (c == '\\' && i + 1 < gbk.size()) {
            const char next = gbk[i + 1];
            if (next == 'n' || next == 'N') {
                out.back().back().push_back('\n');
                i += 2;
                continue;
            }
            if (next == ',' || next == ';' || next == '\\' || next == ':') {
                out.back().back().push_back(next);
                i += 2;
                continue;
            }
        }
        const std::size_t len = CharLength(gbk, i);
        out.back().back().append(gbk.substr(i, len));
        i += len;
    }
    for (auto& values : out)
        for (std::string& v : values) v = Trim(v);
    return out;
}

// Whether the text holds a character of Chinese, Japanese or Korean
// (ideographs, kana, hangul, their punctuation and full-width forms).
bool HasCjk(std::string_view gbk) {
    if (IsAscii(gbk)) return false;
    for (char16_t c : GbkToUtf16(gbk)) {
        if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) ||
            (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
            (c >= 0xD840 && c <= 0xD87F) ||  // high surrogates of the ideograph planes
            (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF))
            return true;
    }
    return false;
}

// The non-empty texts joined by sep, a text equal to the one before it
// written once.
std::string JoinParts(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    const std::string* last = nullptr;
    for (const std::string& p : parts) {
        if (p.empty() || (last && *last == p)) continue;
        if (!out.empty()) out.append(sep);
        out.append(p);
        last = &p;
    }
    return out;
}

const std::vector<std::string>& Component(const Components& c, std::size_t i) {
    static const std::vector<std::string> none;
    return i < c.size() ? c[i] : none;
}

bool AnyCjk(const Components& c) {
    for (const auto& values : c)
        for (const std::string& v : values)
            if (HasCjk(v)) return true;
    return false;
}

// Components in the order given, each one's values joined as its script
// joins words.
std::string Compose(const Components& c, std::initializer_list<std::size_t> order, bool cjk,
                    std::string_view latinSep) {
    std::vector<std::string> parts;
    for (std::size_t i : order) parts.push_back(JoinParts(Component(c, i), cjk ? "" : " "));
    return JoinParts(parts, cjk ? "" : latinSep);
}

// N: family; given; additional; prefixes; suffixes.
std::string ComposeName(const Components& n) {
    const bool cjk = AnyCjk(n);
    if (cjk) return Compose(n, {3, 0, 1, 2, 4}, true, "");
    return Compose(n, {3, 1, 2, 0, 4}, false, " ");
}

// ADR: post office box; extended address; street; locality; region;
// postal code; country.
std::string ComposeAddress(const Components& a) {
    if (AnyCjk(a)) {
        // Largest first, written together; the postal code ahead, apart.
        const std::string code = JoinParts(Component(a, 5), " ");
        const std::string rest = Compose(a, {6, 4, 3, 2, 1, 0}, true, "");
        return JoinParts({code, rest}, " ");
    }
    std::vector<std::string> parts;
    for (std::size_t i : {0, 2, 1, 3}) parts.push_back(JoinParts(Component(a, i), ", "));
    parts.push_back(JoinParts({JoinParts(Component(a, 4), ", "), JoinParts(Component(a, 5), " ")},
                              " "));
    parts.push_back(JoinParts(Component(a, 6), ", "));
    return JoinParts(parts, ", ");
}

// A text value whose components are words of one line: FN, ORG.
std::string ComposeText(const Components& c) {
    const bool cjk = AnyCjk(c);
    std::vector<std::string> parts;
    for (const auto& values : c) parts.push_back(JoinParts(values, cjk ? "" : ", "));
    return JoinParts(parts, cjk ? "" : " ");
}

// --- numbers -------------------------------------------------------------

// Words for a mobile in types and labels (upper case for the Latin ones).
bool NamesMobile(std::string_view gbk) {
    static const std::vector<std::string> cjk = [] {
        std::vector<std::string> w;
        for (const char16_t* t : {u"手机", u"手機", u"移动电话", u"行动电话", u"行動電話", u"携帯",
                                  u"携帯電話", u"휴대폰", u"휴대전화", u"핸드폰"})
            w.push_back(Utf16ToGbk(t));
        return w;
    }();
    for (const std::string& w : cjk)
        if (gbk.find(w) != std::string_view::npos) return true;
    const std::string upper = AnsiUpper(gbk);
    std::string word;
    auto isMobileWord = [](const std::string& w) {
        return w == "CELL" || w == "CELLULAR" || w == "CELLPHONE" || w == "MOBILE" ||
               w == "MOBIL" || w == "MOBILEPHONE" || w == "IPHONE" || w == "HANDY" ||
               w == "PORTABLE" || w == "GSM";
    };
    for (std::size_t i = 0; i <= upper.size(); ++i) {
        const char c = i < upper.size() ? upper[i] : ' ';
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word.push_back(c);
            continue;
        }
        if (isMobileWord(word)) return true;
        word.clear();
    }
    return false;
}

// Types that say nothing of the kind of line.
bool NeutralType(std::string_view t) {
    return t == "PREF" || t == "VOICE" || t == "TEXT" || t == "MSG";
}

// Digits of a number, with "+" where it begins with one.
std::string Digits(std::string_view number) {
    std::string d;
    for (char c : number) {
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '+' && d.empty())) d.push_back(c);
    }
    return d;
}

// A mobile number of China by its shape: 11 digits, 1 then 3 to 9, with or
// without the country code (+86, 0086, 86); blanks, dashes, dots and
// parentheses between them.
bool ChinaMobileShape(std::string_view number) {
    for (char c : number) {
        if (!std::isdigit(static_cast<unsigned char>(c)) &&
            std::string_view(" -.()+").find(c) == std::string_view::npos)
            return false;
    }
    std::string d = Digits(number);
    if (d.rfind("+86", 0) == 0)
        d.erase(0, 3);
    else if (d.rfind("0086", 0) == 0)
        d.erase(0, 4);
    else if (d.size() == 13 && d.rfind("86", 0) == 0)
        d.erase(0, 2);
    return d.size() == 11 && d[0] == '1' && d[1] >= '3' && d[1] <= '9';
}

// Label values of Apple's "item1.X-ABLabel:_$!<Mobile>!$_" form, unwrapped.
std::string Unwrapped(std::string label) {
    if (label.rfind("_$!<", 0) == 0 && label.size() >= 8 &&
        label.compare(label.size() - 4, 4, ">!$_") == 0)
        label = label.substr(4, label.size() - 8);
    return label;
}

// Values of a list column, each once: a value whose key (the digits of a
// number, an address in any case) is there already is dropped.
class ListColumn {
public:
    void Add(const std::string& value, const std::string& key) {
        if (value.empty() || Has(key)) return;
        keys_.push_back(key);
        values_.push_back(value);
    }
    bool Has(const std::string& key) const {
        return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
    }
    std::string Joined() const { return JoinParts(values_, "; "); }

private:
    std::vector<std::string> keys_, values_;
};

struct Number {
    std::string text;
    std::string key;
    bool mobile = false;
};

Number NumberOf(const Property& p, const CardSets& sets,
                const std::map<std::string, std::string>& groupLabels) {
    Number n;
    n.text = Trim(ValueGbk(p, sets));
    if (StartsWithNoCase(n.text, "TEL:")) n.text = Trim(n.text.substr(4));
    n.key = Digits(n.text).empty() ? n.text : Digits(n.text);
    bool typed = false;
    for (const std::string& t : p.types) {
        n.mobile = n.mobile || NamesMobile(ToGbk(Tagged{t, {}}, sets, false));
        typed = typed || !NeutralType(t);
    }
    std::vector<std::string> labels;
    for (const Tagged& label : p.labels) labels.push_back(ToGbk(label, sets, true));
    if (const auto it = groupLabels.find(p.group); !p.group.empty() && it != groupLabels.end())
        labels.push_back(it->second);
    for (const std::string& l : labels) {
        n.mobile = n.mobile || NamesMobile(l);
        typed = true;
    }
    if (!typed && ChinaMobileShape(n.text)) n.mobile = true;
    return n;
}

VcardContact ContactOf(const Card& card, const CardSets& sets) {
    VcardContact c;
    const bool escapes = card.version != 21;
    std::string fn, n;
    std::map<std::string, std::string> groupLabels;  // group -> label (GBK)
    for (const Property& p : card.properties)
        if (p.name == "X-ABLABEL" && !p.group.empty())
            groupLabels[p.group] = Unwrapped(Trim(ValueGbk(p, sets)));

    std::vector<Number> numbers;
    ListColumn emails;
    for (const Property& p : card.properties) {
        const std::string& name = p.name;
        if (name == "TEL") {
            numbers.push_back(NumberOf(p, sets, groupLabels));
            continue;
        }
        if (name == "X-ABLABEL") continue;
        const std::string text = ValueGbk(p, sets);
        if (name == "FN") {
            if (fn.empty()) fn = ComposeText(SplitComponents(text, false));
        } else if (name == "N") {
            if (n.empty()) n = ComposeName(SplitComponents(text, escapes));
        } else if (name == "ORG") {
            if (c.org.empty()) c.org = ComposeText(SplitComponents(text, false));
        } else if (name == "ADR") {
            if (c.addr.empty()) c.addr = ComposeAddress(SplitComponents(text, escapes));
        } else if (name == "EMAIL") {
            const std::string address = ComposeText(SplitComponents(text, false));
            emails.Add(address, AnsiLower(address));
        }
    }
    c.name = fn.empty() ? n : fn;
    // A number given both as a mobile and as another kind is a mobile.
    ListColumn cells, tels;
    for (const Number& number : numbers)
        if (number.mobile) cells.Add(number.text, number.key);
    for (const Number& number : numbers)
        if (!cells.Has(number.key)) tels.Add(number.text, number.key);
    c.cell = cells.Joined();
    c.tel = tels.Joined();
    c.email = emails.Joined();
    return c;
}

}  // namespace

std::vector<VcardContact> ReadVcards(std::string bytes) {
    // A byte-order mark says so for the whole file.
    bool marked = true;
    switch (DetectEncoding(bytes)) {
        case FoundEncoding::Utf8Bom:
            bytes.erase(0, 3);
            break;
        case FoundEncoding::Utf16Le:
        case FoundEncoding::Utf16Be:
            bytes = GbkToUtf8(SourceTextToGbk(std::move(bytes)));
            break;
        default:
            marked = false;
    }
    const std::vector<Card> cards = SplitCards(bytes);
    std::vector<CardSets> sets(cards.size());
    // The legacy values of every card, for the detector to judge at once.
    std::string legacy;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        sets[i].utf8 = marked || PlainValuesAreUtf8(cards[i]);
        for (const Property& p : cards[i].properties)
            if (!marked && IsLegacy(p, sets[i].utf8)) legacy += p.value + '\n';
    }
    const std::string detected = legacy.empty() ? std::string() : DetectLegacyCharset(legacy);
    std::vector<VcardContact> contacts;
    contacts.reserve(cards.size());
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (!detected.empty()) {
            // Only a card the set reads throughout is read in it.
            bool clean = true;
            std::string gbk;
            for (const Property& p : cards[i].properties)
                if (IsLegacy(p, sets[i].utf8))
                    clean = clean && CodePageToGbkStrict(p.value, detected.c_str(), gbk);
            if (clean) sets[i].legacy = detected;
        }
        contacts.push_back(ContactOf(cards[i], sets[i]));
    }
    return contacts;
}

LineList VcardTable(const std::vector<VcardContact>& contacts, char separator) {
    LineList out;
    const char* headers[] = {"Name", "Cell", "Tel", "Email", "Org", "Address"};
    std::string line;
    for (std::size_t c = 0; c < 6; ++c) {
        if (c) line.push_back(separator);
        line.append(headers[c]);
    }
    out.push_back(line);
    const char special[] = {separator, '"', '\n'};
    for (const VcardContact& card : contacts) {
        ProcessPendingMessages();
        line.clear();
        const std::string* fields[] = {&card.name, &card.cell,  &card.tel,
                                       &card.email, &card.org, &card.addr};
        for (std::size_t c = 0; c < 6; ++c) {
            if (c) line.push_back(separator);
            // Line breaks in one form: LF.
            std::string v;
            v.reserve(fields[c]->size());
            const std::string& f = *fields[c];
            for (std::size_t i = 0; i < f.size(); ++i) {
                if (f[i] == '\r') {
                    v.push_back('\n');
                    if (i + 1 < f.size() && f[i + 1] == '\n') ++i;
                } else {
                    v.push_back(f[i]);
                }
            }
            AppendQuotedField(line, v, std::string_view(special, sizeof special));
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace ferro
