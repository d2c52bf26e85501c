#include "convert/outputs.h"

#include <algorithm>

#include "convert/convert.h"
#include "convert/source_check.h"
#include "convert/source_text.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace ferro {

std::string OutputKey(std::string_view path) { return AnsiLower(path); }

std::string SameOutputText(std::string_view earlierSource) {
    return Utf16ToGbk(u"与 ") + std::string(earlierSource) + Utf16ToGbk(u" 的输出同名");
}

const std::string* RunOutputs::WriterOf(std::string_view path) const {
    const auto it = writers_.find(OutputKey(path));
    return it == writers_.end() ? nullptr : &it->second;
}

void RunOutputs::Wrote(std::string_view path, std::string_view source) {
    writers_.emplace(OutputKey(path), std::string(source));
}

std::string SheetNamePart(std::string_view utf8SheetName) {
    std::string name = Utf8ToGbk(utf8SheetName);
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t len = CharLength(name, i);
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (len == 1 && (c < 0x20 || c == 0x7F || std::string_view("\\/:*?\"<>|").find(name[i]) !=
                                                        std::string_view::npos))
            out.push_back('_');
        else
            out.append(name, i, len);
        i += len;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    std::size_t lead = 0;
    while (lead < out.size() && out[lead] == ' ') ++lead;
    out.erase(0, lead);
    return out.empty() ? "_" : out;
}

std::vector<std::string> SheetOutputPaths(std::string_view source, std::string_view argument,
                                          const std::vector<std::string>& utf8SheetNames) {
    std::vector<std::string> paths;
    const std::string ext = NormalizeExtension(argument);
    if (ext.empty()) return paths;
    // NAME: the source without the extension NewFilePath replaces.
    const std::string dotted = NewFilePath(source, "x");
    const std::string stem = dotted.substr(0, dotted.size() - 2);
    std::vector<std::string> keys;
    for (const std::string& sheet : utf8SheetNames) {
        const std::string base = stem + "_" + SheetNamePart(sheet);
        std::string path = base + "." + ext;
        for (int n = 2; std::find(keys.begin(), keys.end(), OutputKey(path)) != keys.end(); ++n)
            path = base + "_" + std::to_string(n) + "." + ext;
        keys.push_back(OutputKey(path));
        paths.push_back(std::move(path));
    }
    return paths;
}

bool WritesEachSheet(ConvertKind kind, std::string_view source, std::string_view extension) {
    if (kind != ConvertKind::XlsTo || (extension != "csv" && extension != "txt")) return false;
    const std::string e = AnsiLower(ExtractFileExt(source));
    return e != ".csv" && e != ".txt" && e != ".tsv" && e != ".tab" && e != ".prn";
}

namespace {

// What the item writes for one source.
std::vector<std::string> OutputsOf(const std::string& source, const ConvertItem& item,
                                   bool eachSheet) {
    const std::string ext = NormalizeExtension(item.argument);
    const std::string single = NewFilePath(source, item.argument);
    if (single.empty()) return {};
    switch (item.kind) {
        case ConvertKind::Unknown:
            return {};
        case ConvertKind::TxtTo:
            return {single};
        case ConvertKind::VcfTo:
            if (ext != "csv" && ext != "txt") return {};
            return {single};
        case ConvertKind::XlsTo:
        case ConvertKind::CsvTo:
            break;
    }
    const std::string sourceExt = AnsiLower(ExtractFileExt(source));
    const bool comma = item.kind == ConvertKind::CsvTo || sourceExt == ".csv";
    const bool tab = item.kind == ConvertKind::XlsTo && sourceExt == ".txt";
    const bool plain = (comma && ext == "txt") || (tab && ext == "csv");
    if (!plain && SpreadsheetFormatCode(item.kind, ext) == 0) return {};
    if (OutputKey(single) == OutputKey(source)) return {};
    if (!eachSheet || !WritesEachSheet(item.kind, source, ext)) return {single};
    std::string bytes;
    std::vector<SheetEntry> sheets;
    if (!ReadFileBytes(source, bytes) || !ReadSheetList(bytes, ExtractFileExt(source), sheets)) {
        const std::string dotted = NewFilePath(source, "x");
        return {dotted.substr(0, dotted.size() - 2) + "_*." + ext};
    }
    std::vector<std::string> names;
    for (const SheetEntry& s : sheets)
        if (!s.hidden || item.hiddenSheets) names.push_back(s.name);
    return SheetOutputPaths(source, item.argument, names);
}

}  // namespace

std::vector<PlannedOutput> PlanOutputs(const std::vector<BatchFile>& files,
                                       std::string_view item, bool eachSheet) {
    const ConvertItem parsed = ParseConvertItem(item);
    std::vector<PlannedOutput> planned;
    std::map<std::string, std::string> writers;  // output key -> source
    for (const BatchFile& f : files) {
        const std::vector<std::string> outputs = OutputsOf(f.path, parsed, eachSheet);
        std::string sameAs;
        for (const std::string& o : outputs) {
            const auto it = writers.find(OutputKey(o));
            if (it != writers.end() && it->second != f.path) {
                sameAs = it->second;
                break;
            }
        }
        for (const std::string& o : outputs) {
            // A source left undone writes nothing a later one could meet.
            if (sameAs.empty()) writers.emplace(OutputKey(o), f.path);
            planned.push_back(PlannedOutput{f.row, f.path, o, FileExists(o), sameAs});
        }
    }
    return planned;
}

}  // namespace ferro
