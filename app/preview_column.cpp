#include "app/preview_column.h"

#include <QLabel>
#include <QTabWidget>

#include "app/looks.h"
#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "fileops/preview.h"
#include "metadata/value_cache.h"
#include "ops/operation.h"
#include "platform/codec.h"
#include "platform/error.h"

namespace ferro {
namespace {

// The page on show when its operation previews in the column.
const page::PageBinding* PreviewedPage(const TForm1& form) {
    const page::PageBinding* page = form.CurrentPage();
    return page && page->operation().info().preview == ops::PreviewKind::Names ? page : nullptr;
}

// The pause after a keystroke before the preview is worked out again.
constexpr int kDebounceMs = 30;
// How long one slice of the walk may keep the window.
constexpr int kSliceMs = 15;

}  // namespace

PreviewColumn::PreviewColumn(TForm1& form, QLabel* summary) : form_(form), summary_(summary) {
    // Called on the reader's threads: one call waits on the window's queue
    // at a time, however many files come in meanwhile.
    reader_ = std::make_unique<FileValueReader>(FileValueCache::Shared(), [this](const std::string&) {
        if (!arrivalPosted_.exchange(true))
            QMetaObject::invokeMethod(this, &PreviewColumn::ValuesArrived, Qt::QueuedConnection);
    });
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &PreviewColumn::Rebuild);
    slicer_.setInterval(0);
    connect(&slicer_, &QTimer::timeout, this, &PreviewColumn::Slice);
}

PreviewColumn::~PreviewColumn() {
    if (form_.fileModel() && form_.fileModel()->extraColumn() == this)
        form_.fileModel()->SetExtraColumn(nullptr);
    preview_.reset();
    reader_->Forget();
    reader_.reset();  // waits for the files being read
}

bool PreviewColumn::reading() const {
    return preview_ && !preview_->finished() && preview_->waiting();
}

QString PreviewColumn::Header() const {
    const page::PageBinding* page = PreviewedPage(form_);
    return page ? QString::fromUtf8(page->operation().info().previewColumn) : QStringLiteral("新名称");
}

QVariant PreviewColumn::Cell(int row, int role) const {
    if (!preview_) return {};
    const std::optional<PlannedChange> c = preview_->Row(row);
    if (!c) return {};
    const bool skipped = c->why != Undone::None;
    switch (role) {
        case Qt::DisplayRole:
            if (c->pending) return QStringLiteral("读取中…");
            if (c->after.empty() && skipped) return GbkToQString(UndoneText(c->why, c->detail));
            return GbkToQString(c->after);
        case Qt::ForegroundRole:
            if (c->pending) return summary_->palette().color(QPalette::PlaceholderText);
            if (skipped) return TintColour(Tint::Caution, summary_->palette());
            return {};
        case Qt::ToolTipRole:
            if (c->pending) return QStringLiteral("正在读取文件信息");
            if (skipped)
                return QStringLiteral("将跳过：") + GbkToQString(UndoneText(c->why, c->detail));
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

void PreviewColumn::Invalidate() {
    slicer_.stop();
    debounce_.start();
}

void PreviewColumn::Settle() {
    debounce_.stop();
    Rebuild();
    slicer_.stop();
    while (preview_ && !preview_->Advance(0)) reader_->WaitIdle();
    if (preview_) form_.fileModel()->ExtraColumnChanged();
    ShowSummary();
}

void PreviewColumn::Rebuild() {
    slicer_.stop();
    preview_.reset();
    reader_->Forget();  // what the old preview asked for
    FileListModel* model = form_.fileModel();
    // While a command runs the list changes under it; it is worked out
    // again when the command ends.
    if (form_.IsBusy()) return;
    const page::PageBinding* page = PreviewedPage(form_);
    try {
        // The settings as the start button reads and checks them.
        if (page) {
            const ops::FieldValues values = page->Read();
            if (!page->operation().Check(values))
                preview_ = page->operation().Prepare(values)->PreviewNames(form_.fileList());
            if (preview_) preview_->UseReader(reader_.get());
        }
    } catch (const Error&) {
        preview_.reset();  // a setting the start button would refuse
    }
    const bool onPreviewPage = page != nullptr;
    model->SetExtraColumn(onPreviewPage ? this : nullptr);
    if (onPreviewPage) {
        model->headerDataChanged(Qt::Horizontal, kColumnCount, kColumnCount);
        model->ExtraColumnChanged();
    }
    if (preview_) slicer_.start();
    ShowSummary();
}

void PreviewColumn::Slice() {
    if (!preview_) {
        slicer_.stop();
        return;
    }
    // Waiting for a file's values: the walk goes on when they arrive.
    if (preview_->Advance(kSliceMs) || preview_->waiting()) slicer_.stop();
    form_.fileModel()->ExtraColumnChanged();
    ShowSummary();
}

void PreviewColumn::ValuesArrived() {
    arrivalPosted_ = false;
    if (!preview_) return;
    form_.fileModel()->ExtraColumnChanged();  // rows on screen that waited
    if (!preview_->finished() && !slicer_.isActive()) slicer_.start();
    ShowSummary();
}

void PreviewColumn::ShowSummary() {
    if (!preview_) {
        summary_->clear();
        summary_->setVisible(false);
        return;
    }
    summary_->setVisible(true);
    if (!preview_->finished() && preview_->waiting())
        summary_->setText(QStringLiteral("正在读取文件信息… %1/%2")
                              .arg(preview_->walked())
                              .arg(preview_->total()));
    else if (!preview_->finished())
        summary_->setText(QStringLiteral("正在预览…"));
    else
        summary_->setText(QStringLiteral("将更改 %1 个文件，跳过 %2 个")
                              .arg(preview_->changing())
                              .arg(preview_->skipping()));
}

}  // namespace ferro
