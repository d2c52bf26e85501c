// The search group driven through its controls: masks and folders in the
// order typed, the filters, the errors, stopping, a search started inside a
// running one, and the folder chooser.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

#include "app/filelist_model.h"
#include "common/temp_folder.h"
#include "fileops/search.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/times.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::Gbk;
using ferro::testing::Q;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

QStringList Paths(TForm1& form) {
    QStringList paths;
    if (form.fileList().IsEmpty()) return paths;
    for (int r = 1; r <= form.fileList().LastRow(); ++r)
        paths << ferro::GbkToQString(form.fileList().Path(r));
    return paths;
}

void Search(TForm1& form, const std::string& folders, const char* masks) {
    form.Find<QLineEdit>("edFolder")->setText(Q(folders));
    form.Find<QComboBox>("cmbFileType")->setEditText(QString::fromUtf8(masks));
    form.Find<QPushButton>("cbSearch")->click();
}

QString Count(TForm1& form) {
    return form.Find<QLabel>("stSrcCount")->text();
}

bool Idle(TForm1& form) {
    return form.Find<QPushButton>("cbSearch")->isEnabled() &&
           !form.Find<QPushButton>("btnStopSearch")->isEnabled() && !QApplication::overrideCursor();
}

void SetModifiedLocal(const TempFolder& t, const char* rel, int day, int h, int m, int s) {
    t.SetModified(rel, ferro::FromLocal(ferro::DateTime{2021, 6, day, h, m, s, 0}) / 1000000000);
}

// The pump hook of the stop and nested tests: runs the test's action once,
// from inside the running search.
std::function<void()> g_action;
void RunActionOnce() {
    if (!g_action) return;
    auto action = std::move(g_action);
    g_action = nullptr;
    action();
}
struct PumpAction {
    explicit PumpAction(std::function<void()> a) {
        g_action = std::move(a);
        ferro::SetMessagePumpHook(&RunActionOnce, 0);
    }
    ~PumpAction() {
        ferro::SetMessagePumpHook(nullptr);
        g_action = nullptr;
    }
};

