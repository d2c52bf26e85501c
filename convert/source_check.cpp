#include "convert/source_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <zlib.h>

#include "convert/source_text.h"
#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {
namespace {

uint32_t U16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

uint32_t U32(std::string_view b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return U16(b, at) | U16(b, at + 2) << 16;
}

uint64_t U64(std::string_view b, std::size_t at) {
    return static_cast<uint64_t>(U32(b, at)) | static_cast<uint64_t>(U32(b, at + 4)) << 32;
}

// --- compound files (OLE2) ---------------------------------------------------

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

class CompoundFile {
public:
    explicit CompoundFile(std::string_view bytes) : b_(bytes) {}

    // Reads the header, the allocation table and the directory; false when
    // any of it is missing or out of the file.
    bool Open() {
        if (b_.size() < 512 || b_.substr(0, 8) != std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            return false;
        if (U16(b_, 0x1C) != 0xFFFE) return false;
        const uint32_t shift = U16(b_, 0x1E);
        if (shift != 9 && shift != 12) return false;
        sector_ = std::size_t(1) << shift;
        miniShift_ = U16(b_, 0x20);
        if (miniShift_ != 6) return false;
        miniCutoff_ = U32(b_, 0x38);
        const uint32_t fatSectors = U32(b_, 0x2C);
        // Where the allocation table's sectors are: 109 in the header, the
        // rest in a chain of sectors of their own.
        std::vector<uint32_t> fatList;
        for (uint32_t i = 0; i < std::min<uint32_t>(fatSectors, 109); ++i)
            fatList.push_back(U32(b_, 0x4C + 4 * i));
        uint32_t difat = U32(b_, 0x44);
        const std::size_t perDifat = sector_ / 4 - 1;
        std::size_t guard = 0;
        while (fatList.size() < fatSectors) {
            if (!InFile(difat) || ++guard > b_.size() / sector_) return false;
            const std::size_t at = Offset(difat);
            for (std::size_t i = 0; i < perDifat && fatList.size() < fatSectors; ++i)
                fatList.push_back(U32(b_, at + 4 * i));
            difat = U32(b_, at + 4 * perDifat);
        }
        if (fatList.empty()) return false;
        for (uint32_t s : fatList) {
            if (!InFile(s) || Offset(s) + sector_ > b_.size()) return false;
            const std::size_t at = Offset(s);
            for (std::size_t i = 0; i < sector_ / 4; ++i) fat_.push_back(U32(b_, at + 4 * i));
        }
        return ReadChain(U32(b_, 0x30), fat_, sector_, directory_, true);
    }

    // A stream of the root storage by name (any case), whole; false when
    // there is none or its sectors are not all in the file.
    bool ReadStream(std::string_view wanted, std::string& out) {
        for (std::size_t at = 0; at + 128 <= directory_.size(); at += 128) {
            const std::string_view e(directory_.data() + at, 128);
            const uint32_t type = static_cast<unsigned char>(e[0x42]);
            if (type == 5 && root_ == std::string::npos) root_ = at;
            if (type != 2) continue;
            const std::size_t nameBytes = std::min<uint32_t>(U16(e, 0x40), 64);
            std::string name;
            for (std::size_t i = 0; i + 2 <= nameBytes; i += 2) {
                const uint32_t c = U16(e, i);
                if (c == 0) break;
                name.push_back(c < 0x80 ? static_cast<char>(std::tolower(static_cast<int>(c))) : '?');
            }
            if (name != wanted) continue;
            const uint64_t size = U64(e, 0x78) & (sector_ == 512 ? 0xFFFFFFFFu : ~uint64_t(0));
            if (size > b_.size()) return false;
            const uint32_t start = U32(e, 0x74);
            if (size < miniCutoff_) {
                if (!OpenMiniStream()) return false;
                if (!ReadChain(start, miniFat_, std::size_t(1) << miniShift_, out, false, &mini_))
                    return false;
            } else if (!ReadChain(start, fat_, sector_, out, false)) {
                return false;
            }
            if (out.size() < size) return false;
            out.resize(size);
            return true;
        }
        return false;
    }

private:
    bool InFile(uint32_t s) const {
        // The last sector of a file may be cut short; what a stream needs of
        // it is checked against the stream's size.
        return s < 0xFFFFFFFA && (static_cast<uint64_t>(s) + 1) * sector_ < b_.size();
    }
    std::size_t Offset(uint32_t s) const { return (static_cast<std::size_t>(s) + 1) * sector_; }

    // Follows a chain of sectors of a table (the regular one over the file,
    // or the mini one over the mini stream).
    bool ReadChain(uint32_t s, const std::vector<uint32_t>& table, std::size_t size,
                   std::string& out, bool directory, const std::string* mini = nullptr) const {
        out.clear();
        std::size_t guard = 0;
        while (s != kEndOfChain) {
            if (s >= table.size() || ++guard > table.size()) return false;
            if (mini) {
                const std::size_t at = static_cast<std::size_t>(s) * size;
                if (at + size > mini->size()) return false;
                out.append(*mini, at, size);
            } else {
                if (!InFile(s)) return false;
                out.append(b_.substr(Offset(s), size));
            }
            s = table[s];
        }
        return !directory || !out.empty();
    }

    bool OpenMiniStream() {
        if (miniOpen_) return true;
        if (root_ == std::string::npos) return false;
        const std::string_view e(directory_.data() + root_, 128);
        std::string minifat;
        if (!ReadChain(U32(e, 0x74), fat_, sector_, mini_, false)) return false;
        if (!ReadChain(U32(b_, 0x3C), fat_, sector_, minifat, false)) return false;
        for (std::size_t i = 0; i + 4 <= minifat.size(); i += 4) miniFat_.push_back(U32(minifat, i));
        miniOpen_ = true;
        return true;
    }

    std::string_view b_;
    std::size_t sector_ = 512;
    uint32_t miniShift_ = 6;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_, miniFat_;
    std::string directory_, mini_;
    std::size_t root_ = std::string::npos;
    bool miniOpen_ = false;
};

// A BIFF stream begins with a beginning-of-file record.
bool StartsWithBof(std::string_view s) {
    const uint32_t type = U16(s, 0), length = U16(s, 2);
    const bool bof = type == 0x0809 || type == 0x0409 || type == 0x0209 || type == 0x0009;
    return s.size() >= 8 && bof && length >= 4 && length <= 20 && 4 + length <= s.size();
}

// The sheets of the workbook globals, from their BOUNDSHEET records, and
// the WINDOW1 record's current tab (-1 when it is missing).
struct BiffSheet {
    std::string name;  // UTF-8
    bool worksheet = false;
    bool hidden = false;
};

std::vector<BiffSheet> BiffSheets(std::string_view s, int& current) {
    std::vector<BiffSheet> sheets;
    current = -1;
    const bool biff8 = U16(s, 4) == 0x0600;
    std::size_t at = 0;
    bool first = true;
    while (at + 4 <= s.size()) {
        const uint32_t type = U16(s, at), length = U16(s, at + 2);
        const std::string_view data = s.substr(at + 4, std::min<std::size_t>(length, s.size() - at - 4));
        at += 4 + length;
        if (type == 0x000A && !first) break;  // end of the globals
        first = false;
        if (type == 0x003D && data.size() >= 12) current = static_cast<int>(U16(data, 10));
        if (type != 0x0085 || data.size() < 7) continue;
        BiffSheet sheet;
        sheet.hidden = (static_cast<unsigned char>(data[4]) & 0x03) != 0;
        sheet.worksheet = static_cast<unsigned char>(data[5]) == 0;
        const std::size_t count = static_cast<unsigned char>(data[6]);
        if (biff8 && data.size() >= 8) {
            const bool wide = data[7] & 1;
            std::u16string name;
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t p = 8 + (wide ? 2 * i : i);
                if (p + (wide ? 2 : 1) > data.size()) break;
                name.push_back(static_cast<char16_t>(wide ? U16(data, p) : static_cast<unsigned char>(data[p])));
            }
            sheet.name = EncodeCodePage(name, "utf-8");
        } else {
            sheet.name = GbkToUtf8(data.substr(7, count));
        }
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

// The sheet that was showing, from the workbook globals: the WINDOW1
// record's current tab among the BOUNDSHEET records. Only worksheets count;
// empty when it is another kind of sheet or the records are missing.
std::string ActiveSheetOf(std::string_view s) {
    int current = -1;
    const std::vector<BiffSheet> sheets = BiffSheets(s, current);
    if (current < 0 || current >= static_cast<int>(sheets.size())) return {};
    const BiffSheet& active = sheets[static_cast<std::size_t>(current)];
    return active.worksheet ? active.name : std::string();
}

// The workbook stream of an Excel 97 file (or the bare BIFF file).
bool XlsStream(std::string_view bytes, std::string& stream) {
    CompoundFile file(bytes);
    if (file.Open())
        return (file.ReadStream("workbook", stream) || file.ReadStream("book", stream)) &&
               StartsWithBof(stream);
    if (!StartsWithBof(bytes) || U16(bytes, 0) == 0x0809) return false;
    stream.assign(bytes);
    return true;
}

bool CheckXls(std::string_view bytes, std::string* activeSheet) {
    std::string stream;
    if (!XlsStream(bytes, stream)) return false;
    if (activeSheet) *activeSheet = ActiveSheetOf(stream);
    return true;
}

// --- ZIP packages ------------------------------------------------------------

struct ZipEntry {
    std::string name;
    uint32_t method = 0;
    uint64_t compressed = 0;
    uint64_t local = 0;
};

// The central directory's entries; false when the file is no whole ZIP.
bool ReadZip(std::string_view b, std::vector<ZipEntry>& entries) {
    if (b.size() < 22 || b.substr(0, 4) != std::string_view("PK\x03\x04", 4)) return false;
    std::size_t eocd = std::string_view::npos;
    const std::size_t from = b.size() >= 22 + 65535 ? b.size() - 22 - 65535 : 0;
    for (std::size_t i = b.size() - 22 + 1; i-- > from;) {
        if (b.substr(i, 4) == std::string_view("PK\x05\x06", 4)) {
            eocd = i;
            break;
        }
    }
    if (eocd == std::string_view::npos) return false;
    uint64_t count = U16(b, eocd + 10);
    uint64_t size = U32(b, eocd + 12);
    uint64_t offset = U32(b, eocd + 16);
    if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        // ZIP64: the locator before the record points at the larger one.
        if (eocd < 20 || b.substr(eocd - 20, 4) != std::string_view("PK\x06\x07", 4)) return false;
        const uint64_t z = U64(b, eocd - 20 + 8);
        if (z + 56 > b.size() || b.substr(z, 4) != std::string_view("PK\x06\x06", 4)) return false;
        count = U64(b, z + 32);
        size = U64(b, z + 40);
        offset = U64(b, z + 48);
    }
    if (offset + size > b.size()) return false;
    std::size_t at = offset;
    for (uint64_t i = 0; i < count; ++i) {
        if (at + 46 > b.size() || b.substr(at, 4) != std::string_view("PK\x01\x02", 4)) return false;
        ZipEntry e;
        e.method = U16(b, at + 10);
        e.compressed = U32(b, at + 20);
        const uint32_t nameLength = U16(b, at + 28), extra = U16(b, at + 30),
                       comment = U16(b, at + 32);
        e.local = U32(b, at + 42);
        if (at + 46 + nameLength > b.size()) return false;
        e.name = std::string(b.substr(at + 46, nameLength));
        // ZIP64 sizes and offsets in the extra field.
        std::size_t x = at + 46 + nameLength;
        const std::size_t xEnd = std::min<std::size_t>(x + extra, b.size());
        while (x + 4 <= xEnd) {
            const uint32_t id = U16(b, x), len = U16(b, x + 2);
            if (id == 0x0001) {
                std::size_t p = x + 4;
                if (U32(b, at + 24) == 0xFFFFFFFF) p += 8;
                if (U32(b, at + 20) == 0xFFFFFFFF) e.compressed = U64(b, p), p += 8;
                if (U32(b, at + 42) == 0xFFFFFFFF) e.local = U64(b, p);
            }
            x += 4 + len;
        }
        entries.push_back(std::move(e));
        at += 46 + nameLength + extra + comment;
    }
    return !entries.empty();
}

// The entry's data, whole within the file; stored data is returned.
bool EntryInFile(std::string_view b, const ZipEntry& e, std::string_view* stored = nullptr) {
    const uint64_t at = e.local;
    if (at + 30 > b.size() || b.substr(at, 4) != std::string_view("PK\x03\x04", 4)) return false;
    const uint64_t data = at + 30 + U16(b, at + 26) + U16(b, at + 28);
    if (data + e.compressed > b.size()) return false;
    if (stored && e.method == 0) *stored = b.substr(data, e.compressed);
    return true;
}

const ZipEntry* FindEntry(const std::vector<ZipEntry>& entries, std::string_view name) {
    for (const ZipEntry& e : entries)
        if (AnsiLower(e.name) == name) return &e;
    return nullptr;
}

bool CheckOoxml(std::string_view b) {
    std::vector<ZipEntry> entries;
    if (!ReadZip(b, entries)) return false;
    const ZipEntry* types = FindEntry(entries, "[content_types].xml");
    const ZipEntry* book = nullptr;
    for (const ZipEntry& e : entries) {
        const std::string n = AnsiLower(e.name);
        if (n.rfind("xl/", 0) == 0 && (n.size() > 12 && (n.compare(n.size() - 12, 12, "workbook.xml") == 0 ||
                                                          n.compare(n.size() - 12, 12, "workbook.bin") == 0)))
            book = &e;
    }
    return types && book && EntryInFile(b, *types) && EntryInFile(b, *book);
}

bool CheckOds(std::string_view b) {
    std::vector<ZipEntry> entries;
    if (!ReadZip(b, entries)) return false;
    const ZipEntry* mime = FindEntry(entries, "mimetype");
    const ZipEntry* content = FindEntry(entries, "content.xml");
    std::string_view type;
    if (!mime || !content || !EntryInFile(b, *mime, &type) || !EntryInFile(b, *content))
        return false;
    return mime->method != 0 ||
           type.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) == 0;
}

// --- sheet lists of packages -------------------------------------------------

// An entry's data inflated piece by piece into take(piece); false when it is
// not whole or not stored or deflated.
template <typename Take>
bool InflateEntry(std::string_view b, const ZipEntry& e, Take take) {
    if (!EntryInFile(b, e)) return false;
    const uint64_t at = e.local;
    const std::string_view data =
        b.substr(at + 30 + U16(b, at + 26) + U16(b, at + 28), e.compressed);
    if (e.method == 0) {
        take(data);
        return true;
    }
    if (e.method != 8) return false;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out(1 << 16, '\0');
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        r = inflate(&z, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_STREAM_END) break;
        take(std::string_view(out.data(), out.size() - z.avail_out));
        if (r == Z_OK && z.avail_in == 0 && z.avail_out != 0) break;  // cut short
    }
    inflateEnd(&z);
    return r == Z_STREAM_END;
}

