// What the start button would do, shown before it is pressed: the preview
// column of the name and metadata pages follows every field they read.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimeEdit>

#include "app/filelist_model.h"
#include "app/preview_column.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::SetUpPreview() {
    auto* column = new PreviewColumn(*this, Find<QLabel>("lblPreview"));
    previewColumn_ = column;
    // Every connection lives as long as the column (it goes first when the
    // window closes).
    auto again = [column] { column->Invalidate(); };
    connect(pgcOne_, &QTabWidget::currentChanged, column, again);
    for (const char* name : {"edtNewFilename", "edtNewExt"})
        connect(Find<QLineEdit>(name), &QLineEdit::textChanged, column, again);
    for (const char* name : {"ckModify", "ckCreate", "ckAccess", "chkTime", "ckNormal", "ckSystem",
                             "ckReadonly", "ckHidden"})
        connect(Find<QCheckBox>(name), &QCheckBox::toggled, column, again);
    for (const char* name : {"dtModify", "dtCreate", "dtAccess"})
        connect(Find<QDateEdit>(name), &QDateEdit::dateChanged, column, again);
    connect(Find<QTimeEdit>("dtpTime"), &QTimeEdit::timeChanged, column, again);
    // The list: rows, order, ticks and cells (but not the column's own cells).
    connect(model_, &QAbstractItemModel::rowsInserted, column, again);
    connect(model_, &QAbstractItemModel::rowsRemoved, column, again);
    connect(model_, &QAbstractItemModel::modelReset, column, again);
    connect(model_, &QAbstractItemModel::layoutChanged, column, again);
    connect(model_, &QAbstractItemModel::dataChanged, column,
            [column](const QModelIndex& topLeft) {
                if (topLeft.column() < kColumnCount) column->Invalidate();
            });
    connect(this, &TForm1::busyChanged, column, [column](bool busy) {
        if (!busy) column->Invalidate();
    });
}

}  // namespace ferro
