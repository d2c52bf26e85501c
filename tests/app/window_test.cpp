// The window as a user first meets it, the selection checks, and the file
// list's own commands, driven through the controls' names.
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "app/filelist_model.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "form_testing.h"
#include "scripted_dialogs.h"
#include "template/catalog.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Gbk;
using ferro::testing::Names;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;
using ferro::testing::TickedNames;

namespace {

const char* const kPages[15][3] = {
    {"TabSheet7", "更改文件扩展名", "btnExt"},       {"TabSheet8", "更改文件名称", "btnFilename"},
    {"TabSheet9", "更改文件或目录日期", "btnDate"},  {"TabSheet10", "更改文件或目录属性", "btnProp"},
    {"ts3", "文件信息统计", "btnFileInfo"},          {"ts1", "合并关键字内容", "btnSyn"},
    {"ts2", "文本行内容截取", "btnCut"},             {"ts4", "文本行内容插入", "btnIns"},
    {"TabSheet1", "行模式替换", "btnReplace"},       {"TabSheet3", "内容按行删除", "btnDelLine"},
    {"TabSheet4", "内容按行提取", "btnGetLine"},     {"TabSheet6", "按关键字同步行", "btnLineSyn"},
    {"TabSheet5", "内容插入新行", "btnInsLine"},     {"TabSheet11", "文件内容合并", "btnFileCombine"},
    {"TabSheet12", "文件格式转换", "btnConvert"},
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startState() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QCOMPARE(form.windowTitle(), QStringLiteral("Ferrovan文件批处理"));
        QCOMPARE(form.size(), QSize(800, 600));
        for (const char* c : {"stSrcCount", "stChangeCount", "stDeleteCount"})
            QCOMPARE(form.Find<QLabel>(c)->text(), QStringLiteral("0"));
        QCOMPARE(form.Find<QLineEdit>("edFolder")->text(), QDir::currentPath());
        auto* cmbOpt = form.Find<QComboBox>("cmbOpt");
        QCOMPARE(cmbOpt->count(), 15);
        QCOMPARE(cmbOpt->currentIndex(), 1);
        QCOMPARE(cmbOpt->currentText(), QStringLiteral("更改文件名称"));
        auto* cmbVar = form.Find<QComboBox>("cmbVar");
        QCOMPARE(cmbVar->count(), int(40 + ferro::FileItemCatalog().size()));  // then what files hold
        QCOMPARE(cmbVar->currentIndex(), -1);
        QCOMPARE(cmbVar->itemText(5), QStringLiteral("${Sn(10,n)}: 从10开始的序号"));
        auto* pgc = form.Find<QTabWidget>("pgcOne");
        QCOMPARE(pgc->count(), 15);
        QCOMPARE(pgc->currentIndex(), 1);
        for (int i = 0; i < 15; ++i) {
            QCOMPARE(pgc->widget(i)->objectName(), QString::fromLatin1(kPages[i][0]));
            QCOMPARE(pgc->tabText(i), QString::fromUtf8(kPages[i][1]));
            QVERIFY2(pgc->widget(i)->findChild<QPushButton*>(kPages[i][2]), kPages[i][2]);
            QCOMPARE(pgc->isTabVisible(i), i == 1);
        }
        auto* grid = form.Find<QTableView>("sgFiles");
        QCOMPARE(grid->model()->rowCount(), 1);  // the empty first row
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("大小(字节)"));
        QCOMPARE(grid->columnWidth(1), 199);
        QCOMPARE(grid->verticalHeader()->defaultSectionSize(), 22);
        QVERIFY(form.Find<QPushButton>("cbSearch")->isEnabled());
        QVERIFY(!form.Find<QPushButton>("btnStopSearch")->isEnabled());
        QCOMPARE(form.Find<QComboBox>("cmbFileType")->currentText(), QStringLiteral("*.txt"));
        QCOMPARE(form.Find<QToolButton>("btnDel")->toolTip(),
                 QStringLiteral("删除所选文件,不删除物理文件."));
    }

    void eachSelectorItemShowsExactlyItsPage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* pgc = form.Find<QTabWidget>("pgcOne");
        for (int item = 0; item < 15; ++item) {
            ChooseOperation(form, item);
            QCOMPARE(pgc->currentIndex(), item);
            for (int i = 0; i < 15; ++i) QCOMPARE(pgc->isTabVisible(i), i == item);
        }
    }

    void selectionChecksRefuse() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        // An empty list refuses even with ticks set.
        Tick(form, {1, 2});
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("没有源文件，请搜索后再试！"));
        QCOMPARE(dialogs.Last().icon, ferro::DialogProvider::Icon::Error);
        QCOMPARE(dialogs.Last().title, QStringLiteral("Ferrovan文件批处理"));
        // Rows without ticks.
        TempFolder t;
        form.fileList().SetChecked(1, false);
        form.fileList().SetChecked(2, false);
        AddToList(form, {t.Write("a.txt"), t.Write("b.txt")});
        QVERIFY(!form.CheckSelection());
        QCOMPARE(dialogs.LastText(), QStringLiteral("请先选择文件！"));
        Tick(form, {2});
        dialogs.Clear();
        QVERIFY(form.CheckSelection());
        QVERIFY(dialogs.messages.empty());
        // Ticks beyond the last row do not count.
        form.fileList().SetChecked(2, false);
        Tick(form, {7});
        QVERIFY(!form.CheckSelection());
    }

    void firstTwoTickedRows() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        std::vector<std::string> paths;
        for (int i = 1; i <= 10; ++i) paths.push_back(t.Write("f" + std::to_string(i)));
        AddToList(form, paths);
        int a = 0, b = 0;
        QVERIFY(!form.FindFirstTwoChecked(a, b));
        Tick(form, {9, 5, 2});
        QVERIFY(form.FindFirstTwoChecked(a, b));
        QCOMPARE(a, 2);
        QCOMPARE(b, 5);
    }

    void clickOnANameCellTogglesItsTick() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("a.txt"), t.Write("b.txt")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* grid = form.Find<QTableView>("sgFiles");
        const QRect name2 = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, name2.center());
        QVERIFY(form.fileList().Checked(2));
        QVERIFY(!form.fileList().Checked(1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, name2.center());
        QVERIFY(!form.fileList().Checked(2));
        // A click in another column only selects the cell.
        const QRect size2 = grid->visualRect(grid->model()->index(1, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, size2.center());
        QVERIFY(!form.fileList().Checked(2));
    }

    void headerClicksSortAndAlternate() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("b.txt", std::string(10, 'x')), t.Write("c.txt", std::string(9, 'x')),
                         t.Write("a.txt", std::string(100, 'x'))});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* grid = form.Find<QTableView>("sgFiles");
        QHeaderView* header = grid->horizontalHeader();
        auto clickHeader = [&](int column) {
            const QPoint p(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, p);
        };
        auto clickName = [&](int row) {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualRect(grid->model()->index(row - 1, 0)).center());
        };
        // Tick b.txt and a.txt by clicking their name cells (each click also
        // inverts the direction of the next header sort).
        clickName(1);
        clickName(3);
        QCOMPARE(TickedNames(form), (QStringList{"b.txt", "a.txt"}));
        clickHeader(0);  // an even number of clicks since start: ascending
        QCOMPARE(Names(form), (QStringList{"a.txt", "b.txt", "c.txt"}));
        QCOMPARE(TickedNames(form), (QStringList{"a.txt", "b.txt"}));
        clickHeader(0);  // right after: descending
        QCOMPARE(Names(form), (QStringList{"c.txt", "b.txt", "a.txt"}));
        QCOMPARE(TickedNames(form), (QStringList{"b.txt", "a.txt"}));
        // A click on a cell in between inverts the direction once more.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(0, 3)).center());
        clickHeader(2);
        QCOMPARE(Names(form), (QStringList{"a.txt", "b.txt", "c.txt"}));  // 100, 10, 9: descending
        QCOMPARE(TickedNames(form), (QStringList{"a.txt", "b.txt"}));
        clickHeader(2);
        QCOMPARE(Names(form), (QStringList{"c.txt", "b.txt", "a.txt"}));  // 9, 10, 100
        // The same files stayed ticked throughout, and the grid shows it.
        QCOMPARE(TickedNames(form), (QStringList{"b.txt", "a.txt"}));
        QVERIFY(!grid->model()->index(0, 0).data(ferro::FileListModel::CheckedRole).toBool());
        QVERIFY(grid->model()->index(1, 0).data(ferro::FileListModel::CheckedRole).toBool());
        QVERIFY(grid->model()->index(2, 0).data(ferro::FileListModel::CheckedRole).toBool());
    }

    void folderSortOrdersEqualFoldersByName() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("y/b.txt"), t.Write("x/z.txt"), t.Write("y/a.txt")});
        form.SortByColumn(1, true);
        QCOMPARE(Names(form), (QStringList{"z.txt", "a.txt", "b.txt"}));
    }

    void removedRowsTakeTheirTicksAndNewRowsComeUnticked() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        std::vector<std::string> paths;
        for (int i = 1; i <= 5; ++i) paths.push_back(t.Write("r" + std::to_string(i)));
        AddToList(form, paths);
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("5"));
        Tick(form, {2, 4});
        form.Find<QToolButton>("btnDel")->click();
        QCOMPARE(Names(form), (QStringList{"r1", "r3", "r5"}));
        QVERIFY(TickedNames(form).isEmpty());
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("3"));
        QVERIFY(t.Exists("r2") && t.Exists("r4"));  // the disk is not touched
        QCOMPARE(form.Find<QTableView>("sgFiles")->model()->rowCount(), 3);
        // Files added later come in unticked, beside a ticked one.
        Tick(form, {3});
        dialogs.openFiles.push_back(QStringList{ferro::GbkToQString(paths[1])});
        form.Find<QToolButton>("btnAdd")->click();
        QCOMPARE(Names(form), (QStringList{"r1", "r3", "r5", "r2"}));
        QCOMPARE(TickedNames(form), QStringList{"r5"});
    }

    void addingFilesFillsTheEmptyListFirst() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        const std::string a = t.Write(Gbk("甲.txt"), "abc");
        const std::string b = t.Write("b.ini");
        ::symlink("b.ini", (t.path() + "/link.ini").c_str());
        dialogs.openFiles.push_back(QStringList{ferro::GbkToQString(a), ferro::GbkToQString(b),
                                     ferro::GbkToQString(t / "link.ini"),
                                     ferro::GbkToQString(t / "missing.txt")});
        form.Find<QToolButton>("btnAdd")->click();
        QCOMPARE(dialogs.fileDialogs.back().title,
                 QStringLiteral("请选择需要修改属性的文件 - 添加文件"));
        QCOMPARE(dialogs.fileDialogs.back().filters.size(), 10);
        QCOMPARE(form.fileList().LastRow(), 2);  // the link and the missing file stay out
        QCOMPARE(form.fileList().Name(1), Gbk("甲.txt"));
        QCOMPARE(form.fileList().Folder(1), t.path());
        QCOMPARE(form.fileList().Cell(ferro::kColSize, 1), std::string("3"));
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("2"));
        QCOMPARE(form.Find<QTableView>("sgFiles")->model()->rowCount(), 2);
        // Cancelling adds nothing.
        form.Find<QToolButton>("btnAdd")->click();
        QCOMPARE(form.fileList().LastRow(), 2);
    }

    void wildcardCharactersInAChosenNameAreLiteral() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        QStringList all;
        for (char c = 'a'; c <= 'j'; ++c) all << ferro::GbkToQString(t.Write(std::string("q") + c + ".txt"));
        const QString odd = ferro::GbkToQString(t.Write("q?.txt"));
        const QString star = ferro::GbkToQString(t.Write("*.txt"));
        dialogs.openFiles.push_back(QStringList{odd, star});
        form.Find<QToolButton>("btnAdd")->click();
        QCOMPARE(Names(form), (QStringList{"q?.txt", "*.txt"}));
        dialogs.openFiles.push_back(all);
        form.Find<QToolButton>("btnAdd")->click();
        QCOMPARE(form.fileList().LastRow(), 12);
        // Removing the row of q?.txt removes that row alone, and no file.
        Tick(form, {1});
        form.Find<QToolButton>("btnDel")->click();
        QCOMPARE(form.fileList().LastRow(), 11);
        QVERIFY(!Names(form).contains("q?.txt"));
        QCOMPARE(Names(form).first(), QStringLiteral("*.txt"));
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("11"));
        QVERIFY(t.Exists("q?.txt"));
        for (char c = 'a'; c <= 'j'; ++c) QVERIFY(t.Exists(std::string("q") + c + ".txt"));
    }

    void invertOnAnEmptyListTicksTheEmptyRow() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.Find<QToolButton>("btnInverse")->click();
        QVERIFY(form.fileList().Checked(1));
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("没有源文件，请搜索后再试！"));
        form.Find<QToolButton>("btnDeSelAll")->click();
        QVERIFY(!form.fileList().Checked(1));
        form.Find<QToolButton>("btnSelAll")->click();
        QVERIFY(form.fileList().Checked(1));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
