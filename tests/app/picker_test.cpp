// The template picker: its entries, writing into the template field of the
// page on show, and the clipboard for pages without one.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>

#include "app/tform1.h"
#include "scripted_dialogs.h"
#include "template/catalog.h"

using ferro::TForm1;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;

namespace {

// Chooses a picker entry as the user does.
void Pick(TForm1& form, int entry) {
    auto* cmbVar = form.Find<QComboBox>("cmbVar");
    cmbVar->setCurrentIndex(entry);
    emit cmbVar->activated(entry);
}

QWidget* PageField(TForm1& form, int page, const char* name) {
    return form.Find<QTabWidget>("pgcOne")->widget(page)->findChild<QWidget*>(
        QString::fromLatin1(name));
}

}  // namespace

class PickerTest : public QObject {
    Q_OBJECT

private slots:
    void entries() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* cmbVar = form.Find<QComboBox>("cmbVar");
        const auto catalog = ferro::TemplateCatalog();
        QCOMPARE(cmbVar->count(), int(40 + ferro::FileItemCatalog().size()));  // then what files hold
        QCOMPARE(cmbVar->currentIndex(), -1);  // nothing chosen at start
        QCOMPARE(cmbVar->isEditable(), false);
        QCOMPARE(cmbVar->maxVisibleItems(), 10);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(cmbVar->itemText(i), QString::fromUtf8(catalog[i].caption));
        QCOMPARE(cmbVar->itemText(5), QStringLiteral("${Sn(10,n)}: 从10开始的序号"));
        QCOMPARE(cmbVar->itemText(39), QStringLiteral("${Chs2Num(s)}: 中文数字转阿拉伯数字"));
    }

    // Insertion at the caret and replacement of every case-insensitive
    // occurrence of the selection, on the rename page.
    void renameField() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* edit = form.Find<QLineEdit>("edtNewFilename");
        QVERIFY(edit);

        Pick(form, 1);
        QCOMPARE(edit->text(), QStringLiteral("${Filename}"));
        QCOMPARE(form.focusWidget(), static_cast<QWidget*>(edit));
        QCOMPARE(form.Find<QComboBox>("cmbVar")->currentIndex(), 1);  // the choice stays shown

        edit->setText(QStringLiteral("ab_cd"));
        edit->setCursorPosition(0);
        Pick(form, 5);
        QCOMPARE(edit->text(), QStringLiteral("${Sn(开始序号,长度)}ab_cd"));
        edit->setText(QStringLiteral("文件_cd"));
        edit->setCursorPosition(2);  // after the two Chinese characters
        Pick(form, 0);
        QCOMPARE(edit->text(), QStringLiteral("文件${Ext}_cd"));

        edit->setText(QStringLiteral("abc-abc"));
        edit->setSelection(0, 3);
        Pick(form, 0);
        QCOMPARE(edit->text(), QStringLiteral("${Ext}-${Ext}"));

        edit->setText(QStringLiteral("ABC-abc"));
        edit->setSelection(4, 3);
        Pick(form, 0);
        QCOMPARE(edit->text(), QStringLiteral("${Ext}-${Ext}"));

        // Full-width letters are cased too; Chinese text around them stays.
        edit->setText(QStringLiteral("照片ＡＢ照片ａｂ"));
        edit->setSelection(6, 2);
        Pick(form, 6);
        QCOMPARE(edit->text(), QStringLiteral("照片${LastDir}照片${LastDir}"));

        // The whole change is one undo step.
        edit->undo();
        QCOMPARE(edit->text(), QStringLiteral("照片ＡＢ照片ａｂ"));
        QVERIFY(dialogs.clipboard.isEmpty());
    }

    // Every page with a template field gets the text there, the others put
    // it on the clipboard and change no field.
    void targetsByPage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const struct {
            int page;
            const char* field;
        } targets[] = {
            {1, "edtNewFilename"}, {6, "edtCutFormat"}, {7, "edtInsFormat"}, {14, "edtFileFormat"}};
        for (const auto& t : targets) {
            ChooseOperation(form, t.page);
            auto* edit = qobject_cast<QLineEdit*>(PageField(form, t.page, t.field));
            if (!edit) QSKIP(qPrintable(QStringLiteral("%1 is not on its page yet").arg(t.field)));
            edit->clear();
            Pick(form, 33);
            QCOMPARE(edit->text(), QStringLiteral("${XlsTo(新的扩展名)}"));
            QCOMPARE(form.focusWidget(), static_cast<QWidget*>(edit));
        }
        QVERIFY(dialogs.clipboard.isEmpty());

        for (int page : {0, 2, 3, 4, 5, 8, 9, 10, 11, 13}) {
            ChooseOperation(form, page);
            dialogs.clipboard.clear();
            Pick(form, 12);
            QCOMPARE(dialogs.clipboard, QStringLiteral("${RepStr(要替换的原字符,替换的新字符)}"));
        }
        for (const auto& t : targets)
            if (auto* edit = qobject_cast<QLineEdit*>(PageField(form, t.page, t.field)))
                QCOMPARE(edit->text(), QStringLiteral("${XlsTo(新的扩展名)}"));
    }

    void newLinesMemo() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 12);
        auto* memo = qobject_cast<QPlainTextEdit*>(PageField(form, 12, "mmoNewCont"));
        if (!memo) QSKIP("mmoNewCont is not on its page yet");

        memo->setPlainText(QStringLiteral("第一行\n第二行"));
        QTextCursor c = memo->textCursor();
        c.setPosition(4);  // start of the second line
        memo->setTextCursor(c);
        Pick(form, 25);
        QCOMPARE(memo->toPlainText(), QStringLiteral("第一行\n${LineStr(获取字符行的行号)}第二行"));
        QCOMPARE(form.focusWidget(), static_cast<QWidget*>(memo));

        // A selection across lines is replaced wherever the same text stands.
        memo->setPlainText(QStringLiteral("a\nB|A\nb"));
        c = memo->textCursor();
        c.setPosition(0);
        c.setPosition(3, QTextCursor::KeepAnchor);  // "a\nB"
        memo->setTextCursor(c);
        Pick(form, 28);
        QCOMPARE(memo->toPlainText(), QStringLiteral("${LineRandStr()}|${LineRandStr()}"));
        QVERIFY(dialogs.clipboard.isEmpty());
    }
};

QTEST_MAIN(PickerTest)
#include "picker_test.moc"
