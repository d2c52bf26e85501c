#include "fileops/search.h"

#include <climits>

#include "platform/error.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The whole number of digits * 10^shift, cut towards zero and held at
// INT64_MAX.
int64_t ScaledDigits(std::string_view digits, int64_t shift) {
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    if (shift < 0) {
        const uint64_t drop = static_cast<uint64_t>(-shift);
        if (drop >= digits.size()) return 0;
        digits.remove_suffix(static_cast<std::size_t>(drop));
        shift = 0;
    }
    if (digits.empty()) return 0;
    if (static_cast<int64_t>(digits.size()) + shift > 19) return INT64_MAX;
    uint64_t v = 0;
    for (char c : digits) v = v * 10 + static_cast<uint64_t>(c - '0');
    for (int64_t i = 0; i < shift; ++i) v *= 10;  // at most 19 digits in all: no wrap
    return v > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(v);
}

bool DateInRange(const FindEntry& e, const SearchBounds& b) {
    FileTime t = e.lastWriteTime;
    if (b.date == SearchDate::Creation)
        t = e.creationTime;
    else if (b.date == SearchDate::LastAccess)
        t = e.lastAccessTime;
    const DateTime d = ToLocal(t);
    const int64_t day = DaysFromCivil(d.year, d.month, d.day);
    return day >= b.minDay && day <= b.maxDay;
}

bool IsDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

}  // namespace

bool TryParseSizeBound(std::string_view text, int64_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t intStart = i;
    while (i < n && IsDigit(text[i])) ++i;
    const std::size_t intEnd = i;
    std::size_t fracStart = i, fracEnd = i;
    if (i < n && text[i] == '.') {
        fracStart = ++i;
        while (i < n && IsDigit(text[i])) ++i;
        fracEnd = i;
    }
    if (intEnd == intStart && fracEnd == fracStart) return false;
    int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i >= n || !IsDigit(text[i])) return false;
        for (; i < n && IsDigit(text[i]); ++i)
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
        if (expNegative) exponent = -exponent;
    }
    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return false;

    std::string digits(text.substr(intStart, intEnd - intStart));
    digits.append(text.substr(fracStart, fracEnd - fracStart));
    const int64_t magnitude =
        ScaledDigits(digits, exponent - static_cast<int64_t>(fracEnd - fracStart));
    value = negative ? -magnitude : magnitude;
    return true;
}

int64_t SizeBoundValue(std::string_view text) {
    int64_t v = 0;
    if (!TryParseSizeBound(text, v))
        throw Error("'" + std::string(text) + "' is not a valid floating point value");
    return v;
}

std::string FileTimeToText(std::string_view format, FileTime t) {
    const DateTime d = ToLocal(t);
    std::string out;
    out.reserve(format.size() + 4);
    auto two = [&out](int v) {
        out.push_back(static_cast<char>('0' + v / 10 % 10));
        out.push_back(static_cast<char>('0' + v % 10));
    };
    auto at = [&](std::size_t i, std::string_view token) {
        if (format.size() - i < token.size()) return false;
        for (std::size_t k = 0; k < token.size(); ++k)
            if (LowerAscii(format[i + k]) != token[k]) return false;
        return true;
    };
    for (std::size_t i = 0; i < format.size();) {
        if (at(i, "yyyy")) {
            const std::string year = std::to_string(d.year);
            out.append(year.size() < 4 ? 4 - year.size() : 0, '0');
            out += year;
            i += 4;
            continue;
        }
        const char c = LowerAscii(format[i]);
        int value = -1;
        if (at(i, "mm"))
            value = d.month;
        else if (at(i, "dd"))
            value = d.day;
        else if (at(i, "hh"))
            value = d.hour;
        else if (at(i, "nn"))
            value = d.minute;
        else if (at(i, "ss"))
            value = d.second;
        if (value >= 0 && (c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's')) {
            two(value);
            i += 2;
            continue;
        }
        // A double-byte character goes along whole, so its trail byte is
        // never read as a letter of the pattern.
        const std::size_t len = CharLength(format, i);
        out.append(format.substr(i, len));
        i += len;
    }
    return out;
}

