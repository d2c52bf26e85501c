// One journal, two front ends: a run made in the window is listed and
// undone by the command line's history and undo, and a run made on the
// command line is undone by the window's 撤销, each seeing what the other
// did.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "cli/program.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::FolderInEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

class JournalCliTest : public QObject {
    Q_OBJECT

private slots:
    void init() { state_ = std::make_unique<FolderInEnv>("XDG_STATE_HOME"); }
    void cleanup() { state_.reset(); }

    void aWindowRunIsUndoneFromTheCommandLine() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("a.txt", "A"), t.Write("b.txt", "B")};
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        for (int r : AddToList(form, paths)) Tick(form, {r});
        form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("new_${filename}"));
        form.Find<QPushButton>("btnFilename")->click();
        QVERIFY(t.Exists("new_a.txt") && t.Exists("new_b.txt"));

        const auto history = ferro::testing::RunVerb("/", "history", {}, state_->path());
        QCOMPARE(history.status, 0);
        QVERIFY2(history.out.find("更改文件名称\t窗口\t" + t.path() + "\t2\t可以撤销（下一个）\n") != std::string::npos,
                 history.out.c_str());
        const auto undo = ferro::testing::RunVerb("/", "undo", {}, state_->path());
        QCOMPARE(undo.status, 0);
        QVERIFY2(undo.err.find("撤销“更改文件名称”") != std::string::npos, undo.err.c_str());
        QVERIFY(t.Exists("a.txt") && t.Exists("b.txt"));
        // The window sees the run undone: nothing is left to undo.
        form.UpdateUndoButton();
        QVERIFY(!form.Find<QPushButton>("btnUndo")->isEnabled());
    }

    void aCommandLineRunIsUndoneInTheWindow() {
        TempFolder t;
        t.Write("a.txt", "A");
        const auto run =
            ferro::testing::RunVerb(t.path(), "run", {"rename", "--pattern", "cli_${Sn(1,1)}", "a.txt"}, state_->path());
        QCOMPARE(run.status, 0);
        QVERIFY(t.Exists("cli_1.txt"));
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* undo = form.Find<QPushButton>("btnUndo");
        QVERIFY(undo->isEnabled());
        QVERIFY2(undo->toolTip().contains(QStringLiteral("命令行")), qPrintable(undo->toolTip()));
        dialogs.answers = {true};
        undo->click();
        QVERIFY2(dialogs.questions.back().contains(QStringLiteral("确定要撤销“更改文件名称”")),
                 qPrintable(dialogs.questions.back()));
        QVERIFY(t.Exists("a.txt"));
        QVERIFY(!t.Exists("cli_1.txt"));
        const auto history = ferro::testing::RunVerb("/", "history", {}, state_->path());
        QVERIFY2(history.out.find("命令行\t" + t.path() + "\t1\t已撤销\n") != std::string::npos, history.out.c_str());
    }

private:
    std::unique_ptr<FolderInEnv> state_;
};

QTEST_MAIN(JournalCliTest)
#include "journal_cli_test.moc"
