#include "fileops/filelist.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

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

FileList::FileList() {
    folders_.emplace_back();
    folderIndex_.emplace(std::string(), 0);
    rows_.emplace_back();
}

bool FileList::IsEmpty() const { return rows_.empty() || rows_.front().name.empty(); }

uint32_t FileList::InternFolder(std::string_view folder) {
    auto it = folderIndex_.find(std::string(folder));
    if (it != folderIndex_.end()) return it->second;
    uint32_t id = static_cast<uint32_t>(folders_.size());
    folders_.emplace_back(folder);
    folderIndex_.emplace(std::string(folder), id);
    return id;
}

std::string FileList::Cell(int column, int row) const {
    const Row& r = rows_[Index(row)];
    switch (column) {
        case kColName: return r.name;
        case kColFolder: return folders_[r.folder];
        case kColSize: return r.size == kNoNumber ? std::string() : std::to_string(r.size);
        case kColCreated: return PackedTimeText(r.created);
        case kColModified: return PackedTimeText(r.modified);
        case kColType: return r.ext;
        default: return std::string();
    }
}

void FileList::SetCell(int column, int row, std::string_view text) {
    Row& r = rows_[Index(row)];
    switch (column) {
        case kColName: r.name.assign(text); break;
        case kColFolder: r.folder = InternFolder(text); break;
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
            break;
        }
        case kColType: r.ext.assign(text); break;
        default: return;
    }
    NotifyChanged(row, row);
}

std::string FileList::Path(int row) const {
    const Row& r = rows_[Index(row)];
    std::string p = folders_[r.folder];
    p.push_back(kPathSep);
    p += r.name;
    return p;
}

void FileList::Clear() {
    if (observer_) observer_->BeginReset();
    rows_.clear();
    rows_.emplace_back();
    if (observer_) observer_->EndReset();
}

int FileList::AddFile(const FindEntry& e, std::string_view folder) {
    bool append = rows_.empty() || !rows_.back().name.empty();
    if (append) rows_.emplace_back();
    Row& r = rows_.back();
    r.checked = false;
    r.name = e.name;
    r.ext = ExtractFileExt(e.name);
    r.folder = InternFolder(folder);
    r.size = e.size;
    r.created = PackLocalTime(e.creationTime);
    r.modified = PackLocalTime(e.lastWriteTime);
    int row = LastRow();
    if (observer_) {
        if (append) observer_->RowsAppended(row, row);
        else observer_->RowsChanged(row, row);
    }
    return row;
}

void FileList::RemoveRow(int row) {
    if (observer_) observer_->BeginRemoveRows(row, row);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(Index(row)));
    if (observer_) observer_->EndRemoveRows();
}

int FileList::RemoveCheckedRows() {
    std::size_t kept = 0, n = rows_.size();
    if (observer_) observer_->BeginReset();
    for (std::size_t i = 0; i < n; ++i) {
        if (rows_[i].checked) continue;
        if (kept != i) rows_[kept] = std::move(rows_[i]);
        ++kept;
    }
    int removed = static_cast<int>(n - kept);
    rows_.resize(kept);
    if (observer_) observer_->EndReset();
    return removed;
}

std::string FileList::RowKey(int column, int row) const {
    std::string key = Cell(column, row);
    if (column == kColFolder || column == kColType) {
        key.push_back(kPathSep);
        key += rows_[Index(row)].name;
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
    std::deque<Row> sorted;
    for (uint32_t i : order) sorted.push_back(std::move(rows_[i]));
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

void FileList::NotifyChanged(int first, int last) {
    if (observer_) observer_->RowsChanged(first, last);
}

std::size_t FileList::MemoryUse() const {
    std::size_t bytes = rows_.size() * sizeof(Row);
    for (const Row& r : rows_) {
        if (r.name.capacity() > 15) bytes += r.name.capacity() + 1;
        if (r.ext.capacity() > 15) bytes += r.ext.capacity() + 1;
    }
    for (const std::string& f : folders_) bytes += sizeof(std::string) + f.capacity();
    return bytes;
}

}  // namespace ferro
