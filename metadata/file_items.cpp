#include "metadata/file_items.h"

#include <algorithm>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/text.h"
#include "template/datetime_format.h"

namespace ferro {
namespace {

struct ItemName {
    std::string_view name;
    FileItemKind kind;
    FileValueSet reads;      // values of the contents it needs
    const char16_t* reason;  // when the file lacks it
};

constexpr ItemName kItems[] = {
    {"modtime", FileItemKind::ModTime, 0, u""},
    {"cretime", FileItemKind::CreTime, 0, u""},
    {"takentime", FileItemKind::TakenTime, Bit(FileValue::TakenTime), u"没有拍摄时间"},
    {"camera", FileItemKind::Camera, Bit(FileValue::Camera), u"没有相机型号"},
    {"width", FileItemKind::Width, Bit(FileValue::Width), u"没有宽度"},
    {"height", FileItemKind::Height, Bit(FileValue::Height), u"没有高度"},
    {"artist", FileItemKind::Artist, Bit(FileValue::Artist), u"没有艺术家"},
    {"title", FileItemKind::Title, Bit(FileValue::Title), u"没有标题"},
    {"album", FileItemKind::Album, Bit(FileValue::Album), u"没有专辑"},
    {"year", FileItemKind::Year, Bit(FileValue::Year), u"没有年份"},
    {"track", FileItemKind::Track, Bit(FileValue::Track), u"没有音轨号"},
    {"duration", FileItemKind::Duration, Bit(FileValue::Duration), u"没有时长"},
    {"doctitle", FileItemKind::DocTitle, Bit(FileValue::DocTitle), u"没有文档标题"},
    {"author", FileItemKind::Author, Bit(FileValue::Author), u"没有作者"},
    {"pages", FileItemKind::Pages, Bit(FileValue::Pages), u"没有页数"},
    {"md5", FileItemKind::Md5, Bit(FileValue::Md5), u""},
    {"crc32", FileItemKind::Crc32, Bit(FileValue::Crc32), u""},
};

const ItemName& NameOf(FileItemKind kind) { return kItems[static_cast<std::size_t>(kind)]; }

bool TakesFormat(FileItemKind k) {
    return k == FileItemKind::ModTime || k == FileItemKind::CreTime ||
           k == FileItemKind::TakenTime || k == FileItemKind::Duration;
}

// The item that begins at the "${" at `at`, when it is one: "${name}",
// "${name()}" or, for the items with an argument, "${name(argument)}".
bool ReadItem(std::string_view pattern, std::size_t at, FileItem& item) {
    std::size_t i = at + 2;
    while (i < pattern.size() &&
           ((pattern[i] >= 'a' && pattern[i] <= 'z') || (pattern[i] >= '0' && pattern[i] <= '9')))
        ++i;
    const std::string_view name = pattern.substr(at + 2, i - at - 2);
    const ItemName* known = nullptr;
    for (const ItemName& n : kItems)
        if (n.name == name) known = &n;
    if (!known || i >= pattern.size()) return false;
    item = FileItem();
    item.kind = known->kind;
    item.at = at;
    std::string_view argument;
    if (pattern[i] == '}') {
        item.length = i + 1 - at;
    } else if (pattern[i] == '(') {
        // As the sequence item: up to the first "}", which ")" comes before.
        const std::size_t close = pattern.find('}', i);
        if (close == std::string_view::npos || pattern[close - 1] != ')') return false;
        item.length = close + 1 - at;
        argument = pattern.substr(i + 1, close - 1 - (i + 1));
        const bool takesArgument = TakesFormat(known->kind) || known->kind == FileItemKind::Track;
        if (!takesArgument && !Trim(argument).empty()) return false;
    } else {
        return false;
    }
    if (item.kind == FileItemKind::Track) {
        std::int32_t digits = 0;
        if (TryStrToInt(Trim(argument), digits)) item.digits = std::clamp(digits, 0, 32);
    } else if (item.kind == FileItemKind::TakenTime) {
        // "${takentime(yyyymmdd,1)}": the last argument says whether the
        // modified time stands in.
        const std::size_t comma = argument.rfind(',');
        if (comma != std::string_view::npos) {
            const std::string flag = Trim(argument.substr(comma + 1));
            if (flag == "0" || flag == "1") {
                item.orModified = flag == "1";
                argument = argument.substr(0, comma);
            }
        }
        item.format.assign(argument);
    } else {
        item.format.assign(argument);
    }
    return true;
}

std::string Number(std::int64_t n, int digits = 0) {
    std::string s = std::to_string(n);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<std::size_t>(digits) - s.size(), '0');
    return s;
}

}  // namespace

FileItems::FileItems(std::string_view pattern) {
    for (std::size_t at = pattern.find("${"); at != std::string_view::npos;
         at = pattern.find("${", at + 1)) {
        FileItem item;
        if (!ReadItem(pattern, at, item)) continue;
        wanted_ |= NameOf(item.kind).reads;
        items_.push_back(std::move(item));
        at = items_.back().at + items_.back().length - 1;
    }
}

int FileItems::ItemAt(std::size_t at) const {
    const auto it = std::lower_bound(items_.begin(), items_.end(), at,
                                     [](const FileItem& item, std::size_t a) { return item.at < a; });
    if (it == items_.end() || it->at != at) return -1;
    return static_cast<int>(it - items_.begin());
}

