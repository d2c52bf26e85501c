// The registry walked through a real window: every operation has its page,
// tab and selector item in the registry's order, every field of its table is
// bound to a control of that page (a box or radio button with the field's own
// caption), and every option of the table has its help on the command line.
// A page and a table that drift apart fail here.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "cli/help.h"
#include "cli/text.h"
#include "ops/registry.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::ScriptedDialogs;
namespace ops = ferro::ops;

namespace {

// A value of the field other than its default.
std::string OtherValue(const ops::Field& f) {
    switch (f.kind) {
        case ops::FieldKind::Text:
        case ops::FieldKind::Number:
            return std::string(f.fallback) + "7";
        case ops::FieldKind::Memo:
            return "x\r\n\xD6\xD0";  // two lines, one Chinese
        case ops::FieldKind::Flag:
            return *f.fallback == '1' ? "0" : "1";
        case ops::FieldKind::Choice:
            for (const ops::Choice& c : f.choices)
                if (std::string_view(c.value) != f.fallback) return c.value;
            return f.fallback;
        case ops::FieldKind::Date:
            return "2001-02-03";
        case ops::FieldKind::Time:
            return "04:05:06";
    }
    return {};
}

}  // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void everyOperationHasItsBoundPage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const auto all = ops::Operations();
        auto* pgcOne = form.Find<QTabWidget>("pgcOne");
        auto* cmbOpt = form.Find<QComboBox>("cmbOpt");
        QCOMPARE(form.pages().size(), all.size());
        QCOMPARE(pgcOne->count(), int(all.size()));
        QCOMPARE(cmbOpt->count(), int(all.size()));
        for (std::size_t i = 0; i < all.size(); ++i) {
            const ops::Operation& op = *all[i];
            const ops::OperationInfo& info = op.info();
            const QByteArray name(info.name);
            ferro::page::PageBinding* page = form.pages()[i];
            QVERIFY2(&page->operation() == &op, name);
            QCOMPARE(page->page(), pgcOne->widget(int(i)));
            QCOMPARE(page->page()->objectName(), QString::fromLatin1(info.page));
            QCOMPARE(pgcOne->tabText(int(i)), QString::fromUtf8(info.pageCaption));
            QCOMPARE(cmbOpt->itemText(int(i)), QString::fromUtf8(info.caption));
            QVERIFY2(page->start() && page->page()->isAncestorOf(page->start()), name);
            QVERIFY2(ops::FindOperation(info.name) == &op, name);

            const std::string help = ferro::cli::ToUtf8(ferro::cli::OperationHelp(op));
            for (const ops::Field& f : op.fields()) {
                const QByteArray field = name + " " + f.name;
                const std::vector<QWidget*> controls = page->Controls(f.name);
                QVERIFY2(!controls.empty() && controls[0] == page->Control(f.name), field);
                for (QWidget* w : controls) QVERIFY2(page->page()->isAncestorOf(w), field);
                if (f.kind == ops::FieldKind::Flag) {
                    auto* box = qobject_cast<QCheckBox*>(controls[0]);
                    QVERIFY2(box, field);
                    QCOMPARE(box->text(), QString::fromUtf8(f.caption));
                }
                if (f.kind == ops::FieldKind::Choice) {
                    QCOMPARE(controls.size(), f.choices.size());
                    for (std::size_t c = 0; c < controls.size(); ++c)
                        QCOMPARE(qobject_cast<QRadioButton*>(controls[c])->text(),
                                 QString::fromUtf8(f.choices[c].caption));
                }
                for (const ops::Option& o : f.options) {
                    QVERIFY2(o.help && *o.help, field + " " + o.name);
                    QVERIFY2(help.find(std::string("  ") + o.name) != std::string::npos, field + " " + o.name);
                    QVERIFY2(help.find(o.help) != std::string::npos, field + " " + o.name);
                }
            }
            // The picker's field, where a page has one, is a field of its own.
            if (!page->templateField.empty()) QVERIFY2(page->Control(page->templateField), name);
        }
    }

    // Each page shows what its fields hold, and gives it back.
    void pagesShowWhatTheirFieldsHold() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        for (ferro::page::PageBinding* page : form.pages()) {
            const ops::Operation& op = page->operation();
            ops::FieldValues values = op.Defaults();
            for (const ops::Field& f : op.fields()) values.Set(f.name, OtherValue(f));
            page->Write(values);
            QCOMPARE(QString::fromStdString(ops::ToText(page->Read())), QString::fromStdString(ops::ToText(values)));
            // Text that does not fit its field leaves the control as it was.
            ops::FieldValues odd = values;
            for (const ops::Field& f : op.fields())
                if (f.kind != ops::FieldKind::Text && f.kind != ops::FieldKind::Number &&
                    f.kind != ops::FieldKind::Memo)
                    odd.Set(f.name, "not a value");
            page->Write(odd);
            QCOMPARE(QString::fromStdString(ops::ToText(page->Read())), QString::fromStdString(ops::ToText(values)));
        }
    }
};

QTEST_MAIN(PagesTest)
#include "pages_test.moc"
