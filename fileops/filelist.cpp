#include "fileops/filelist.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/collate.h"
#include "platform/text.h"
#include "platform/workers.h"

namespace ferro {

int64_t PackLocalTime(FileTime t) {
    DateTime d = ToLocal(t);
    return ((((static_cast<int64_t>(d.year) * 100 + d.month) * 100 + d.day) * 100 + d.hour) * 100 +
            d.minute) * 100 + d.second;
}

std::string PackedTimeText(int64_t p) {
    if (p < 0) return std::string();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d",
                  static_cast<int>(p / 10000000000LL), static_cast<int>(p / 100000000 % 100),
                  static_cast<int>(p / 1000000 % 100), static_cast<int>(p / 10000 % 100),
                  static_cast<int>(p / 100 % 100), static_cast<int>(p % 100));
    return buf;
}

bool ParsePackedTime(std::string_view s, int64_t& packed) {
    // yyyy-mm-dd hh:nn:ss
    static constexpr char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (s.size() != sizeof kShape - 1) return false;
    int64_t v = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (kShape[i] == 'd') {
            if (s[i] < '0' || s[i] > '9') return false;
            v = v * 10 + (s[i] - '0');
        } else if (s[i] != kShape[i]) {
            return false;
        }
    }
    packed = v;
    return true;
}

FileList::TextTable::TextTable() {
    texts_.emplace_back();
    index_.emplace(std::string_view(texts_.front()), 0);
}

uint32_t FileList::TextTable::Intern(std::string_view text) {
    if (texts_[last_] == text) return last_;
    auto it = index_.find(text);
    if (it == index_.end()) {
        const uint32_t id = static_cast<uint32_t>(texts_.size());
        texts_.emplace_back(text);
        it = index_.emplace(std::string_view(texts_.back()), id).first;
    }
    last_ = it->second;
    return last_;
}

std::size_t FileList::TextTable::MemoryUse() const {
    std::size_t bytes = texts_.size() * (sizeof(std::string) + 3 * sizeof(void*));
    for (const std::string& t : texts_)
        if (t.capacity() > 15) bytes += t.capacity() + 1;
    return bytes;
}

FileList::NameStore::Ref FileList::NameStore::Add(std::string_view name) {
    Ref r;
    r.size = static_cast<uint32_t>(name.size());
    if (name.empty()) return r;
    if (used_ + name.size() > kBlock) {
        // A name longer than a block (no file system gives one) is cut to
        // a block; every other starts a new block when the last is full.
        if (name.size() > kBlock) r.size = kBlock;
        if (blocks_.size() >= (std::size_t{1} << (32 - kBlockBits)))
            throw std::length_error("file list: too many names");
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlock));
        bytes_ += kBlock;
        used_ = 0;
    }
    r.at = static_cast<uint32_t>((blocks_.size() - 1) << kBlockBits) | used_;
    std::memcpy(blocks_.back().get() + used_, name.data(), r.size);
    used_ += r.size;
    return r;
}

void FileList::NameStore::Clear() {
    blocks_.clear();
    used_ = kBlock;
    bytes_ = 0;
}

FileList::FileList() { rows_.emplace_back(); }

bool FileList::IsEmpty() const { return rows_.empty() || rows_.front().name.size == 0; }

std::string FileList::TimeText(int64_t value, bool packed) {
    if (value == kNoNumber) return std::string();
    return PackedTimeText(packed ? value : PackLocalTime(value));
}

std::string FileList::Cell(int column, int row) const {
    const Row& r = rows_[Index(row)];
    switch (column) {
        case kColName: return std::string(names_.View(r.name));
        case kColFolder: return folders_.Text(r.folder);
        case kColSize: return r.size == kNoNumber ? std::string() : std::to_string(r.size);
        case kColCreated: return TimeText(r.created, r.createdPacked);
        case kColModified: return TimeText(r.modified, r.modifiedPacked);
        case kColType: return exts_.Text(r.ext);
        default: return std::string();
    }
}

