// The file list's own commands: ticks, header sort, adding files from the
// open-file dialog and removing rows (never files) from the list.
#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/pump.h"

namespace ferro {

namespace {
// What the list accepts: entries with other bits (reparse points,
// compressed, temporary, devices ...) are left out.
constexpr uint32_t kListedAttributes = attr::ReadOnly | attr::Hidden | attr::System |
                                       attr::VolumeId | attr::Directory | attr::Archive |
                                       attr::Normal | attr::NotContentIndexed;
}  // namespace

void TForm1::sgFilesMouseUp(bool onHeader, int headerColumn, Qt::KeyboardModifiers modifiers) {
    if (IsBusy()) return;  // ticks and order hold still while a command runs
    FSortAscending = !FSortAscending;
    if (onHeader) {
        if (headerColumn >= 0) SortByColumn(headerColumn, FSortAscending);
        return;
    }
    const QModelIndex current = sgFiles_->currentIndex();
    if (!current.isValid() || current.column() != 0) return;
    const int row = current.row() + 1;
    if (row < 1 || row > files_.LastRow()) return;
    if ((modifiers & Qt::ShiftModifier) && tickAnchor_ >= 1 && tickAnchor_ <= files_.LastRow() &&
        tickAnchor_ != row) {
        const bool tick = files_.Checked(tickAnchor_);
        const int first = std::min(tickAnchor_, row), last = std::max(tickAnchor_, row);
        for (int r = first; r <= last; ++r)
            if (files_.Checked(r) != tick) files_.SetChecked(r, tick);
        return;
    }
    files_.ToggleChecked(row);
    tickAnchor_ = row;
}

void TForm1::sgFilesTickKey() {
    if (IsBusy()) return;
    const QModelIndex current = sgFiles_->currentIndex();
    if (!current.isValid()) return;
    const int row = current.row() + 1;
    if (row > files_.LastRow()) return;
    const bool tick = !files_.Checked(row);
    const QItemSelection selection = sgFiles_->selectionModel()->selection();
    if (selection.contains(current)) {
        for (const QItemSelectionRange& range : selection)
            for (int r = range.top() + 1; r <= range.bottom() + 1 && r <= files_.LastRow(); ++r)
                if (files_.Checked(r) != tick) files_.SetChecked(r, tick);
    } else {
        files_.SetChecked(row, tick);
    }
    tickAnchor_ = row;
}

void TForm1::SortByColumn(int column, bool ascending) {
    model_->FlushPendingRows();
    files_.Sort(column, ascending);
}

void TForm1::btnSelAllClick() {
    if (IsBusy()) return;
    files_.SetAllChecked(true);
}

void TForm1::btnDeSelAllClick() {
    if (IsBusy()) return;
    files_.SetAllChecked(false);
}

void TForm1::btnInverseClick() {
    if (IsBusy()) return;
    files_.InvertChecked();
}

void TForm1::btnAddClick() {
    if (IsBusy()) return;
    FileDialogOptions o;
    o.title = QStringLiteral("请选择需要修改属性的文件 - 添加文件");
    o.directory = QStringLiteral(".");
    o.objectName = QStringLiteral("OpenDialog1");
    o.filters = {QStringLiteral("文本文件(*.txt;*.ini)"),  QStringLiteral("图片文件(*.jpg;*.jpeg)"),
                 QStringLiteral("网页文件(*.htm;*.html)"), QStringLiteral("ASP文件(*.asp;*.aspx)"),
                 QStringLiteral("JSP文件(*.jsp;*.jspf)"),  QStringLiteral("PHP文件(*.php)"),
                 QStringLiteral("PNG文件(*.png)"),         QStringLiteral("GIF文件(*.gif)"),
                 QStringLiteral("BMP文件(*.bmp)"),         QStringLiteral("所有文件(*.*)")};
    const QStringList chosen = dialogs_->OpenFiles(this, o);
    for (const QString& path : chosen) AddListedFile(QStringToGbk(path));
    model_->FlushPendingRows();
    sgFiles_->FitTextColumns();
}

bool TForm1::AddListedFile(const std::string& path) {
    // The path names one file: looked up as it stands, so that '?' and '*'
    // in a name are plain characters.
    FindEntry entry;
    if (!StatPath(path, entry)) return false;
    ProcessPendingMessages();
    if (entry.attributes & ~kListedAttributes) return false;
    files_.AddFile(entry, ExtractFileDir(path));
    AddToCounter(stSrcCount_, 1);
    return true;
}

void TForm1::btnDelClick() {
    if (IsBusy()) return;
    const int removed = files_.RemoveCheckedRows();
    AddToCounter(stSrcCount_, -removed);
}

}  // namespace ferro
