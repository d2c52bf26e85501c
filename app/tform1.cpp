#include "app/tform1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/pages/page_binding.h"
#include "app/preview_column.h"
#include "app/looks.h"
#include "journal/journal.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/random.h"

namespace ferro {

namespace {
void PumpWindowMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
}  // namespace

void InstallMessagePump() { SetMessagePumpHook(&PumpWindowMessages, 30); }

TForm1::TForm1(DialogProvider* dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kAppCaption));
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    setFont(font);

    model_ = new FileListModel(&files_, this);
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(15000);

    BuildWindow();
    SetUpPreview();
    SetUpUndo();
    SetUpTextPreview();
    FitToScreen(*this, QSize(800, 600));
    FormCreate();
}

TForm1::~TForm1() {
    // The preview column leaves the model before the model goes.
    delete previewColumn_;
    previewColumn_ = nullptr;
    FormDestroy();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (FBatchRuns > 0 && !FCloseAfterRun) {
        // Closed while files are being changed: the run would go on unseen.
        if (!dialogs_->Question(this, QString::fromUtf8(kAppCaption),
                                QStringLiteral("正在处理…，要在当前文件处理完后停止并退出吗？"))) {
            event->ignore();
            return;
        }
        QuitWhenRunStops();
    }
    if (FBatchRuns > 0) {
        event->ignore();  // closed once the run has stopped
        return;
    }
    FStopSearch = true;  // a running search ends at its next entry
    QMainWindow::closeEvent(event);
}

void TForm1::QuitWhenRunStops() {
    FStopSearch = true;
    if (FBatchRuns == 0) {
        close();
        return;
    }
    FCloseAfterRun = true;
    FStopRun = true;
}

void TForm1::FormCreate() {
    static const char* const kHeaders[kColumnCount] = {"文件名称", "目录名称", "大小(字节)",
                                                       "创建时间", "修改时间", "文件类型"};
    for (int c = 0; c < kColumnCount; ++c)
        model_->setHeaderData(c, Qt::Horizontal, QString::fromUtf8(kHeaders[c]), Qt::DisplayRole);

    const QDate today = QDate::currentDate();
    if (auto* d = Find<QDateEdit>("dtMax")) d->setDate(today);
    if (auto* d = Find<QDateEdit>("dtMin")) d->setDate(today.addMonths(-1));
    for (const char* name : {"dtAccess", "dtModify", "dtCreate"})
        if (auto* d = Find<QDateEdit>(name)) d->setDate(today);
    if (auto* t = Find<QTimeEdit>("dtpTime")) t->setTime(QTime::currentTime());

    SetFieldText("edFolder", GetCurrentDir());

    cmbOpt_->setCurrentIndex(1);
    ShowOperationPage(1, -1);

    FTipsList.clear();
    SeedRandomFromClock();
    Timer1_->start();
}

void TForm1::FormDestroy() {
    FStopSearch = true;
    FTipsList.clear();
}

void TForm1::cmbOptChange(int index) { ShowOperationPage(index, -1); }

void TForm1::ShowOperationPage(int first, int second) {
    for (int i = 0; i < pgcOne_->count(); ++i) {
        const bool show = i == first || i == second;
        pgcOne_->setTabVisible(i, show);
    }
    if (first >= 0 && first < pgcOne_->count()) pgcOne_->setCurrentIndex(first);
}

bool TForm1::CheckSelection() {
    // Another command is running: its controls are off, and no shortcut
    // may start a second one over the same list.
    if (IsBusy()) return false;
    if (files_.IsEmpty()) {
        ShowError(QStringLiteral("没有源文件，请搜索后再试！"));
        return false;
    }
    for (int r = files_.LastRow(); r >= 1; --r)
        if (files_.Checked(r)) return true;
    // A preview needs one file: the current row will do.
    if (previewing_ && PreviewRow() > 0) return true;
    ShowError(QStringLiteral("请先选择文件！"));
    return false;
}

page::PageBinding* TForm1::CurrentPage() const {
    const int index = pgcOne_->currentIndex();
    return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[index] : nullptr;
}

int TForm1::CurrentRow() const {
    const int row = sgFiles_->currentIndex().row() + 1;
    return row >= 1 && row <= files_.LastRow() ? row : 0;
}

bool TForm1::FindFirstTwoChecked(int& first, int& second) {
    int found = 0;
    for (int r = 1; r <= files_.LastRow(); ++r) {
        if (!files_.Checked(r)) continue;
        if (found == 0) {
            first = r;
            found = 1;
        } else {
            second = r;
            return true;
        }
    }
    return false;
}

int TForm1::CounterValue(const QLabel* counter) { return counter->text().toInt(); }

void TForm1::SetCounter(QLabel* counter, long long value) {
    counter->setText(QString::number(value));
}

void TForm1::AddToCounter(QLabel* counter, long long delta) {
    SetCounter(counter, counter->text().toLongLong() + delta);
}

void TForm1::ShowError(const QString& text) {
    dialogs_->Message(this, DialogProvider::Icon::Error, QString::fromUtf8(kAppCaption), text);
}