// The start tags of an XML text handed in pieces, each whole: the text
// between "<" and ">" (comments and the like included; attribute values do
// not hold ">" in the parts read here).
class TagScanner {
public:
    template <typename OnTag>
    void Feed(std::string_view piece, OnTag onTag) {
        pending_.append(piece);
        std::size_t pos = 0;
        while (true) {
            const std::size_t open = pending_.find('<', pos);
            if (open == std::string::npos) {
                pending_.clear();
                return;
            }
            const std::size_t close = pending_.find('>', open);
            if (close == std::string::npos) {
                pending_.erase(0, open);
                return;
            }
            onTag(std::string_view(pending_).substr(open + 1, close - open - 1));
            pos = close + 1;
        }
    }

private:
    std::string pending_;
};

// The start tags of an entry of a package, each handed to onTag.
template <typename OnTag>
bool ScanTags(std::string_view b, const ZipEntry& e, OnTag onTag) {
    TagScanner scan;
    return InflateEntry(b, e, [&](std::string_view piece) { scan.Feed(piece, onTag); });
}

bool TagIs(std::string_view tag, std::string_view name) {
    return tag.substr(0, name.size()) == name &&
           (tag.size() == name.size() || tag[name.size()] == ' ' || tag[name.size()] == '/' ||
            tag[name.size()] == '\t' || tag[name.size()] == '\n' || tag[name.size()] == '\r');
}

