#include "app/preview_column.h"

#include <QLabel>
#include <QTabWidget>

#include "app/looks.h"
#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "fileops/preview.h"
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
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &PreviewColumn::Rebuild);
    slicer_.setInterval(0);
    connect(&slicer_, &QTimer::timeout, this, &PreviewColumn::Slice);
}

PreviewColumn::~PreviewColumn() {
    if (form_.fileModel() && form_.fileModel()->extraColumn() == this)
        form_.fileModel()->SetExtraColumn(nullptr);
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
            if (c->after.empty() && skipped) return GbkToQString(UndoneText(c->why));
            return GbkToQString(c->after);
        case Qt::ForegroundRole:
            if (skipped) return TintColour(Tint::Caution, summary_->palette());
            return {};
        case Qt::ToolTipRole:
            if (skipped) return QStringLiteral("将跳过：") + GbkToQString(UndoneText(c->why));
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
    while (slicer_.isActive()) Slice();
}

void PreviewColumn::Rebuild() {
    slicer_.stop();
    preview_.reset();
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
    if (preview_->Advance(kSliceMs)) slicer_.stop();
    form_.fileModel()->ExtraColumnChanged();
    ShowSummary();
}

void PreviewColumn::ShowSummary() {
    if (!preview_) {
        summary_->clear();
        summary_->setVisible(false);
        return;
    }
    summary_->setVisible(true);
    if (!preview_->finished())
        summary_->setText(QStringLiteral("正在预览…"));
    else
        summary_->setText(QStringLiteral("将更改 %1 个文件，跳过 %2 个")
                              .arg(preview_->changing())
                              .arg(preview_->skipping()));
}

}  // namespace ferro
