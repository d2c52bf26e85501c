// What the start button would do, shown before it is pressed: the preview
// column of the name and metadata pages follows every field they read.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimeEdit>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/preview_column.h"
#include "app/run_host.h"
#include "app/text_preview_window.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "textops/text_preview.h"

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

namespace ferro {
namespace {

// The start buttons "预览" presses, by page.
const char* PreviewedStartButton(const QString& page) {
    static const std::pair<const char*, const char*> kPages[] = {
        {"ts2", "btnCut"},          {"ts4", "btnIns"},         {"TabSheet1", "btnReplace"},
        {"TabSheet3", "btnDelLine"}, {"TabSheet4", "btnGetLine"}, {"TabSheet5", "btnInsLine"},
        {"TabSheet12", "btnConvert"},
    };
    for (const auto& [name, button] : kPages)
        if (page == QLatin1String(name)) return button;
    return nullptr;
}

}  // namespace

TextPreviewWindow* TForm1::textPreview() const {
    return textPreview_;
}

void TForm1::SetUpTextPreview() {
    auto* btnPreview = Find<QPushButton>("btnPreview");
    ConnectClick(btnPreview, &TForm1::btnPreviewClick);
    auto follow = [this, btnPreview] {
        btnPreview->setEnabled(PreviewedStartButton(pgcOne_->currentWidget()->objectName()));
    };
    connect(pgcOne_, &QTabWidget::currentChanged, btnPreview, follow);
    follow();
}

int TForm1::PreviewRow() const {
    const QModelIndex current = sgFiles_->currentIndex();
    if (current.isValid() && current.row() + 1 <= files_.LastRow()) return current.row() + 1;
    for (int r = 1; r <= files_.LastRow(); ++r)
        if (files_.Checked(r)) return r;
    return 0;
}

void TForm1::btnPreviewClick() {
    if (IsBusy()) return;
    const char* start = PreviewedStartButton(pgcOne_->currentWidget()->objectName());
    auto* button = start ? Find<QPushButton>(start) : nullptr;
    if (!button) return;
    previewing_ = true;
    const auto done = qScopeGuard([this] { previewing_ = false; });
    button->click();
}

void TForm1::ShowTextPreview(const LineOperation& operation) {
    const int row = PreviewRow();
    if (row == 0) return;
    const std::string path = files_.Path(row);
    if (!textPreview_) textPreview_ = new TextPreviewWindow(this);
    QPointer<TextPreviewWindow> window = textPreview_;
    window->Begin(GbkToQString(path));
    window->show();
    window->raise();
    TextPreview p;
    {
        WindowRunHost host(*this, nullptr);
        host.Started(1);
        host.FileStarted(0, path);
        // Closing the preview, or the stop button, ends the work early.
        p = PreviewTextFile(path, CurrentTextMode(), operation,
                            [&] { return !window || host.StopRequested(); });
        host.FileFinished(FileResult{row, path, p.ok() ? Undone::None : p.why, {}});
    }
    if (window) window->Show(std::move(p));
}

}  // namespace ferro
