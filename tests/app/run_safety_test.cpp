// Runs the user can trust: the list holds still while a command runs, every
// batch can be stopped between files, and every file left undone is named
// with its reason.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/pump.h"
#include "scripted_dialogs.h"
#include "template/functions.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using Icon = ferro::DialogProvider::Icon;

namespace {

TForm1* g_form = nullptr;
int g_pumps = 0;
int g_stopAfter = 0;
QStringList g_disabledDuringRun;
QString g_searchFolder;

const char* const kListCommands[] = {"cbSearch", "btnSelAll", "btnDeSelAll", "btnInverse",
                                     "btnAdd",   "btnDel",    "cbDel",       "btnExp",
                                     "btnExpDir", "cmbOpt",   "btnFilename", "btnConvert"};

// While the run pumps messages, a user tries to change the list: every
// command that would do so must be disabled, and a click on the search
// button must do nothing.
void TryToChangeTheList() {
    if (++g_pumps != 2) return;
    for (const char* name : kListCommands)
        if (!g_form->Find<QWidget>(name)->isEnabled()) g_disabledDuringRun << QLatin1String(name);
    g_form->Find<QLineEdit>("edFolder")->setText(g_searchFolder);
    g_form->Find<QPushButton>("cbSearch")->click();
    g_form->btnInverseClick();  // unticks nothing: the handler's button is off
}

void StopAfterSomePumps() {
    if (++g_pumps == g_stopAfter) g_form->Find<QPushButton>("btnStopRun")->click();
}

std::vector<std::string> MakeFiles(const TempFolder& t, const std::string& sub, int n,
                                   const std::string& text) {
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%05d.txt", i);
        paths.push_back(t.Write(sub + name, text));
    }
    return paths;
}

void TickAll(TForm1& form) {
    for (int r = 1; r <= form.fileList().LastRow(); ++r) form.fileList().SetChecked(r, true);
}

}  // namespace

class RunSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void theListHoldsStillWhileALineJobRuns() {
        TempFolder t;
        const auto paths = MakeFiles(t, "job", 300, "keep\r\nERR x\r\n");
        t.Write("other/new.txt", "");
        g_searchFolder = ferro::GbkToQString(t / "other");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        g_form = &form;
        AddToList(form, paths);
        TickAll(form);
        ChooseOperation(form, 9);
        form.Find<QRadioButton>("rbDelKeys")->setChecked(true);
        form.Find<QLineEdit>("edtDelKeys")->setText(QStringLiteral("ERR"));
        g_pumps = 0;
        g_disabledDuringRun.clear();
        ferro::SetMessagePumpHook(&TryToChangeTheList, 0);
        form.Find<QPushButton>("btnDelLine")->click();
        ferro::SetMessagePumpHook(nullptr);
        g_form = nullptr;

        QVERIFY(g_pumps >= 2);
        QCOMPARE(g_disabledDuringRun.size(), int(std::size(kListCommands)));
        // The search never ran, the job went through every file.
        QCOMPARE(form.fileList().LastRow(), 300);
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 300 个文件!"));
        for (int i : {0, 150, 299}) QCOMPARE(t.Read(paths[i].substr(t.path().size() + 1)),
                                             std::string("keep\r\n"));
        for (int r = 1; r <= 300; ++r) QVERIFY(form.fileList().Checked(r));
        // Afterwards everything is back as it was.
        for (const char* name : kListCommands)
            QVERIFY2(form.Find<QWidget>(name)->isEnabled(), name);
        QVERIFY(!form.Find<QPushButton>("btnStopRun")->isEnabled());
    }

    void aStoppedRenameLeavesEveryFileWholeAndSaysHowManyWereDone() {
        TempFolder t;
        const auto paths = MakeFiles(t, "r", 2000, "x");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        g_form = &form;
        AddToList(form, paths);
        TickAll(form);
        ChooseOperation(form, 1);
        form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("img_${sn(1,4)}"));
        g_pumps = 0;
        g_stopAfter = 40;
        ferro::SetMessagePumpHook(&StopAfterSomePumps, 0);
        form.Find<QPushButton>("btnFilename")->click();
        ferro::SetMessagePumpHook(nullptr);
        g_form = nullptr;

        // Each file is either renamed or untouched, and the renamed ones come
        // first: the run stopped between two files.
        int renamed = 0, untouched = 0;
        for (int i = 0; i < 2000; ++i) {
            char oldName[32], newName[32];
            std::snprintf(oldName, sizeof oldName, "r/f%05d.txt", i);
            std::snprintf(newName, sizeof newName, "r/img_%04d.txt", i + 1);
            const bool isOld = t.Exists(oldName), isNew = t.Exists(newName);
            QVERIFY(isOld != isNew);
            if (isNew) QCOMPARE(untouched, 0);
            (isNew ? renamed : untouched) += 1;
        }
        QVERIFY(renamed > 0 && untouched > 0);
        QCOMPARE(dialogs.Last().icon, Icon::Information);
        QCOMPARE(dialogs.LastText(), QStringLiteral("已停止：已处理 %1 个文件\n另有 %2 个文件未处理")
                                         .arg(renamed)
                                         .arg(untouched));
        QCOMPARE(dialogs.Last().details.count(QStringLiteral("\t已停止\n")), untouched);
        QCOMPARE(form.stChangeCount()->text(), QString::number(renamed));
        QCOMPARE(form.Find<QProgressBar>("pbRun")->value(), renamed);
        QCOMPARE(form.Find<QProgressBar>("pbRun")->maximum(), 2000);
        QVERIFY(form.Find<QPushButton>("btnFilename")->isEnabled());
    }

    void clashesOfARenameAreListedWithTheirReasons() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("ab1.txt"), t.Write("ab2.txt"),
                                                t.Write("cd1.txt"), t.Write("xy1.txt"),
                                                t.Write("ef1.txt")};
        t.Write("xy.txt", "taken");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        TickAll(form);
        ChooseOperation(form, 1);
        form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("${GetLeft(2)}"));
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("成功处理文件总数量：3\n另有 2 个文件未处理"));
        QCOMPARE(dialogs.Last().details,
                 ferro::GbkToQString(t / "ab2.txt") + QStringLiteral("\t与其他文件的新名称相同\n") +
                     ferro::GbkToQString(t / "xy1.txt") + QStringLiteral("\t目标名称已存在\n"));
        QCOMPARE(t.Read("xy.txt"), std::string("taken"));
    }

    void aValueOverTheEngineBoundLeavesOnlyItsFileUndone() {
        TempFolder t;
        const std::string big(400, 'a');
        const std::vector<std::string> paths = {t.Write("small.txt", "aa\r\n"),
                                                t.Write("big.txt", big + "\r\n"),
                                                t.Write("last.txt", "a\r\n")};
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        TickAll(form);
        ChooseOperation(form, 7);
        form.Find<QLineEdit>("edtInsFormat")->setText(QStringLiteral("${repstr(a,bbb)}"));
        ferro::detail::SetValueLimitForTesting(1000);
        form.Find<QPushButton>("btnIns")->click();
        ferro::detail::SetValueLimitForTesting(0);
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 2 个文件!\n另有 1 个文件未处理"));
        QCOMPARE(dialogs.Last().details,
                 ferro::GbkToQString(t / "big.txt") + QStringLiteral("\t结果超出长度限制\n"));
        QCOMPARE(t.Read("big.txt"), big + "\r\n");
        QVERIFY(t.Read("last.txt") != "a\r\n");
    }
};

QTEST_MAIN(RunSafetyTest)
#include "run_safety_test.moc"
