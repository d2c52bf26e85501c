// The file list: one row per file, six text cells and a tick. Row 0 is the
// header (its texts belong to the window); data rows are 1 .. RowCount() - 1.
// An empty name in row 1 means an empty list.
//
// A tick belongs to the file of its row: it moves with the row when the list
// is sorted and goes with it when the row is removed; rows come in unticked.
//
// Rows are stored compactly (the name in a shared store, the folder and the
// extension kept once for all rows, numbers for size and times, a file's
// times converted to local time only when shown) so that a million of them
// fit in little more than a plain array of the same facts; the cells are
// produced as text on demand, exactly as they would have been written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs.h"

namespace ferro {

enum FileColumn : int {
    kColName = 0,      // name with extension
    kColFolder = 1,    // folder without a trailing separator
    kColSize = 2,      // size in bytes
    kColCreated = 3,   // "yyyy-mm-dd hh:nn:ss", local time
    kColModified = 4,  // same form
    kColType = 5,      // extension with its dot
    kColumnCount = 6,
};

// Told about every change, so that a view can follow. Removals and resets
// are bracketed (the view sees the old rows until the Begin call returns);
// appends and cell changes are told afterwards.
class FileListObserver {
public:
    virtual ~FileListObserver() = default;
    virtual void RowsAppended(int firstRow, int lastRow) = 0;
    virtual void BeginRemoveRows(int firstRow, int lastRow) = 0;
    virtual void EndRemoveRows() = 0;
    virtual void RowsChanged(int firstRow, int lastRow) = 0;  // cells or ticks
    virtual void BeginReset() = 0;
    virtual void EndReset() = 0;
};

// A sequence of plain records kept in blocks of 2^kBits that never move: an
// append never copies what is there, and memory is taken a block at a time
// (a million rows are a few hundred allocations, not a hundred thousand).
// Removing one record shifts the shorter side, as a deque does.
template <class T, unsigned kBits>
class BlockArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    static constexpr std::size_t kBlock = std::size_t{1} << kBits;

    BlockArray() = default;
    BlockArray(BlockArray&& other) noexcept { swap(other); }
    BlockArray& operator=(BlockArray&& other) noexcept {
        BlockArray(std::move(other)).swap(*this);
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Slots allocated, used or not.
    std::size_t capacity() const { return blocks_.size() * kBlock; }
    T& operator[](std::size_t i) { return Slot(head_ + i); }
    const T& operator[](std::size_t i) const {
        const std::size_t at = head_ + i;
        return blocks_[at >> kBits].get()[at & (kBlock - 1)];
    }
    T& front() { return (*this)[0]; }
    const T& front() const { return (*this)[0]; }
    T& back() { return (*this)[size_ - 1]; }
    const T& back() const { return (*this)[size_ - 1]; }

    // Appends a value-initialized record.
    T& emplace_back() {
        const std::size_t at = head_ + size_;
        if ((at >> kBits) == blocks_.size())
            blocks_.emplace_back(static_cast<T*>(::operator new(kBlock * sizeof(T))));
        T* slot = ::new (static_cast<void*>(&Slot(at))) T();
        ++size_;
        return *slot;
    }
    void push_back(const T& value) { emplace_back() = value; }

    void erase(std::size_t i) {
        if (i < size_ / 2) {
            for (std::size_t k = i; k > 0; --k) (*this)[k] = (*this)[k - 1];
            ++head_;
            --size_;
            if (head_ == kBlock) {
                blocks_.erase(blocks_.begin());
                head_ = 0;
            }
        } else {
            for (std::size_t k = i; k + 1 < size_; ++k) (*this)[k] = (*this)[k + 1];
            truncate(size_ - 1);
        }
    }
    // Keeps the first n records (n <= size()); blocks no longer used are freed.
    void truncate(std::size_t n) {
        if (n == 0) {
            clear();
            return;
        }
        size_ = n;
        blocks_.resize((head_ + n + kBlock - 1) >> kBits);
    }
    void clear() {
        blocks_.clear();
        head_ = size_ = 0;
    }
    void swap(BlockArray& other) noexcept {
        blocks_.swap(other.blocks_);
        std::swap(head_, other.head_);
        std::swap(size_, other.size_);
    }

private:
    struct Free {
        void operator()(T* p) const { ::operator delete(static_cast<void*>(p)); }
    };
    T& Slot(std::size_t at) { return blocks_[at >> kBits].get()[at & (kBlock - 1)]; }

    std::vector<std::unique_ptr<T, Free>> blocks_;
    std::size_t head_ = 0;  // slot of record 0 in the first block
    std::size_t size_ = 0;
};

class FileList {
public:
    FileList();

    int RowCount() const { return static_cast<int>(rows_.size()) + 1; }
    int LastRow() const { return RowCount() - 1; }
    // True when there are no data rows or the name of row 1 is empty.
    bool IsEmpty() const;