void FileList::SetCell(int column, int row, std::string_view text) {
    Row& r = rows_[Index(row)];
    switch (column) {
        case kColName: r.name = names_.Add(text); break;
        case kColFolder: r.folder = folders_.Intern(text); break;
        case kColSize: {
            int64_t v = 0;
            bool neg = !text.empty() && text[0] == '-';
            std::size_t i = neg ? 1 : 0;
            bool ok = i < text.size();
            for (; ok && i < text.size(); ++i) {
                if (text[i] < '0' || text[i] > '9') ok = false;
                else v = v * 10 + (text[i] - '0');
            }
            r.size = ok ? (neg ? -v : v) : kNoNumber;
            break;
        }
        case kColCreated:
        case kColModified: {
            int64_t p = kNoNumber;
            if (!ParsePackedTime(text, p)) p = kNoNumber;
            (column == kColCreated ? r.created : r.modified) = p;
            (column == kColCreated ? r.createdPacked : r.modifiedPacked) = true;
            break;
        }
        case kColType: r.ext = exts_.Intern(text); break;
        default: return;
    }
    NotifyChanged(row, row);
}

std::string FileList::Path(int row) const {
    const Row& r = rows_[Index(row)];
    const std::string_view name = names_.View(r.name);
    const std::string& folder = folders_.Text(r.folder);
    std::string p;
    p.reserve(folder.size() + 1 + name.size());
    p += folder;
    p.push_back(kPathSep);
    p += name;
    return p;
}

void FileList::Clear() {
    if (observer_) observer_->BeginReset();
    rows_.clear();
    rows_.emplace_back();
    names_.Clear();
    if (observer_) observer_->EndReset();
}

int FileList::AddFile(const FindEntry& e, std::string_view folder) {
    bool append = rows_.empty() || rows_.back().name.size != 0;
    if (append) rows_.emplace_back();
    Row& r = rows_.back();
    r.checked = false;
    r.name = names_.Add(e.name);
    // The extension with its dot, as ExtractFileExt finds it.
    const std::string_view name = e.name;
    const std::size_t dot = name.find_last_of("./");
    r.ext = exts_.Intern(dot != std::string_view::npos && name[dot] == '.' ? name.substr(dot)
                                                                             : std::string_view());
    r.folder = folders_.Intern(folder);
    r.size = e.size;
    r.created = e.creationTime;
    r.modified = e.lastWriteTime;
    r.createdPacked = r.modifiedPacked = false;
    int row = LastRow();
    if (observer_) {
        if (append) observer_->RowsAppended(row, row);
        else observer_->RowsChanged(row, row);
    }
    return row;
}

void FileList::RemoveRow(int row) {
    if (observer_) observer_->BeginRemoveRows(row, row);
    rows_.erase(Index(row));
    if (observer_) observer_->EndRemoveRows();
}

int FileList::RemoveCheckedRows() {
    std::size_t kept = 0, n = rows_.size();
    if (observer_) observer_->BeginReset();
    for (std::size_t i = 0; i < n; ++i) {
        if (rows_[i].checked) continue;
        if (kept != i) rows_[kept] = rows_[i];
        ++kept;
    }
    int removed = static_cast<int>(n - kept);
    rows_.truncate(kept);
    if (observer_) observer_->EndReset();
    return removed;
}

void FileList::SortText(int column, int row, std::string& text) const {
    const Row& r = rows_[Index(row)];
    text.clear();
    switch (column) {
        case kColName: text += names_.View(r.name); break;
        case kColFolder: text += folders_.Text(r.folder); break;
        case kColType: text += exts_.Text(r.ext); break;
        default: text += Cell(column, row); break;
    }
    if (column == kColFolder || column == kColType) {
        text.push_back(kPathSep);
        text += names_.View(r.name);
    }
    text.push_back('.');
    char digits[16];
    const auto written = std::to_chars(digits, digits + sizeof digits, row);
    text.append(digits, written.ptr);
    AnsiLowerInPlace(text);
}

