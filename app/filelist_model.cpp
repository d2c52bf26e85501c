#include "app/filelist_model.h"

#include <QMetaObject>

#include "platform/codec.h"

namespace ferro {

FileListModel::FileListModel(FileList* list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), headers_(kColumnCount) {
    visibleRows_ = list_->RowCount() - 1;
    list_->SetObserver(this);
}

FileListModel::~FileListModel() { list_->SetObserver(nullptr); }

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : visibleRows_;
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount + (extra_ ? 1 : 0);
}

void FileListModel::SetExtraColumn(ExtraColumn* column) {
    if (column == extra_) return;
    if (extra_) {
        beginRemoveColumns(QModelIndex(), kColumnCount, kColumnCount);
        extra_ = nullptr;
        endRemoveColumns();
    }
    if (column) {
        beginInsertColumns(QModelIndex(), kColumnCount, kColumnCount);
        extra_ = column;
        endInsertColumns();
    }
}

void FileListModel::ExtraColumnChanged() {
    if (extra_ && visibleRows_ > 0)
        emit dataChanged(index(0, kColumnCount), index(visibleRows_ - 1, kColumnCount));
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= visibleRows_) return {};
    const int row = index.row() + 1;
    if (row > list_->LastRow()) return {};
    if (index.column() == kColumnCount) return extra_ ? extra_->Cell(row, role) : QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return GbkToQString(list_->Cell(index.column(), row));
        case CheckedRole:
            return list_->Checked(row);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < headers_.size())
        return headers_[section];
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == kColumnCount &&
        extra_)
        return extra_->Header();
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool FileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                  int role) {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= headers_.size())
        return false;
    headers_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void FileListModel::FlushPendingRows() {
    flushQueued_ = false;
    const int actual = list_->RowCount() - 1;
    if (actual <= visibleRows_) return;
    beginInsertRows(QModelIndex(), visibleRows_, actual - 1);
    visibleRows_ = actual;
    endInsertRows();
}

void FileListModel::RowsAppended(int, int) {
    if (flushQueued_) return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, &FileListModel::FlushPendingRows, Qt::QueuedConnection);
}

void FileListModel::BeginRemoveRows(int firstRow, int lastRow) {
    // Only rows the views know of are announced; unannounced ones simply
    // never appear.
    removing_ = false;
    const int first = firstRow - 1;
    const int last = std::min(lastRow - 1, visibleRows_ - 1);
    if (first > last) return;
    removing_ = true;
    beginRemoveRows(QModelIndex(), first, last);
    visibleRows_ -= last - first + 1;
}

void FileListModel::EndRemoveRows() {
    if (removing_) endRemoveRows();
    removing_ = false;
}

void FileListModel::RowsChanged(int firstRow, int lastRow) {
    const int first = firstRow - 1;
    const int last = std::min(lastRow - 1, visibleRows_ - 1);
    if (first > last || first < 0) return;
    emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void FileListModel::BeginReset() { beginResetModel(); }

void FileListModel::EndReset() {
    visibleRows_ = list_->RowCount() - 1;
    flushQueued_ = false;
    endResetModel();
}

}  // namespace ferro
