#include "convert/vcard.h"

#include <cctype>

#include "convert/source_text.h"
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

enum class Encoding { None, QuotedPrintable, Base64 };

struct Property {
    std::string name;                // upper case, group removed
    std::vector<std::string> types;  // upper case
    Encoding encoding = Encoding::None;
    std::string charset;  // as written; empty when none is given
    std::string_view value;
};

bool ReadProperty(std::string_view line, Property& p) {
    const std::size_t colon = ValueColon(line);
    if (colon == std::string_view::npos) return false;
    p = Property();
    p.value = line.substr(colon + 1);
    const std::vector<std::string_view> head = SplitOutsideQuotes(line.substr(0, colon), ';');
    std::string_view name = head[0];
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
    p.name = AnsiUpper(Trim(name));
    for (std::size_t i = 1; i < head.size(); ++i) {
        const std::string_view param = head[i];
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos) {
            // A bare 2.1 parameter: an encoding or a type.
            const std::string v = AnsiUpper(Trim(Unquoted(Trim(param))));
            if (v == "QUOTED-PRINTABLE")
                p.encoding = Encoding::QuotedPrintable;
            else if (v == "BASE64" || v == "B")
                p.encoding = Encoding::Base64;
            else if (!v.empty() && v != "8BIT" && v != "7BIT")
                p.types.push_back(v);
            continue;
        }
        const std::string key = AnsiUpper(Trim(param.substr(0, eq)));
        const std::string_view value = param.substr(eq + 1);
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
            const std::string v = AnsiUpper(Trim(Unquoted(Trim(value))));
            if (v == "QUOTED-PRINTABLE")
                p.encoding = Encoding::QuotedPrintable;
            else if (v == "BASE64" || v == "B")
                p.encoding = Encoding::Base64;
        } else if (key == "CHARSET") {
            p.charset = Trim(Unquoted(Trim(value)));
        }
    }
    return true;
}

bool HasType(const Property& p, std::string_view type) {
    for (const std::string& t : p.types)
        if (t == type) return true;
    return false;
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

// A property's value as GBK text, decoded and in the table's character set.
std::string ValueText(const Property& p, bool fileIsUtf8) {
    std::string bytes;
    switch (p.encoding) {
        case Encoding::None:
            bytes.assign(p.value);
            break;
        case Encoding::QuotedPrintable:
            bytes = DecodeQuotedPrintable(p.value);
            break;
        case Encoding::Base64:
            bytes = DecodeBase64(p.value);
            break;
    }
    const bool encoded = p.encoding != Encoding::None;
    if (!p.charset.empty() && (encoded || !fileIsUtf8)) return CharsetToGbk(bytes, p.charset);
    if (encoded) return IsMultiByteUtf8(bytes) ? Utf8ToGbk(bytes) : bytes;
    return fileIsUtf8 ? Utf8ToGbk(bytes) : bytes;
}

// Structured parts written together (the ";" between them dropped). With
// escapes (vCard 3.0 and 4.0), "\n" is a line break and "\," "\;" "\\"
// stand for the character itself.
std::string JoinedParts(std::string_view gbk, bool escapes) {
    std::string out;
    out.reserve(gbk.size());
    std::size_t i = 0;
    while (i < gbk.size()) {
        const char c = gbk[i];
        if (c == ';') {
            ++i;
            continue;
        }
        if (escapes && c == '\\' && i + 1 < gbk.size()) {
            const char next = gbk[i + 1];
            if (next == 'n' || next == 'N') {
                out.push_back('\n');
                i += 2;
                continue;
            }
            if (next == ',' || next == ';' || next == '\\' || next == ':') {
                out.push_back(next);
                i += 2;
                continue;
            }
        }
        const std::size_t len = CharLength(gbk, i);
        out.append(gbk.substr(i, len));
        i += len;
    }
    return out;
}

// Keeps the first non-empty value of a column.
void Offer(std::string& column, std::string value) {
    if (column.empty()) column = std::move(value);
}

class CardReader {
public:
    explicit CardReader(bool fileIsUtf8) : fileIsUtf8_(fileIsUtf8) {}

    // Whether the line is a quoted-printable value ending in a soft break.
    static bool SoftBreak(std::string_view line) {
        if (line.empty() || line.back() != '=') return false;
        Property p;
        return ReadProperty(line, p) && p.encoding == Encoding::QuotedPrintable;
    }
    bool KeepsFoldBlank() const { return version_ == 21; }

    void Line(std::string_view line) {
        Property p;
        if (!ReadProperty(line, p)) return;
        const std::string& n = p.name;
        if (n == "VERSION") {
            const std::string v = Trim(p.value);
            version_ = v.rfind("2.", 0) == 0 ? 21 : v.rfind("3.", 0) == 0 ? 30 : 40;
            return;
        }
        if (n == "END") {
            cards_.push_back(std::move(current_));
            current_ = VcardContact();
            tel_.clear();
            telOther_.clear();
            return;
        }
        if (n != "N" && n != "FN" && n != "TEL" && n != "EMAIL" && n != "ORG" && n != "ADR") return;
        std::string text = JoinedParts(ValueText(p, fileIsUtf8_), version_ >= 30);
        if (text.empty()) return;
        if (n == "N" || n == "FN") {
            Offer(current_.name, std::move(text));
        } else if (n == "TEL") {
            if (StartsWithNoCase(text, "TEL:")) text.erase(0, 4);
            if (HasType(p, "CELL") || HasType(p, "MOBILE"))
                Offer(current_.cell, std::move(text));
            else if (HasType(p, "WORK"))
                Offer(tel_, std::move(text));
            else
                Offer(telOther_, std::move(text));
            current_.tel = tel_.empty() ? telOther_ : tel_;
        } else if (n == "EMAIL") {
            Offer(current_.email, std::move(text));
        } else if (n == "ORG") {
            Offer(current_.org, std::move(text));
        } else {
            Offer(current_.addr, std::move(text));
        }
    }

    std::vector<VcardContact> Take() { return std::move(cards_); }

private:
    bool fileIsUtf8_;
    int version_ = 0;  // 21, 30, 40; 0 until a VERSION line is seen
    VcardContact current_;
    std::string tel_, telOther_;
    std::vector<VcardContact> cards_;
};

}  // namespace

std::vector<VcardContact> ReadVcards(std::string bytes) {
    bool utf8 = true;
    switch (DetectEncoding(bytes)) {
        case FoundEncoding::Gbk:
            utf8 = false;
            break;
        case FoundEncoding::Utf8:
            break;
        case FoundEncoding::Utf8Bom:
            bytes.erase(0, 3);
            break;
        case FoundEncoding::Utf16Le:
        case FoundEncoding::Utf16Be:
            bytes = GbkToUtf8(SourceTextToGbk(std::move(bytes)));
            break;
    }
    CardReader reader(utf8);
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
            if (CardReader::SoftBreak(logical)) {
                logical.pop_back();
                logical.append(line);
                continue;
            }
            if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
                logical.append(reader.KeepsFoldBlank() ? line : line.substr(1));
                continue;
            }
            reader.Line(logical);
        }
        logical.assign(line);
        have = true;
    }
    if (have) reader.Line(logical);
    return reader.Take();
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
            if (separator == ',') {
                if (v.find_first_of(",\"\n") == std::string::npos) {
                    line.append(v);
                    continue;
                }
                line.push_back('"');
                for (char ch : v) {
                    if (ch == '"') line.push_back('"');
                    line.push_back(ch);
                }
                line.push_back('"');
            } else {
                for (char ch : v) line.push_back(ch == '\t' || ch == '\n' ? ' ' : ch);
            }
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace ferro