// An attribute's value with its entities undone; empty when it is missing.
std::string Attribute(std::string_view tag, std::string_view name) {
    std::size_t at = 0;
    while ((at = tag.find(name, at)) != std::string_view::npos) {
        const bool starts = at > 0 && std::isspace(static_cast<unsigned char>(tag[at - 1]));
        const std::size_t eq = at + name.size();
        at = eq;
        if (!starts || eq + 1 >= tag.size() || tag[eq] != '=' || (tag[eq + 1] != '"' && tag[eq + 1] != '\''))
            continue;
        const std::size_t end = tag.find(tag[eq + 1], eq + 2);
        if (end == std::string_view::npos) return {};
        const std::string_view raw = tag.substr(eq + 2, end - eq - 2);
        std::string value;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const std::size_t semi = raw[i] == '&' ? raw.find(';', i) : std::string_view::npos;
            if (semi == std::string_view::npos) {
                value.push_back(raw[i]);
                continue;
            }
            const std::string_view entity = raw.substr(i + 1, semi - i - 1);
            uint32_t cp = 0;
            if (entity == "amp") cp = '&';
            else if (entity == "lt") cp = '<';
            else if (entity == "gt") cp = '>';
            else if (entity == "quot") cp = '"';
            else if (entity == "apos") cp = '\'';
            else if (entity.size() > 1 && entity[0] == '#')
                cp = static_cast<uint32_t>(entity[1] == 'x' || entity[1] == 'X'
                                               ? std::strtoul(std::string(entity.substr(2)).c_str(), nullptr, 16)
                                               : std::strtoul(std::string(entity.substr(1)).c_str(), nullptr, 10));
            if (cp == 0 || cp > 0x10FFFF) {
                value.push_back(raw[i]);
                continue;
            }
            std::u16string u;
            if (cp >= 0x10000) {
                u.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                u.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                u.push_back(static_cast<char16_t>(cp));
            }
            value += EncodeCodePage(u, "utf-8");
            i = semi;
        }
        return value;
    }
    return {};
}