std::vector<std::string> SplitMasks(std::string_view masks) {
    std::vector<std::string> out;
    std::size_t p;
    while ((p = masks.find(';')) != std::string_view::npos) {
        out.emplace_back(masks.substr(0, p));
        masks.remove_prefix(p + 1);
    }
    out.emplace_back(masks);
    return out;
}

int SearchRowCount(const FileList& list) {
    return list.IsEmpty() ? 0 : list.RowCount() - 1;
}

void SearchFolder(FileList& list, SearchHost& host, const MaskMatcher& mask, std::string_view root,
                  std::string_view sub) {
    const SearchBounds bounds = host.ReadBounds();
    if (mask.empty()) return;

    const std::string trimmedRoot = Trim(root);
    std::string folder = trimmedRoot;
    if (!sub.empty()) {
        folder.push_back(kPathSep);
        folder.append(sub);
    }
    // A root typed as a link to a folder is read through the link (only the
    // entries found inside are held to the attribute sets).
    std::string openAs = folder;
    if (sub.empty() && !openAs.empty() && openAs.back() != kPathSep) openAs.push_back(kPathSep);

    // One listing serves both passes: the sub-folders are the folder entries
    // of the same listing, in the same order, kept aside by the file pass.
    FolderReader reader;
    DirItem item;
    FindEntry entry;
    std::vector<DirItem> folders;
    const bool opened = reader.Open(openAs);
    bool stopped = false;
    while (opened && reader.Next(item)) {
        if (host.StopRequested()) {
            stopped = true;
            break;
        }
        ProcessPendingMessages();
        // Files, links and devices never hold rows below them: only folders
        // need their attributes in the sub-folder pass.
        if ((item.kind == DirItem::Folder || item.kind == DirItem::Unknown) &&
            !IsDotOrDotDot(item.name))
            folders.push_back(item);
        // "." and ".." stand for the folder itself and its parent, never for
        // a file of the folder, whatever their attributes.
        if (IsDotOrDotDot(item.name) || !mask.Matches(item.name)) continue;
        if (!reader.Stat(item, entry)) continue;  // gone since the listing
        const uint32_t a = entry.attributes;
        if ((a & kSearchFileSet) == attr::Directory || (a & ~kSearchFileSet) != 0) continue;
        if (host.SizeFilterOn() && (entry.size < bounds.minSize || entry.size > bounds.maxSize))
            continue;
        if (host.DateFilterOn() && !DateInRange(entry, bounds)) continue;
        list.AddFile(entry, folder);
    }

    if (opened && !stopped && host.IncludeSubfolders()) {
        std::string child;
        for (const DirItem& f : folders) {
            if (host.StopRequested()) break;
            ProcessPendingMessages();
            const uint32_t a = reader.Attributes(f);
            if (a == attr::Invalid || !(a & attr::Directory) || (a & ~kSearchFolderSet) != 0)
                continue;
            child.assign(sub);
            if (!child.empty()) child.push_back(kPathSep);
            child.append(f.name);
            SearchFolder(list, host, mask, trimmedRoot, child);
        }
    }
    host.FolderDone();
}

void RunSearch(FileList& list, SearchHost& host, std::string_view masksText,
               std::string_view foldersText) {
    const std::vector<std::string> folders = SplitFields(Trim(foldersText), ";");
    list.Clear();
    for (const std::string& mask : SplitMasks(masksText)) {
        const MaskMatcher matcher(mask);
        for (const std::string& folder : folders) {
            if (host.StopRequested()) break;
            host.PassStarted(mask, folder);
            SearchFolder(list, host, matcher, folder, std::string_view());
        }
    }
}

}  // namespace ferro
