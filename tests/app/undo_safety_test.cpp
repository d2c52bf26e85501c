// Undo in the window never claims or destroys what it cannot restore: a
// backup of a file changed since the run stays and is named; the question
// says which run it is (where it was started, on what, how many files); a
// damaged newest record is named at start and at undo, and older runs wait
// for the user; closing the window during a run asks, then stops after the
// current file and leaves the run recorded.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <unistd.h>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "platform/pump.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScopedEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

QPushButton* UndoButton(TForm1& form) { return form.Find<QPushButton>("btnUndo"); }

// Deletes the first line of every listed file through the line delete page,
// with backups.
void DeleteFirstLines(TForm1& form, ScriptedDialogs& dialogs, const std::vector<std::string>& paths) {
    const std::vector<int> rows = AddToList(form, paths);
    for (int r : rows) Tick(form, {r});
    ChooseOperation(form, 9);
    form.Find<QRadioButton>("rbDelLineNo")->setChecked(true);
    form.Find<QLineEdit>("edtDelLineNo")->setText(QStringLiteral("1"));
    form.Find<QCheckBox>("chkDelLine")->setChecked(true);
    dialogs.Clear();
    form.Find<QPushButton>("btnDelLine")->click();
}

TForm1* g_form = nullptr;
int g_pumps = 0;
void CloseDuringTheRun() {
    if (++g_pumps == 3) g_form->close();
}

}  // namespace

class UndoSafetyTest : public QObject {
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

    void theBackupOfAFileEditedSinceTheRunStaysAndIsNamed() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        DeleteFirstLines(form, dialogs,
                         {t.Write("a.txt", "one\r\ntwo\r\n"), t.Write("b.txt", "uno\r\ndos\r\n")});
        QCOMPARE(t.Read("b.txt"), std::string("dos\r\n"));
        t.Write("b.txt", "edited by hand\r\n");

