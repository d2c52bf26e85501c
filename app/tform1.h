// The one window of the program: the search group, the file list grid and
// its commands, the operation selector and one page per operation, the
// template picker, the counters and the tips line.
//
// Handlers carry the names of their control and event. Each operation's
// page and handler live in a file of their own under pages/; what they share
// (the selection check, counters, message boxes and the batch-run frame) is
// here.
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
#include "fileops/attribute_change.h"
#include "fileops/date_change.h"
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

    // The frame of the line operations, called inside RunCommand once the
    // settings are checked: stChangeCount reset; each ticked row in display
    // order, window messages processed before each; its file read, the lines
    // transformed, a backup made when asked, the file written and counted;
    // then "成功处理完成,共处理 N 个文件!" (as the closing message that
    // RunCommand shows once the button is enabled). A file that cannot be read or
    // written ends the run with its error (thrown, so RunCommand shows it).
    // transform is called once per file and may keep per-file state.
    void RunTextFileBatch(bool backup, const LineOperation& operation);
    // "预览": the current page's start button is pressed in preview mode,
    // so its own checks and rule run; the text pages then show what the rule
    // makes of one file (the current row's, or the first ticked one's)
    // instead of rewriting any.
    void btnPreviewClick();
    bool previewing() const { return previewing_; }
    TextPreviewWindow* textPreview() const;

    // How the text operations read and write files: cmbTextEncoding.
    TextMode CurrentTextMode() const;

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

    // --- operations --------------------------------------------------------------
    void btnExtClick();         // 更改文件扩展名
    void btnFilenameClick();    // 更改文件名称
    void btnDateClick();        // 更改文件或目录日期
    void ckModifyClick();
    void ckCreateClick();
    void ckAccessClick();
    void chkTimeClick();
    void btnPropClick();        // 更改文件或目录属性
    // The settings of the date and attribute pages as their start buttons
    // read them (the preview reads them the same way).
    DateSettings ReadDateSettings() const;
    AttributeSettings ReadAttributeSettings() const;
    void btnFileInfoClick();    // 文件信息统计
    void btnSynClick();         // 合并关键字内容
    void btnCutClick();         // 行内容截取字符
    void btnInsClick();         // 行内容插入字符
    void btnReplaceClick();     // 行模式替换字符
    void btnDelLineClick();     // 内容按行删除
    void btnGetLineClick();     // 内容按行提取
    void btnLineSynClick();     // 按关键字同步行
    void btnInsLineClick();     // 内容插入新行
    void btnFileCombineClick(); // 文件内容合并
    void btnConvertClick();     // 文件格式转换

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
    QWidget* AddPage(const char* objectName, const char* caption);

    // One builder per page (pages/*.cpp).
    void BuildExtensionPage(QWidget* page);
    void BuildRenamePage(QWidget* page);
    void BuildDatePage(QWidget* page);
    void BuildAttributePage(QWidget* page);
    void BuildStatisticsPage(QWidget* page);
    void BuildKeyMergePage(QWidget* page);
    void BuildLineCutPage(QWidget* page);
    void BuildLineInsertPage(QWidget* page);
    void BuildPatternPage(QWidget* page);
    void BuildLineDeletePage(QWidget* page);
    void BuildLineExtractPage(QWidget* page);
    void BuildLineSyncPage(QWidget* page);
    void BuildNewLinesPage(QWidget* page);
    void BuildCombinePage(QWidget* page);
    void BuildConvertPage(QWidget* page);
    void FillTemplatePicker();
    void SetUpPreview();
    void SetUpTextPreview();
    // The files a conversion would create or replace.
    void ShowConvertPreview(const std::string& format);
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
