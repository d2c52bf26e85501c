// The search group: folder chooser, filter switches, the search and its
// stop button. The walk itself is fileops/search; this file reads the
// controls for it and keeps the buttons, the cursor and the counter right.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>

#include <vector>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/tform1.h"
#include "fileops/search.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace ferro {

namespace {

// How many searches of the window are running, nested inside each other's
// message pumps.
constexpr const char* kDepthProperty = "ferroSearchDepth";

int64_t DayOf(const QDateEdit* edit) {
    const QDate d = edit->date();
    return DaysFromCivil(d.year(), d.month(), d.day());
}

// The date type as the combo box shows it. Typed text that names no item
// falls back to the first item, the modified time.
SearchDate DateTypeOf(const QComboBox* box) {
    const int i = box->findText(box->currentText(), Qt::MatchExactly);
    if (i == 1) return SearchDate::Creation;
    if (i == 2) return SearchDate::LastAccess;
    return SearchDate::LastWrite;
}

class WindowSearchHost : public SearchHost {
public:
    explicit WindowSearchHost(TForm1& form)
        : form_(form),
          ckFileSize_(form.Find<QCheckBox>("ckFileSize")),
          ckFileDate_(form.Find<QCheckBox>("ckFileDate")),
          ckSub_(form.Find<QCheckBox>("ckSub")),
          cbDateType_(form.Find<QComboBox>("cbDateType")),
          edMin_(form.Find<QLineEdit>("edMin")),
          edMax_(form.Find<QLineEdit>("edMax")),
          dtMin_(form.Find<QDateEdit>("dtMin")),
          dtMax_(form.Find<QDateEdit>("dtMax")) {}

    SearchBounds ReadBounds() override {
        SearchBounds b;
        b.date = DateTypeOf(cbDateType_);
        b.minSize = SizeBoundValue(QStringToGbk(edMin_->text()));
        b.maxSize = SizeBoundValue(QStringToGbk(edMax_->text()));
        b.minDay = DayOf(dtMin_);
        b.maxDay = DayOf(dtMax_);
        return b;
    }
    bool SizeFilterOn() override { return ckFileSize_->isChecked(); }
    bool DateFilterOn() override { return ckFileDate_->isChecked(); }
    bool IncludeSubfolders() override { return ckSub_->isChecked(); }
    bool StopRequested() override { return form_.FStopSearch; }
    void PassStarted(const std::string& mask, const std::string& root) override {
        form_.FSearchMask = mask;
        form_.FSearchDir = root;
    }
    void FolderDone() override {
        TForm1::SetCounter(form_.stSrcCount(), SearchRowCount(form_.fileList()));
    }
    void FolderSkipped(const std::string& folder) override { skipped_.push_back(folder); }
    const std::vector<std::string>& skipped() const { return skipped_; }

private:
    TForm1& form_;
    QCheckBox* ckFileSize_;
    QCheckBox* ckFileDate_;
    QCheckBox* ckSub_;
    QComboBox* cbDateType_;
    QLineEdit* edMin_;
    QLineEdit* edMax_;
    QDateEdit* dtMin_;
    QDateEdit* dtMax_;
    std::vector<std::string> skipped_;
};

// Tells which folders the search could not read, so that no file is missed
// without a word.
QString SkippedFoldersText(const std::vector<std::string>& folders) {
    constexpr std::size_t kNamed = 5;
    QString text = QStringLiteral("有 %1 个目录无法读取（打开的文件过多、路径过长或读取出错），"
                                  "其中的文件没有列出：")
                       .arg(folders.size());
    for (std::size_t i = 0; i < folders.size() && i < kNamed; ++i)
        text += QLatin1Char('\n') + GbkToQString(folders[i]);
    if (folders.size() > kNamed) text += QStringLiteral("\n……");
    return text;
}

void SetSearchRunning(TForm1& form, bool running) {
    form.Find<QPushButton>("cbSearch")->setEnabled(!running);
    form.Find<QPushButton>("btnStopSearch")->setEnabled(running);
}

}  // namespace

