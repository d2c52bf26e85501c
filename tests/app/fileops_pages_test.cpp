// The rename, extension, date and attribute pages: their controls, their
// refusals, and what a run leaves on disk, in the list and in the closing
// message.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include "app/filelist_model.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "scripted_dialogs.h"

using ferro::DialogProvider;
using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

const QString kDone = QStringLiteral("成功处理文件总数量：");

// Clicks a start button; returns the messages it showed.
std::vector<ScriptedDialogs::Shown> Press(TForm1& form, ScriptedDialogs& dialogs, const char* button) {
    dialogs.Clear();
    form.Find<QPushButton>(button)->click();
    return dialogs.messages;
}

bool OneError(const std::vector<ScriptedDialogs::Shown>& shown, const QString& text) {
    return shown.size() == 1 && shown[0].icon == DialogProvider::Icon::Error && shown[0].text == text;
}

bool OneInfo(const std::vector<ScriptedDialogs::Shown>& shown, const QString& text) {
    return shown.size() == 1 && shown[0].icon == DialogProvider::Icon::Information &&
           shown[0].text == text && shown[0].title == QStringLiteral("Ferrovan文件批处理");
}

QString GridCell(TForm1& form, int row, int column) {
    return form.fileModel()->index(row - 1, column).data().toString();
}

bool HasLabel(QWidget* page, const QString& text) {
    for (auto* l : page->findChildren<QLabel*>())
        if (l->text() == text) return true;
    return false;
}

}  // namespace

class FileOpsPagesTest : public QObject {
    Q_OBJECT

private slots:
    void renamePage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* page = form.Find<QWidget>("TabSheet8");
        QVERIFY(HasLabel(page, QStringLiteral("新文件名:")));
        QVERIFY(HasLabel(page, QStringLiteral("注意：批量处理前，请最好先测试几个文件，确保格式的准确无误。")));
        auto* edit = page->findChild<QLineEdit*>("edtNewFilename");
        QVERIFY(edit);

        edit->setText(QStringLiteral("img_${sn(1,3)}"));
        QVERIFY(OneError(Press(form, dialogs, "btnFilename"), QStringLiteral("没有源文件，请搜索后再试！")));
        TempFolder t;
        AddToList(form, {t.Write("a.jpg", "A"), t.Write("b.jpg", "B"), t.Write("c.png", "C")});
        QVERIFY(OneError(Press(form, dialogs, "btnFilename"), QStringLiteral("请先选择文件！")));
        Tick(form, {1, 2, 3});

