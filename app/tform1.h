// The one window of the program: the search group, the file list grid and
// its commands, the operation selector and one page per operation, the
// template picker, the counters and the tips line.
//
// Handlers carry the names of their control and event. Each operation's
// page lives in a file of its own under pages/ and binds its controls to the
// operation's fields (ops/); every start button runs the one batch-run frame
// here (StartOperation), with the selection check, counters, message boxes
// and the undo budget.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "app/dialogs.h"
#include "batch/run.h"
#include "fileops/filelist.h"
#include "platform/codec.h"
#include "textops/text_batch.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolButton;
class QNetworkAccessManager;

namespace ferro {

class FileGrid;
class FileListModel;
class Journal;
struct JournalRun;
class PreviewColumn;
class TextPreviewWindow;
class LineList;
class LineSink;

namespace ops {
class Job;
}
namespace page {
class PageBinding;
}

inline constexpr const char* kAppCaption = "Ferrovan文件批处理";

class TForm1 : public QMainWindow {
    Q_OBJECT
signals:
    // A command started (true) or the last running one ended (false).
    void busyChanged(bool busy);

public:
    // dialogs must outlive the window.
    explicit TForm1(DialogProvider* dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    FileList& fileList() { return files_; }
    FileListModel* fileModel() const { return model_; }
    DialogProvider& dialogs() const { return *dialogs_; }

    // --- shared by every command -------------------------------------------
    void cmbOptChange(int index);
    void ShowOperationPage(int first, int second);
    // The common selection check; shows its own message when it fails.
    bool CheckSelection();
    // The first two ticked rows in display order.
    bool FindFirstTwoChecked(int& first, int& second);

    // Counter labels hold their value as decimal text.
    static int CounterValue(const QLabel* counter);
    static void SetCounter(QLabel* counter, long long value);
    static void AddToCounter(QLabel* counter, long long delta);
    QLabel* stSrcCount() const { return stSrcCount_; }
    QLabel* stChangeCount() const { return stChangeCount_; }
    QLabel* stDeleteCount() const { return stDeleteCount_; }

    // Message boxes, titled with the window caption.
    void ShowError(const QString& text);
    void ShowInfo(const QString& text);
    bool AskYesNo(const QString& text);
    // The standard error display of an exception that ended a command.
    void ShowException(const std::exception& e);

    // Runs a command with its start button disabled; an exception that ends
    // it is shown by the standard error display; the button is enabled
    // again however the command ends. Returns false when it ended by an
    // exception. While it runs the window is busy (see BeginBusy).
    bool RunCommand(QAbstractButton* button, const std::function<void()>& body);
    // A closing message for the command that RunCommand is running: shown
    // as an information box after the button is enabled again, and only
    // when the command ran to its end.
    void SetClosingMessage(const QString& text) { closingMessage_ = text; }
    // The closing message of a batch run from its summary: the operation's
    // own text when it ran to its end, "已停止：已处理 N 个文件" when it
    // was stopped, an error box when an error ended it early; a line
    // "另有 N 个文件未处理" and the list of those files with their reasons
    // whenever files were left undone.
    void SetRunReport(const RunSummary& summary, const QString& closingText);

    // While a command runs, everything that changes the list or starts
    // another command is disabled (the search's own stop button and the run's
    // stop button excepted), and the grid takes no ticks or sorts. Nested
    // calls count; the controls come back as they were.
    void BeginBusy();
    void EndBusy();
    bool IsBusy() const { return busyDepth_ > 0; }
    // Asks the running batch to stop after the file it is working on.
    void btnStopRunClick();
    // --- undo (tform1_undo.cpp) ---------------------------------------------
    // The journal the window's runs are recorded in, null when they are not:
    // a window records its runs when XDG_STATE_HOME is set or once
    // OpenJournal() is called (the program does), so a window built in a
    // test never writes the user's own state folder.
    Journal* journal() const { return journal_.get(); }
    void OpenJournal();
    // Undoes the newest run the journal holds, after asking (btnUndo, Ctrl+Z).
    void btnUndoClick();
    // The undo button's state and tooltip: the run it would undo and the
    // journal's use of its size budget.
    void UpdateUndoButton();
    // At start: mends runs a crash or a kill cut short and offers to undo
    // their finished part.
    void OfferRecovery();
    // The session ends (SIGTERM): a run under way stops after its current
    // file, as if stopped by hand, and the window closes.
    void QuitWhenRunStops();
    // Before a run that rewrites these files: whether their old contents fit
    // the journal's budget; if not, asks whether to go on without undo.
    // False: the user chose not to run. withoutUndo tells the run not to record.
    bool CheckJournalRoom(const std::vector<BatchFile>& files, bool& withoutUndo);

    // The grid's preview of the name and metadata pages.
    PreviewColumn* previewColumn() const { return previewColumn_; }
    // Visits the ticked data rows in display order, re-reading the row count
    // as it goes (the list may change while messages are pumped).
    void ForEachTickedRow(bool pumpBeforeRow, const std::function<void(int row)>& visit);

    // Connects a button's click to a handler; an exception that escapes the
    // handler is shown by the standard error display instead of reaching the
    // event loop.
    void ConnectClick(QAbstractButton* button, void (TForm1::*handler)());
    void Guard(const std::function<void()>& body);

    // The operation pages, in the selector's order, and the one on show.
    const std::vector<page::PageBinding*>& pages() const { return pages_; }
    page::PageBinding* CurrentPage() const;
    // The batch-run protocol of every operation page (its start button):
    // the selection check; the page's fields read and checked by the
    // operation, a refusal shown with the focus on its field; the files
    // (the ticked rows, the first two for the two-file operations); then,
    // with the start button disabled, stChangeCount reset, the job prepared,
    // the undo budget settled, the run with the window's run host, and its
    // report as the closing message.
    void StartOperation(page::PageBinding& page);
    // "预览": the current page's start button is pressed in preview mode,
    // so its own checks run; the text pages then show what the rule makes
    // of one file (the current row's, or the first ticked one's) instead of
    // rewriting any, the conversion the files it would create or replace.
    void btnPreviewClick();
    bool previewing() const { return previewing_; }
    TextPreviewWindow* textPreview() const;

    // How the text operations read and write files: cmbTextEncoding.
    TextMode CurrentTextMode() const;

    // The grid's current row; 0 when there is none.
    int CurrentRow() const;

    // A control of the window by its objectName.
    template <class T>
    T* Find(const char* name) const {
        return findChild<T*>(QString::fromLatin1(name));
    }
    // Text of an edit field as GBK bytes, and back.
    std::string FieldText(const char* name) const;
    void SetFieldText(const char* name, const std::string& gbk);

    // --- file list (grid and its tool buttons) ------------------------------
    // A release with Shift on a name cell ticks or clears the rows from the
    // last name cell clicked to this one, as that row's tick stands.
    void sgFilesMouseUp(bool onHeader, int headerColumn, Qt::KeyboardModifiers modifiers = {});
    // Space: inverts the current row's tick; the other selected rows take
    // the same tick when the current row is one of them.
    void sgFilesTickKey();
    // Files dropped on the grid are added as the add command adds them;
    // folders are searched with the masks and filters of the search group.
    void sgFilesDragDrop(const QStringList& paths);
    void SortByColumn(int column, bool ascending);
    void btnSelAllClick();
    void btnDeSelAllClick();
    void btnInverseClick();
    void btnAddClick();
    void btnDelClick();
    bool sortAscending() const { return FSortAscending; }

    // --- search --------------------------------------------------------------
    void btnOpenClick();
    void ckFileSizeClick();
    void ckFileDateClick();
    void cbSearchClick();
    void btnStopSearchClick();

    // --- list export and disk deletion ------------------------------------------
    void btnExpClick();
    void btnExpDirClick();
    void cbDelClick();

    // --- template picker ---------------------------------------------------------
    void cmbVarChange(int index);

    // --- help and tips -------------------------------------------------------------
    void SpeedButton1Click();
    void Label11Click();
    void Timer1Timer();
    void lblTipsClick();
    // Seams for tests: where the tips come from, and the timer interval.
    void SetTipsUrl(const QUrl& url) { tipsUrl_ = url; }
    QTimer* tipsTimer() const { return Timer1_; }

    // Window state used across commands.
    bool FStopSearch = false;
    bool FStopRun = false;  // a stop of the running batch was requested
    int FBatchRuns = 0;     // batch runs under way (a WindowRunHost each)
    // The window closes once the run under way has stopped (the user closed
    // it during the run, or the session is ending).
    bool FCloseAfterRun = false;
    bool FSortAscending = false;
    bool FTipsLoaded = false;
    std::string FSearchMask;
    std::string FSearchDir;
    std::string FTipsLink;
    QStringList FTipsList;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void BuildWindow();
    QWidget* BuildSearchGroup();
    QWidget* BuildToolRow();
    QWidget* BuildLowerPanel();
    QWidget* BuildRunStrip(QWidget* parent);
    void BuildPages();
    void FillTemplatePicker();
    void SetUpPreview();
    void SetUpTextPreview();
    // What the job would do to the files, in place of running it.
    void ShowPreview(ops::Job& job, const std::vector<BatchFile>& files);
    // The files a conversion would create or replace.
    void ShowOutputsPreview(const ops::Job& job, std::vector<BatchFile> files);
    // The file a preview shows: the current row's, else the first ticked
    // one's; 0 when there is neither.
    int PreviewRow() const;
    void ShowTextPreview(const LineOperation& operation);
    void SetUpTips();
    void SetUpUndo();
    void UndoJournalRun(const std::string& id);
    // A damaged newest run: undo what can be read of it (true), or set it
    // aside so that older runs come next, as the user chooses.
    bool DecideAboutDamagedRun(const JournalRun& run);

    // Search internals (tform1_search.cpp).
    void SearchFolder(const std::string& sub);
    // Adds one file by its path as the add command does; false when it is
    // not found or not of the kinds the list takes.
    bool AddListedFile(const std::string& path);

    DialogProvider* dialogs_;
    FileList files_;
    FileListModel* model_ = nullptr;
    FileGrid* sgFiles_ = nullptr;
    int tickAnchor_ = 0;  // the row of the last name cell clicked, for Shift
    QTabWidget* pgcOne_ = nullptr;
    std::vector<page::PageBinding*> pages_;  // children of their pages
    QComboBox* cmbOpt_ = nullptr;
    QLabel* stSrcCount_ = nullptr;
    QLabel* stChangeCount_ = nullptr;
    QLabel* stDeleteCount_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QNetworkAccessManager* network_ = nullptr;
    QUrl tipsUrl_;
    PreviewColumn* previewColumn_ = nullptr;
    QPointer<TextPreviewWindow> textPreview_;
    bool previewing_ = false;  // the start button was pressed by "预览"
    QString lastSaveName_;  // the save dialog offers the last chosen name again
    QString closingMessage_;
    QString closingDetails_;
    bool closingIsError_ = false;
    std::unique_ptr<Journal> journal_;
    int busyDepth_ = 0;
    std::vector<std::pair<QPointer<QWidget>, bool>> busyControls_;
};

// Installs the throttled message pump for long loops of the core libraries.
void InstallMessagePump();

}  // namespace ferro
