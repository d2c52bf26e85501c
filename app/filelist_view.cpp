#include "app/filelist_view.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/filelist_model.h"
#include "fileops/filelist.h"

namespace ferro {

namespace {

QPalette::ColorGroup GroupOf(const QStyleOptionViewItem& option) {
    if (!(option.state & QStyle::State_Enabled)) return QPalette::Disabled;
    return (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
}

int BoxWidth(const QStyleOptionViewItem& option) {
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
}

// The local paths of a drag, without a trailing separator; none when it
// carries no local file.
QStringList LocalPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
        if (!path.isEmpty()) paths << path;
    }
    return paths;
}

}  // namespace

void NameCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != 0) return;
    // The name cell shows on the view's own background, selected or not,
    // with its tick box; the colours are the palette's, so that a dark
    // theme reads as well as a light one.
    const QRect cell = option.rect;
    const QPalette::ColorGroup group = GroupOf(option);
    painter->save();
    painter->fillRect(cell, option.palette.brush(group, QPalette::Base));

    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int w = BoxWidth(option);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    QStyleOptionButton box;
    box.rect = QRect(cell.left() + 4, cell.top() + (cell.height() - h) / 2, w, h);
    box.palette = option.palette;
    box.state = QStyle::State_Enabled |
                (index.data(FileListModel::CheckedRole).toBool() ? QStyle::State_On
                                                                 : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);

    QRect text(box.rect.right() + 1 + 4, cell.top(), cell.right() - box.rect.right() - 4,
               cell.height());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, QPalette::Text));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(name, Qt::ElideRight, text.width()));

    // The current cell keeps its focus frame, so the keyboard user sees
    // which row Space ticks.
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = option.palette.color(group, QPalette::Base);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}

QSize NameCellDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() == 0) size.rwidth() += BoxWidth(option) + 8;
    return size;
}

FileGrid::FileGrid(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("sgFiles"));
    setItemDelegate(new NameCellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
    // Tab leaves the grid; Ctrl+Tab moves between its cells.
    setTabKeyNavigation(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setToolTip(QStringLiteral("点击列标题可以排序"));
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setMinimumSectionSize(22);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    viewport()->installEventFilter(this);
    horizontalHeader()->viewport()->installEventFilter(this);
}

void FileGrid::FitFixedColumns() {
    if (!model()) return;
    const QFontMetrics fm = fontMetrics();
    // The item text margins on both sides, a grid line and a little air.
    const int pad = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    const int columns = model()->columnCount();
    for (int c = 0; c < columns; ++c) {
        int wanted = horizontalHeader()->sectionSizeHint(c);
        switch (c) {
            case kColSize: wanted = std::max(wanted, fm.horizontalAdvance(QStringLiteral("99999999999")) + pad); break;
            case kColCreated:
            case kColModified:
                wanted = std::max(wanted, fm.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + pad);
                break;
            case kColType: wanted = std::max(wanted, fm.horizontalAdvance(QStringLiteral(".xlsx")) + pad); break;
            default: break;
        }
        if (columnWidth(c) < wanted) setColumnWidth(c, wanted);
    }
}

void FileGrid::FitTextColumns() {
    if (!model()) return;
    const int most = std::max(viewport()->width() * 2 / 3, 200);
    for (int c : {int(kColName), int(kColFolder), int(kColumnCount)}) {
        if (c >= model()->columnCount()) continue;
        const int wanted = std::min(sizeHintForColumn(c), most);
        if (columnWidth(c) < wanted) setColumnWidth(c, wanted);
    }
}

bool FileGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == horizontalHeader()->viewport()) {
            emit mouseReleased(true, horizontalHeader()->logicalIndexAt(me->position().toPoint()),
                               me->modifiers());
        } else if (watched == viewport()) {
            emit mouseReleased(false, -1, me->modifiers());
        }
    }
    return QTableView::eventFilter(watched, event);
}

void FileGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Space && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        emit tickKeyPressed();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        emit tickAllPressed();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
        (mods & Qt::ControlModifier)) {
        const bool back = event->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        const QModelIndex next = moveCursor(back ? MovePrevious : MoveNext, Qt::NoModifier);
        if (next.isValid())
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void FileGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) FitFixedColumns();
}

void FileGrid::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileGrid::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileGrid::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit pathsDropped(paths);
}

}  // namespace ferro