        // Refused patterns change nothing, the counter included.
        form.stChangeCount()->setText(QStringLiteral("7"));
        const std::pair<const char*, const char*> refused[] = {
            {"  ", "请输入新文件名格式！"},
            {" ${FILENAME} ", "请输入新文件名格式！"},
            {"photo", "新文件名格式不正确，请在左边选择变量或函数！"},
            {"\"${filename}\"", "新文件名格式中不需要使用双引号！"},
        };
        for (auto [pattern, message] : refused) {
            edit->setText(QString::fromUtf8(pattern));
            QVERIFY2(OneError(Press(form, dialogs, "btnFilename"), message), pattern);
        }
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("7"));

        // The picker's placeholders are not numbers: the run ends with the
        // conversion error before anything is renamed, and no closing message.
        edit->setText(QStringLiteral("img_${Sn(开始序号,长度)}"));
        QVERIFY(OneError(Press(form, dialogs, "btnFilename"),
                         QStringLiteral("'开始序号' is not a valid integer value")));
        QVERIFY(t.Exists("a.jpg"));
        QVERIFY(form.Find<QPushButton>("btnFilename")->isEnabled());

        edit->setText(QStringLiteral("img_${sn(1,3)}"));
        QVERIFY(OneInfo(Press(form, dialogs, "btnFilename"), kDone + "3"));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("3"));
        QCOMPARE(GridCell(form, 1, 0), QStringLiteral("img_001.jpg"));
        QCOMPARE(GridCell(form, 3, 0), QStringLiteral("img_003.png"));
        QCOMPARE(QString::fromStdString(t.Read("img_002.jpg")), QStringLiteral("B"));
        QVERIFY(form.Find<QPushButton>("btnFilename")->isEnabled());

        // Run again: every name is taken by itself, nothing is counted, and
        // the message says so file by file.
        const auto again = Press(form, dialogs, "btnFilename");
        QVERIFY(OneInfo(again, kDone + QStringLiteral("0\n另有 3 个文件未处理")));
        QCOMPARE(again[0].details.count(QStringLiteral("\t未改变\n")), 3);
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("0"));
    }

    void extensionPage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 0);
        auto* page = form.Find<QWidget>("TabSheet7");
        QVERIFY(HasLabel(page, QStringLiteral("新扩展名:")));
        auto* edit = page->findChild<QLineEdit*>("edtNewExt");
        QVERIFY(edit);
        QCOMPARE(edit->toolTip(), QStringLiteral("请输入新扩展名."));

        TempFolder t;
        AddToList(form, {t.Write("a.TXT"), t.Write(ferro::testing::Gbk("报告.doc"))});
        Tick(form, {1, 2});
        for (const char* pattern : {"", "  ${Ext} "}) {
            edit->setText(QString::fromLatin1(pattern));
            QVERIFY(OneError(Press(form, dialogs, "btnExt"), QStringLiteral("请输入新扩展名格式！")));
        }
        edit->setText(QStringLiteral("${ext}.Bak"));
        QVERIFY(OneInfo(Press(form, dialogs, "btnExt"), kDone + "2"));
        QCOMPARE(GridCell(form, 1, 0), QStringLiteral("a.TXT.bak"));
        QCOMPARE(GridCell(form, 2, 0), QStringLiteral("报告.doc.bak"));
        QCOMPARE(GridCell(form, 2, 5), QStringLiteral(".doc.bak"));
        QVERIFY(t.Exists(ferro::testing::Gbk("报告.doc.bak")));
    }

    void datePage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 2);
        const QDate today = QDate::currentDate();
        for (auto [check, picker] : {std::pair{"ckModify", "dtModify"}, std::pair{"ckCreate", "dtCreate"},
                                     std::pair{"ckAccess", "dtAccess"}}) {
            auto* box = form.Find<QCheckBox>(check);
            auto* date = form.Find<QDateEdit>(picker);
            QVERIFY2(box && date, picker);
            QVERIFY(!box->isChecked());
            QCOMPARE(date->date(), today);
            QVERIFY(!date->isEnabled());
            box->click();
            QVERIFY(date->isEnabled());
            box->click();
            QVERIFY(!date->isEnabled());
        }
        auto* time = form.Find<QTimeEdit>("dtpTime");
        QVERIFY(time && !time->isEnabled());
        QVERIFY(qAbs(time->time().secsTo(QTime::currentTime())) < 120);
        form.Find<QCheckBox>("chkTime")->click();
        QVERIFY(time->isEnabled());
        form.Find<QCheckBox>("chkTime")->click();
        QVERIFY(form.Find<QCheckBox>("chkDirDate"));

        TempFolder t;
        const std::string a = t.Write("d/a.txt"), b = t.Write("d/b.txt");
        t.SetModified("d/a.txt", 1341100800);  // 2012-07-01 00:00 UTC
        AddToList(form, {a, b});
        Tick(form, {1, 2});
        QVERIFY(OneError(Press(form, dialogs, "btnDate"), QStringLiteral("请选择新的日期或时间！")));

        t.SetMode("d/b.txt", 0444);  // cannot be written, so not counted
        form.Find<QCheckBox>("ckModify")->click();
        form.Find<QCheckBox>("chkTime")->click();
        form.Find<QCheckBox>("chkDirDate")->click();
        form.Find<QDateEdit>("dtModify")->setDate(QDate(2019, 3, 4));
        time->setTime(QTime(6, 7, 8));
        const auto shown = Press(form, dialogs, "btnDate");
        QVERIFY(OneInfo(shown, kDone + QStringLiteral("1\n另有 1 个文件未处理")));
        QCOMPARE(shown[0].details, ferro::GbkToQString(b) + QStringLiteral("\t只读文件\n"));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("1"));
        QCOMPARE(GridCell(form, 1, 4), QStringLiteral("2019-03-04 06:07:08"));
        const QDateTime expected(QDate(2019, 3, 4), QTime(6, 7, 8));
        ferro::FileTimes times;
        QVERIFY(ferro::GetFileTimes(a, times));
        QCOMPARE(times.lastWrite / 1000000000LL, expected.toSecsSinceEpoch());
        QVERIFY(ferro::GetFileTimes(t / "d", times));
        QCOMPARE(times.lastWrite / 1000000000LL, expected.toSecsSinceEpoch());
    }

    void attributePage() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 3);
        auto* page = form.Find<QWidget>("TabSheet10");
        QVERIFY(HasLabel(page, QStringLiteral("新属性:")));
        auto* archive = form.Find<QCheckBox>("ckNormal");
        QCOMPARE(archive->text(), QStringLiteral("存档"));
        QVERIFY(archive->isChecked());
        for (const char* name : {"ckSystem", "ckReadonly", "ckHidden", "chkDirProp"})
            QVERIFY2(!form.Find<QCheckBox>(name)->isChecked(), name);

        TempFolder t;
        const std::string a = t.Write("a.txt"), b = t.Write("b.txt");
        AddToList(form, {a, b});
        Tick(form, {1, 2});
        QVERIFY(ferro::SetFileAttributes(a, ferro::attr::ReadOnly | ferro::attr::Hidden));
        archive->click();
        form.stChangeCount()->setText(QStringLiteral("5"));
        QVERIFY(OneError(Press(form, dialogs, "btnProp"), QStringLiteral("请选择新的属性！")));
        QCOMPARE(form.stChangeCount()->text(), QStringLiteral("5"));
        archive->click();
        QVERIFY(OneInfo(Press(form, dialogs, "btnProp"), kDone + "2"));
        QCOMPARE(ferro::GetFileAttributes(a), ferro::attr::Archive);
        QCOMPARE(ferro::GetFileAttributes(b), ferro::attr::Archive);
    }
};

QTEST_MAIN(FileOpsPagesTest)
#include "fileops_pages_test.moc"