    std::string Cell(int column, int row) const;
    std::string Name(int row) const { return std::string(NameView(row)); }
    std::string_view NameView(int row) const { return names_.View(rows_[Index(row)].name); }
    const std::string& Folder(int row) const { return folders_.Text(rows_[Index(row)].folder); }
    // Writes a cell. Size cells take decimal text, time cells
    // "yyyy-mm-dd hh:nn:ss"; other text leaves such a cell empty.
    void SetCell(int column, int row, std::string_view text);
    // Folder cell, separator, name cell.
    std::string Path(int row) const;

    // Empties the list: row count 2, row 1 cleared and unticked.
    void Clear();
    // The row-adding rule: when the last row's name is not empty a row is
    // appended; the last row is then filled with the file, unticked.
    // Returns its row.
    int AddFile(const FindEntry& entry, std::string_view folder);
    // Removes one row and its tick: the rows below move up.
    void RemoveRow(int row);
    // Removes every ticked row at once; returns how many went.
    int RemoveCheckedRows();
    // Sorts the data rows by a column: sizes numerically, other columns by
    // the locale's case-insensitive word sort (hyphens and apostrophes
    // count only between texts otherwise equal) with ties in the order of
    // the row numbers as text. Ticks go with their rows.
    void Sort(int column, bool ascending);

    // The tick of a data row; rows outside the list read false and cannot
    // be ticked.
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    void ToggleChecked(int row);
    // Every row ticked, or none, or every tick turned over: one notice for
    // the rows between the first and the last that changed (a million rows
    // take one notice, not a million).
    void SetAllChecked(bool checked);
    void InvertChecked();

    void SetObserver(FileListObserver* observer) { observer_ = observer; }

    // For benchmarks: bytes held by the rows and folders (approximate).
    std::size_t MemoryUse() const;

private:
    // The texts of one kind (folders, extensions), each kept once.
    class TextTable {
    public:
        TextTable();
        uint32_t Intern(std::string_view text);
        const std::string& Text(uint32_t id) const { return texts_[id]; }
        std::size_t MemoryUse() const;

    private:
        struct Hash {
            using is_transparent = void;
            std::size_t operator()(std::string_view s) const {
                return std::hash<std::string_view>()(s);
            }
        };
        std::deque<std::string> texts_;  // texts_[0] is the empty text
        std::unordered_map<std::string_view, uint32_t, Hash, std::equal_to<>> index_;
        uint32_t last_ = 0;  // rows come folder by folder: the last one is checked first
    };
    // The names, end to end in large blocks; a name that changes is written
    // anew and its old bytes stay until the list is emptied.
    class NameStore {
    public:
        struct Ref {
            uint32_t at = 0;  // block << kBlockBits | offset
            uint32_t size = 0;
        };
        Ref Add(std::string_view name);
        std::string_view View(Ref r) const {
            return r.size == 0 ? std::string_view()
                               : std::string_view(blocks_[r.at >> kBlockBits].get() +
                                                      (r.at & (kBlock - 1)),
                                                  r.size);
        }
        void Clear();
        std::size_t MemoryUse() const { return bytes_; }

    private:
        static constexpr uint32_t kBlockBits = 20;
        static constexpr uint32_t kBlock = 1u << kBlockBits;
        std::vector<std::unique_ptr<char[]>> blocks_;
        uint32_t used_ = kBlock;  // in the last block
        std::size_t bytes_ = 0;
    };
    struct Row {
        NameStore::Ref name;
        uint32_t folder = 0;
        uint32_t ext = 0;
        int64_t size = kNoNumber;
        int64_t created = kNoNumber;
        int64_t modified = kNoNumber;
        // A time as found is a file time, converted to local time only
        // when its cell is shown; one written as cell text is kept packed
        // (yyyymmddhhnnss).
        bool createdPacked = false;
        bool modifiedPacked = false;
        bool checked = false;
    };
    static constexpr int64_t kNoNumber = INT64_MIN;

    std::size_t Index(int row) const { return static_cast<std::size_t>(row - 1); }
    // The text a row sorts by in a column (not the size): the cell (the
    // folder or type with the name after a separator), a dot and the row
    // number, lower-cased.
    void SortText(int column, int row, std::string& text) const;
    void NotifyChanged(int first, int last);
    static std::string TimeText(int64_t value, bool packed);

    // 4096 rows a block: under 200 KiB.
    using Rows = BlockArray<Row, 12>;
    Rows rows_;
    NameStore names_;
    TextTable folders_;
    TextTable exts_;
    FileListObserver* observer_ = nullptr;
};

// Packed local time (yyyymmddhhnnss) of a file time, and its cell text.
int64_t PackLocalTime(FileTime t);
std::string PackedTimeText(int64_t packed);
bool ParsePackedTime(std::string_view text, int64_t& packed);

}  // namespace ferro