        dialogs.answers = {true};
        dialogs.Clear();
        UndoButton(form)->click();
        const ScriptedDialogs::Shown shown = dialogs.Last();
        QVERIFY2(!shown.text.startsWith(QStringLiteral("撤销完成")), qPrintable(shown.text));
        QVERIFY2(shown.details.contains(QStringLiteral("b.txt.bak\t已保留备份")), qPrintable(shown.details));
        QCOMPARE(t.Read("a.txt"), std::string("one\r\ntwo\r\n"));
        QVERIFY(!t.Exists("a.txt.bak"));
        QCOMPARE(t.Read("b.txt.bak"), std::string("uno\r\ndos\r\n"));
        QCOMPARE(t.Read("b.txt"), std::string("edited by hand\r\n"));
    }

    void theQuestionSaysWhereTheRunWasStartedAndOnWhat() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        DeleteFirstLines(form, dialogs,
                         {t.Write("a.txt", "1\r\n2\r\n"), t.Write("b.txt", "1\r\n2\r\n"),
                          t.Write("c.txt", "1\r\n2\r\n")});
        dialogs.answers = {false};
        UndoButton(form)->click();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        const QString& q = dialogs.questions[0];
        // Three files, not six with their backups; the folder and the window.
        QVERIFY2(q.contains(QStringLiteral("“内容按行删除”")) && q.contains(QStringLiteral("窗口")) &&
                     q.contains(QString::fromStdString(t.path())) && q.contains(QStringLiteral("3 个文件")),
                 qPrintable(q));
        QVERIFY(UndoButton(form)->toolTip().contains(QString::fromStdString(t.path())));

        // A run of the command line says so.
        {
            ferro::Journal journal;
            auto run = journal.StartRun(ferro::testing::Gbk("内容按行删除"), "cli");
            const std::string d = t.Write("d.txt", "x\r\n");
            ferro::OldContentKeeper* keeper = run->WillWrite(d);
            QVERIFY(keeper && ferro::WriteFileSafely(d, "y\r\n", keeper));
            run->Changed();
        }
        form.UpdateUndoButton();
        QVERIFY2(UndoButton(form)->toolTip().contains(QStringLiteral("命令行")),
                 qPrintable(UndoButton(form)->toolTip()));
    }

    void aDamagedNewestRecordIsNamedAndTheUserDecides() {
        TempFolder t;
        ScriptedDialogs dialogs;
        {
            TForm1 earlier(&dialogs);
            DeleteFirstLines(earlier, dialogs, {t.Write("old.txt", "1\r\n2\r\n")});
        }
        TForm1 form(&dialogs);
        DeleteFirstLines(form, dialogs, {t.Write("new.txt", "1\r\n2\r\n")});
        const std::string newest = form.journal()->NextToUndo()->id;
        QCOMPARE(unlink((form.journal()->RunFolder(newest) + "/log").c_str()), 0);

        // At start: named, and nothing is undone by itself.
        dialogs.Clear();
        form.OfferRecovery();
        QVERIFY2(dialogs.LastText().contains(QStringLiteral("最近一次处理的撤销记录已损坏")),
                 qPrintable(dialogs.LastText()));
        QVERIFY(dialogs.questions.empty());
        QCOMPARE(t.Read("old.txt"), std::string("2\r\n"));

        // At undo: the older run is not taken silently; declining to set the
        // record aside changes nothing.
        dialogs.Clear();
        dialogs.answers = {false};
        UndoButton(form)->click();
        QCOMPARE(dialogs.questionsDefaultNo.size(), size_t{1});
        QVERIFY2(dialogs.questionsDefaultNo[0].contains(QStringLiteral("已损坏")) &&
                     dialogs.questionsDefaultNo[0].contains(QStringLiteral("搁置")),
                 qPrintable(dialogs.questionsDefaultNo[0]));
        QCOMPARE(t.Read("old.txt"), std::string("2\r\n"));

        // Set aside, the older run comes next.
        dialogs.Clear();
        dialogs.answers = {true};
        UndoButton(form)->click();
        dialogs.Clear();
        dialogs.answers = {true};
        UndoButton(form)->click();
        QCOMPARE(dialogs.questions.size(), size_t{1});
        QVERIFY(dialogs.questions[0].contains(QStringLiteral("1 个文件")));
        QCOMPARE(dialogs.LastText(), QStringLiteral("撤销完成,共恢复 1 个文件，删除 1 个新建的文件!"));
        QCOMPARE(t.Read("old.txt"), std::string("1\r\n2\r\n"));
    }

    void closingDuringARunAsksAndStopsAfterTheCurrentFile() {
        for (const bool stop : {false, true}) {
            TempFolder t;
            std::vector<std::string> paths;
            for (int i = 0; i < 400; ++i)
                paths.push_back(t.Write("f" + std::to_string(i) + ".txt", "drop\r\nkeep\r\n"));
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            form.show();
            g_form = &form;
            g_pumps = 0;
            dialogs.answers = {stop};
            ferro::SetMessagePumpHook(&CloseDuringTheRun, 0);
            DeleteFirstLines(form, dialogs, paths);
            ferro::SetMessagePumpHook(nullptr);
            g_form = nullptr;
            QTest::qWait(20);  // the close that follows the stop

            QCOMPARE(dialogs.questions.size(), size_t{1});
            QCOMPARE(dialogs.questions[0], QStringLiteral("正在处理…，要在当前文件处理完后停止并退出吗？"));
            int done = 0;
            for (const std::string& p : paths) {
                const std::string bytes = t.Read(p.substr(t.path().size() + 1));
                QVERIFY(bytes == "keep\r\n" || bytes == "drop\r\nkeep\r\n");  // whole, old or new
                done += bytes == "keep\r\n";
            }
            if (!stop) {
                QVERIFY(form.isVisible());
                QCOMPARE(done, 400);
                continue;
            }
            // Stopped part-way, the window gone without a box, the run
            // recorded as ended and undoable.
            QVERIFY(done > 0 && done < 400);
            QVERIFY(!form.isVisible());
            QCOMPARE(dialogs.messages.size(), size_t{1});  // the question alone
            const std::optional<ferro::JournalRun> run = form.journal()->NextToUndo();
            QVERIFY(run && run->ended && !run->interrupted);
            QCOMPARE(run->files, done);
        }
    }

private:
    std::unique_ptr<TempFolder> state_;
    std::unique_ptr<ScopedEnv> env_;
};

QTEST_MAIN(UndoSafetyTest)
#include "undo_safety_test.moc"