ItemTexts FileItems::TextsOf(const FileValues& v) const {
    ItemTexts out;
    if (!v.facts.exists) {
        out.why = Undone::Missing;
        return out;
    }
    out.texts.reserve(items_.size());
    for (const FileItem& item : items_) {
        std::string text;
        switch (item.kind) {
            case FileItemKind::ModTime: text = FormatDateTime(item.format, ToLocal(v.facts.modified)); break;
            case FileItemKind::CreTime: text = FormatDateTime(item.format, ToLocal(v.facts.created)); break;
            case FileItemKind::TakenTime:
                if (v.taken) text = FormatDateTime(item.format, *v.taken);
                else if (item.orModified) text = FormatDateTime(item.format, ToLocal(v.facts.modified));
                break;
            case FileItemKind::Camera: text = v.camera; break;
            case FileItemKind::Width: if (v.width > 0) text = Number(v.width); break;
            case FileItemKind::Height: if (v.height > 0) text = Number(v.height); break;
            case FileItemKind::Artist: text = v.artist; break;
            case FileItemKind::Title: text = v.title; break;
            case FileItemKind::Album: text = v.album; break;
            case FileItemKind::Year: if (v.year > 0) text = Number(v.year); break;
            case FileItemKind::Track: if (v.track > 0) text = Number(v.track, item.digits); break;
            case FileItemKind::Duration:
                if (v.durationMs) text = FormatDuration(item.format, *v.durationMs);
                break;
            case FileItemKind::DocTitle: text = v.docTitle; break;
            case FileItemKind::Author: text = v.author; break;
            case FileItemKind::Pages: if (v.pages > 0) text = Number(v.pages); break;
            case FileItemKind::Md5: text = v.md5; break;
            case FileItemKind::Crc32: text = v.crc32; break;
        }
        text = FitForName(text);
        if (text.empty()) {
            const ItemName& name = NameOf(item.kind);
            if (*name.reason) {
                out.why = Undone::NoValue;
                out.detail = Utf16ToGbk(name.reason);
            } else {
                // Times and checksums are missing only when the file could
                // not be read.
                out.why = Undone::CannotRead;
            }
            out.texts.clear();
            return out;
        }
        out.texts.push_back(std::move(text));
    }
    return out;
}

ItemTexts FileItems::TextsFor(std::string_view path, FileValueCache& cache,
                              FileValueReader* reader, std::int64_t priority) const {
    if (wanted_ == 0) {
        // The file's times alone: one look at the file, nothing to keep.
        FileValues facts;
        facts.facts = ReadFileFacts(path);
        return TextsOf(facts);
    }
    if (!reader) return TextsOf(*cache.Get(path, wanted_));
    // What the reader reads goes to its own cache.
    const std::shared_ptr<const FileValues> values = reader->cache().Peek(path, wanted_);
    if (values) return TextsOf(*values);
    reader->Request(path, wanted_, priority);
    ItemTexts out;
    out.pending = true;
    return out;
}

std::string PutInValues(std::string_view pattern, std::initializer_list<PatternVariable> variables,
                        const FileItems& items, const std::vector<std::string>& texts) {
    std::string out;
    out.reserve(pattern.size() + 64);
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] == '$' && i + 1 < pattern.size() && pattern[i + 1] == '{') {
            const std::string_view rest = pattern.substr(i);
            bool matched = false;
            for (const PatternVariable& v : variables) {
                if (!v.name.empty() && rest.starts_with(v.name)) {
                    out += v.value;
                    i += v.name.size();
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
            const int k = items.ItemAt(i);
            if (k >= 0 && static_cast<std::size_t>(k) < texts.size()) {
                out += texts[static_cast<std::size_t>(k)];
                i += items.items()[static_cast<std::size_t>(k)].length;
                continue;
            }
        }
        const std::size_t len = CharLength(pattern, i);
        out.append(pattern.substr(i, len));
        i += len;
    }
    return out;
}

std::string FitForName(std::string_view text) {
    // Blanks at the ends go first: a tab there is no character to keep.
    const std::string trimmed = Trim(text);
    const std::string_view gbk = trimmed;
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t len = CharLength(gbk, i);
        const char c = gbk[i];
        if (len == 1 && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
                         std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos))
            out.push_back('_');
        else
            out.append(gbk.substr(i, len));
        i += len;
    }
    return out;
}

std::string FormatDuration(std::string_view format, std::int64_t milliseconds) {
    if (format.empty()) format = "hhnnss";
    const std::int64_t total = std::max<std::int64_t>(milliseconds, 0) / 1000;
    const std::string lower = AnsiLower(format);
    const bool hours = lower.find('h') != std::string::npos;
    const bool minutes = lower.find('n') != std::string::npos;
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const std::size_t len = CharLength(format, i);
        const char c = len == 1 ? lower[i] : '\0';
        if (c != 'h' && c != 'n' && c != 's') {
            out.append(format.substr(i, len));
            i += len;
            continue;
        }
        const bool twice = i + 1 < format.size() && lower[i + 1] == c;
        std::int64_t value = 0;
        if (c == 'h') value = total / 3600;
        else if (c == 'n') value = hours ? total / 60 % 60 : total / 60;
        else value = hours || minutes ? total % 60 : total;
        out += Number(value, twice ? 2 : 0);
        i += twice ? 2 : 1;
    }
    return out;
}

}  // namespace ferro
