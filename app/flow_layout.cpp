#include "app/flow_layout.h"

#include <QWidget>
#include <algorithm>

namespace ferro {

FlowLayout::FlowLayout(int horizontalSpacing, int verticalSpacing)
    : hSpace_(horizontalSpacing), vSpace_(verticalSpacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }
int FlowLayout::count() const { return int(items_.size()); }
QLayoutItem* FlowLayout::itemAt(int index) const { return items_.value(index); }

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_.takeAt(index);
}

Qt::Orientations FlowLayout::expandingDirections() const { return {}; }

int FlowLayout::heightForWidth(int width) const {
    return Arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : items_) size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
    // Everything on one line.
    int width = 0, height = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize s = item->sizeHint();
        width += (width > 0 ? hSpace_ : 0) + s.width();
        height = std::max(height, s.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x(), y = area.y(), lineHeight = 0;
    // Items of one line share its height, centred vertically.
    QList<QPair<QLayoutItem*, QRect>> line;
    auto flush = [&] {
        if (apply)
            for (auto& [item, r] : line)
                item->setGeometry(QRect(r.x(), r.y() + (lineHeight - r.height()) / 2, r.width(), r.height()));
        line.clear();
    };
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize s = item->sizeHint().expandedTo(item->minimumSize());
        if (x > area.x() && x + s.width() > area.right() + 1) {
            flush();
            x = area.x();
            y += lineHeight + vSpace_;
            lineHeight = 0;
        }
        line.append({item, QRect(QPoint(x, y), s)});
        x += s.width() + hSpace_;
        lineHeight = std::max(lineHeight, s.height());
    }
    flush();
    const QMargins m = contentsMargins();
    return y + lineHeight - rect.y() + m.bottom();
}

}  // namespace ferro
