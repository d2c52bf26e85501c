// Exporting the ticked rows' names and folders, and deleting ticked files
// from disk.
#include <QAbstractItemModel>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/tform1.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::Counter;
using ferro::testing::Gbk;
using ferro::testing::Q;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

// A path as its bytes on disk.
std::string Disk(const std::string& gbk) {
    std::string disk;
    return ferro::GbkToDisk(gbk, disk) ? disk : std::string("<not a path>");
}

// A search the user starts while the deletion pumps messages: the list is
// refilled with other files, whose rows take over the ticks.
TForm1* g_form = nullptr;
std::vector<std::string> g_otherFiles;
void SearchMeanwhile() {
    if (g_otherFiles.empty()) return;
    g_form->fileList().Clear();
    AddToList(*g_form, g_otherFiles);
    g_otherFiles.clear();
}

}  // namespace

class ExportDeleteTest : public QObject {
    Q_OBJECT

private slots:
    void exportNames() {
        TempFolder tmp;
        const std::string a = tmp.Write("x/a.txt"), b = tmp.Write("y/a.txt"),
                          c = tmp.Write(Gbk("x/报告.txt")), d = tmp.Write("y/d.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {a, b, c, d});
        Tick(form, {1, 2, 3});
        auto* btnExp = form.Find<QPushButton>("btnExp");

        // Full paths, in row order, as they are on disk (UTF-8), LF after
        // every line.
        const std::string out = tmp / "list.txt";
        dialogs.answers = {true};
        dialogs.saveFiles = {Q(out)};
        btnExp->click();
        QCOMPARE(dialogs.questions.back(), QStringLiteral("导出文件名称时，是否包含文件目录？"));
        QCOMPARE(tmp.Read("list.txt"), Disk(a) + "\n" + Disk(b) + "\n" + Disk(c) + "\n");
        QCOMPARE(dialogs.LastText(), QStringLiteral("文件名称导出成功,导出总数量：3"));
        QCOMPARE(dialogs.Last().icon, ferro::DialogProvider::Icon::Information);
        const ferro::FileDialogOptions first = dialogs.fileDialogs.back();
        QCOMPARE(first.filters, QStringList{QStringLiteral("文本文件(*.txt)")});
        QCOMPARE(first.defaultSuffix, QStringLiteral("txt"));
        QVERIFY(first.confirmOverwrite);
        QVERIFY(btnExp->isEnabled());

        // Bare names: equal names in different folders give equal lines. The
        // dialog offers the last name again, and the old file is replaced.
        // The classic text mode writes code page 936, CR LF after every line.
        form.Find<QComboBox>("cmbTextEncoding")->setCurrentIndex(1);
        dialogs.answers = {false};
        dialogs.saveFiles = {Q(out)};
        btnExp->click();
        QCOMPARE(dialogs.fileDialogs.back().selectedFile, Q(out));
        const std::string names = tmp.Read("list.txt");
        QCOMPARE(names, "a.txt\r\na.txt\r\n" + Gbk("报告.txt") + "\r\n");
        QCOMPARE(names.substr(0, 3) == "\xEF\xBB\xBF", false);
        QCOMPARE(std::count(names.begin(), names.end(), '\n'), 3L);
        QCOMPARE(std::count(names.begin(), names.end(), '\r'), 3L);

        // A name typed without an extension gets ".txt".
        dialogs.answers = {false};
        dialogs.saveFiles = {Q(tmp / "plain")};
        btnExp->click();
        QVERIFY(tmp.Exists("plain.txt"));
        QCOMPARE(form.Find<QPushButton>("btnExp")->isEnabled(), true);
    }

    void exportFolders() {
        TempFolder tmp;
        // Linux keeps A and a apart; the export, like the user, does not.
        const std::string f1 = tmp.Write("A/1.txt"), f2 = tmp.Write("b/2.txt"),
                          f3 = tmp.Write("a/3.txt"), f4 = tmp.Write("A/4.txt"),
                          f5 = tmp.Write(Gbk("数据/5.txt")), f6 = tmp.Write("c/6.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {f1, f2, f3, f4, f5, f6});
        Tick(form, {1, 2, 3, 4, 5});
        dialogs.saveFiles = {Q(tmp / "dirs.txt")};
        form.Find<QPushButton>("btnExpDir")->click();
        QVERIFY(dialogs.questions.empty());  // no question for folders
        QCOMPARE(tmp.Read("dirs.txt"),
                 Disk(tmp / "A") + "\n" + Disk(tmp / "b") + "\n" + Disk(tmp / Gbk("数据")) + "\n");
        QCOMPARE(dialogs.LastText(), QStringLiteral("文件目录导出成功,导出总数量：3"));
        QVERIFY(form.Find<QPushButton>("btnExpDir")->isEnabled());
    }

    void exportCancelledOrRefused() {
        TempFolder tmp;
        const std::string a = tmp.Write("a.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {a});
        Tick(form, {1});

        // Cancelled: nothing written, nothing said.
        dialogs.answers = {true};
        form.Find<QPushButton>("btnExp")->click();
        form.Find<QPushButton>("btnExpDir")->click();
        QCOMPARE(dialogs.fileDialogs.size(), size_t(2));
        QCOMPARE(dialogs.messages.size(), size_t(1));  // the question only
        QVERIFY(!tmp.Exists("a.txt.txt"));

        // A read-only list is not replaced; a missing folder cannot take one.
        const std::string old = tmp.Write("old.txt", "keep\r\n");
        tmp.SetMode("old.txt", 0444);
        const std::string nowhere = tmp / "missing/list.txt";
        const struct {
            const char* button;
            std::string path;
        } refused[] = {{"btnExp", old}, {"btnExpDir", nowhere}};
        for (const auto& r : refused) {
            dialogs.Clear();
            dialogs.answers = {false};
            dialogs.saveFiles = {Q(r.path)};
            form.Find<QPushButton>(r.button)->click();
            QCOMPARE(dialogs.LastText(), QStringLiteral("Cannot create file ") + Q(r.path));
            QCOMPARE(dialogs.Last().icon, ferro::DialogProvider::Icon::Error);
            QVERIFY(form.Find<QPushButton>(r.button)->isEnabled());
        }
        QCOMPARE(tmp.Read("old.txt"), std::string("keep\r\n"));
        QVERIFY(!tmp.Exists("missing"));
    }

    void initTestCase() {
        // Deleted files go to a trash of the test's own.
        QVERIFY(trashHome_.isValid());
        qputenv("XDG_DATA_HOME", trashHome_.path().toUtf8());
    }

    void deleteTickedToTheTrash() {
        TempFolder tmp;
        const std::string f1 = tmp.Write("1.txt", "one"), f2 = tmp.Write("2.txt"),
                          f3 = tmp.Write(Gbk("报告.txt")), f4 = tmp.Write("4.txt");
        tmp.SetMode("2.txt", 0444);  // refused whoever runs the program
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {f1, f2, f3, f4});
        Tick(form, {1, 2, 3});
        auto& list = form.fileList();
        auto* cbDel = form.Find<QPushButton>("cbDel");

        // No (the default): nothing happens.
        cbDel->click();
        QCOMPARE(dialogs.questionsDefaultNo.back(),
                 QStringLiteral("确定要将选中的 3 个文件移到回收站吗?"));
        QVERIFY(tmp.Exists("1.txt") && tmp.Exists(Gbk("报告.txt")));
        QCOMPARE(list.LastRow(), 4);

        dialogs.answers = {true};
        cbDel->click();
        QVERIFY(!tmp.Exists("1.txt") && !tmp.Exists(Gbk("报告.txt")));
        QVERIFY(tmp.Exists("2.txt") && tmp.Exists("4.txt"));
        // The files wait in the trash, each with the record of where it was.
        const QString trash = trashHome_.path() + "/Trash";
        QCOMPARE(ReadAll(trash + "/files/1.txt"), QByteArray("one"));
        QVERIFY(ReadAll(trash + "/info/1.txt.trashinfo")
                    .contains("Path=" + QByteArray::fromStdString(Disk(f1))));
        QVERIFY(QFile::exists(trash + QStringLiteral("/files/报告.txt")));
        QCOMPARE(list.LastRow(), 2);
        QCOMPARE(Q(list.Name(1)), QStringLiteral("2.txt"));
        QCOMPARE(Q(list.Name(2)), QStringLiteral("4.txt"));
        // Ticks stay with their files: the read-only file is still ticked,
        // the file that moved up into row 2 was never ticked.
        QVERIFY(list.Checked(1) && !list.Checked(2));
        QCOMPARE(Counter(form, "stSrcCount"), QStringLiteral("2"));
        QCOMPARE(Counter(form, "stDeleteCount"), QStringLiteral("2"));
        QCOMPARE(form.Find<QTableView>("sgFiles")->model()->rowCount(), 2);
        QVERIFY(cbDel->isEnabled());
        // The file that stayed is named, with its reason.
        QCOMPARE(dialogs.LastText(), QStringLiteral("已删除 2 个文件\n另有 1 个文件未处理"));
        QVERIFY(dialogs.Last().details.contains(Q(f2)));
        QVERIFY(dialogs.Last().details.contains(QStringLiteral("只读")));

        // A run that deletes nothing leaves the count of the last one.
        list.SetChecked(2, false);
        dialogs.answers = {true};
        cbDel->click();
        QVERIFY(tmp.Exists("2.txt"));
        QCOMPARE(list.LastRow(), 2);
        QCOMPARE(Counter(form, "stDeleteCount"), QStringLiteral("2"));
        QCOMPARE(Counter(form, "stSrcCount"), QStringLiteral("2"));
    }

    void deleteStopsWhenTheListIsReplaced() {
        TempFolder tmp;
        std::vector<std::string> chosen;
        for (int i = 0; i < 40; ++i) chosen.push_back(tmp.Write("chosen/" + std::to_string(i)));
        for (int i = 0; i < 10; ++i)
            g_otherFiles.push_back(tmp.Write("other/" + std::to_string(i)));
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        g_form = &form;
        AddToList(form, chosen);
        for (int r = 1; r <= 40; ++r) form.fileList().SetChecked(r, true);
        ferro::SetMessagePumpHook(&SearchMeanwhile, 0);
        dialogs.answers = {true};
        form.Find<QPushButton>("cbDel")->click();
        ferro::SetMessagePumpHook(nullptr, 0);
        g_form = nullptr;
        QVERIFY(g_otherFiles.empty());  // the list was replaced
        // Neither the new list's files nor its rows were touched.
        for (int i = 0; i < 10; ++i) QVERIFY(tmp.Exists("other/" + std::to_string(i)));
        QCOMPARE(form.fileList().LastRow(), 10);
        QVERIFY(form.Find<QPushButton>("cbDel")->isEnabled());
    }

    void deleteEverything() {
        TempFolder tmp;
        const std::string f1 = tmp.Write("1.txt"), f2 = tmp.Write("2.txt"),
                          gone = tmp.Write("3.txt");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {f1, f2, gone});
        Tick(form, {1, 2, 3});
        // A file removed behind the program's back keeps its row, and the
        // report says it is missing.
        QVERIFY(ferro::DeleteFile(gone));
        dialogs.answers = {true};
        form.Find<QPushButton>("cbDel")->click();
        QCOMPARE(form.fileList().LastRow(), 1);
        QCOMPARE(Q(form.fileList().Name(1)), QStringLiteral("3.txt"));
        QCOMPARE(Counter(form, "stDeleteCount"), QStringLiteral("2"));
        QVERIFY(dialogs.Last().details.contains(Q(gone)));

        // The last row goes too (it exists again): the header is all that is left.
        tmp.Write("3.txt");
        dialogs.answers = {true};
        form.Find<QPushButton>("cbDel")->click();
        QCOMPARE(form.fileList().RowCount(), 1);
        QCOMPARE(form.Find<QTableView>("sgFiles")->model()->rowCount(), 0);
        QCOMPARE(Counter(form, "stSrcCount"), QStringLiteral("0"));
        QCOMPARE(Counter(form, "stDeleteCount"), QStringLiteral("1"));

        dialogs.Clear();
        for (const char* button : {"cbDel", "btnExp", "btnExpDir", "btnFilename"}) {
            form.Find<QPushButton>(button)->click();
            QCOMPARE(dialogs.LastText(), QStringLiteral("没有源文件，请搜索后再试！"));
        }
        QVERIFY(dialogs.questions.empty());
        QVERIFY(dialogs.questionsDefaultNo.empty());
    }

private:
    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir trashHome_;
};

QTEST_MAIN(ExportDeleteTest)
#include "export_delete_test.moc"