bool OoxmlSheets(std::string_view b, std::vector<SheetEntry>& sheets) {
    std::vector<ZipEntry> entries;
    if (!ReadZip(b, entries)) return false;
    const ZipEntry* book = FindEntry(entries, "xl/workbook.xml");
    if (!book) return false;
    // Which relationships are chart sheets.
    std::vector<std::string> charts;
    if (const ZipEntry* rels = FindEntry(entries, "xl/_rels/workbook.xml.rels")) {
        ScanTags(b, *rels, [&](std::string_view tag) {
            const std::string type = Attribute(tag, "Type");
            if (TagIs(tag, "Relationship") && type.size() >= 11 &&
                type.compare(type.size() - 11, 11, "/chartsheet") == 0)
                charts.push_back(Attribute(tag, "Id"));
        });
    }
    return ScanTags(b, *book, [&](std::string_view tag) {
        if (!TagIs(tag, "sheet")) return;
        const std::string id = Attribute(tag, "r:id");
        if (std::find(charts.begin(), charts.end(), id) != charts.end()) return;
        const std::string state = Attribute(tag, "state");
        sheets.push_back(SheetEntry{Attribute(tag, "name"), state == "hidden" || state == "veryHidden"});
    });
}

bool OdsSheets(std::string_view b, std::vector<SheetEntry>& sheets) {
    std::vector<ZipEntry> entries;
    if (!ReadZip(b, entries)) return false;
    const ZipEntry* content = FindEntry(entries, "content.xml");
    if (!content) return false;
    // Table styles that hide their table, then the tables.
    std::vector<std::string> hiding;
    std::string style;
    return ScanTags(b, *content, [&](std::string_view tag) {
        if (TagIs(tag, "style:style")) {
            style = Attribute(tag, "style:family") == "table" ? Attribute(tag, "style:name") : "";
        } else if (TagIs(tag, "style:table-properties")) {
            if (!style.empty() && Attribute(tag, "table:display") == "false") hiding.push_back(style);
        } else if (TagIs(tag, "table:table")) {
            const std::string s = Attribute(tag, "table:style-name");
            sheets.push_back(SheetEntry{Attribute(tag, "table:name"),
                                        std::find(hiding.begin(), hiding.end(), s) != hiding.end()});
        }
    });
}