// rel/f0.txt .. f5.txt, rel/d0/..., eight levels deep.
void DeepTree(const TempFolder& t, std::string rel) {
    for (int level = 0; level < 8; ++level) {
        for (int f = 0; f < 6; ++f) t.Write(rel + "/f" + std::to_string(f) + ".txt");
        rel += "/d" + std::to_string(level);
    }
}

}  // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void masksThenFoldersInTheOrderTyped() {
        TempFolder t;
        t.Write("a/1.txt");
        t.Write("a/1.ini");
        t.Write("a/sub/2.txt");
        t.Write("b/3.txt");
        t.Write("b/3.ini");
        t.Write(Gbk("c/ 中文.ini"));
        t.Write("c/4.ini");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const QString a = Q(t / "a"), b = Q(t / "b");

        Search(form, t / "a" + ";" + t / "b", "  *.txt;*.ini ");
        QCOMPARE(Paths(form), (QStringList{a + "/1.txt", a + "/sub/2.txt", b + "/3.txt",
                                           a + "/1.ini", b + "/3.ini"}));
        QCOMPARE(Count(form), QStringLiteral("5"));
        QVERIFY(Idle(form));
        QCOMPARE(Q(form.FSearchMask), QStringLiteral("*.ini"));
        QCOMPARE(Q(form.FSearchDir), b);
        QCOMPARE(form.fileModel()->rowCount(), 5);
        QCOMPARE(form.fileModel()->data(form.fileModel()->index(2, 1), Qt::DisplayRole).toString(),
                 b);

        // A leading blank is part of the mask; an empty last mask adds nothing.
        Search(form, t / "b;" + t / "c", "*.txt; *.ini");
        QCOMPARE(Paths(form),
                 (QStringList{b + "/3.txt", Q(t / "c") + QStringLiteral("/ 中文.ini")}));
        Search(form, t / "b", "*.txt;");
        QCOMPARE(Paths(form), QStringList{b + "/3.txt"});
        // Under two masks, and under the same folder twice.
        Search(form, t / "b;" + t / "b", "3.*;*.txt");
        QCOMPARE(Paths(form).size(), 6);

        // A new search comes in without ticks.
        form.Find<QToolButton>("btnSelAll")->click();
        QVERIFY(form.fileList().Checked(1) && form.fileList().Checked(6));
        Search(form, t / "a/", "*.txt");
        QCOMPARE(Paths(form), (QStringList{a + "//1.txt", a + "//sub/2.txt"}));
        QCOMPARE(Q(form.fileList().Folder(1)), a + "/");
        QVERIFY(!form.fileList().Checked(1));
        QVERIFY(!form.fileList().Checked(2));
        QVERIFY(!form.fileModel()->index(0, 0).data(ferro::FileListModel::CheckedRole).toBool());

        // Sub-folders switched off.
        form.Find<QCheckBox>("ckSub")->click();
        Search(form, t / "a", "*.txt");
        QCOMPARE(Paths(form), QStringList{a + "/1.txt"});

        // Nothing found: one empty row, and the counter back to 0.
        Search(form, t / "a", "*.none");
        QCOMPARE(form.fileList().RowCount(), 2);
        QVERIFY(form.fileList().IsEmpty());
        QCOMPARE(Count(form), QStringLiteral("0"));
        QCOMPARE(form.fileModel()->rowCount(), 1);
    }

    void aFolderIsListedInNameOrder() {
        TempFolder t;
        const QStringList names = {"a-1.txt", "A2.txt", "b.txt", "C.txt", "_z.txt",
                                   QStringLiteral("报告.txt")};
        for (auto it = names.crbegin(); it != names.crend(); ++it)
            t.Write("r/" + ferro::QStringToGbk(*it));
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        Search(form, t / "r", "*.txt");
        QStringList want;
        for (const QString& n : names) want << Q(t / "r/") + n;
        QCOMPARE(Paths(form), want);
    }

    void foldersThatCannotBeReadAreNamed() {
        TempFolder t;
        t.Write("r/a.txt");
        t.Write("r/sub/b.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        {
            // Room for one more open file: the root, not a sub-folder beside it.
            const int next = dup(0);
            close(next);
            rlimit saved{};
            getrlimit(RLIMIT_NOFILE, &saved);
            rlimit lowered = saved;
            lowered.rlim_cur = next + 1;
            setrlimit(RLIMIT_NOFILE, &lowered);
            Search(form, t / "r", "*.txt");
            setrlimit(RLIMIT_NOFILE, &saved);
        }
        QCOMPARE(Paths(form), QStringList{Q(t / "r/a.txt")});
        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.Last().icon, ScriptedDialogs::Icon::Warning);
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("有 1 个目录无法读取（打开的文件过多、路径过长或读取出错），"
                                "其中的文件没有列出：\n") +
                     Q(t / "r/sub"));
        QVERIFY(Idle(form));
    }

    void filtersFollowTheirSwitches() {
        TempFolder t;
        t.Write("s/exact.txt", std::string(50000, 'x'));
        t.Write("s/over.txt", std::string(50001, 'x'));
        t.Write("d/start.txt");
        t.Write("d/end.txt");
        t.Write("d/before.txt");
        SetModifiedLocal(t, "d/start.txt", 15, 0, 0, 0);
        SetModifiedLocal(t, "d/end.txt", 15, 23, 59, 59);
        SetModifiedLocal(t, "d/before.txt", 14, 23, 59, 59);
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* ckFileSize = form.Find<QCheckBox>("ckFileSize");
        auto* ckFileDate = form.Find<QCheckBox>("ckFileDate");
        auto* cbDateType = form.Find<QComboBox>("cbDateType");

        ckFileSize->click();
        QVERIFY(form.Find<QLineEdit>("edMin")->isEnabled());
        QVERIFY(form.Find<QLineEdit>("edMax")->isEnabled());
        Search(form, t / "s", "*.txt");
        QCOMPARE(Paths(form), QStringList{Q(t / "s/exact.txt")});
        form.Find<QLineEdit>("edMin")->setText(QStringLiteral(" 50000.9 "));
        form.Find<QLineEdit>("edMax")->setText(QStringLiteral("5.0001e4"));
        Search(form, t / "s", "over.txt;exact.txt");
        QCOMPARE(Paths(form), (QStringList{Q(t / "s/over.txt"), Q(t / "s/exact.txt")}));
        ckFileSize->click();
        QVERIFY(!form.Find<QLineEdit>("edMin")->isEnabled());

        QVERIFY(!cbDateType->isEnabled());
        ckFileDate->click();
        QVERIFY(cbDateType->isEnabled() && form.Find<QDateEdit>("dtMin")->isEnabled() &&
                form.Find<QDateEdit>("dtMax")->isEnabled());
        form.Find<QDateEdit>("dtMin")->setDate(QDate(2021, 6, 15));
        form.Find<QDateEdit>("dtMax")->setDate(QDate(2021, 6, 15));
        Search(form, t / "d", "start.txt;end.txt;before.txt");
        QCOMPARE(Paths(form), (QStringList{Q(t / "d/start.txt"), Q(t / "d/end.txt")}));
        // The created time is today's: outside the day.
        cbDateType->setCurrentIndex(1);
        Search(form, t / "d", "*.txt");
        QVERIFY(form.fileList().IsEmpty());
        // Typed text that names no item compares the modified time.
        cbDateType->setEditText(QStringLiteral("随便"));
        Search(form, t / "d", "*.txt");
        QCOMPARE(Paths(form).size(), 2);
    }

    void refusalsAndConversionErrors() {
        TempFolder t;
        for (int i = 0; i < 20; ++i) t.Write("r/f" + std::to_string(i) + ".txt");
        t.Write("r/sub/later.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        Search(form, t / "r", "*.txt");
        QCOMPARE(Count(form), QStringLiteral("21"));

        // Empty masks: the error box, the list untouched.
        Search(form, t / "r", " \t ");
        QCOMPARE(dialogs.Last().icon, ScriptedDialogs::Icon::Error);
        QCOMPARE(dialogs.LastText(), QStringLiteral("文件类型为空,请设置好后再试！"));
        QCOMPARE(Paths(form).size(), 21);
        QVERIFY(Idle(form));

        // A bound that is no number ends the search at once, even with the
        // size filter off.
        form.Find<QLineEdit>("edMax")->setText(QStringLiteral("5万"));
        Search(form, t / "r", "*.txt");
        QCOMPARE(dialogs.LastText(), QStringLiteral("'5万' is not a valid floating point value"));
        QVERIFY(form.fileList().IsEmpty());
        QCOMPARE(Count(form), QStringLiteral("0"));
        QVERIFY(Idle(form));

        // Made invalid while the search runs: the rows of the first folder
        // stay, the search stops at the next folder.
        form.Find<QLineEdit>("edMax")->setText(QStringLiteral("50000"));
        dialogs.Clear();
        {
            PumpAction during([&] { form.Find<QLineEdit>("edMin")->setText(QStringLiteral("x")); });
            Search(form, t / "r", "*.txt");
        }
        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.LastText(), QStringLiteral("'x' is not a valid floating point value"));
        QCOMPARE(Paths(form).size(), 20);
        QVERIFY(!Paths(form).contains(Q(t / "r/sub/later.txt")));
        QCOMPARE(Count(form), QStringLiteral("20"));
        QCOMPARE(form.fileModel()->rowCount(), 20);
        QVERIFY(Idle(form));
    }

    void stopDuringADeepSearchKeepsTheRows() {
        TempFolder t;
        DeepTree(t, "deep");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        Search(form, t / "deep", "*.txt");
        QCOMPARE(Paths(form).size(), 48);

        int rowsAtStop = -1;
        bool searchEnabledAtStop = false;
        {
            PumpAction stop([&] {
                QVERIFY(form.Find<QPushButton>("btnStopSearch")->isEnabled());
                QVERIFY(!form.Find<QPushButton>("cbSearch")->isEnabled());
                QVERIFY(QApplication::overrideCursor());
                form.Find<QPushButton>("btnStopSearch")->click();
                searchEnabledAtStop = form.Find<QPushButton>("cbSearch")->isEnabled();
                rowsAtStop = ferro::SearchRowCount(form.fileList());
            });
            Search(form, t / "deep", "*.txt;*.txt");
        }
        QVERIFY(searchEnabledAtStop);
        QVERIFY(rowsAtStop > 0 && rowsAtStop < 48);
        // Every level ended at its next entry: only the entry in hand when the
        // button was pressed may still have been added.
        const int kept = Paths(form).size();
        QVERIFY(kept == rowsAtStop || kept == rowsAtStop + 1);
        QVERIFY(kept < 48);
        QCOMPARE(Count(form), QString::number(kept));
        QVERIFY(form.FStopSearch);
        QVERIFY(Idle(form));
    }

    void aSearchStartedInsideARunningOneLetsItGoOn() {
        TempFolder t;
        DeepTree(t, "outer");
        t.Write("inner/x.txt");
        t.Write("inner/y.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        bool runningAfterNested = false;
        int foundBefore = -1;
        {
            PumpAction nested([&] {
                foundBefore = ferro::SearchRowCount(form.fileList());
                form.Find<QPushButton>("btnStopSearch")->click();
                Search(form, t / "inner", "*.txt");
                // Back in the older search, which must still be stoppable.
                runningAfterNested = !form.Find<QPushButton>("cbSearch")->isEnabled() &&
                                     form.Find<QPushButton>("btnStopSearch")->isEnabled() &&
                                     QApplication::overrideCursor();
            });
            Search(form, t / "outer", "*.txt");
        }
        QVERIFY(runningAfterNested);
        const QStringList paths = Paths(form);
        QVERIFY(paths.size() > 2);
        QVERIFY(paths[0].startsWith(Q(t / "inner/")) && paths[1].startsWith(Q(t / "inner/")));
        // The older search went on in its own folder, with real paths, and
        // found everything it had not found before.
        QCOMPARE(paths.size() - 2, 48 - foundBefore);
        for (int i = 2; i < paths.size(); ++i) {
            QVERIFY2(paths[i].startsWith(Q(t / "outer/")), qPrintable(paths[i]));
            QVERIFY2(ferro::FileExists(ferro::QStringToGbk(paths[i])), qPrintable(paths[i]));
        }
        QCOMPARE(Count(form), QString::number(paths.size()));
        QVERIFY(Idle(form));
    }

    void chooseFolderReplacesTheFolders() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* edFolder = form.Find<QLineEdit>("edFolder");
        edFolder->setText(QStringLiteral("/a;/b"));
        dialogs.folders.push_back(QStringLiteral("/数据/二〇二一"));
        form.Find<QToolButton>("btnOpen")->click();
        QCOMPARE(dialogs.folderTitles, std::vector<QString>{QStringLiteral("请选择搜索目录")});
        QCOMPARE(edFolder->text(), QStringLiteral("/数据/二〇二一"));
        form.Find<QToolButton>("btnOpen")->click();  // cancelled
        QCOMPARE(edFolder->text(), QStringLiteral("/数据/二〇二一"));
    }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
