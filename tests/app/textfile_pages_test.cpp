// The pages of key merge, line sync, statistics, combine and insert new
// lines: their controls, refusals and messages, on real files.
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/random.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::Click;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::SetText;
using ferro::testing::TempFolder;
using ferro::testing::Tick;
using Icon = ferro::DialogProvider::Icon;

namespace {

const QString kBackupCaption = QStringLiteral("备份目标文件(.bak),覆盖同名文件");

QStringList Labels(QWidget* page) {
    QStringList texts;
    for (auto* l : page->findChildren<QLabel*>()) texts << l->text();
    return texts;
}

void ExpectError(const ScriptedDialogs& d, const QString& text) {
    QCOMPARE(d.LastText(), text);
    QCOMPARE(d.Last().icon, Icon::Error);
    QCOMPARE(d.Last().title, QStringLiteral("Ferrovan文件批处理"));
}

void ExpectInfo(const ScriptedDialogs& d, const QString& text) {
    QCOMPARE(d.LastText(), text);
    QCOMPARE(d.Last().icon, Icon::Information);
}

}  // namespace

class TextFilePagesTest : public QObject {
    Q_OBJECT

private slots:
    void pagesStartWithTheirDefaults() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        for (const char* box : {"chkSynBak", "chkKeysSyn", "chkFileCombine", "chkInsLine"}) {
            QVERIFY2(form.Find<QCheckBox>(box)->isChecked(), box);
            QCOMPARE(form.Find<QCheckBox>(box)->text(), kBackupCaption);
        }
        // The two notes of a page stand on two lines.
        QVERIFY(Labels(form.findChild<QWidget*>("ts1"))
                    .contains(QStringLiteral("内容格式: KeyName=Value,常用于INI文件处理.")));
        for (const char* f : {"edtFileSize", "edtAllLine", "edtEmptyLine", "edtDataLine",
                              "edtCharMax", "edtCharMin", "edtCharAve"}) {
            QCOMPARE(form.Find<QLineEdit>(f)->text(), QStringLiteral("0"));
            QVERIFY(form.Find<QLineEdit>(f)->isReadOnly());
        }
        QVERIFY(form.Find<QRadioButton>("rbNewLineNo")->isChecked());
        QCOMPARE(form.FieldText("edtNewLineNo") + form.FieldText("edtInsPers") +
                     form.FieldText("edtInsNum"),
                 std::string("021"));
    }

    void keyMergeRefusesAndMerges() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("src.ini", "[a]\r\nSize=10\nName=\nNew=1\n"),
                         t.Write("dst.ini", "[a]\nsize=5\nname=x\nkeep=1"),
                         t.Write("third.ini", "Size=0\n")});
        Tick(form, {1});
        Click(form, "btnSyn");
        ExpectError(dialogs, QStringLiteral("请选择需要按关键字进行合并的两个文件！"));
        QCOMPARE(t.Read("dst.ini"), std::string("[a]\nsize=5\nname=x\nkeep=1"));
        // Three ticked rows: the third is ignored; only the target is written.
        Tick(form, {2, 3});
        Click(form, "btnSyn");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 2 条记录!"));
        QCOMPARE(t.Read("dst.ini"), std::string("[a]\nSize=10\nkeep=1"));
        QCOMPARE(t.Read("dst.ini.bak"), std::string("[a]\nsize=5\nname=x\nkeep=1"));
        QCOMPARE(t.Read("src.ini"), std::string("[a]\r\nSize=10\nName=\nNew=1\n"));
        QCOMPARE(t.Read("third.ini"), std::string("Size=0\n"));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("0"));
        QVERIFY(form.Find<QPushButton>("btnSyn")->isEnabled());
        // A target that cannot be written: backed up, unchanged, no closing
        // message but the run's report: the error, and the target left undone.
        form.Find<QCheckBox>("chkSynBak")->setChecked(false);
        t.Write("src.ini", "keep=2\n");
        t.SetMode("dst.ini", 0444);
        dialogs.Clear();
        Click(form, "btnSyn");
        const QString undone = QStringLiteral("\n另有 1 个文件未处理");
        ExpectError(dialogs, ferro::GbkToQString("Cannot create file " + t / "dst.ini") + undone);
        QVERIFY2(dialogs.Last().details.startsWith(ferro::GbkToQString(t / "dst.ini") + "\t"),
                 qPrintable(dialogs.Last().details));
        QCOMPARE(dialogs.messages.size(), size_t(1));
        QCOMPARE(t.Read("dst.ini"), std::string("[a]\nSize=10\nkeep=1"));
        QVERIFY(form.Find<QPushButton>("btnSyn")->isEnabled());
        // A source that cannot be read: nothing is written.
        t.SetMode("dst.ini", 0644);
        ::unlink((t / "src.ini").c_str());
        Click(form, "btnSyn");
        ExpectError(dialogs, ferro::GbkToQString("Cannot open file " + t / "src.ini") + undone);
        QCOMPARE(t.Read("dst.ini"), std::string("[a]\nSize=10\nkeep=1"));
    }

    void lineSyncRefusesAndCopies() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        TempFolder t;
        AddToList(form, {t.Write("en.txt", Gbk("one\nTWO 译\nthree\nfour 译\nfive 译\n")),
                         t.Write("zh.txt", "1\n2\n3\n4")});
        Tick(form, {1});
        // The keyword is checked first, then the pair.
        Click(form, "btnLineSyn");
        ExpectError(dialogs, QStringLiteral("关键字为空,请输入后再试!"));
        QTRY_VERIFY(form.Find<QLineEdit>("edtLineKeys")->hasFocus());
        SetText(form, "edtLineKeys", "two;译");
        Click(form, "btnLineSyn");
        ExpectError(dialogs, QStringLiteral("请选择需要按关键字进行同步的两个文件！"));
        Tick(form, {2});
        Click(form, "btnLineSyn");
        // Line 5 has no target line: skipped and not counted.
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 2 条记录!"));
        // The target held ASCII alone: the text it gains is written as UTF-8
        // (this source file is UTF-8); its LF breaks stay.
        QCOMPARE(t.Read("zh.txt"), std::string("1\nTWO 译\n3\nfour 译"));
        QCOMPARE(t.Read("zh.txt.bak"), std::string("1\n2\n3\n4"));
        // Blanks only: nothing copied, the target still rewritten and backed up.
        t.Write("zh.txt", "a\nb");
        SetText(form, "edtLineKeys", "   ");
        Click(form, "btnLineSyn");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 0 条记录!"));
        QCOMPARE(t.Read("zh.txt"), std::string("a\nb"));
        QCOMPARE(t.Read("zh.txt.bak"), std::string("a\nb"));
    }

    void statisticsUseTheCurrentRow() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("other.txt", "x\n"), t.Write("ab.txt", Gbk("ab\r\n\r\n汉字"))});
        auto* grid = form.findChild<QTableView*>("sgFiles");
        grid->setCurrentIndex(grid->model()->index(1, 2));
        // Another ticked row does not stand in for the current one.
        Tick(form, {1});
        Click(form, "btnFileInfo");
        ExpectError(dialogs, QStringLiteral("请选择需要进行统计的文件！"));
        QCOMPARE(form.Find<QLineEdit>("edtAllLine")->text(), QStringLiteral("0"));
        Tick(form, {2});
        Click(form, "btnFileInfo");
        ExpectInfo(dialogs, QStringLiteral("成功统计完成!"));
        QCOMPARE(form.Find<QLineEdit>("edtFilename")->text(), ferro::GbkToQString(t / "ab.txt"));
        QStringList figures;
        for (const char* f : {"edtFileSize", "edtAllLine", "edtEmptyLine", "edtDataLine",
                              "edtCharMax", "edtCharMin", "edtCharAve"})
            figures << form.Find<QLineEdit>(f)->text();
        QCOMPARE(figures, (QStringList{"10", "3", "1", "2", "4", "2", "5"}));
        QCOMPARE(t.Read("ab.txt"), Gbk("ab\r\n\r\n汉字"));  // never written
        QVERIFY(!t.Exists("ab.txt.bak"));
        // A file that has gone: the error, and the figures stay.
        ::unlink((t / "ab.txt").c_str());
        Click(form, "btnFileInfo");
        ExpectError(dialogs, ferro::GbkToQString("Cannot open file " + t / "ab.txt"));
        QCOMPARE(form.Find<QLineEdit>("edtFileSize")->text(), QStringLiteral("10"));
        QVERIFY(form.Find<QPushButton>("btnFileInfo")->isEnabled());
    }

    void combineJoinsIntoTheLastTickedFile() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("a.txt", "a1\na2"), t.Write("skip.txt", "s\n"),
                         t.Write("b.txt", ""), t.Write("c.txt", "c1\n")});
        Tick(form, {1, 3, 4});
        Click(form, "btnFileCombine");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 3 个文件!"));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("3"));
        QCOMPARE(t.Read("c.txt"), std::string("a1\na2\nc1\n"));
        QCOMPARE(t.Read("c.txt.bak"), std::string("c1\n"));
        QCOMPARE(t.Read("a.txt"), std::string("a1\na2"));
        QVERIFY(!t.Exists("a.txt.bak"));
        // A file that cannot be read ends the run before the target is
        // written: no file counts as done, and all three are listed.
        ::unlink((t / "b.txt").c_str());
        Click(form, "btnFileCombine");
        ExpectError(dialogs, ferro::GbkToQString("Cannot open file " + t / "b.txt") +
                                 QStringLiteral("\n另有 3 个文件未处理"));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("b.txt\t文件不存在\n")));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("0"));
        QCOMPARE(t.Read("c.txt"), std::string("a1\na2\nc1\n"));
    }

    void newLinesRefusals() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("a.txt", "x\n")});
        Tick(form, {1});
        Click(form, "btnInsLine");
        ExpectError(dialogs, QStringLiteral("要插入的文字内容不能为空,请输入后再试!"));
        SetText(form, "mmoNewCont", "new");
        form.Find<QRadioButton>("rbKeyLine")->setChecked(true);
        Click(form, "btnInsLine");
        ExpectError(dialogs, QStringLiteral("插入行关键字为空,请输入后再试!"));
        // Every number is read whatever the mode.
        SetText(form, "edtLineKey", "x");
        SetText(form, "edtInsNum", "一");
        Click(form, "btnInsLine");
        ExpectError(dialogs, QStringLiteral("'一' is not a valid integer value"));
        SetText(form, "edtInsNum", "1");
        form.Find<QRadioButton>("rbIntLine")->setChecked(true);
        SetText(form, "edtInsPers", "0");
        Click(form, "btnInsLine");
        ExpectError(dialogs, QStringLiteral("间隔行数必须大于0,请重新输入!"));
        // A period of 0 is no matter outside interval mode.
        form.Find<QRadioButton>("rbNewLineNo")->setChecked(true);
        SetText(form, "mmoNewCont", "${LineStr(two)}");
        Click(form, "btnInsLine");
        ExpectError(dialogs, QStringLiteral("'two' is not a valid integer value"));
        QCOMPARE(t.Read("a.txt"), std::string("x\n"));
        QVERIFY(!t.Exists("a.txt.bak"));
        QVERIFY(form.Find<QPushButton>("btnInsLine")->isEnabled());
    }

    void newLinesInsertIntoEveryTickedFile() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        TempFolder t;
        AddToList(form, {t.Write("a.txt", "a1\na2\na3"), t.Write("b.txt", "b1"), t.Write("e.txt")});
        Tick(form, {1, 2, 3});
        // As on Windows: bytes as they are, CR LF after every line.
        form.Find<QComboBox>("cmbTextEncoding")->setCurrentIndex(1);
        // Memo lines, an escape, and the second line of each file.
        form.Find<QPlainTextEdit>("mmoNewCont")
            ->setPlainText(QStringLiteral("--\n${linestr(2)}\\tz"));
        SetText(form, "edtNewLineNo", "1");
        Click(form, "btnInsLine");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 3 个文件!"));
        QCOMPARE(t.Read("a.txt"), std::string("a1\r\n--\r\na2\tz\r\na2\r\na3\r\n"));
        QCOMPARE(t.Read("b.txt"), std::string("b1\r\n--\r\n${linestr(2)}\tz\r\n"));
        QCOMPARE(t.Read("e.txt"), std::string("--\r\n${linestr(2)}\tz\r\n"));
        QVERIFY(t.Exists("e.txt.bak"));
        // Interval mode every 2 lines at the 2nd; an empty file stays empty.
        t.Write("a.txt", "1\n2\n3\n4\n5");
        t.Write("e.txt");
        form.Find<QRadioButton>("rbIntLine")->setChecked(true);
        SetText(form, "edtInsNum", "2");
        SetText(form, "mmoNewCont", "+");
        Click(form, "btnInsLine");
        QCOMPARE(t.Read("a.txt"), std::string("1\r\n+\r\n2\r\n3\r\n+\r\n4\r\n5\r\n"));
        QCOMPARE(t.Read("e.txt"), std::string());
    }

    void textEncodingSettingReachesEveryTextOperation() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        // Under the operation selector, automatic by default.
        auto* box = form.Find<QComboBox>("cmbTextEncoding");
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), form.findChild<QWidget*>("pnl2"));
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("自动 (UTF-8 / GBK)"));
        QCOMPARE(box->itemText(1), QStringLiteral("GBK (Windows)"));
        QCOMPARE(box->currentIndex(), 0);
        QVERIFY(Labels(form.findChild<QWidget*>("pnl2")).contains(QStringLiteral("文本编码")));

        TempFolder t;
        // A UTF-8 file with LF and no last break (this source is UTF-8), a
        // GBK one with CR LF: a keyword typed in the window finds its lines in
        // both, and each file keeps its encoding and breaks.
        AddToList(form, {t.Write("u.txt", "保留\n错误行\n末行"),
                         t.Write("g.txt", Gbk("保留\r\n错误行\r\n"))});
        Tick(form, {1, 2});
        form.Find<QRadioButton>("rbDelKeys")->setChecked(true);
        SetText(form, "edtDelKeys", "错误");
        Click(form, "btnDelLine");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 2 个文件!"));
        QCOMPARE(t.Read("u.txt"), std::string("保留\n末行"));
        QCOMPARE(t.Read("g.txt"), Gbk("保留\r\n"));

        // The classic mode: bytes as code page 936, CR LF after every line;
        // the GBK keyword does not match UTF-8 text.
        box->setCurrentIndex(1);
        t.Write("u.txt", "保留\n错误行\n末行");
        Click(form, "btnDelLine");
        QCOMPARE(t.Read("u.txt"), std::string("保留\r\n错误行\r\n末行\r\n"));

        // The two-file operations too: a UTF-8 source merged into a GBK
        // target, which stays GBK.
        box->setCurrentIndex(0);
        t.Write("u.txt", "名称=新值\n");
        t.Write("g.txt", Gbk("名称=旧值\r\n其他=1"));
        Click(form, "btnSyn");
        ExpectInfo(dialogs, QStringLiteral("成功处理完成,共处理 1 条记录!"));
        QCOMPARE(t.Read("g.txt"), Gbk("名称=新值\r\n其他=1"));
    }
};

QTEST_MAIN(TextFilePagesTest)
#include "textfile_pages_test.moc"
