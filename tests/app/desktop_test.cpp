// The program as a desktop citizen: options answered without a display,
// Qt's own texts in Chinese, files from the command line, Enter in the search
// fields, colours that read on a dark palette, a window that fits small
// screens without squeezing its fields, and flat buttons that show focus.
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "app/filelist_model.h"
#include "app/looks.h"
#include "app/startup.h"
#include "app/tform1.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    // A dark palette that keeps the light theme's dark blue link colour.
    p.setColor(QPalette::Link, QColor(0, 0, 0xff));
    return p;
}

bool WaitForSearch(TForm1& form) {
    return QTest::qWaitFor([&] { return form.Find<QPushButton>("cbSearch")->isEnabled(); }, 5000);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    // Run as a child with no display at all: it prints and exits 0 without
    // making a window (which would abort without a display).
    void helpAndVersionNeedNoDisplay() {
        const struct {
            QStringList args;
            const char* expected;
        } cases[] = {
            {{"--version"}, "Ferrovan文件批处理 2.6.711\n"},
            {{"-v"}, "Ferrovan文件批处理 2.6.711\n"},
            {{"--help"}, "用法：ferrovan-batch [选项] [文件或目录...]"},
            {{"-h"}, "  -v, --version    显示版本后退出"},
            {{"a.txt", "--help"}, "F1"},
        };
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
        for (const auto& c : cases) {
            const QByteArray what = c.args.join(' ').toUtf8();
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(FERRO_PROGRAM), c.args);
            QVERIFY2(p.waitForFinished(10000), what);
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, what);
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            QVERIFY2(out.contains(QString::fromUtf8(c.expected)), qPrintable(what + ": " + out));
            QVERIFY2(p.readAllStandardError().isEmpty(), what);
        }
        // Without a display and without those options the window is wanted:
        // the program fails (Qt's message) rather than hanging.
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FERRO_PROGRAM), {QStringLiteral("--"), QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0);
    }

    void qtSpeaksChinese() {
        if (!ferro::LoadQtTranslations()) QSKIP("qt6-translations-l10n is not installed");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("复制(&C)"));
    }

    // Files named on the command line join the list; a folder becomes the
    // search folder and is not searched; missing names are left out.
    void pathsFromTheCommandLine() {
        TempFolder t;
        t.Write(Gbk("甲.txt"), "1");
        t.Write(Gbk("sub/乙.csv"), "22");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const QString root = ferro::GbkToQString(t.path());
        ferro::OpenStartupPaths(form, {root + QStringLiteral("/甲.txt"), root + QStringLiteral("/sub/"),
                                       root + QStringLiteral("/没有.txt")});
        QCOMPARE(form.fileList().LastRow(), 1);
        QCOMPARE(form.fileModel()->index(0, 0).data().toString(), QStringLiteral("甲.txt"));
        QCOMPARE(form.fileModel()->index(0, 1).data().toString(), root);
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("1"));
        QCOMPARE(form.Find<QLineEdit>("edFolder")->text(), root + QStringLiteral("/sub"));
        QVERIFY(dialogs.messages.empty());
    }

    // Enter in the folder field or in the mask field searches; the button
    // and Enter do the same.
    void enterSearches() {
        TempFolder t;
        t.Write(Gbk("a.txt"), "1");
        t.Write(Gbk("b.ini"), "2");
        t.Write(Gbk("c.ini"), "3");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* edFolder = form.Find<QLineEdit>("edFolder");
        auto* cmbFileType = form.Find<QComboBox>("cmbFileType");
        edFolder->setText(ferro::GbkToQString(t.path()));

        QTest::keyClick(edFolder, Qt::Key_Return);
        QVERIFY(WaitForSearch(form));
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("1"));

        cmbFileType->setEditText(QStringLiteral("*.ini"));
        QTest::keyClick(cmbFileType->lineEdit(), Qt::Key_Enter);
        QVERIFY(WaitForSearch(form));
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("2"));
        QCOMPARE(cmbFileType->currentText(), QStringLiteral("*.ini"));
        QCOMPARE(cmbFileType->count(), 10);  // Enter adds no item
        QVERIFY(dialogs.messages.empty());
    }

    void coloursFollowThePalette() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        const char* const tinted[] = {"stSrcCount", "stChangeCount", "stDeleteCount", "Label11"};
        auto check = [&](const char* when) {
            for (const char* name : tinted) {
                auto* label = form.Find<QLabel>(name);
                const QPalette p = label->palette();
                const double contrast = ferro::ContrastRatio(p.color(QPalette::WindowText), p.color(QPalette::Window));
                QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1 %2: %3").arg(when, name).arg(contrast)));
                QVERIFY2(label->styleSheet().isEmpty(), name);
            }
        };
        // Light: the link colour of the palette, and red.
        check("light");
        const QColor light = form.Find<QLabel>("stChangeCount")->palette().color(QPalette::WindowText);
        QVERIFY(light.red() > 200 && light.green() < 40 && light.blue() < 40);

        const QPalette before = QApplication::palette();
        QApplication::setPalette(DarkPalette());
        check("dark");
        const QColor dark = form.Find<QLabel>("stChangeCount")->palette().color(QPalette::WindowText);
        QVERIFY(dark.red() > dark.green() + 60);  // still a red
        const QColor link = form.Find<QLabel>("Label11")->palette().color(QPalette::WindowText);
        QVERIFY(link.blue() > link.red());  // still a blue
        QApplication::setPalette(before);
        check("light again");
    }

    void tintsReadOnAnyBackground() {
        for (QColor background : {QColor(Qt::white), QColor(Qt::black), QColor(0x2b, 0x2b, 0x2b),
                                  QColor(0x80, 0x80, 0x80), QColor(0xf0, 0xf0, 0xf0)}) {
            QPalette p;
            p.setColor(QPalette::Window, background);
            for (ferro::Tint t : {ferro::Tint::Link, ferro::Tint::Count, ferro::Tint::Caution})
                QVERIFY2(ferro::ContrastRatio(ferro::TintColour(t, p), background) >= 4.5,
                         qPrintable(background.name()));
        }
    }

    // The window opens inside the screen however large it wants to be.
    void windowFitsTheScreen() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget w;
        ferro::FitToScreen(w, area.size() * 2);
        QVERIFY(area.contains(QRect(w.pos(), w.size())));
        QCOMPARE(w.size(), area.size());
        ferro::FitToScreen(w, QSize(300, 200));
        QCOMPARE(w.size(), QSize(300, 200));
        QCOMPARE(w.pos(), area.topLeft() + QPoint((area.width() - 300) / 2, (area.height() - 200) / 2));
    }

    // The window can be as small as half of a 1280x1024 screen (what is
    // left of it at a scale factor of 2), and then no field is squeezed:
    // the content scrolls instead.
    void smallWindowKeepsFieldsReadable() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QVERIFY(form.minimumSizeHint().width() <= 600);
        QVERIFY(form.minimumSizeHint().height() <= 450);
        form.resize(600, 450);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(200);
        QCOMPARE(form.size(), QSize(600, 450));
        auto* group = form.Find<QGroupBox>("GroupBox7");
        for (QWidget* w : group->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
            QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(w->objectName()));
        }
        auto* edMax = form.Find<QLineEdit>("edMax");
        QVERIFY(edMax->width() >= edMax->fontMetrics().horizontalAdvance(QStringLiteral("500000")));
        auto* dtMin = form.Find<QDateEdit>("dtMin");
        QVERIFY(dtMin->width() >= dtMin->sizeHint().width());
        // Nothing of the lower panel is cut either.
        for (const char* name : {"cmbOpt", "cmbVar", "stSrcCount", "pgcOne"}) {
            auto* w = form.Find<QWidget>(name);
            QVERIFY2(w->width() >= w->minimumSizeHint().width(), name);
        }
    }

    // A flat tool button looks different when it has the keyboard focus.
    void flatButtonsShowFocus() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
        for (const char* name : {"btnSelAll", "btnOpen", "SpeedButton1", "btnExp", "cbDel"}) {
            auto* b = form.Find<QAbstractButton>(name);
            form.Find<QLineEdit>("edFolder")->setFocus(Qt::TabFocusReason);
            const QImage plain = b->grab().toImage();
            b->setFocus(Qt::TabFocusReason);
            QVERIFY(b->hasFocus());
            const QImage focused = b->grab().toImage();
            QVERIFY2(plain != focused, name);
            QVERIFY2(b->focusPolicy() & Qt::TabFocus, name);
        }
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