namespace {

// A row's sort key in a shared buffer, with eight of its bytes (from the
// depth being sorted, most significant first, zeros past its end) held as a
// number, so that most comparisons never reach the key itself.
struct KeyRef {
    uint64_t chunk;
    const char* key;
    uint32_t size;
    uint32_t row;
};

uint64_t Chunk(const char* key, std::size_t size, std::size_t depth) {
    uint64_t v = 0;
    if (depth + 8 <= size) {
        std::memcpy(&v, key + depth, 8);
        return __builtin_bswap64(v);
    }
    for (std::size_t i = depth; i < depth + 8; ++i)
        v = v << 8 | (i < size ? static_cast<unsigned char>(key[i]) : 0u);
    return v;
}

// What is left of a key from depth: its length when it ends within the
// chunk, 9 when it goes on.
unsigned Rest(const KeyRef& k, std::size_t depth) {
    const std::size_t left = k.size - depth;
    return left > 8 ? 9u : static_cast<unsigned>(left);
}

// Sorts by chunk, then by what is left (Rest), keeping the order of
// equal records: a pass over each 16 bits, least significant first, passes
// where every record has the same digit left out.
void RadixSort(KeyRef* first, std::size_t n, std::vector<KeyRef>& spare, std::size_t depth) {
    spare.resize(std::max(spare.size(), n));
    KeyRef* from = first;
    KeyRef* to = spare.data();
    std::vector<uint32_t> count(1u << 16);
    auto pass = [&](auto digit) {
        std::fill(count.begin(), count.end(), 0u);
        for (std::size_t i = 0; i < n; ++i) ++count[digit(from[i])];
        if (count[digit(from[0])] == n) return;
        uint32_t at = 0;
        for (uint32_t& c : count) at += std::exchange(c, at);
        for (std::size_t i = 0; i < n; ++i) to[count[digit(from[i])]++] = from[i];
        std::swap(from, to);
    };
    pass([depth](const KeyRef& k) { return Rest(k, depth); });
    for (unsigned shift = 0; shift < 64; shift += 16)
        pass([shift](const KeyRef& k) { return static_cast<uint32_t>(k.chunk >> shift) & 0xFFFF; });
    if (from != first) std::copy(from, from + n, first);
}

// Orders keys that agree in their first depth bytes as their bytes compare
// (a key before every longer key it begins) — the same order as comparing
// them as strings, without comparing the bytes they share again at every
// step: by their next eight bytes, then each run of keys equal in those and
// longer by the bytes after. The chunks must hold the bytes at depth. Each
// run of equal keys is handed to equal, in no particular order.
template <class Equal>
void SortKeys(KeyRef* first, KeyRef* last, std::size_t depth, std::vector<KeyRef>& spare,
              const Equal& equal) {
    const std::size_t n = static_cast<std::size_t>(last - first);
    if (n >= (std::size_t{1} << 16)) {
        RadixSort(first, n, spare, depth);
    } else {
        std::sort(first, last, [depth](const KeyRef& a, const KeyRef& b) {
            if (a.chunk != b.chunk) return a.chunk < b.chunk;
            return Rest(a, depth) < Rest(b, depth);
        });
    }
    for (KeyRef* run = first; run != last;) {
        KeyRef* end = run + 1;
        const unsigned rest = Rest(*run, depth);
        while (end != last && end->chunk == run->chunk && Rest(*end, depth) == rest) ++end;
        if (end - run > 1) {
            if (rest == 9) {
                for (KeyRef* k = run; k != end; ++k) k->chunk = Chunk(k->key, k->size, depth + 8);
                SortKeys(run, end, depth + 8, spare, equal);
            } else {
                equal(run, end);
            }
        }
        run = end;
    }
}

}  // namespace

