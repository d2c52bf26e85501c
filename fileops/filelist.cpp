#include "fileops/filelist.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <stdexcept>

#include "platform/collate.h"
#include "platform/text.h"

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

std::string FileList::RowKey(int column, int row) const {
    std::string key = Cell(column, row);
    if (column == kColFolder || column == kColType) {
        key.push_back(kPathSep);
        key += names_.View(rows_[Index(row)].name);
    }
    key.push_back('.');
    key += std::to_string(row);
    return key;
}

void FileList::Sort(int column, bool ascending) {
    const std::size_t n = rows_.size();
    if (n < 2 || column < 0 || column >= kColumnCount) return;
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    if (column == kColSize) {
        // Unreadable sizes sort below every number.
        auto size = [&](uint32_t i) { return rows_[i].size; };
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return ascending ? size(a) < size(b) : size(b) < size(a);
        });
    } else {
        std::vector<std::string> keys(n);
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = WordSortKey(AnsiLower(RowKey(column, static_cast<int>(i) + 1)));
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
        });
    }
    Rows sorted;
    for (uint32_t i : order) sorted.push_back(rows_[i]);
    rows_.swap(sorted);
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