// --- text, HTML, XML ------------------------------------------------------------

bool ValidGb18030(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto in = [](unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c <= 0x80) {  // 0x80: the euro sign of code page 936
            ++i;
            continue;
        }
        if (c == 0xFF) return false;
        if (i + 1 >= n) return true;  // a file cut after a lead byte
        const unsigned char c2 = static_cast<unsigned char>(s[i + 1]);
        if (in(c2, 0x40, 0x7E) || in(c2, 0x80, 0xFE)) {
            i += 2;
            continue;
        }
        if (!in(c2, 0x30, 0x39) || i + 3 >= n) return false;
        if (!in(static_cast<unsigned char>(s[i + 2]), 0x81, 0xFE) ||
            !in(static_cast<unsigned char>(s[i + 3]), 0x30, 0x39))
            return false;
        i += 4;
    }
    return true;
}

bool ValidUtf8(std::string_view s) {
    return IsMultiByteUtf8(s) || std::all_of(s.begin(), s.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x80;
           });
}

// Text after a byte-order mark and blanks.
std::string_view Body(std::string_view b) {
    if (b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
    while (!b.empty() && std::isspace(static_cast<unsigned char>(b.front()))) b.remove_prefix(1);
    return b;
}

bool IsUtf16(std::string_view b) {
    return b.substr(0, 2) == "\xFF\xFE" || b.substr(0, 2) == "\xFE\xFF";
}

bool CheckHtml(std::string_view b) {
    if (!LooksLikeText(b)) return false;
    if (IsUtf16(b)) return true;
    const std::string head = AnsiLower(Body(b).substr(0, 65536));
    return !head.empty() && head[0] == '<' &&
           (head.find("<html") != std::string::npos || head.find("<table") != std::string::npos);
}

bool CheckXml(std::string_view b) {
    if (!LooksLikeText(b)) return false;
    if (IsUtf16(b)) return true;
    const std::string_view body = Body(b);
    return !body.empty() && body.front() == '<';
}

enum class Kind { Xls, Ooxml, Ods, Text, Html, Xml, Other };

Kind KindOf(std::string_view extension) {
    const std::string e = AnsiLower(extension);
    if (e == ".xls" || e == ".xlt" || e == ".et") return Kind::Xls;
    if (e == ".xlsx" || e == ".xlsm" || e == ".xltx" || e == ".xltm" || e == ".xlsb")
        return Kind::Ooxml;
    if (e == ".ods" || e == ".ots") return Kind::Ods;
    if (e == ".csv" || e == ".txt" || e == ".tsv" || e == ".tab" || e == ".prn") return Kind::Text;
    if (e == ".htm" || e == ".html" || e == ".xhtml") return Kind::Html;
    if (e == ".xml" || e == ".fods") return Kind::Xml;
    return Kind::Other;
}

}  // namespace

