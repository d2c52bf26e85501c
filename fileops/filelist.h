// The file list: one row per file, six text cells and a tick. Row 0 is the
// header (its texts belong to the window); data rows are 1 .. RowCount() - 1.
// An empty name in row 1 means an empty list.
//
// A tick belongs to the file of its row: it moves with the row when the list
// is sorted and goes with it when the row is removed; rows come in unticked.
//
// Rows are stored compactly (a name, an interned folder, numbers for size
// and times) so that a million of them fit comfortably; the cells are
// produced as text on demand, exactly as they would have been written.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
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

class FileList {
public:
    FileList();

    int RowCount() const { return static_cast<int>(rows_.size()) + 1; }
    int LastRow() const { return RowCount() - 1; }
    // True when there are no data rows or the name of row 1 is empty.
    bool IsEmpty() const;

    std::string Cell(int column, int row) const;
    const std::string& Name(int row) const { return rows_[Index(row)].name; }
    const std::string& Folder(int row) const { return folders_[rows_[Index(row)].folder]; }
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

    void SetObserver(FileListObserver* observer) { observer_ = observer; }

    // For benchmarks: bytes held by the rows and folders (approximate).
    std::size_t MemoryUse() const;

private:
    struct Row {
        std::string name;
        std::string ext;
        int64_t size = kNoNumber;
        int64_t created = kNoNumber;   // packed local time yyyymmddhhnnss
        int64_t modified = kNoNumber;
        uint32_t folder = 0;
        bool checked = false;
    };
    static constexpr int64_t kNoNumber = INT64_MIN;

    std::size_t Index(int row) const { return static_cast<std::size_t>(row - 1); }
    uint32_t InternFolder(std::string_view folder);
    std::string RowKey(int column, int row) const;
    void NotifyChanged(int first, int last);

    std::deque<Row> rows_;
    std::vector<std::string> folders_;  // folders_[0] is the empty folder
    std::unordered_map<std::string, uint32_t> folderIndex_;
    FileListObserver* observer_ = nullptr;
};

// Packed local time (yyyymmddhhnnss) of a file time, and its cell text.
int64_t PackLocalTime(FileTime t);
std::string PackedTimeText(int64_t packed);
bool ParsePackedTime(std::string_view text, int64_t& packed);

}  // namespace ferro
