#include "app/preview_column.h"

#include <QLabel>
#include <QTabWidget>

#include "app/looks.h"
#include "app/tform1.h"
#include "fileops/extension_change.h"
#include "fileops/preview.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"

namespace ferro {
namespace {

// Pages of the selector whose change the column shows.
constexpr int kExtensionPage = 0, kRenamePage = 1, kDatePage = 2, kAttributePage = 3;
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
    return form_.Find<QTabWidget>("pgcOne")->currentIndex() == kDatePage ? QStringLiteral("新时间")
           : form_.Find<QTabWidget>("pgcOne")->currentIndex() == kAttributePage
               ? QStringLiteral("新属性")
               : QStringLiteral("新名称");
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
    const int page = form_.Find<QTabWidget>("pgcOne")->currentIndex();
    FileList& files = form_.fileList();
    try {
        switch (page) {
            case kRenamePage: {
                const std::string typed = form_.FieldText("edtNewFilename");
                if (CheckRenamePattern(NormalizeRenamePattern(typed)) == RenamePatternProblem::None)
                    preview_ = ChangePreview::ForRename(files, typed, ProgramDir());
                break;
            }
            case kExtensionPage: {
                const std::string typed = form_.FieldText("edtNewExt");
                if (!NormalizeExtensionPattern(typed).empty())
                    preview_ = ChangePreview::ForExtension(files, typed);
                break;
            }
            case kDatePage: {
                const DateSettings s = form_.ReadDateSettings();
                if (s.AnyChosen()) preview_ = ChangePreview::ForDates(files, s);
                break;
            }
            case kAttributePage: {
                const AttributeSettings s = form_.ReadAttributeSettings();
                if (s.Value() != 0) preview_ = ChangePreview::ForAttributes(files, s);
                break;
            }
            default:
                break;
        }
    } catch (const Error&) {
        preview_.reset();  // a setting the start button would refuse
    }
    const bool onPreviewPage = page >= kExtensionPage && page <= kAttributePage;
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
