// Settings kept between runs: a window saved, destroyed and made again comes
// back as it was, through the functions the program's start-up calls, with
// the settings file in a temporary XDG_CONFIG_HOME.
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <memory>

#include "app/settings.h"
#include "app/tform1.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::ChooseOperation;
using ferro::testing::Gbk;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

QString Q(const TempFolder& t, const char* sub = "") {
    return ferro::GbkToQString(t.path()) + QString::fromUtf8(sub);
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> config_;

private slots:
    void init() {
        config_ = std::make_unique<TempFolder>();
        qputenv("XDG_CONFIG_HOME", Q(*config_).toUtf8());
    }
    void cleanup() { qunsetenv("XDG_CONFIG_HOME"); }

    void fileFollowsXdgConfigHome() {
        QCOMPARE(ferro::SettingsFilePath(), Q(*config_, "/ferrovan-batch/ferrovan-batch.conf"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(ferro::SettingsFilePath(),
                 QDir::homePath() + QStringLiteral("/.config/ferrovan-batch/ferrovan-batch.conf"));
    }

    // The first start has no settings: the home folder, the defaults of the
    // window, and nothing searched.
    void firstStart() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        QCOMPARE(form.Find<QLineEdit>("edFolder")->text(), QDir::homePath());
        QCOMPARE(form.Find<QComboBox>("cmbFileType")->currentText(), QStringLiteral("*.txt"));
        QCOMPARE(form.Find<QComboBox>("cmbOpt")->currentIndex(), 1);
        QCOMPARE(form.Find<QTabWidget>("pgcOne")->currentIndex(), 1);
        QVERIFY(form.fileList().IsEmpty());
        QCOMPARE(form.stSrcCount()->text(), QStringLiteral("0"));
        QVERIFY(form.Find<QPushButton>("cbSearch")->isEnabled());
        QVERIFY(dialogs.messages.empty());
    }

    // Everything the user set comes back in a new window.
    void restoredAfterTheWindowIsMadeAgain() {
        TempFolder data;
        data.Write(Gbk("a.txt"), "x");
        const QDate someDay(2020, 2, 29);
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            ferro::RestoreSettings(form);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.resize(700, 520);
            form.Find<QSplitter>("Splitter1")->setSizes({200, 300});

            // Two searches make the recent lists.
            form.Find<QLineEdit>("edFolder")->setText(QStringLiteral("/nowhere/older"));
            form.Find<QComboBox>("cmbFileType")->setEditText(QStringLiteral("*.ini"));
            form.Find<QPushButton>("cbSearch")->click();
            form.Find<QLineEdit>("edFolder")->setText(Q(data));
            form.Find<QComboBox>("cmbFileType")->setEditText(QStringLiteral("*.csv;*.txt"));
            form.Find<QPushButton>("cbSearch")->click();
            QTRY_VERIFY(form.Find<QPushButton>("cbSearch")->isEnabled());

            // Fields of several pages, of every kind.
            ChooseOperation(form, 9);
            form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("照片_${Sn(1,3)}"));
            form.Find<QCheckBox>("ckModify")->setChecked(true);
            form.Find<QDateEdit>("dtModify")->setDate(someDay);
            form.Find<QTimeEdit>("dtpTime")->setTime(QTime(7, 8, 9));
            form.Find<QPlainTextEdit>("mmPattern")->setPlainText(QStringLiteral("第一行\n第二行"));
            form.Find<QRadioButton>("rbDelKeys")->setChecked(true);
            form.Find<QCheckBox>("chkDelLine")->setChecked(false);
            form.Find<QComboBox>("cmbTextEncoding")->setCurrentIndex(1);
            ferro::SaveSettings(form);
        }
        QVERIFY(QFile::exists(ferro::SettingsFilePath()));

        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(700, 520));
        const QList<int> sizes = form.Find<QSplitter>("Splitter1")->sizes();
        QCOMPARE(sizes.size(), 2);
        QVERIFY2(qAbs(sizes[0] - 200) <= 2 || sizes[0] < sizes[1], "splitter");

        QCOMPARE(form.Find<QLineEdit>("edFolder")->text(), Q(data));
        QCOMPARE(form.Find<QComboBox>("cmbFileType")->currentText(), QStringLiteral("*.csv;*.txt"));
        QCOMPARE(ferro::RecentFolders(form), QStringList({Q(data), QStringLiteral("/nowhere/older")}));
        QCOMPARE(ferro::RecentMasks(form), QStringList({QStringLiteral("*.csv;*.txt"), QStringLiteral("*.ini")}));
        QVERIFY(form.fileList().IsEmpty());  // restoring never searches

        QCOMPARE(form.Find<QComboBox>("cmbOpt")->currentIndex(), 9);
        QCOMPARE(form.Find<QComboBox>("cmbTextEncoding")->currentIndex(), 1);
        QCOMPARE(form.Find<QTabWidget>("pgcOne")->currentIndex(), 9);
        QVERIFY(form.Find<QTabWidget>("pgcOne")->isTabVisible(9));
        QVERIFY(!form.Find<QTabWidget>("pgcOne")->isTabVisible(1));
        QCOMPARE(form.Find<QLineEdit>("edtNewFilename")->text(), QStringLiteral("照片_${Sn(1,3)}"));
        QVERIFY(form.Find<QCheckBox>("ckModify")->isChecked());
        QVERIFY(form.Find<QDateEdit>("dtModify")->isEnabled());  // follows its box
        QCOMPARE(form.Find<QDateEdit>("dtModify")->date(), someDay);
        QCOMPARE(form.Find<QTimeEdit>("dtpTime")->time(), QTime(7, 8, 9));
        QCOMPARE(form.Find<QPlainTextEdit>("mmPattern")->toPlainText(), QStringLiteral("第一行\n第二行"));
        QVERIFY(form.Find<QRadioButton>("rbDelKeys")->isChecked());
        QVERIFY(!form.Find<QCheckBox>("chkDelLine")->isChecked());
        QVERIFY(dialogs.messages.empty());
    }

    // The recent lists keep the newest ten, each once.
    void recentListsAreShort() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        auto* edFolder = form.Find<QLineEdit>("edFolder");
        for (int i = 0; i < 14; ++i) {
            edFolder->setText(QStringLiteral("/nowhere/%1").arg(i % 12));
            QTest::keyClick(edFolder, Qt::Key_Return);  // Enter searches too
            QTRY_VERIFY(form.Find<QPushButton>("cbSearch")->isEnabled());
        }
        QStringList recent = ferro::RecentFolders(form);
        QCOMPARE(recent.size(), ferro::kRecentCount);
        QCOMPARE(recent.front(), QStringLiteral("/nowhere/1"));
        QCOMPARE(recent[1], QStringLiteral("/nowhere/0"));
        QCOMPARE(recent[2], QStringLiteral("/nowhere/11"));
        QCOMPARE(recent.removeDuplicates(), 0);
    }

    // The recent entries are offered as completions of their fields; the
    // one chosen fills the field.
    void recentEntriesComplete() {
        {
            QDir().mkpath(Q(*config_, "/ferrovan-batch"));
            QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
            s.setValue("search/recentFolders", QStringList{"/srv/数据/2024", "/srv/报表"});
            s.setValue("search/recentMasks", QStringList{"*.csv;*.txt", "*.log"});
        }
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const struct {
            QLineEdit* field;
            const char* typed;
            QStringList offered;
            const char* chosen;
        } cases[] = {
            {form.Find<QLineEdit>("edFolder"), "/srv/", {"/srv/数据/2024", "/srv/报表"}, "/srv/报表"},
            {form.Find<QComboBox>("cmbFileType")->lineEdit(), "*.c", {"*.csv;*.txt", "*.csv"}, "*.csv;*.txt"},
        };
        for (const auto& c : cases) {
            c.field->setFocus();
            c.field->clear();
            QTest::keyClicks(c.field, QString::fromUtf8(c.typed));
            QCompleter* completer = c.field->completer();
            QVERIFY(completer);
            QTRY_VERIFY(completer->popup()->isVisible());
            QStringList offered;
            for (int i = 0; i < completer->completionCount(); ++i) {
                completer->setCurrentRow(i);
                offered << completer->currentCompletion();
            }
            QCOMPARE(offered, c.offered);
            const int row = int(offered.indexOf(QString::fromUtf8(c.chosen)));
            completer->popup()->setCurrentIndex(completer->completionModel()->index(row, 0));
            QTest::keyClick(completer->popup(), Qt::Key_Tab);  // accept without searching
            QCOMPARE(c.field->text(), QString::fromUtf8(c.chosen));
        }
        QCOMPARE(form.Find<QComboBox>("cmbFileType")->currentText(), QStringLiteral("*.csv;*.txt"));
        QVERIFY(form.fileList().IsEmpty());
    }

    // A place kept from a larger screen (or a larger scale factor) is
    // brought back inside the screen at hand.
    void placeFromALargerScreen() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            form.setGeometry(QRect(area.topLeft() + QPoint(900, 700), area.size() * 2));
            ferro::SaveSettings(form);
        }
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        QVERIFY2(area.contains(form.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(form.x()).arg(form.y()).arg(form.width()).arg(form.height())));
    }

    // The fields are kept as their text, by operation and field name, the
    // form a preset takes too.
    void fieldsAreKeptAsText() {
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            form.Find<QRadioButton>("rbGetKeys")->setChecked(true);
            form.Find<QLineEdit>("edtGetKeys")->setText(QStringLiteral("错误;警告"));
            form.Find<QCheckBox>("ckAccess")->setChecked(true);
            form.Find<QDateEdit>("dtAccess")->setDate(QDate(2019, 12, 31));
            ferro::SaveSettings(form);
        }
        QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
        QCOMPARE(s.value("ops/extract-lines/mode").toString(), QStringLiteral("keywords"));
        QCOMPARE(s.value("ops/extract-lines/keywords").toString(), QStringLiteral("错误;警告"));
        QCOMPARE(s.value("ops/extract-lines/keepBlank").toString(), QStringLiteral("1"));
        QCOMPARE(s.value("ops/dates/setAccessed").toString(), QStringLiteral("1"));
        QCOMPARE(s.value("ops/dates/accessed").toString(), QStringLiteral("2019-12-31"));
        QVERIFY(!s.childGroups().contains(QStringLiteral("pages")));
    }

    // What an older program kept, control by control, is read once; the
    // next save keeps the fields instead.
    void olderSettingsAreReadOnce() {
        QDir().mkpath(Q(*config_, "/ferrovan-batch"));
        {
            QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
            s.setValue("pages/edtNewFilename", QStringLiteral("照片_${Sn(1,3)}"));
            s.setValue("pages/ckModify", true);
            s.setValue("pages/dtModify", QStringLiteral("2020-02-29T00:00:00"));
            s.setValue("pages/dtpTime", QStringLiteral("2000-01-01T07:08:09"));
            s.setValue("pages/mmPattern", QStringLiteral("第一行\n第二行"));
            s.setValue("pages/rbDelLineNo", false);
            s.setValue("pages/rbDelKeys", true);
            s.setValue("pages/chkDelLine", false);
        }
        for (int start = 0; start < 2; ++start) {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            ferro::RestoreSettings(form);
            QCOMPARE(form.Find<QLineEdit>("edtNewFilename")->text(), QStringLiteral("照片_${Sn(1,3)}"));
            QVERIFY(form.Find<QCheckBox>("ckModify")->isChecked());
            QVERIFY(form.Find<QDateEdit>("dtModify")->isEnabled());
            QCOMPARE(form.Find<QDateEdit>("dtModify")->date(), QDate(2020, 2, 29));
            QCOMPARE(form.Find<QTimeEdit>("dtpTime")->time(), QTime(7, 8, 9));
            QCOMPARE(form.Find<QPlainTextEdit>("mmPattern")->toPlainText(), QStringLiteral("第一行\n第二行"));
            QVERIFY(form.Find<QRadioButton>("rbDelKeys")->isChecked());
            QVERIFY(!form.Find<QCheckBox>("chkDelLine")->isChecked());
            QVERIFY(form.Find<QCheckBox>("chkCutBak")->isChecked());  // not kept: its default
            ferro::SaveSettings(form);
            QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
            QVERIFY(!s.childGroups().contains(QStringLiteral("pages")));
            QCOMPARE(s.value("ops/rename/pattern").toString(), QStringLiteral("照片_${Sn(1,3)}"));
            QCOMPARE(s.value("ops/pattern/pattern").toString(), QStringLiteral("第一行\r\n第二行"));
            QCOMPARE(s.value("ops/dates/time").toString(), QStringLiteral("07:08:09"));
            QCOMPARE(s.value("ops/delete-lines/mode").toString(), QStringLiteral("keywords"));
        }
    }

    // A file written by hand (or by an older program) with values that no
    // longer fit: they are left out, nothing breaks.
    void oddValuesAreIgnored() {
        QDir().mkpath(Q(*config_, "/ferrovan-batch"));
        {
            QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
            s.setValue("operation/page", 99);
            s.setValue("window/geometry", QByteArray("garbage"));
            s.setValue("pages/dtModify", QStringLiteral("not a date"));
            s.setValue("pages/noSuchField", QStringLiteral("x"));
        }
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            ferro::RestoreSettings(form);
            QCOMPARE(form.Find<QComboBox>("cmbOpt")->currentIndex(), 1);
            QCOMPARE(form.Find<QDateEdit>("dtModify")->date(), QDate::currentDate());
            QCOMPARE(form.size(), QSize(800, 600));
        }
        // The same kept as fields.
        {
            QSettings s(ferro::SettingsFilePath(), QSettings::IniFormat);
            s.remove("pages");
            s.setValue("ops/dates/modified", QStringLiteral("2023-02-29"));
            s.setValue("ops/dates/setModified", QStringLiteral("yes"));
            s.setValue("ops/delete-lines/mode", QStringLiteral("sometimes"));
            s.setValue("ops/noSuchOperation/x", QStringLiteral("x"));
        }
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        QCOMPARE(form.Find<QDateEdit>("dtModify")->date(), QDate::currentDate());
        QVERIFY(!form.Find<QCheckBox>("ckModify")->isChecked());
        QVERIFY(form.Find<QRadioButton>("rbDelLineNo")->isChecked());
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
