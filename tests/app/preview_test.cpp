// The preview column of the name and metadata pages, through the real
// window: it shows what the start button then does, follows typing, ticks
// and pages, and touches nothing.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "app/filelist_model.h"
#include "app/preview_column.h"
#include "app/text_preview_window.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

class PreviewTest : public QObject {
    Q_OBJECT

    static void Type(TForm1& form, const char* field, const QString& text) {
        auto* edit = form.Find<QLineEdit>(field);
        edit->clear();
        QTest::keyClicks(edit, text);
        form.previewColumn()->Settle();
    }

    static QString Cell(TForm1& form, int row, int role = Qt::DisplayRole) {
        return form.fileModel()->index(row - 1, ferro::kColumnCount).data(role).toString();
    }

    static QString Name(TForm1& form, int row) {
        return form.fileModel()->index(row - 1, 0).data().toString();
    }

private slots:
    void renamePreviewIsWhatTheRunDoes() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("ab1.txt"), t.Write("ab2.txt"),
                                                t.Write("cd1.TXT"), t.Write("xy1.txt"),
                                                t.Write("skip.txt"), t.Write("ef1.txt")};
        t.Write("xy.txt", "taken");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        ferro::testing::Tick(form, {1, 2, 3, 4, 6});
        ChooseOperation(form, 1);
        form.previewColumn()->Settle();
        QCOMPARE(form.fileModel()->columnCount(), ferro::kColumnCount + 1);
        QCOMPARE(form.fileModel()->headerData(ferro::kColumnCount, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("新名称"));
        Type(form, "edtNewFilename", QStringLiteral("IMG_${sn(1,2)}"));  // lower-cased
        QCOMPARE(Cell(form, 1), QStringLiteral("img_01.txt"));
        QCOMPARE(Cell(form, 3), QStringLiteral("img_03.TXT"));
        QCOMPARE(Cell(form, 5), QString());  // not ticked
        QCOMPARE(Cell(form, 6), QStringLiteral("img_05.txt"));  // numbered by tick order

        // Clashes: a name another row gives first, a name the disk has.
        Type(form, "edtNewFilename", QStringLiteral("${GetLeft(2)}"));
        QCOMPARE(Cell(form, 2), QStringLiteral("ab.txt"));
        QCOMPARE(Cell(form, 2, Qt::ToolTipRole), QStringLiteral("将跳过：与其他文件的新名称相同"));
        QCOMPARE(Cell(form, 4, Qt::ToolTipRole), QStringLiteral("将跳过：目标名称已存在"));
        QVERIFY(form.fileModel()->index(1, ferro::kColumnCount).data(Qt::ForegroundRole).isValid());
        QVERIFY(!form.fileModel()->index(0, ferro::kColumnCount).data(Qt::ForegroundRole).isValid());
        QCOMPARE(form.Find<QLabel>("lblPreview")->text(), QStringLiteral("将更改 3 个文件，跳过 2 个"));
        QVERIFY(t.Exists("ab1.txt") && !t.Exists("ab.txt"));  // nothing touched

        // The run gives exactly those names.
        QStringList previewed;
        for (int r = 1; r <= 6; ++r) previewed << Cell(form, r);
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(Name(form, 1), previewed[0]);
        QCOMPARE(Name(form, 3), previewed[2]);
        QCOMPARE(Name(form, 6), previewed[5]);
        QCOMPARE(Name(form, 2), QStringLiteral("ab2.txt"));
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理文件总数量：3\n另有 2 个文件未处理"));
        // Afterwards every name is unchanged.
        form.previewColumn()->Settle();
        QCOMPARE(form.Find<QLabel>("lblPreview")->text(), QStringLiteral("将更改 0 个文件，跳过 5 个"));
    }

    void followsTicksPagesAndTheExtensionPattern() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("a.TXT"), t.Write("b")};
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        ChooseOperation(form, 0);
        Type(form, "edtNewExt", QStringLiteral("${ext}.bak"));
        QCOMPARE(Cell(form, 1), QString());
        form.fileList().SetChecked(1, true);
        form.fileList().SetChecked(2, true);
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("a.TXT.bak"));
        QCOMPARE(Cell(form, 2), QStringLiteral("b..bak"));  // as the run names it

        // A text page shows the list's six columns only.
        ChooseOperation(form, 9);
        form.previewColumn()->Settle();
        QCOMPARE(form.fileModel()->columnCount(), ferro::kColumnCount);
        QVERIFY(!form.Find<QLabel>("lblPreview")->isVisible());

        ChooseOperation(form, 3);
        form.Find<QCheckBox>("ckHidden")->setChecked(true);
        form.previewColumn()->Settle();
        QCOMPARE(form.fileModel()->headerData(ferro::kColumnCount, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("新属性"));
        QCOMPARE(Cell(form, 1), QStringLiteral("H A"));
    }

    void textPreviewShowsWhatTheRunWrites() {
        TempFolder t;
        std::string text;  // UTF-8, LF
        for (int i = 1; i <= 30; ++i)
            text += (i % 10 == 0 ? "错误 " : "行 ") + std::to_string(i) + "\n";
        const std::string other = t.Write("other.txt", "x\n"), log = t.Write("log.txt", text);
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {other, log});
        ferro::testing::Tick(form, {2});
        auto* btnPreview = form.Find<QPushButton>("btnPreview");
        ChooseOperation(form, 1);
        QVERIFY(!btnPreview->isEnabled());  // names are previewed in the grid
        ChooseOperation(form, 9);
        QVERIFY(btnPreview->isEnabled());

        // The page's own checks come first, in its words.
        form.Find<QRadioButton>("rbDelKeys")->setChecked(true);
        btnPreview->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("删除关键字为空,请输入后再试!"));
        QVERIFY(!form.textPreview());

        // The first ticked file, worked out and written nowhere.
        form.Find<QLineEdit>("edtDelKeys")->setText(QStringLiteral("错误"));
        btnPreview->click();
        auto* window = form.textPreview();
        QVERIFY(window);
        QTRY_VERIFY(window->finished());
        QCOMPARE(window->countsLabel()->text(),
                 QStringLiteral("原文件 30 行，处理后 27 行：删除 3 行，新增 0 行"));
        const QString diff = window->diffView()->toPlainText();
        QVERIFY(diff.contains(QStringLiteral("- 错误 20")));
        QVERIFY(diff.contains(QStringLiteral("省略 6 行未改变的内容")));
        QCOMPARE(t.Read("log.txt"), text);
        QCOMPARE(form.Find<QLabel>("stChangeCount")->text(), QStringLiteral("0"));

        // The run then writes just that.
        form.Find<QPushButton>("btnDelLine")->click();
        std::string left;
        for (int i = 1; i <= 30; ++i)
            if (i % 10 != 0) left += "行 " + std::to_string(i) + "\n";
        QCOMPARE(t.Read("log.txt"), left);

        // With nothing ticked, the current row's file is shown.
        form.fileList().SetChecked(2, false);
        form.Find<QTableView>("sgFiles")->setCurrentIndex(form.fileModel()->index(0, 0));
        form.Find<QLineEdit>("edtDelKeys")->setText(QStringLiteral("x"));
        btnPreview->click();
        QTRY_VERIFY(form.textPreview()->finished());
        QCOMPARE(form.textPreview()->countsLabel()->text(),
                 QStringLiteral("原文件 1 行，处理后 0 行：删除 1 行，新增 0 行"));
        QCOMPARE(t.Read("other.txt"), std::string("x\n"));
    }
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
