// How the window answers the keyboard and places its windows: a small
// window wraps the search filters whole and scrolls to every button; number fields
// take digits only, Enter presses the focused button, and the text preview
// opens over the main window, follows the grid's current row and closes
// with Escape; the per-file report's list is as wide as its lines.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/filelist_model.h"
#include "app/pages/page_binding.h"
#include "app/qt_dialogs.h"
#include "app/text_preview_window.h"
#include "common/temp_folder.h"
#include "ops/registry.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void numberFieldsTakeDigitsOnly() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        int seen = 0;
        for (ferro::page::PageBinding* page : form.pages()) {
            for (const ferro::ops::Field& f : page->operation().fields()) {
                if (f.kind != ferro::ops::FieldKind::Number) continue;
                auto* edit = qobject_cast<QLineEdit*>(page->Control(f.name));
                QVERIFY(edit);
                edit->clear();
                QTest::keyClicks(edit, QStringLiteral("a1-2 b.3"));
                QVERIFY2(edit->text() == QStringLiteral("123"),
                         qPrintable(QStringLiteral("%1/%2: %3").arg(page->operation().info().name, f.name, edit->text())));
                ++seen;
            }
        }
        QVERIFY(seen >= 5);
    }

    void enterPressesTheFocusedButton() {
        TempFolder t;
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {t.Write("a.txt", "a"), t.Write("b.txt", "b")});
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(form.Find<QAbstractButton>("btnDeSelAll"), key);  // a tool button
            QVERIFY(!form.fileList().Checked(1) && !form.fileList().Checked(2));
            QTest::keyClick(form.Find<QAbstractButton>("btnSelAll"), key);
            QVERIFY(form.fileList().Checked(1) && form.fileList().Checked(2));
            // A push button: the page's start button runs (and refuses an empty pattern).
            ChooseOperation(form, 1);
            form.Find<QLineEdit>("edtNewFilename")->clear();
            dialogs.Clear();
            QTest::keyClick(form.Find<QPushButton>("btnFilename"), key);
            QVERIFY2(!dialogs.LastText().isEmpty(), "the start button was not pressed");
        }
    }

    void aSmallWindowWrapsTheFiltersAndScrollsToItsButtons() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.resize(480, 360);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The filter line wraps and its last piece stays inside the group.
        auto* group = form.Find<QGroupBox>("GroupBox7");
        auto* ckSub = form.Find<QCheckBox>("ckSub");
        QTRY_VERIFY2(ckSub->geometry().bottom() <= group->contentsRect().bottom() &&
                         ckSub->y() > form.Find<QWidget>("ckFileSize")->mapTo(group, QPoint()).y(),
                     qPrintable(QStringLiteral("%1 in %2").arg(ckSub->geometry().bottom()).arg(group->height())));
        auto* scroll = form.findChild<QScrollArea*>();
        QVERIFY(scroll);
        for (const char* name : {"cbSearch", "btnFilename", "btnSavePreset"}) {
            auto* button = form.Find<QPushButton>(name);
            scroll->ensureWidgetVisible(button);
            QTRY_VERIFY2(button->visibleRegion().boundingRect().size() == button->size(), name);
        }
    }

    void theReportListIsAsWideAndTallAsItsLines() {
        QWidget owner;
        owner.resize(700, 500);
        owner.show();
        const QString line = QStringLiteral("/home/用户/很长的目录名称/") + QString(30, QLatin1Char('x')) +
                             QStringLiteral(".txt：处理后文件又被修改过");
        QString details;
        for (int i = 0; i < 25; ++i) details += line + QLatin1Char('\n');
        int width = 0, height = 0, needed = 0, lines = 0;
        QTimer::singleShot(0, &owner, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (auto* list = box->findChild<QTextEdit*>()) {
                width = list->minimumWidth();
                height = list->minimumHeight();
                needed = list->fontMetrics().horizontalAdvance(line);
                lines = list->fontMetrics().lineSpacing() * 20;
            }
            box->accept();
        });
        ferro::QtDialogs dialogs;
        dialogs.MessageWithDetails(&owner, ferro::DialogProvider::Icon::Warning, QStringLiteral("t"),
                                   QStringLiteral("另有 25 个文件未处理"), details);
        QVERIFY(needed > 0);
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
        QVERIFY2(height >= std::min(lines, owner.screen()->availableGeometry().height() / 2),
                 qPrintable(QStringLiteral("%1 < %2").arg(height).arg(lines)));
    }

    void textPreviewSitsOverTheWindowFollowsTheRowAndClosesWithEscape() {
        TempFolder t;
        const std::string a = t.Write("a.txt", "x\nERR\n"), b = t.Write("b.txt", "ERR\nERR\ny\n");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.resize(900, 700);
        form.move(100, 80);
        form.show();
        AddToList(form, {a, b});
        ChooseOperation(form, 9);  // 内容按行删除
        form.Find<QRadioButton>("rbDelKeys")->setChecked(true);
        form.Find<QLineEdit>("edtDelKeys")->setText(QStringLiteral("ERR"));
        auto* grid = form.Find<QTableView>("sgFiles");
        grid->setCurrentIndex(form.fileModel()->index(0, 0));
        form.Find<QPushButton>("btnPreview")->click();
        ferro::TextPreviewWindow* window = form.textPreview();
        QVERIFY(window);
        QTRY_VERIFY(window->finished());
        QCOMPARE(window->countsLabel()->text(), QStringLiteral("原文件 2 行，处理后 1 行：删除 1 行，新增 0 行"));
        QVERIFY2(form.frameGeometry().contains(window->frameGeometry().center()),
                 qPrintable(QStringLiteral("%1,%2").arg(window->x()).arg(window->y())));

        // Another row: its file is shown.
        grid->setCurrentIndex(form.fileModel()->index(1, 0));
        QTRY_VERIFY(window->findChild<QLabel*>("lblPreviewFile")->text().endsWith(QStringLiteral("b.txt")));
        QTRY_VERIFY(window->finished());
        QCOMPARE(window->countsLabel()->text(), QStringLiteral("原文件 3 行，处理后 1 行：删除 2 行，新增 0 行"));
        QCOMPARE(t.Read("b.txt"), std::string("ERR\nERR\ny\n"));

        QTest::keyClick(static_cast<QWidget*>(window->diffView()), Qt::Key_Escape);
        QTRY_VERIFY(!form.textPreview());
        // Once closed, moving the row opens nothing.
        grid->setCurrentIndex(form.fileModel()->index(0, 0));
        QTest::qWait(20);
        QVERIFY(!form.textPreview());
    }
};

QTEST_MAIN(LooksTest)
#include "looks_test.moc"
