// Exporting the ticked rows' names or folders to a text file, and deleting
// the ticked files from disk.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/delete_files.h"
#include "fileops/ticked_rows.h"
#include "platform/codec.h"
#include "platform/collate.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {

namespace {

// Asks where the list goes (the dialog offers the last chosen name again);
// nullopt when the user cancels.
std::optional<std::string> AskExportFile(TForm1& form, QString& lastName) {
    FileDialogOptions o;
    o.objectName = QStringLiteral("dlgSave1");
    o.title = QStringLiteral("另存为");
    o.directory = lastName.isEmpty() ? QDir::currentPath() : QFileInfo(lastName).absolutePath();
    o.selectedFile = lastName;
    o.filters = {QStringLiteral("文本文件(*.txt)")};
    o.defaultSuffix = QStringLiteral("txt");
    o.confirmOverwrite = true;
    QString chosen = form.dialogs().SaveFile(&form, o);
    if (chosen.isEmpty()) return std::nullopt;
    if (QFileInfo(chosen).suffix().isEmpty() && !chosen.endsWith(QLatin1Char('.')))
        chosen += QStringLiteral(".txt");
    lastName = chosen;
    return QStringToGbk(chosen);
}

// One entry a line; written through a temporary file, so a failed write
// leaves an older list whole. Automatic mode: each name as it is on disk
// (UTF-8), ended by LF. Classic mode: GBK bytes without a byte-order mark,
// each entry ended by CR LF.
void WriteList(const std::string& path, const std::vector<std::string>& entries, TextMode mode) {
    const bool classic = mode == TextMode::ClassicGbk;
    std::string text;
    std::size_t size = 0;
    for (const std::string& e : entries) size += e.size() + 2;
    text.reserve(size + size / 2);
    std::string disk;
    for (const std::string& e : entries) {
        if (classic)
            text += e;
        else if (GbkToDisk(e, disk))
            text += disk;
        else
            Gb18030ToUtf8(e, text);
        text += classic ? "\r\n" : "\n";
    }
    if (!WriteFileSafely(path, text)) ThrowCannotCreate(path);
}

// What decides whether two folders are the same to the user: the collation
// of their lower-case forms (the sort key without the text appended to it),
// so that every folder is looked up once instead of compared with all the
// folders before it.
std::string FolderIdentity(const std::string& folder) {
    const std::string lower = AnsiLower(folder);
    std::string key = CollationKey(lower);
    key.resize(key.size() - lower.size());
    return key;
}

}  // namespace

void TForm1::btnExpClick() {
    if (!CheckSelection()) return;
    RunCommand(Find<QPushButton>("btnExp"), [this] {
        const bool withFolders = AskYesNo(QStringLiteral("导出文件名称时，是否包含文件目录？"));
        std::vector<std::string> entries;
        ForEachTickedRow(false, [&](int row) {
            entries.push_back(withFolders ? files_.Path(row) : files_.Name(row));
        });
        if (entries.empty()) return;
        const std::optional<std::string> path = AskExportFile(*this, lastSaveName_);
        if (!path) return;
        WriteList(*path, entries, CurrentTextMode());
        ShowInfo(QStringLiteral("文件名称导出成功,导出总数量：") + QString::number(entries.size()));
    });
}

void TForm1::btnExpDirClick() {
    if (!CheckSelection()) return;
    RunCommand(Find<QPushButton>("btnExpDir"), [this] {
        std::vector<std::string> folders;
        std::unordered_set<std::string> seen;
        ForEachTickedRow(false, [&](int row) {
            const std::string& folder = files_.Folder(row);
            if (seen.insert(FolderIdentity(folder)).second) folders.push_back(folder);
        });
        if (folders.empty()) return;
        const std::optional<std::string> path = AskExportFile(*this, lastSaveName_);
        if (!path) return;
        WriteList(*path, folders, CurrentTextMode());
        ShowInfo(QStringLiteral("文件目录导出成功,导出总数量：") + QString::number(folders.size()));
    });
}

void TForm1::cbDelClick() {
    if (!CheckSelection()) return;
    const std::size_t count = TickedFiles(files_).size();
    if (!dialogs_->QuestionDefaultNo(
            this, QString::fromUtf8(kAppCaption),
            QStringLiteral("确定要将选中的 %1 个文件移到回收站吗?").arg(count)))
        return;
    RunCommand(Find<QPushButton>("cbDel"), [this] {
        // Where a file's disk has no trash, the user decides once for all such
        // files, with the warning deletion always had.
        auto askPermanent = [this] {
            return dialogs_->QuestionDefaultNo(
                this, QString::fromUtf8(kAppCaption),
                QStringLiteral("此操作将从磁盘上删除此文件且不可恢复,确认要删除吗?"));
        };
        RunSummary s;
        {
            WindowRunHost host(*this, nullptr, QStringLiteral("删除文件到回收站"));
            s = TrashTickedFiles(files_, askPermanent, &host);
        }
        AddToCounter(stSrcCount_, -s.done);
        if (s.done > 0) SetCounter(stDeleteCount_, s.done);
        // Nothing to say when every file went; otherwise which stayed, and why.
        if (!s.undone.empty() || s.stopped)
            SetRunReport(s, QStringLiteral("已删除 %1 个文件").arg(s.done));
    });
}

}  // namespace ferro
