// The renamer's toolbox through the real window: the preview column shows
// what the start button then does for letter case, swaps and shifts,
// numbered clashes and a name the disk cannot take.
#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/filelist_model.h"
#include "app/preview_column.h"
#include "common/temp_folder.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

class ToolboxTest : public QObject {
    Q_OBJECT

    static QString Cell(TForm1& form, int row, int role = Qt::DisplayRole) {
        return form.fileModel()->index(row - 1, ferro::kColumnCount).data(role).toString();
    }
    static QString Name(TForm1& form, int row) { return form.fileModel()->index(row - 1, 0).data().toString(); }

    // The preview of every row, then the run: the names it gave are those.
    static void RunAsPreviewed(TForm1& form, int rows) {
        form.previewColumn()->Settle();
        QStringList previewed, tips;
        for (int r = 1; r <= rows; ++r) {
            previewed << Cell(form, r);
            tips << Cell(form, r, Qt::ToolTipRole);
        }
        const QStringList before = ferro::testing::Names(form);
        form.Find<QPushButton>("btnFilename")->click();
        for (int r = 1; r <= rows; ++r) {
            const QString expected = tips[r - 1].isEmpty() ? previewed[r - 1] : before[r - 1];
            QVERIFY2(Name(form, r) == expected, qPrintable(QString::number(r) + ": " + Name(form, r) +
                                                           " != " + expected + " " + tips[r - 1]));
        }
    }

private slots:
    void caseChoicesAndKeepCase() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write("Photo one.JPG"), t.Write("b.txt")};
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        ferro::testing::Tick(form, {1, 2});
        ChooseOperation(form, 1);
        auto* cmbCase = form.Find<QComboBox>("cmbCase");
        auto* chkKeepCase = form.Find<QCheckBox>("chkKeepCase");
        QVERIFY(cmbCase && chkKeepCase && form.Find<QComboBox>("cmbClash"));
        QCOMPARE(cmbCase->currentText(), QStringLiteral("不变"));
        QVERIFY(!chkKeepCase->isChecked());
        ferro::testing::SetText(form, "edtNewFilename", "IMG_${filename}");
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("img_Photo one.JPG"));  // the classic lower-cased pattern
        chkKeepCase->setChecked(true);
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("IMG_Photo one.JPG"));
        cmbCase->setCurrentIndex(3);  // 每个词首字母大写
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("Img_Photo One.jpg"));
        cmbCase->setCurrentIndex(2);  // 全部大写
        RunAsPreviewed(form, 2);
        QCOMPARE(Name(form, 2), QStringLiteral("IMG_B.TXT"));
        QVERIFY(t.Exists("IMG_PHOTO ONE.JPG"));
    }

    void swapsShiftsAndNumberedClashes() {
        TempFolder t;
        std::vector<std::string> paths;
        for (int i = 1; i <= 5; ++i) paths.push_back(t.Write("f" + std::to_string(i) + ".txt", std::to_string(i)));
        t.Write("f7.txt", "outside");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        ferro::testing::Tick(form, {1, 2, 3, 4, 5});
        ChooseOperation(form, 1);
        // A shift by one: every name is given up by the next file.
        ferro::testing::SetText(form, "edtNewFilename", "f${sn(2,1)}");
        form.previewColumn()->Settle();
        QCOMPARE(form.Find<QLabel>("lblPreview")->text(), QStringLiteral("将更改 5 个文件，跳过 0 个"));
        RunAsPreviewed(form, 5);
        for (int i = 1; i <= 5; ++i) QCOMPARE(t.Read("f" + std::to_string(i + 1) + ".txt"), std::to_string(i));
        // Once more by two: f7.txt is not part of the run; numbered, it stays.
        ferro::testing::SetText(form, "edtNewFilename", "f${sn(4,1)}");
        form.Find<QComboBox>("cmbClash")->setCurrentIndex(1);  // 加序号
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 4), QStringLiteral("f7 (2).txt"));
        RunAsPreviewed(form, 5);
        QCOMPARE(t.Read("f7.txt"), "outside");
        QCOMPARE(t.Read("f7 (2).txt"), "4");
        QCOMPARE(t.Read("f8.txt"), "5");
        QCOMPARE(t.Read("f4.txt"), "1");
    }

    // ${RegRep(..)} and ${RegGet(..)} in the rename pattern: groups, a
    // comma and a brace escaped, letters kept though the pattern is
    // lower-cased; the preview column shows what the run does, a bad
    // pattern is refused before anything changes.
    void regularExpressionsPreviewThenRun() {
        TempFolder t;
        const std::vector<std::string> paths = {t.Write(ferro::testing::Gbk("报告2024年.docx")), t.Write("v1999,final.txt"),
                                                t.Write("IMG_0042.JPG")};
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        ferro::testing::Tick(form, {1, 2, 3});
        ChooseOperation(form, 1);
        ferro::testing::SetText(form, "edtNewFilename", "${RegGet([0-9]{4\\},0)}_${RegRep(\\,.*|^\\D+,)}");
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("2024_2024年.docx"));
        QCOMPARE(Cell(form, 2), QStringLiteral("1999_1999.txt"));
        QCOMPARE(Cell(form, 3), QStringLiteral("0042_0042.JPG"));
        RunAsPreviewed(form, 3);
        QVERIFY(t.Exists("1999_1999.txt"));
        // Groups swapped; "Photo" stays as typed, "\D" is no "\d".
        ferro::testing::SetText(form, "edtNewFilename", "${RegRep(^(\\d+)_(\\D*)(\\d+).*,Photo-\\3-\\1\\2)}");
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("Photo-2024-2024.docx"));
        RunAsPreviewed(form, 3);
        QVERIFY(t.Exists("Photo-0042-0042.JPG"));
        // A bad pattern: no preview, and the start button says why.
        ferro::testing::SetText(form, "edtNewFilename", "${RegRep(a(b,c)}");
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QString());
        form.Find<QPushButton>("btnFilename")->click();
        QVERIFY2(dialogs.LastText().startsWith(QStringLiteral("正则表达式不正确：")), qPrintable(dialogs.LastText()));
        QCOMPARE(ferro::testing::Names(form),
                 (QStringList{"Photo-2024-2024.docx", "Photo-1999-1999.txt", "Photo-0042-0042.JPG"}));
    }

    void halfACharacterIsNotAName() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {t.Write("会议纪要 2024.docx")});
        ferro::testing::Tick(form, {1});
        ChooseOperation(form, 1);
        ferro::testing::SetText(form, "edtNewFilename", "${GetLeft(3)}");
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1, Qt::ToolTipRole), QStringLiteral("将跳过：新名称不允许"));
        RunAsPreviewed(form, 1);
        QVERIFY(dialogs.LastText().contains(QStringLiteral("另有 1 个文件未处理")));
        QVERIFY(t.Exists("会议纪要 2024.docx"));
    }
};

QTEST_MAIN(ToolboxTest)
#include "toolbox_test.moc"