void TForm1::ShowInfo(const QString& text) {
    dialogs_->Message(this, DialogProvider::Icon::Information, QString::fromUtf8(kAppCaption),
                      text);
}

bool TForm1::AskYesNo(const QString& text) {
    return dialogs_->Question(this, QString::fromUtf8(kAppCaption), text);
}

void TForm1::ShowException(const std::exception& e) {
    QString text;
    if (dynamic_cast<const Error*>(&e)) text = GbkToQString(e.what());
    else if (dynamic_cast<const std::bad_alloc*>(&e)) text = QStringLiteral("内存不足");
    else text = QString::fromLocal8Bit(e.what());
    ShowError(text);
}

bool TForm1::RunCommand(QAbstractButton* button, const std::function<void()>& body) {
    QPointer<QAbstractButton> b(button);
    BeginBusy();
    if (b) b->setEnabled(false);
    closingMessage_.clear();
    closingDetails_.clear();
    closingIsError_ = false;
    bool ok = true;
    try {
        body();
    } catch (const std::exception& e) {
        ok = false;
        closingMessage_.clear();
        EndBusy();
        if (b) b->setEnabled(true);
        model_->FlushPendingRows();
        ShowException(e);
        return false;
    }
    EndBusy();
    if (b) b->setEnabled(true);
    model_->FlushPendingRows();
    if (FCloseAfterRun && FBatchRuns == 0) {
        // Stopped to close: the journal holds the run; nobody waits for a box.
        closingMessage_.clear();
        closingDetails_.clear();
        QTimer::singleShot(0, this, [this] { close(); });
        return ok;
    }
    if (!closingMessage_.isEmpty()) {
        const QString text = closingMessage_, details = closingDetails_;
        const auto icon = closingIsError_ ? DialogProvider::Icon::Error
                                          : DialogProvider::Icon::Information;
        closingMessage_.clear();
        closingDetails_.clear();
        if (details.isEmpty())
            dialogs_->Message(this, icon, QString::fromUtf8(kAppCaption), text);
        else
            dialogs_->MessageWithDetails(this, icon, QString::fromUtf8(kAppCaption), text, details);
        // An error that ended the run counts as the command failing.
        if (closingIsError_) return false;
    }
    return ok;
}

void TForm1::SetRunReport(const RunSummary& summary, const QString& closingText) {
    closingMessage_ = GbkToQString(RunReportText(summary, QStringToGbk(closingText)));
    closingDetails_ = GbkToQString(UndoneListText(summary));
    closingIsError_ = !summary.error.empty();
}

void TForm1::BeginBusy() {
    if (busyDepth_++ > 0) return;
    // Everything that changes the list or starts another command: the
    // list's and the window's commands, and every page's start button.
    static const char* const kCommands[] = {
        "cbSearch", "btnSelAll", "btnDeSelAll", "btnInverse", "btnAdd", "btnDel",
        "btnExp", "btnExpDir", "cbDel", "cmbOpt", "btnUndo", "btnPreview", "cmbTextEncoding"};
    busyControls_.clear();
    std::vector<QWidget*> controls;
    for (const char* name : kCommands) controls.push_back(Find<QWidget>(name));
    for (page::PageBinding* page : pages_) controls.push_back(page->start());
    for (QWidget* w : controls) {
        if (!w) continue;
        busyControls_.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    }
    emit busyChanged(true);
}

void TForm1::EndBusy() {
    if (busyDepth_ == 0 || --busyDepth_ > 0) return;
    for (auto& [w, enabled] : busyControls_)
        if (w) w->setEnabled(enabled);
    busyControls_.clear();
    emit busyChanged(false);
}

void TForm1::btnStopRunClick() { FStopRun = true; }

void TForm1::ForEachTickedRow(bool pumpBeforeRow, const std::function<void(int row)>& visit) {
    for (int r = 1; r <= files_.LastRow(); ++r) {
        if (pumpBeforeRow) {
            ProcessPendingMessages();
            if (r > files_.LastRow()) break;
        }
        if (!files_.Checked(r)) continue;
        visit(r);
    }
}

void TForm1::ConnectClick(QAbstractButton* button, void (TForm1::*handler)()) {
    connect(button, &QAbstractButton::clicked, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
}

void TForm1::Guard(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

std::string TForm1::FieldText(const char* name) const {
    if (auto* e = Find<QLineEdit>(name)) return QStringToGbk(e->text());
    if (auto* c = Find<QComboBox>(name)) return QStringToGbk(c->currentText());
    if (auto* m = Find<QPlainTextEdit>(name)) {
        // A memo's text has its lines joined by CR LF.
        QString text = m->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return QStringToGbk(text);
    }
    return std::string();
}

void TForm1::SetFieldText(const char* name, const std::string& gbk) {
    if (auto* e = Find<QLineEdit>(name)) e->setText(GbkToQString(gbk));
    else if (auto* c = Find<QComboBox>(name)) c->setEditText(GbkToQString(gbk));
    else if (auto* m = Find<QPlainTextEdit>(name)) {
        QString text = GbkToQString(gbk);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m->setPlainText(text);
    }
}

}  // namespace ferro
