// 撤销 in the window: the button names the run it would undo, undoes it
// after asking and reports like any run; the journal outlives the window;
// Ctrl+Z leaves text fields their own undo; a run cut short is offered for
// undo at start. Every window here keeps its journal in a temporary state
// folder.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <unistd.h>

#include "app/filelist_model.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "fileops/rename.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Gbk;
using ferro::testing::ScopedEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

QPushButton* UndoButton(TForm1& form) { return form.Find<QPushButton>("btnUndo"); }

// Renames every listed file to "new_<name>" through the rename page.
void RenameAll(TForm1& form, ScriptedDialogs& dialogs, const std::vector<std::string>& paths) {
    const std::vector<int> rows = AddToList(form, paths);
    for (int r : rows) Tick(form, {r});
    form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("new_${filename}"));
    dialogs.Clear();
    form.Find<QPushButton>("btnFilename")->click();
}

QString GridName(TForm1& form, int row) {
    return form.fileModel()->index(row - 1, ferro::kColName).data().toString();
}

}  // namespace

class UndoWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        state_ = std::make_unique<TempFolder>();
        env_ = std::make_unique<ScopedEnv>("XDG_STATE_HOME", state_->path());
    }
    void cleanup() {
        env_.reset();
        state_.reset();
    }

    void undoNamesTheRunAndSurvivesTheWindow() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("a.txt", "A"), t.Write(Gbk("报告.txt"), "B"),
                                                t.Write("c.txt", "C")};
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            QVERIFY(form.journal());
            QVERIFY(!UndoButton(form)->isEnabled());
            RenameAll(form, dialogs, paths);
            QVERIFY(t.Exists("new_a.txt"));
            QVERIFY(UndoButton(form)->isEnabled());
            const QString tip = UndoButton(form)->toolTip();
            QVERIFY2(tip.contains(QStringLiteral("“更改文件名称”")) && tip.contains(QStringLiteral("3 个文件")) &&
                         tip.contains(QStringLiteral("上限 2.0 GB")),
                     qPrintable(tip));
        }
        // A new window over the same state folder offers the same run.
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QVERIFY(UndoButton(form)->isEnabled());
        dialogs.answers = {false};
        UndoButton(form)->click();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY(dialogs.questions[0].contains(QStringLiteral("更改文件名称")));
        QVERIFY(t.Exists("new_a.txt"));  // declined: nothing changed

        dialogs.answers = {true};
        dialogs.Clear();
        UndoButton(form)->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("撤销完成,共恢复 3 个文件!"));
        QCOMPARE(t.Read("a.txt"), std::string("A"));
        QCOMPARE(t.Read(Gbk("报告.txt")), std::string("B"));
        QVERIFY(!t.Exists("new_c.txt"));
        QVERIFY(!UndoButton(form)->isEnabled());
        QVERIFY(UndoButton(form)->toolTip().startsWith(QStringLiteral("没有可撤销的操作")));
    }

    void filesTheWorldChangedAreListedAndTheGridFollowsTheRest() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        RenameAll(form, dialogs, {t.Write("a.txt", "A"), t.Write("b.txt", "B"), t.Write("c.txt", "C")});
        QCOMPARE(GridName(form, 2), QStringLiteral("new_b.txt"));
        t.Write("b.txt", "someone else's");  // the old name is taken since

        dialogs.answers = {true};
        dialogs.Clear();
        UndoButton(form)->click();
        const ScriptedDialogs::Shown shown = dialogs.Last();
        QCOMPARE(shown.text, QStringLiteral("撤销没有全部完成：共恢复 2 个文件。\n另有 1 个文件未处理"));
        QVERIFY2(shown.details.contains(QStringLiteral("new_b.txt")), qPrintable(shown.details));
        QCOMPARE(t.Read("b.txt"), std::string("someone else's"));
        QCOMPARE(t.Read("new_b.txt"), std::string("B"));
        QCOMPARE(GridName(form, 1), QStringLiteral("a.txt"));
        QCOMPARE(GridName(form, 2), QStringLiteral("new_b.txt"));
        QCOMPARE(GridName(form, 3), QStringLiteral("c.txt"));
    }

    void aConversionIsUndoneByRemovingItsNewFilesAndPuttingBackWhatItReplaced() {
        constexpr int kConvertPage = 14;
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const std::vector<int> rows =
            AddToList(form, {t.Write("a.txt", "x\ty\r\n"), t.Write("b.txt", "x\ty\r\n")});
        t.Write("b.csv", "older\n");
        Tick(form, {rows[0], rows[1]});
        ChooseOperation(form, kConvertPage);
        form.Find<QLineEdit>("edtFileFormat")->setText(QStringLiteral("${TxtTo(csv)}"));
        form.Find<QPushButton>("btnConvert")->click();
        QVERIFY(t.Exists("a.csv"));
        const QString tip = UndoButton(form)->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("“文件格式转换”")) && tip.contains(QStringLiteral("2 个文件")),
                 qPrintable(tip));

        dialogs.answers = {true};
        dialogs.Clear();
        UndoButton(form)->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("撤销完成,共恢复 1 个文件，删除 1 个新建的文件!"));
        QVERIFY(!t.Exists("a.csv"));
        QCOMPARE(t.Read("b.csv"), std::string("older\n"));
    }

    void ctrlZUndoesUnlessATextFieldHasFocus() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        RenameAll(form, dialogs, {t.Write("a.txt", "A")});
        QVERIFY(t.Exists("new_a.txt"));

        auto* edit = form.Find<QLineEdit>("edtNewFilename");
        edit->setFocus();
        edit->setText(QStringLiteral("typed"));
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(dialogs.questions.empty());
        QVERIFY(t.Exists("new_a.txt"));

        UndoButton(form)->setFocus();
        dialogs.answers = {true};
        QTest::keyClick(UndoButton(form), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY(t.Exists("a.txt"));
    }

    void aRunCutShortIsOfferedForUndoAtStart() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("a.txt", "A"), t.Write("b.txt", "B"),
                                                t.Write("c.txt", "C")};
        // A program dies after renaming two of three files.
        const int status = ferro::testing::InChild([&] {
            ferro::FileList list;
            for (const std::string& p : paths) {
                ferro::FindEntry e;
                ferro::StatPath(p, e);
                list.SetChecked(list.AddFile(e, t.path()), true);
            }
            ferro::Journal journal;
            struct Dying : ferro::RunHost {
                std::unique_ptr<ferro::RunRecorder> run;
                int left = 2;
                ferro::ChangeRecorder* recorder() override { return run.get(); }
                void FileFinished(const ferro::FileResult&) override {
                    if (--left == 0) _exit(0);
                }
            } dying;
            dying.run = journal.StartRun(Gbk("更改文件名称"));
            ferro::RenameFiles(list, "new_${filename}", "", &dying);
            return false;
        });
        QCOMPARE(status, 0);
        QVERIFY(t.Exists("new_b.txt") && t.Exists("c.txt"));

        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        dialogs.answers = {true};
        form.OfferRecovery();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY2(dialogs.questions[0].contains(QStringLiteral("没有正常结束")) &&
                     dialogs.questions[0].contains(QStringLiteral("2 个文件")),
                 qPrintable(dialogs.questions[0]));
        QCOMPARE(dialogs.LastText(), QStringLiteral("撤销完成,共恢复 2 个文件!"));
        QVERIFY(t.Exists("a.txt") && t.Exists("b.txt") && t.Exists("c.txt"));

        // Offered once: the next start asks nothing.
        dialogs.questions.clear();
        form.OfferRecovery();
        QVERIFY(dialogs.questions.empty());
    }

    void oldContentsBeyondTheBudgetAskBeforeTheRun() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.journal()->SetBudget(4);
        const std::vector<int> rows = AddToList(form, {t.Write("a.txt", "aaaa\r\n"), t.Write("b.txt", "bbbb\r\n")});
        Tick(form, {rows[0], rows[1]});
        dialogs.answers = {false};
        form.Find<QPushButton>("btnFileCombine")->click();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY2(dialogs.questions[0].contains(QStringLiteral("超出撤销记录的上限")), qPrintable(dialogs.questions[0]));
        QCOMPARE(dialogs.LastText(), dialogs.questions[0]);  // and no report after it
        QCOMPARE(t.Read("b.txt"), std::string("bbbb\r\n"));

        dialogs.answers = {true};
        form.Find<QPushButton>("btnFileCombine")->click();
        QCOMPARE(t.Read("b.txt"), std::string("aaaa\r\nbbbb\r\n"));
        QVERIFY(!UndoButton(form)->isEnabled());  // run without undo

        // A conversion keeps the outputs it replaces: the same question.
        t.Write("a.csv", "older output\n");
        ChooseOperation(form, 14);
        form.Find<QLineEdit>("edtFileFormat")->setText(QStringLiteral("${TxtTo(csv)}"));
        dialogs.questions.clear();
        dialogs.answers = {false};
        form.Find<QPushButton>("btnConvert")->click();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY(dialogs.questions[0].contains(QStringLiteral("超出撤销记录的上限")));
        QCOMPARE(t.Read("a.csv"), std::string("older output\n"));
        QVERIFY(!t.Exists("b.csv"));
    }

    void aWindowWithoutAStateFolderRecordsNothing() {
        env_.reset();
        qunsetenv("XDG_STATE_HOME");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QVERIFY(!form.journal());
        QVERIFY(!UndoButton(form)->isEnabled());
    }

private:
    std::unique_ptr<TempFolder> state_;
    std::unique_ptr<ScopedEnv> env_;
};

QTEST_MAIN(UndoWindowTest)
#include "undo_test.moc"