bool LooksLikeText(std::string_view b) {
    if (IsUtf16(b)) {
        // Decoded first: its NUL bytes are the high halves of characters.
        const std::string gbk = SourceTextToGbk(std::string(b));
        return gbk.find('\0') == std::string::npos;
    }
    for (unsigned char c : b) {
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' ||
            c == 0x1A)
            continue;
        return false;
    }
    return ValidUtf8(b) || ValidGb18030(b);
}

SourceCheck CheckSpreadsheetSource(std::string_view bytes, std::string_view extension,
                                   bool commaText) {
    SourceCheck check;
    const Kind kind = commaText ? Kind::Text : KindOf(extension);
    std::string active;
    switch (kind) {
        case Kind::Xls:
            // Excel opens web pages and XML spreadsheets saved as ".xls" too.
            check.spreadsheet = CheckXls(bytes, &active) || CheckHtml(bytes) ||
                                (CheckXml(bytes) && bytes.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string_view::npos);
            break;
        case Kind::Ooxml:
            check.spreadsheet = CheckOoxml(bytes);
            break;
        case Kind::Ods:
            check.spreadsheet = CheckOds(bytes);
            break;
        case Kind::Text:
            check.spreadsheet = LooksLikeText(bytes);
            break;
        case Kind::Html:
            check.spreadsheet = CheckHtml(bytes);
            break;
        case Kind::Xml:
            check.spreadsheet = CheckXml(bytes);
            break;
        case Kind::Other:
            check.spreadsheet = CheckXls(bytes, &active) || CheckOoxml(bytes) || CheckOds(bytes) ||
                                LooksLikeText(bytes);
            break;
    }
    if (check.spreadsheet) check.activeSheet = std::move(active);
    return check;
}

bool ReadSheetList(std::string_view bytes, std::string_view extension,
                   std::vector<SheetEntry>& sheets) {
    sheets.clear();
    switch (KindOf(extension)) {
        case Kind::Xls: {
            std::string stream;
            if (!XlsStream(bytes, stream)) return false;
            int current = -1;
            const std::vector<BiffSheet> found = BiffSheets(stream, current);
            for (const BiffSheet& s : found)
                if (s.worksheet) sheets.push_back(SheetEntry{s.name, s.hidden});
            return !found.empty();
        }
        case Kind::Ooxml:
            return CheckOoxml(bytes) && OoxmlSheets(bytes, sheets) && !sheets.empty();
        case Kind::Ods:
            return CheckOds(bytes) && OdsSheets(bytes, sheets) && !sheets.empty();
        default:
            return false;
    }
}

TextTableSize CountTextTable(std::string_view text, char separator) {
    TextTableSize size;
    std::size_t columns = 1;
    bool quoted = false;
    bool open = false;  // the current row has begun
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        open = true;
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == separator) {
            ++columns;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++size.rows;
            size.columns = std::max(size.columns, columns);
            columns = 1;
            open = false;
        }
    }
    if (open) {
        ++size.rows;
        size.columns = std::max(size.columns, columns);
    }
    return size;
}

}  // namespace ferro