void TForm1::btnOpenClick() {
    const QString folder = dialogs().ChooseFolder(this, QStringLiteral("请选择搜索目录"));
    if (!folder.isEmpty()) Find<QLineEdit>("edFolder")->setText(folder);
}

void TForm1::ckFileSizeClick() {
    const bool on = Find<QCheckBox>("ckFileSize")->isChecked();
    Find<QLineEdit>("edMin")->setEnabled(on);
    Find<QLineEdit>("edMax")->setEnabled(on);
}

void TForm1::ckFileDateClick() {
    const bool on = Find<QCheckBox>("ckFileDate")->isChecked();
    Find<QDateEdit>("dtMin")->setEnabled(on);
    Find<QDateEdit>("dtMax")->setEnabled(on);
    Find<QComboBox>("cbDateType")->setEnabled(on);
}

void TForm1::cbSearchClick() {
    // A search may run inside another search (started after a stop), never
    // inside another command.
    if (IsBusy() && property(kDepthProperty).toInt() == 0) return;
    const std::string masks = Trim(FieldText("cmbFileType"));
    if (masks.empty()) {
        ShowError(QStringLiteral("文件类型为空,请设置好后再试！"));
        return;
    }
    BeginBusy();  // the list is the search's until it ends
    SetSearchRunning(*this, true);
    FStopSearch = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int depth = property(kDepthProperty).toInt();
    setProperty(kDepthProperty, depth + 1);

    std::exception_ptr failure;
    WindowSearchHost host(*this);
    try {
        RunSearch(files_, host, masks, FieldText("edFolder"));
    } catch (...) {
        failure = std::current_exception();
    }

    setProperty(kDepthProperty, depth);
    model_->FlushPendingRows();
    SetCounter(stSrcCount_, SearchRowCount(files_));
    sgFiles_->FitTextColumns();
    QApplication::restoreOverrideCursor();
    EndBusy();
    // A search this one ran inside goes on now, and must stay stoppable.
    SetSearchRunning(*this, depth > 0 && !FStopSearch);
    if (!host.skipped().empty())
        dialogs().Message(this, DialogProvider::Icon::Warning, QString::fromUtf8(kAppCaption),
                          SkippedFoldersText(host.skipped()));
    if (!failure) return;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowError(QString());
    }
}

void TForm1::sgFilesDragDrop(const QStringList& paths) {
    if (IsBusy()) return;  // the list holds still while a command runs
    const std::string masks = Trim(FieldText("cmbFileType"));
    BeginBusy();
    SetSearchRunning(*this, true);  // a folder's search can be stopped
    FStopSearch = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);

    std::exception_ptr failure;
    WindowSearchHost host(*this);
    bool maskMissing = false;
    try {
        for (const QString& path : paths) {
            const std::string gbk = QStringToGbk(path);
            FindEntry entry;
            if (!StatPath(gbk, entry)) continue;
            if (!(entry.attributes & attr::Directory)) {
                AddListedFile(gbk);
                continue;
            }
            if (masks.empty()) {
                maskMissing = true;
            } else if (!FStopSearch) {
                AppendSearch(files_, host, masks, {gbk});
                model_->FlushPendingRows();
                SetCounter(stSrcCount_, SearchRowCount(files_));
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }

    model_->FlushPendingRows();
    QApplication::restoreOverrideCursor();
    EndBusy();
    SetSearchRunning(*this, false);
    sgFiles_->FitTextColumns();
    if (maskMissing) ShowError(QStringLiteral("文件类型为空,请设置好后再试！"));
    if (!host.skipped().empty())
        dialogs().Message(this, DialogProvider::Icon::Warning, QString::fromUtf8(kAppCaption),
                          SkippedFoldersText(host.skipped()));
    if (failure) std::rethrow_exception(failure);
}

void TForm1::btnStopSearchClick() {
    FStopSearch = true;
    SetSearchRunning(*this, false);
}

void TForm1::SearchFolder(const std::string& sub) {
    WindowSearchHost host(*this);
    ferro::SearchFolder(files_, host, MaskMatcher(FSearchMask), FSearchDir, sub);
}

}  // namespace ferro
