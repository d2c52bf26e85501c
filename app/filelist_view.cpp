#include "app/filelist_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

#include "app/filelist_model.h"

namespace ferro {

void NameCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != 0) return;
    const QRect cell = option.rect;
    painter->save();
    painter->fillRect(cell, Qt::white);

    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    QStyleOptionButton box;
    box.rect = QRect(cell.left() + 4, cell.top() + (cell.height() - h) / 2, w, h);
    box.state = QStyle::State_Enabled |
                (index.data(FileListModel::CheckedRole).toBool() ? QStyle::State_On
                                                                 : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);

    QRect text(box.rect.right() + 1 + 4, cell.top(), cell.right() - box.rect.right() - 4,
               cell.height());
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(name, Qt::ElideRight, text.width()));
    painter->restore();
}

FileGrid::FileGrid(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("sgFiles"));
    setItemDelegate(new NameCellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
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

bool FileGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == horizontalHeader()->viewport()) {
            emit mouseReleased(true, horizontalHeader()->logicalIndexAt(me->position().toPoint()));
        } else if (watched == viewport()) {
            emit mouseReleased(false, -1);
        }
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace ferro
