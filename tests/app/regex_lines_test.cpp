// The "正则表达式" boxes of line delete, line extract and line sync in the
// real window: unticked at first, a bad pattern refused in the page's words
// before anything changes, and the preview showing for a GBK file and a
// UTF-8 file what the run then writes.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "app/filelist_model.h"
#include "app/text_preview_window.h"
#include "common/temp_folder.h"
#include "form_testing.h"
#include "platform/codec.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Click;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::SetControl;
using ferro::testing::SetText;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

class RegexLinesTest : public QObject {
    Q_OBJECT

    // The preview window of one ticked row once it has finished; null when
    // none opened or it never finished.
    static ferro::TextPreviewWindow* PreviewRow(TForm1& form, int row) {
        Tick(form, {row});
        form.Find<QPushButton>("btnPreview")->click();
        auto* window = form.textPreview();
        if (window && !QTest::qWaitFor([&] { return window->finished(); })) return nullptr;
        return window;
    }

private slots:
    void boxesStartUnticked() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        for (const char* name : {"chkDelRegex", "chkGetRegex", "chkSynRegex"}) {
            auto* box = form.Find<QCheckBox>(name);
            QVERIFY2(box, name);
            QVERIFY(!box->isChecked());
            QCOMPARE(box->text(), QStringLiteral("正则表达式"));
        }
    }

    void aBadPatternIsRefusedOnEveryPage() {
        const struct {
            int page;
            const char *mode, *keys, *box, *start;
        } pages[] = {
            {9, "rbDelKeys", "edtDelKeys", "chkDelRegex", "btnDelLine"},
            {10, "rbGetKeys", "edtGetKeys", "chkGetRegex", "btnGetLine"},
            {11, nullptr, "edtLineKeys", "chkSynRegex", "btnLineSyn"},
        };
        for (const auto& p : pages) {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            ChooseOperation(form, p.page);
            TempFolder t;
            const std::string text = "ERR(\r\nok\r\n";
            AddToList(form, {t.Write("a.txt", text), t.Write("b.txt", text)});
            Tick(form, {1, 2});
            if (p.mode) SetControl(form, p.mode, "1");
            SetText(form, p.keys, "ok;ERR(");
            SetControl(form, p.box, "1");
            Click(form, p.start);
            QVERIFY2(dialogs.LastText().startsWith(QStringLiteral("正则表达式不正确：")),
                     qPrintable(dialogs.LastText()));
            QCOMPARE(t.Read("a.txt"), text);
            QCOMPARE(t.Read("b.txt"), text);
            QVERIFY(!t.Exists("a.txt.bak") && !t.Exists("b.txt.bak"));
            // Unticked, the same text is a keyword and runs.
            SetControl(form, p.box, "0");
            Click(form, p.start);
            QVERIFY2(!dialogs.LastText().startsWith(QStringLiteral("正则表达式不正确：")),
                     qPrintable(dialogs.LastText()));
        }
    }

    void previewIsWhatTheRunWrites() {
        TempFolder t;
        std::string text, left;  // UTF-8, LF
        for (int i = 1; i <= 40; ++i) {
            const std::string line = (i % 8 == 0 ? "错误_" : i % 5 == 0 ? "ERROR " : "行 ") + std::to_string(i);
            text += line + "\n";
            if (i % 8 != 0 && i % 5 != 0) left += line + "\n";
        }
        const std::string gbkText = Gbk(text);
        const std::string g = t.Write("g.txt", gbkText), u = t.Write("u.txt", text);
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {g, u});
        ChooseOperation(form, 9);
        SetControl(form, "rbDelKeys", "1");
        SetText(form, "edtDelKeys", "^错.(_\\d+)$;ERR(OR|_[0-9]+)");
        SetControl(form, "chkDelRegex", "1");
        for (int row : {1, 2}) {
            auto* window = PreviewRow(form, row);
            QVERIFY(window);
            QCOMPARE(window->countsLabel()->text(),
                     QStringLiteral("原文件 40 行，处理后 28 行：删除 12 行，新增 0 行"));
            const QString diff = window->diffView()->toPlainText();
            QVERIFY(diff.contains(QStringLiteral("- 错误_16")));
            QVERIFY(diff.contains(QStringLiteral("- ERROR 35")));
            QVERIFY(!diff.contains(QStringLiteral("- 行 ")));
            form.fileList().SetChecked(row, false);
        }
        QCOMPARE(t.Read("g.txt"), gbkText);
        QCOMPARE(t.Read("u.txt"), text);
        Tick(form, {1, 2});
        Click(form, "btnDelLine");
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 2 个文件!"));
        QCOMPARE(t.Read("g.txt"), Gbk(left));
        QCOMPARE(t.Read("u.txt"), left);
    }

    // ${RegRep(..)} in line insert: the preview of a GBK and a UTF-8 file
    // shows what the run writes; (a+)+$ on a 10 000-character line ends at
    // once; a bad pattern is refused before anything changes.
    void insertWithRegRepPreviewsWhatItWrites() {
        TempFolder t;
        const std::string text = "订单 12-34\n无号\n" + std::string(10000, 'a') + "\n5-6 与 7-8\n";
        const std::string g = t.Write("g.txt", Gbk(text)), u = t.Write("u.txt", text);
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {g, u});
        ChooseOperation(form, 7);
        form.Find<QCheckBox>("chkInsBak")->setChecked(false);
        SetText(form, "edtInsFormat", "${RegRep((a+)+$,x)}");
        Tick(form, {1});
        Click(form, "btnIns");
        QCOMPARE(t.Read("g.txt"), Gbk("订单 12-34\n无号\nx\n5-6 与 7-8\n"));
        SetText(form, "edtInsFormat", "${RegRep(([0-9]+)-([0-9]+),\\2-\\1)}");
        t.Write("g.txt", Gbk(text));
        for (int row : {1, 2}) {
            auto* window = PreviewRow(form, row);
            QVERIFY(window);
            const QString diff = window->diffView()->toPlainText();
            QVERIFY2(diff.contains(QStringLiteral("+ 订单 34-12")), qPrintable(diff));
            QVERIFY(diff.contains(QStringLiteral("+ 6-5 与 8-7")));
            QVERIFY(!diff.contains(QStringLiteral("+ 无号")));
            form.fileList().SetChecked(row, false);
        }
        QCOMPARE(t.Read("u.txt"), text);
        SetText(form, "edtInsFormat", "${RegRep(([0-9]+)-([0-9]+),\\2-\\1)}");
        Tick(form, {1, 2});
        Click(form, "btnIns");
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理完成,共处理 2 个文件!"));
        QCOMPARE(t.Read("g.txt"), Gbk("订单 34-12\n无号\n" + std::string(10000, 'a') + "\n6-5 与 8-7\n"));
        QCOMPARE(t.Read("u.txt"), "订单 34-12\n无号\n" + std::string(10000, 'a') + "\n6-5 与 8-7\n");
        SetText(form, "edtInsFormat", "${RegGet([0-9]{2\\,1\\},0)}");
        Click(form, "btnIns");
        QVERIFY2(dialogs.LastText().startsWith(QStringLiteral("正则表达式不正确：")), qPrintable(dialogs.LastText()));
        QCOMPARE(t.Read("u.txt"), "订单 34-12\n无号\n" + std::string(10000, 'a') + "\n6-5 与 8-7\n");
    }
};

QTEST_MAIN(RegexLinesTest)
#include "regex_lines_test.moc"
