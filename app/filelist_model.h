// The grid's view of the file list. Rows appended by a running search are
// announced in batches (at the next pass of the event loop, or by
// FlushPendingRows), so filling a million rows costs a handful of signals.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "fileops/filelist.h"

namespace ferro {

// A column the window adds after the list's own six while a page asks for
// it (the preview of new names). Its cells are computed on demand, for the
// rows a view shows.
class ExtraColumn {
public:
    virtual ~ExtraColumn() = default;
    virtual QString Header() const = 0;
    // Data of the cell of a grid row (1-based) for a role.
    virtual QVariant Cell(int row, int role) const = 0;
};

class FileListModel : public QAbstractTableModel, public FileListObserver {
    Q_OBJECT
public:
    explicit FileListModel(FileList* list, QObject* parent = nullptr);
    ~FileListModel() override;

    // Data rows of the grid are model rows 0.. (grid row = model row + 1).
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    FileList* list() const { return list_; }
    // Announces the rows added since the last announcement.
    void FlushPendingRows();

    // Shows (or, with nullptr, hides) a seventh column.
    void SetExtraColumn(ExtraColumn* column);
    ExtraColumn* extraColumn() const { return extra_; }
    // The extra column's cells of all rows have changed.
    void ExtraColumnChanged();

    static constexpr int CheckedRole = Qt::UserRole + 1;

private:
    void RowsAppended(int firstRow, int lastRow) override;
    void BeginRemoveRows(int firstRow, int lastRow) override;
    void EndRemoveRows() override;
    void RowsChanged(int firstRow, int lastRow) override;
    void BeginReset() override;
    void EndReset() override;

    FileList* list_;
    QStringList headers_;
    int visibleRows_ = 0;  // data rows announced to the views
    bool flushQueued_ = false;
    bool removing_ = false;
    ExtraColumn* extra_ = nullptr;
};

}  // namespace ferro
