// The file list's own commands: ticks, header sort, adding files from the
// open-file dialog and removing rows (never files) from the list.
#include <QHeaderView>

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

void TForm1::sgFilesMouseUp(bool onHeader, int headerColumn) {
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
    files_.ToggleChecked(row);
}

void TForm1::SortByColumn(int column, bool ascending) {
    model_->FlushPendingRows();
    files_.Sort(column, ascending);
}

void TForm1::btnSelAllClick() {
    if (IsBusy()) return;
    for (int r = 1; r <= files_.LastRow(); ++r)
        if (!files_.Checked(r)) files_.SetChecked(r, true);
}

void TForm1::btnDeSelAllClick() {
    if (IsBusy()) return;
    for (int r = 1; r <= files_.LastRow(); ++r)
        if (files_.Checked(r)) files_.SetChecked(r, false);
}

void TForm1::btnInverseClick() {
    if (IsBusy()) return;
    for (int r = 1; r <= files_.LastRow(); ++r) files_.ToggleChecked(r);
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
    for (const QString& path : chosen) {
        // The chosen path names one file: looked up as it stands, so that
        // '?' and '*' in a name are plain characters.
        const std::string gbk = QStringToGbk(path);
        FindEntry entry;
        if (!StatPath(gbk, entry)) continue;
        ProcessPendingMessages();
        if (entry.attributes & ~kListedAttributes) continue;
        files_.AddFile(entry, ExtractFileDir(gbk));
        AddToCounter(stSrcCount_, 1);
    }
    model_->FlushPendingRows();
}

void TForm1::btnDelClick() {
    if (IsBusy()) return;
    const int removed = files_.RemoveCheckedRows();
    AddToCounter(stSrcCount_, -removed);
}

}  // namespace ferro
