// What the start button would do, shown before it is pressed: the preview
// column of the name and metadata pages follows every field they read.
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/pages/page_binding.h"
#include "app/preview_column.h"
#include "app/run_host.h"
#include "app/text_preview_window.h"
#include "app/tform1.h"
#include "ops/operation.h"
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
    // Every field of the pages it previews.
    for (page::PageBinding* page : pages_)
        if (page->operation().info().preview == ops::PreviewKind::Names)
            connect(page, &page::PageBinding::changed, column, again);
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

// Whether "预览" presses the page's start button: the pages whose
// operation shows one file's lines or the files it would write.
bool Previewed(const page::PageBinding* page) {
    if (!page) return false;
    const ops::PreviewKind kind = page->operation().info().preview;
    return kind == ops::PreviewKind::Lines || kind == ops::PreviewKind::Outputs;
}

}  // namespace

TextPreviewWindow* TForm1::textPreview() const {
    return textPreview_;
}

void TForm1::SetUpTextPreview() {
    auto* btnPreview = Find<QPushButton>("btnPreview");
    ConnectClick(btnPreview, &TForm1::btnPreviewClick);
    auto follow = [this, btnPreview] { btnPreview->setEnabled(Previewed(CurrentPage())); };
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
    page::PageBinding* page = CurrentPage();
    if (!Previewed(page)) return;
    previewing_ = true;
    const auto done = qScopeGuard([this] { previewing_ = false; });
    page->start()->click();
}

void TForm1::ShowPreview(ops::Job& job, const std::vector<BatchFile>& files) {
    if (const std::optional<LineOperation> rule = job.PreviewRule()) ShowTextPreview(*rule);
    else ShowOutputsPreview(job, files);
}

void TForm1::ShowOutputsPreview(const ops::Job& job, std::vector<BatchFile> files) {
    if (files.empty()) files.push_back({PreviewRow(), files_.Path(PreviewRow())});
    int created = 0, replaced = 0, same = 0;
    QString details;
    std::string lastSame;
    for (const PlannedOutput& p : job.Outputs(files)) {
        if (!p.sameAs.empty()) {
            // One line for a source left undone, however many files it has.
            if (p.source == lastSame) continue;
            lastSame = p.source;
            ++same;
            details += GbkToQString(p.source) + QStringLiteral("\t不转换：") +
                       GbkToQString(SameOutputText(p.sameAs)) + QStringLiteral("\n");
            continue;
        }
        (p.exists ? replaced : created) += 1;
        details += GbkToQString(p.output) +
                   (p.exists ? QStringLiteral("\t将替换\n") : QStringLiteral("\t将新建\n"));
    }
    QString text = QStringLiteral("转换将新建 %1 个文件，替换 %2 个已有文件(源文件不能转换的除外)。")
                       .arg(created)
                       .arg(replaced);
    if (same) text += QStringLiteral("\n%1 个文件与前面文件的输出同名，将不转换。").arg(same);
    dialogs_->MessageWithDetails(this, DialogProvider::Icon::Information,
                                 QString::fromUtf8(kAppCaption), text, details);
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
