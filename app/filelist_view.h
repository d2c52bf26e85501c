// The grid sgFiles: a table view over FileListModel whose name cells are
// drawn in the palette's base colour with their tick box, and which reports
// every mouse-button release over its cells or its header, the tick keys
// and the files dropped on it. What those do to the list is the window's
// business.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableView>

namespace ferro {

class NameCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class FileGrid : public QTableView {
    Q_OBJECT
public:
    explicit FileGrid(QWidget* parent = nullptr);

    // Widens the columns of fixed form (size, times, type) and every
    // header to what their texts need in the grid's font; done again when
    // the font changes.
    void FitFixedColumns();
    // Widens the name and folder columns, and the preview column while it
    // is shown, to the texts of the rows on show and some more (never
    // narrows them, never past most of the grid).
    void FitTextColumns();

signals:
    // A button was released over the header (column under the mouse) or
    // over the cells (column -1), with the keyboard modifiers held.
    void mouseReleased(bool onHeader, int headerColumn, Qt::KeyboardModifiers modifiers);
    // Space: tick the current row (and the other selected rows with it).
    void tickKeyPressed();
    // Ctrl+A: tick every row.
    void tickAllPressed();
    // Local files or folders dropped on the grid, in the order given.
    void pathsDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace ferro
