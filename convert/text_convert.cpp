#include "convert/text_convert.h"

#include <array>

#include "convert/convert_item.h"
#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

std::string TxtTo(std::string_view source, std::string_view argument) {
    const std::string target = NewFilePath(source, argument);
    if (target.empty()) return {};
    const bool toCsv = NormalizeExtension(argument) == "csv";
    const LineList in = LoadTextLines(source);
    LineList out;
    out.reserve(in.size(), in.byteSize());
    std::string line;
    for (std::size_t i = 0; i < in.size(); ++i) {
        ProcessPendingMessages();
        line.assign(in[i]);
        if (toCsv)
            for (char& c : line)
                if (c == '\t') c = ',';
        out.push_back(line);
    }
    SaveTextLines(target, out);
    return target;
}

namespace {

// Columns of the table, in order, with the line prefixes that fill them.
enum Column { kName, kCell, kTel, kEmail, kOrg, kAddr, kColumns };

struct Prefix {
    std::string_view text;
    Column column;
};
constexpr std::array<Prefix, 7> kPrefixes = {{
    {"N:", kName},
    {"FN:", kName},
    {"TEL;CELL", kCell},
    {"TEL;WORK", kTel},
    {"EMAIL", kEmail},
    {"ORG", kOrg},
    {"ADR", kAddr},
}};
constexpr std::array<std::string_view, kColumns> kHeaders = {"Name",  "Cell", "Tel",
                                                             "Email", "Org",  "Address"};

bool StartsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// The text after the first ":", or the whole line when it has none.
std::string_view PropertyValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? line : line.substr(colon + 1);
}

}  // namespace

LineList VcardTable(const LineList& card, char separator) {
    LineList out;
    std::string header;
    for (std::size_t c = 0; c < kColumns; ++c) {
        if (c) header.push_back(separator);
        header.append(kHeaders[c]);
    }
    out.push_back(header);

    // Each column is filled by the first matching line of a card; the values
    // are kept apart from the separators so that no value is ever read as a
    // placeholder or a column of another line.
    std::array<std::string, kColumns> values;
    std::array<bool, kColumns> filled{};
    std::string record;
    for (std::size_t i = 0; i < card.size(); ++i) {
        ProcessPendingMessages();
        const std::string_view line = card[i];
        for (const Prefix& p : kPrefixes) {
            if (!StartsWith(line, p.text)) continue;
            if (!filled[p.column]) {
                values[p.column].assign(PropertyValue(line));
                filled[p.column] = true;
            }
            break;
        }
        if (!StartsWith(line, "END:")) continue;
        record.clear();
        for (std::size_t c = 0; c < kColumns; ++c) {
            if (c) record.push_back(separator);
            for (char ch : values[c])
                if (ch != ';') record.push_back(ch);
            values[c].clear();
            filled[c] = false;
        }
        out.push_back(record);
    }
    return out;
}

std::string VcfTo(std::string_view source, std::string_view argument) {
    const std::string ext = NormalizeExtension(argument);
    char separator;
    if (ext == "csv")
        separator = ',';
    else if (ext == "txt")
        separator = '\t';
    else
        return {};
    const std::string target = NewFilePath(source, argument);
    SaveTextLines(target, VcardTable(LoadTextLines(source), separator));
    return target;
}

}  // namespace ferro