void FileList::Sort(int column, bool ascending) {
    const std::size_t n = rows_.size();
    if (n < 2 || column < 0 || column >= kColumnCount) return;
    std::vector<uint32_t> order(n);
    if (column == kColSize) {
        // Unreadable sizes sort below every number; equal sizes keep their
        // rows' order either way (the size turned over for descending, the
        // row after it).
        std::vector<std::pair<int64_t, uint32_t>> sizes(n);
        for (std::size_t i = 0; i < n; ++i)
            sizes[i] = {ascending ? rows_[i].size : ~rows_[i].size, static_cast<uint32_t>(i)};
        std::sort(sizes.begin(), sizes.end());
        for (std::size_t i = 0; i < n; ++i) order[i] = sizes[i].second;
    } else {
        // Each row's key is the word sort key of its text with its row
        // number (SortText), so no two keys are equal and descending is
        // ascending turned round. The rows are ordered by the keys' heads,
        // made on several threads, each into a buffer of its own; rows whose
        // heads are equal (none, as the row numbers differ, unless the
        // collation ignores them) by their whole keys.
        const std::size_t threads =
            n < 20000 ? 1 : std::min<std::size_t>(static_cast<std::size_t>(WorkerCount()), 8);
        std::vector<KeyRef> refs(n);
        std::vector<std::string> buffers(threads);
        auto makeKeys = [&](std::size_t part) {
            const std::size_t from = n * part / threads, to = n * (part + 1) / threads;
            std::string& keys = buffers[part];
            keys.reserve((to - from) * 40);
            std::string text;
            for (std::size_t i = from; i < to; ++i) {
                SortText(column, static_cast<int>(i) + 1, text);
                const std::size_t at = keys.size();
                AppendWordSortKeyHead(text, keys);
                refs[i].chunk = at;  // an offset until the buffer stops growing
                refs[i].size = static_cast<uint32_t>(keys.size() - at);
                refs[i].row = static_cast<uint32_t>(i);
            }
            for (std::size_t i = from; i < to; ++i) {
                refs[i].key = keys.data() + refs[i].chunk;
                refs[i].chunk = Chunk(refs[i].key, refs[i].size, 0);
            }
        };
        {
            // A failure on a helper (out of memory) reaches the caller as it
            // would have on this thread.
            std::vector<std::exception_ptr> failed(threads);
            auto guarded = [&](std::size_t part) {
                try {
                    makeKeys(part);
                } catch (...) {
                    failed[part] = std::current_exception();
                }
            };
            {
                std::vector<std::jthread> helpers;
                for (std::size_t part = 1; part < threads; ++part) helpers.emplace_back(guarded, part);
                guarded(0);
            }
            for (const std::exception_ptr& e : failed)
                if (e) std::rethrow_exception(e);
        }
        std::vector<KeyRef> spare;
        SortKeys(refs.data(), refs.data() + n, 0, spare, [&](KeyRef* first, KeyRef* last) {
            std::vector<std::pair<std::string, uint32_t>> whole;
            std::string text;
            for (KeyRef* k = first; k != last; ++k) {
                SortText(column, static_cast<int>(k->row) + 1, text);
                whole.emplace_back(WordSortKey(text), k->row);
            }
            std::sort(whole.begin(), whole.end());
            for (const auto& [key, row] : whole) (first++)->row = row;
        });
        for (std::size_t i = 0; i < n; ++i) order[ascending ? i : n - 1 - i] = refs[i].row;
    }
    // The rows moved into place where they are, a cycle of the order at a
    // time: no second copy of a million rows.
    constexpr uint32_t kPlaced = UINT32_MAX;
    for (std::size_t start = 0; start < n; ++start) {
        if (order[start] == kPlaced) continue;
        const Row first = rows_[start];
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            rows_[at] = rows_[from];
            order[at] = kPlaced;
            at = from;
        }
        rows_[at] = first;
        order[at] = kPlaced;
    }
    NotifyChanged(1, LastRow());
}

bool FileList::Checked(int row) const {
    return row >= 1 && row <= LastRow() && rows_[Index(row)].checked;
}

void FileList::SetChecked(int row, bool checked) {
    if (row < 1 || row > LastRow()) return;
    rows_[Index(row)].checked = checked;
    NotifyChanged(row, row);
}

void FileList::ToggleChecked(int row) { SetChecked(row, !Checked(row)); }

void FileList::SetAllChecked(bool checked) {
    int first = 0, last = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].checked == checked) continue;
        rows_[i].checked = checked;
        if (!first) first = static_cast<int>(i) + 1;
        last = static_cast<int>(i) + 1;
    }
    if (first) NotifyChanged(first, last);
}

void FileList::InvertChecked() {
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].checked = !rows_[i].checked;
    if (!rows_.empty()) NotifyChanged(1, LastRow());
}

void FileList::NotifyChanged(int first, int last) {
    if (observer_) observer_->RowsChanged(first, last);
}

std::size_t FileList::MemoryUse() const {
    return rows_.capacity() * sizeof(Row) + names_.MemoryUse() + folders_.MemoryUse() +
           exts_.MemoryUse();
}

}  // namespace ferro
