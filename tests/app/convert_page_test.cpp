// The conversion page: its refusals, a run's counting and closing message,
// the message when the spreadsheet application cannot start, and one run
// through the real LibreOffice.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>

#include "common/temp_folder.h"
#include "convert/workbook_files.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::DialogProvider;
using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Counter;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

constexpr int kConvertPage = 14;

void Run(TForm1& form, const char* item) {
    form.Find<QLineEdit>("edtFileFormat")->setText(QString::fromUtf8(item));
    form.Find<QPushButton>("btnConvert")->click();
}

}  // namespace

class ConvertPageTest : public QObject {
    Q_OBJECT

private slots:
    void pageAndRefusals() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        auto* page = form.Find<QTabWidget>("pgcOne")->widget(kConvertPage);
        QCOMPARE(page->objectName(), QStringLiteral("TabSheet12"));
        auto* edt = page->findChild<QLineEdit*>("edtFileFormat");
        QVERIFY(edt);
        QCOMPARE(edt->text(), QString());
        QCOMPARE(page->findChild<QPushButton*>("btnConvert")->text(), QStringLiteral("开始转换"));
        QStringList texts;
        for (auto* l : page->findChildren<QLabel*>()) texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("新文件格式：")));
        QVERIFY(texts.contains(
            QStringLiteral("注意：转换格式参数必须是扩展名，如${XlsTo(新的扩展名)}，\n"
                           "新的扩展名可为：txt, csv等。")));

        Run(form, "${TxtTo(csv)}");
        QCOMPARE(dialogs.LastText(), QStringLiteral("没有源文件，请搜索后再试！"));

        TempFolder dir;
        const std::string src = dir.Write("a.txt", "1\t2\n");
        AddToList(form, {src});
        Tick(form, {1});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.Find<QLabel>("stChangeCount")->setText(QStringLiteral("7"));
        dialogs.Clear();
        Run(form, "");
        QCOMPARE(dialogs.messages.size(), size_t(1));
        QCOMPARE(dialogs.Last().icon, DialogProvider::Icon::Error);
        QCOMPARE(dialogs.LastText(), QStringLiteral("新文件格式为空,请输入后再试!"));
        QVERIFY(edt->hasFocus());
        // Text that is none of the four items is refused before the run, not
        // counted as converted.
        for (const char* bad : {"csv", "${DocTo(csv)}", "${TxtTo(csv}", " "}) {
            dialogs.Clear();
            form.Find<QPushButton>("btnConvert")->setFocus();
            Run(form, bad);
            QCOMPARE(dialogs.messages.size(), size_t(1));
            QCOMPARE(dialogs.Last().icon, DialogProvider::Icon::Error);
            QCOMPARE(dialogs.LastText(),
                     QStringLiteral("新文件格式不正确，请在左边选择转换函数！"));
            QVERIFY(edt->hasFocus());
        }
        QCOMPARE(Counter(form), QStringLiteral("7"));
        QVERIFY(!dir.Exists("a.csv"));
    }

    void textRunCountsTickedRowsAndStopsAtAnUnreadableFile() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        TempFolder dir;
        AddToList(form, {dir.Write(Gbk("一.txt"), Gbk("甲\t乙\n")), dir.Write("two.txt", "x\ty"),
                         dir.Write("three.txt", "skip\tme"),
                         dir.Write("cards.vcf", "BEGIN:VCARD\nFN:Li\nEND:VCARD\n")});
        Tick(form, {1, 2});
        Run(form, "${TxtTo( .CSV , htm)}");
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 2 个文件!"));
        QCOMPARE(dialogs.Last().icon, DialogProvider::Icon::Information);
        QCOMPARE(Counter(form), QStringLiteral("2"));
        // Written as UTF-8 with LF, whatever the source's encoding, and
        // marked as UTF-8.
        QCOMPARE(dir.Read(Gbk("一.csv")), std::string("\xEF\xBB\xBF甲,乙\n"));
        QCOMPARE(dir.Read("two.csv"), std::string("\xEF\xBB\xBFx,y\n"));
        QVERIFY(!dir.Exists("three.csv"));
        QCOMPARE(form.fileList().LastRow(), 4);  // no rows for the new files

        // vCard to a target it has no table for: nothing written, 0 counted.
        ferro::testing::Tick(form, {4});
        form.fileList().SetChecked(1, false);
        form.fileList().SetChecked(2, false);
        Run(form, "${VcfTo(xls)}");
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("成功处理完成,共处理 0 个文件!\n另有 1 个文件未处理"));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("cards.vcf")));
        QVERIFY(!dir.Exists("cards.xls"));
        Run(form, "${VcfTo(csv)}");
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 1 个文件!"));
        QCOMPARE(dir.Read("cards.csv"),
                 std::string("\xEF\xBB\xBFName,Cell,Tel,Email,Org,Address\nLi,,,,,\n"));

        // A source gone from disk ends the run with its error.
        Tick(form, {1, 2, 4});
        std::remove((dir / "two.txt").c_str());
        dialogs.Clear();
        Run(form, "${TxtTo(htm)}");
        QCOMPARE(dialogs.Last().icon, DialogProvider::Icon::Error);
        QVERIFY(dialogs.LastText().startsWith(QStringLiteral("Cannot open file")));
        QCOMPARE(Counter(form), QStringLiteral("1"));
        QVERIFY(form.Find<QPushButton>("btnConvert")->isEnabled());
    }

    void previewNamesTheFilesToCreateOrReplace() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        TempFolder dir;
        AddToList(form, {dir.Write("a.txt", "x\ty"), dir.Write("b.txt", "1\t2")});
        dir.Write("b.csv", "old");
        Tick(form, {1, 2});
        form.Find<QLineEdit>("edtFileFormat")->setText(QStringLiteral("${TxtTo(csv)}"));
        form.Find<QPushButton>("btnPreview")->click();
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("转换将新建 1 个文件，替换 1 个已有文件(源文件不能转换的除外)。"));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("a.csv\t将新建")));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("b.csv\t将替换")));
        QVERIFY(!dir.Exists("a.csv"));
        QCOMPARE(dir.Read("b.csv"), std::string("old"));
        QCOMPARE(Counter(form), QStringLiteral("0"));
    }

    void missingApplicationIsReportedForEveryFile() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        TempFolder dir;
        // Real workbooks: a file that is none is refused before anything starts.
        const std::string book = ferro::testing::Xlsx({{"S", "visible", ""}});
        AddToList(form, {dir.Write("a.xlsx", book), dir.Write("b.xlsx", book),
                         dir.Write("c.xls", "not a workbook")});
        Tick(form, {1, 2, 3});
        const std::string oldPath = std::getenv("PATH");
        setenv("PATH", dir.MakeFolder("empty").c_str(), 1);
        Run(form, "${XlsTo(csv)}");
        setenv("PATH", oldPath.c_str(), 1);
        // One report names every file and why, instead of a box per file.
        QCOMPARE(dialogs.messages.size(), size_t(1));
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("成功处理完成,共处理 0 个文件!\n另有 3 个文件未处理"));
        QCOMPARE(dialogs.Last().details.count(QStringLiteral("无法启动Excel")), 2);
        QVERIFY(!dir.Exists("a.csv"));
        QVERIFY(!dir.Exists("b.csv"));
        QVERIFY(!dir.Exists("c.csv"));
    }

    void commaTextToWorkbooksWithLibreOffice() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        TempFolder dir;
        std::string big;
        for (int r = 0; r < 70000; ++r) big += std::to_string(r) + "\n";
        AddToList(form, {dir.Write(Gbk("名单.csv"), Gbk("姓名,数量\r\n张三,1\r\n")),
                         dir.Write("b.csv", "1,2\r\n"), dir.Write("c.csv", "3,4\r\n"),
                         // Not text, and too many rows for an xls sheet: neither counts.
                         dir.Write("d.csv", std::string("\x01\x02\xFF\0garbage", 11)),
                         dir.Write("e.csv", big)});
        Tick(form, {1, 3, 4, 5});
        Run(form, "${CsvTo(xls)}");
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("成功处理完成,共处理 2 个文件!\n另有 2 个文件未处理"));
        QVERIFY(!dir.Exists("d.xls"));
        QVERIFY(!dir.Exists("e.xls"));
        for (const std::string& name : {Gbk("名单.xls"), std::string("c.xls")}) {
            QVERIFY(dir.Exists(name));
            QCOMPARE(dir.Read(name).substr(0, 4), std::string("\xD0\xCF\x11\xE0", 4));
        }
        QVERIFY(!dir.Exists("b.xls"));
    }

    void allSheetsWritesEachSheetAndThePreviewListsThePairs() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, kConvertPage);
        auto* chk = form.Find<QCheckBox>("chkAllSheets");
        QVERIFY(chk);
        QCOMPARE(chk->text(), QStringLiteral("每个工作表一个文件"));
        QVERIFY(!chk->isChecked());
        TempFolder dir;
        auto cell = [](const char* text) {
            return std::string("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>") + text +
                   "</t></is></c></row>";
        };
        const std::string book = dir.Write(
            Gbk("销售.xlsx"), ferro::testing::Xlsx({{"一月", "visible", cell("jan")},
                                                    {"隐藏", "hidden", cell("secret")},
                                                    {"二月", "visible", cell("feb")}}));
        // Tab text whose table is named as the first sheet's file.
        const std::string text = dir.Write(Gbk("销售_一月.txt"), "x\ty\n");
        AddToList(form, {book, text});
        Tick(form, {1, 2});
        chk->setChecked(true);
        form.Find<QLineEdit>("edtFileFormat")->setText(QStringLiteral("${XlsTo(csv)}"));
        form.Find<QPushButton>("btnPreview")->click();
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("转换将新建 2 个文件，替换 0 个已有文件(源文件不能转换的除外)。\n"
                                "1 个文件与前面文件的输出同名，将不转换。"));
        const QString details = dialogs.Last().details;
        QVERIFY(details.contains(QStringLiteral("销售_一月.csv\t将新建")));
        QVERIFY(details.contains(QStringLiteral("销售_二月.csv\t将新建")));
        QVERIFY(!details.contains(QStringLiteral("隐藏.csv")));
        QVERIFY(details.contains(QStringLiteral("销售_一月.txt\t不转换：与 ") +
                                 ferro::GbkToQString(book) + QStringLiteral(" 的输出同名")));

        Run(form, "${XlsTo(csv)}");
        QCOMPARE(dialogs.LastText(),
                 QStringLiteral("成功处理完成,共处理 1 个文件!\n另有 1 个文件未处理"));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("的输出同名")));
        QCOMPARE(dir.Read(Gbk("销售_一月.csv")), std::string("\xEF\xBB\xBFjan\n"));
        QCOMPARE(dir.Read(Gbk("销售_二月.csv")), std::string("\xEF\xBB\xBF" "feb\n"));
        QVERIFY(!dir.Exists(Gbk("销售_隐藏.csv")));
        QVERIFY(!dir.Exists(Gbk("销售.csv")));
        // Without the check box, the sheet that was showing, beside the source.
        chk->setChecked(false);
        form.fileList().SetChecked(2, false);
        Run(form, "${XlsTo(csv)}");
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 1 个文件!"));
        QCOMPARE(dir.Read(Gbk("销售.csv")), std::string("\xEF\xBB\xBFjan\n"));
    }
};

QTEST_MAIN(ConvertPageTest)
#include "convert_page_test.moc"
