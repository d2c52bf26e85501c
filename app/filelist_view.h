// The grid sgFiles: a table view over FileListModel whose name cells are
// drawn on white with their tick box, and which reports every mouse-button
// release over its cells or its header.
#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace ferro {

class NameCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class FileGrid : public QTableView {
    Q_OBJECT
public:
    explicit FileGrid(QWidget* parent = nullptr);

signals:
    // A button was released over the header (column under the mouse) or
    // over the cells (column -1).
    void mouseReleased(bool onHeader, int headerColumn);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ferro
