// The pages of line cut, line insert, pattern replace, line delete and line
// extract, driven through their controls with real files: their start
// checks and messages, and runs that end early at a file they cannot touch.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Click;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::SetText;
using ferro::testing::TempFolder;
using ferro::testing::Tick;
using Icon = ferro::DialogProvider::Icon;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

void Choose(TForm1& form, const char* radio) {
    form.Find<QRadioButton>(radio)->setChecked(true);
}

QString Changed(TForm1& form) {
    return form.stChangeCount()->text();
}

// Files a.txt, b.txt, c.txt (in that order in the list), all ticked.
struct ThreeFiles {
    TempFolder t;
    explicit ThreeFiles(TForm1& form, const std::string& text = "one\r\ntwo\r\nthree\r\n") {
        AddToList(form, {t.Write("a.txt", text), t.Write("b.txt", text), t.Write("c.txt", text)});
        Tick(form, {1, 2, 3});
    }
};

// Shows the form and makes it the active window, so focus can be checked.
void ShowActive(TForm1& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

}  // namespace

class LineOpsPagesTest : public QObject {
    Q_OBJECT

private slots:
    void pagesShowTheirControlsAndDefaults() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        // What a run starts from when the user changes nothing.
        for (const char* on :
             {"rbKeepCut", "rbCutTextLine", "rbDataLine", "rbDelLineNo", "rbGeLineNo"})
            QVERIFY2(form.Find<QRadioButton>(on)->isChecked(), on);
        for (const char* on :
             {"chkCutBak", "chkInsBak", "chkModeBak", "chkDelLine", "chkGetLine", "chkGetNoneLine"})
            QVERIFY2(form.Find<QCheckBox>(on)->isChecked(), on);
        const std::pair<const char*, const char*> edits[] = {
            {"edtCutFormat", ""},  {"edtCutLineNo", "1"}, {"edtInsLineNo", "1"},
            {"edPrefix", "$"},     {"edArgNum", "3"},     {"edtLines", "2"},
            {"edtLineNum", "1"},   {"edtGetLines", "2"},  {"edtGetLineNo", "1"},
            {"edtGetLineNum", "1"}};
        for (const auto& [name, text] : edits)
            QCOMPARE(form.Find<QLineEdit>(name)->text(), U(text));
        QCOMPARE(form.Find<QPlainTextEdit>("mmPattern")->verticalScrollBarPolicy(),
                 Qt::ScrollBarAlwaysOn);
        // The line settings of the cut page are their own group: choosing in
        // one does not clear the other.
        auto* box =
            qobject_cast<QGroupBox*>(form.Find<QRadioButton>("rbCutAllLine")->parentWidget());
        QVERIFY(box);
        QCOMPARE(box->title(), U("行设置"));
        Choose(form, "rbKeepLeft");
        Choose(form, "rbCutKeysLine");
        QVERIFY(form.Find<QRadioButton>("rbKeepLeft")->isChecked());
        QVERIFY(!form.Find<QRadioButton>("rbCutTextLine")->isChecked());
        Choose(form, "rbDelKeys");
        QVERIFY(form.Find<QRadioButton>("rbGeLineNo")->isChecked());
        // The notes and labels a user reads.
        QStringList labels;
        for (QLabel* l : form.findChildren<QLabel*>()) labels << l->text();
        for (const char* text :
             {"截取格式:", "插入格式:", "模式格式：", "参数前缀：", "参数个数：",
              "样式：$1,$2,$3...", "行删除第", "行提取第", "行记录", "可分号隔开多个关键字。",
              "注意：批量处理前，请最好先测试几个文件，确保格式的准确无误。",
              "注意：批量处理前，请最好先测试几个文件，确保设置的准确无误。"})
            QVERIFY2(labels.contains(U(text)), text);
    }

    void cutChecksItsSettingsInOrderAndRuns() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 6);
        // The selection check comes first.
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("没有源文件，请搜索后再试！"));
        ThreeFiles files(form, "abcdef\r\n\r\nxy\r\n");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("请输入内容截取格式！"));
        QCOMPARE(dialogs.Last().icon, Icon::Error);
        SetText(form, "edtCutFormat", "   ");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("请输入内容截取格式！"));
        SetText(form, "edtCutFormat", "getleft(2)");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("内容截取格式不正确，请在左边选择变量或函数！"));
        SetText(form, "edtCutFormat", " ${GetLeft(2)} ");
        Choose(form, "rbCutKeysLine");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("关键字不能为空，请输入后再试！"));
        // The line number is read in every mode, once the button is taken.
        SetText(form, "edtCutKeys", "cd");
        SetText(form, "edtCutLineNo", "x");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("'x' is not a valid integer value"));
        QVERIFY(form.Find<QPushButton>("btnCut")->isEnabled());
        QCOMPARE(files.t.Read("a.txt"), std::string("abcdef\r\n\r\nxy\r\n"));
        QVERIFY(!files.t.Exists("a.txt.bak"));
        // Keyword mode, keep-cut: lines without the keyword vanish.
        SetText(form, "edtCutLineNo", "0");
        Click(form, "btnCut");
        QCOMPARE(dialogs.LastText(), U("成功处理完成,共处理 3 个文件!"));
        QCOMPARE(dialogs.Last().icon, Icon::Information);
        QCOMPARE(Changed(form), U("3"));
        QCOMPARE(files.t.Read("c.txt"), std::string("ab\r\n"));
        QCOMPARE(files.t.Read("c.txt.bak"), std::string("abcdef\r\n\r\nxy\r\n"));
        // Keep-rest in line-number mode on the last line; no backup asked.
        Choose(form, "rbKeepLeft");
        Choose(form, "rbCutLineNo");
        SetText(form, "edtCutLineNo", "1");
        form.Find<QCheckBox>("chkCutBak")->setChecked(false);
        SetText(form, "edtCutFormat", "${GetRight(1)}");
        Click(form, "btnCut");
        QCOMPARE(files.t.Read("a.txt"), std::string("a\r\n"));
        QCOMPARE(files.t.Read("a.txt.bak"), std::string("abcdef\r\n\r\nxy\r\n"));
    }

    void insertNumbersEachFileAndRefusesABadSequenceItem() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 7);
        ThreeFiles files(form, "a\r\n\r\nb\r\n");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("请输入内容插入格式！"));
        SetText(form, "edtInsFormat", "abc");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("内容插入格式不正确，请在左边选择变量或函数！"));
        SetText(form, "edtInsFormat", "${AddLeft(x)}");
        Choose(form, "rbKeys");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("关键字不能为空，请输入后再试！"));
        // A sequence item that is no number stops the run before any file is
        // touched, with the counter already reset.
        Choose(form, "rbDataLine");
        form.stChangeCount()->setText(U("9"));
        SetText(form, "edtInsFormat", "${AddLeft(${Sn(1,x)}.)}");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("'x' is not a valid integer value"));
        QCOMPARE(Changed(form), U("0"));
        QCOMPARE(files.t.Read("a.txt"), std::string("a\r\n\r\nb\r\n"));
        SetText(form, "edtInsLineNo", "");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("'' is not a valid integer value"));
        // Numbering restarts in every file; empty lines are skipped.
        SetText(form, "edtInsLineNo", "1");
        SetText(form, "edtInsFormat", "${AddLeft(${Sn(1,3)}.)}");
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), U("成功处理完成,共处理 3 个文件!"));
        for (const char* f : {"a.txt", "b.txt", "c.txt"})
            QCOMPARE(files.t.Read(f), std::string("001.a\r\n\r\n002.b\r\n"));
        // Line-number mode gives its line the start number.
        Choose(form, "rbInsLineNo");
        SetText(form, "edtInsLineNo", "3");
        SetText(form, "edtInsFormat", "${AddRight(#${sn(7,2)})}");
        Click(form, "btnIns");
        QCOMPARE(files.t.Read("b.txt"), std::string("001.a\r\n\r\n002.b#07\r\n"));
    }

    void patternReplaceRefusesAnEmptyPatternAndKeepsItsSeparatorForTheRun() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 8);
        TempFolder t;
        AddToList(form, {t.Write("1.txt", "x\r\na b\r\n"), t.Write("2.txt", "c;d e\r\n\r\n")});
        Tick(form, {1, 2});
        ShowActive(form);
        Click(form, "btnReplace");
        QCOMPARE(dialogs.LastText(), U("模式格式为空,请输入后再试!"));
        QVERIFY(form.Find<QPlainTextEdit>("mmPattern")->hasFocus());
        SetText(form, "mmPattern", "$2|$1");
        SetText(form, "edArgNum", "three");
        Click(form, "btnReplace");
        QCOMPARE(dialogs.LastText(), U("'three' is not a valid integer value"));
        QCOMPARE(t.Read("1.txt"), std::string("x\r\na b\r\n"));
        SetText(form, "edArgNum", "3");
        SetText(form, "edPrefix", " $ ");
        Click(form, "btnReplace");
        QCOMPARE(dialogs.LastText(), U("成功处理完成,共处理 2 个文件!"));
        // The space decided in the first file splits the second too; the
        // blank line vanished.
        QCOMPARE(t.Read("1.txt"), std::string("$2|x\r\nb|a\r\n"));
        QCOMPARE(t.Read("2.txt"), std::string("e|c;d\r\n"));
        // The next run decides afresh: ";" this time.
        t.Write("1.txt", "c;d e\r\n");
        SetText(form, "mmPattern", "$1\n$2");
        Click(form, "btnReplace");
        QCOMPARE(t.Read("1.txt"), std::string("c\r\nd e\r\n"));
        QCOMPARE(t.Read("1.txt.bak"), std::string("c;d e\r\n"));
    }

    void deleteChecksComeBeforeAnyFileIsTouched() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 9);
        ThreeFiles files(form, "1\r\n2\r\n3\r\n4\r\n");
        ShowActive(form);
        Choose(form, "rbDelKeys");
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("删除关键字为空,请输入后再试!"));
        QVERIFY(form.Find<QLineEdit>("edtDelKeys")->hasFocus());
        // Blanks and semicolons alone hold no keyword either.
        SetText(form, "edtDelKeys", " ; ");
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("删除关键字为空,请输入后再试!"));
        // Every number field is read whatever the mode.
        SetText(form, "edtDelKeys", "2");
        SetText(form, "edtLineNum", "1.5");
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("'1.5' is not a valid integer value"));
        SetText(form, "edtLineNum", "1");
        SetText(form, "edtDelLineNo", "");
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("'' is not a valid integer value"));
        SetText(form, "edtDelLineNo", "1");
        // A period below 1 has no meaning in interval mode.
        Choose(form, "rbDelLine");
        SetText(form, "edtLines", "0");
        dialogs.Clear();
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("间隔行数必须大于0,请重新输入!"));
        QCOMPARE(dialogs.Last().icon, Icon::Error);
        QVERIFY(form.Find<QLineEdit>("edtLines")->hasFocus());
        QCOMPARE(files.t.Read("b.txt"), std::string("1\r\n2\r\n3\r\n4\r\n"));
        QVERIFY(!files.t.Exists("b.txt.bak"));
        QCOMPARE(Changed(form), U("0"));
        // ... but not outside it.
        Choose(form, "rbDelKeys");
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), U("成功处理完成,共处理 3 个文件!"));
        QCOMPARE(files.t.Read("b.txt"), std::string("1\r\n3\r\n4\r\n"));
        // Interval mode with the defaults deletes lines 1, 3, ...
        Choose(form, "rbDelLine");
        SetText(form, "edtLines", "2");
        Click(form, "btnDelLine");
        QCOMPARE(files.t.Read("b.txt"), std::string("3\r\n"));
    }

    void aReadOnlyFileEndsTheRunAfterItsBackup() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 9);
        ThreeFiles files(form, "keep\r\n\r\n");
        files.t.SetMode("b.txt", 0444);
        Choose(form, "rbDelEmpty");
        Click(form, "btnDelLine");
        // The first file was written, the second refused (as root, too): the
        // run ends there, with no closing message; the files left undone are
        // listed with the error.
        QCOMPARE(dialogs.LastText(), U("Cannot create file ") +
                                         ferro::GbkToQString(files.t / "b.txt") +
                                         U("\n另有 2 个文件未处理"));
        QCOMPARE(dialogs.Last().details,
                 ferro::GbkToQString(files.t / "b.txt") + U("\t只读文件\n") +
                     ferro::GbkToQString(files.t / "c.txt") + U("\t因前面的错误而未处理\n"));
        QCOMPARE(dialogs.Last().icon, Icon::Error);
        QCOMPARE(dialogs.messages.size(), size_t(1));
        QCOMPARE(Changed(form), U("1"));
        QCOMPARE(files.t.Read("a.txt"), std::string("keep\r\n"));
        QCOMPARE(files.t.Read("b.txt"), std::string("keep\r\n\r\n"));
        QCOMPARE(files.t.Read("b.txt.bak"), std::string("keep\r\n\r\n"));
        QCOMPARE(files.t.Read("c.txt"), std::string("keep\r\n\r\n"));
        QVERIFY(!files.t.Exists("c.txt.bak"));
        QVERIFY(form.Find<QPushButton>("btnDelLine")->isEnabled());
    }

    void extractChecksAndEdgeFiles() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 10);
        TempFolder t;
        const std::string nul = t.Write(Gbk("数据.txt"), std::string("a\r\n\0b\r\n", 6));
        AddToList(form, {t.Write("empty.txt", ""), t.Write("one.txt", "x\r\n\r\ny\r\n"), nul,
                         t.Write("late.txt", "z\r\n")});
        Tick(form, {1, 2, 3, 4});
        ShowActive(form);
        Choose(form, "rbGetKeys");
        Click(form, "btnGetLine");
        QCOMPARE(dialogs.LastText(), U("提取关键字为空,请输入后再试!"));
        QVERIFY(form.Find<QLineEdit>("edtGetKeys")->hasFocus());
        SetText(form, "edtGetKeys", "  ");
        Click(form, "btnGetLine");
        QCOMPARE(dialogs.LastText(), U("提取关键字为空,请输入后再试!"));
        SetText(form, "edtGetKeys", "y");
        SetText(form, "edtGetLines", "z");
        Click(form, "btnGetLine");
        QCOMPARE(dialogs.LastText(), U("'z' is not a valid integer value"));
        SetText(form, "edtGetLines", "-2");
        Choose(form, "rbGetLine");
        Click(form, "btnGetLine");
        QCOMPARE(dialogs.LastText(), U("间隔行数必须大于0,请重新输入!"));
        QVERIFY(form.Find<QLineEdit>("edtGetLines")->hasFocus());
        // Line-number mode: the empty file is written back empty and counted;
        // the file with a NUL byte ends the run with a Chinese error naming
        // it, and is left as it was.
        Choose(form, "rbGeLineNo");
        SetText(form, "edtGetLineNum", "2");
        Click(form, "btnGetLine");
        const QString error = dialogs.LastText();
        QVERIFY2(error.contains(ferro::GbkToQString(nul)), qPrintable(error));
        QVERIFY2(error.contains(U("文本文件")), qPrintable(error));
        QCOMPARE(dialogs.Last().icon, Icon::Error);
        QCOMPARE(Changed(form), U("2"));
        QCOMPARE(t.Read("one.txt"), std::string("\r\n"));
        QVERIFY(t.Exists("empty.txt.bak"));
        QCOMPARE(t.Read("empty.txt"), std::string());
        QCOMPARE(t.Read(Gbk("数据.txt")), std::string("a\r\n\0b\r\n", 6));
        QVERIFY(!t.Exists(Gbk("数据.txt.bak")));
        QCOMPARE(t.Read("late.txt"), std::string("z\r\n"));
        // Without the NUL file, keyword mode keeps the matching lines; blank
        // lines only while allowed.
        form.fileList().SetChecked(3, false);
        t.Write("one.txt", "x\r\n \r\ny\r\n");
        Choose(form, "rbGetKeys");
        SetText(form, "edtGetKeys", "\" \";y");
        form.Find<QCheckBox>("chkGetNoneLine")->setChecked(false);
        Click(form, "btnGetLine");
        QCOMPARE(dialogs.LastText(), U("成功处理完成,共处理 3 个文件!"));
        QCOMPARE(t.Read("one.txt"), std::string("y\r\n"));
        QCOMPARE(t.Read("late.txt"), std::string());
    }
};

QTEST_MAIN(LineOpsPagesTest)
#include "lineops_pages_test.moc"
