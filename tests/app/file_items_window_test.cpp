// Names from what files hold, through the real window: the picker's items,
// the preview column filled by the reader while the window keeps answering,
// the reasons of files that lack a value, and folders made from "/" in a
// name (only with chkMakeFolders) and removed again by undo.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/filelist_model.h"
#include "app/preview_column.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "form_testing.h"
#include "metadata/fixtures.h"
#include "platform/codec.h"
#include "scripted_dialogs.h"
#include "template/catalog.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::ChooseOperation;
using ferro::testing::Gbk;
using ferro::testing::PhotoTags;
using ferro::testing::ScopedEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;
using ferro::testing::Tick;

namespace {

const PhotoTags kMay{"2024:05:01 10:20:30", "", "Canon", "Canon EOS 80D"};
const PhotoTags kJune{"2024:06:15 08:00:00", "", "NIKON CORPORATION", "NIKON D750"};

QString Cell(TForm1& form, int row, int role = Qt::DisplayRole) {
    return form.fileModel()->index(row - 1, ferro::kColumnCount).data(role).toString();
}

QString GridName(TForm1& form, int row) {
    return form.fileModel()->index(row - 1, ferro::kColName).data().toString();
}

void Pick(TForm1& form, int index) {
    auto* cmbVar = form.Find<QComboBox>("cmbVar");
    cmbVar->setCurrentIndex(index);
    emit cmbVar->activated(index);
}

// A rename pattern typed, the preview worked out to the end.
void Pattern(TForm1& form, const char* utf8) {
    ferro::testing::SetText(form, "edtNewFilename", utf8);
    form.previewColumn()->Settle();
}

bool IsFolder(const std::string& gbk) {
    std::string disk;
    ferro::GbkToDisk(gbk, disk);
    return std::filesystem::is_directory(disk);
}

}  // namespace

class FileItemsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        state_ = std::make_unique<TempFolder>();
        env_ = std::make_unique<ScopedEnv>("XDG_STATE_HOME", state_->path());
        zone_ = std::make_unique<ferro::testing::TimeZone>("Asia/Shanghai");
    }
    void cleanup() {
        zone_.reset();
        env_.reset();
        state_.reset();
    }

    // The items follow the forty entries, each writing its text with
    // Chinese placeholders into the rename field.
    void pickerOffersTheItems() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        auto* cmbVar = form.Find<QComboBox>("cmbVar");
        const auto items = ferro::FileItemCatalog();
        QCOMPARE(cmbVar->count(), int(40 + items.size() + ferro::NameItemCatalog().size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(cmbVar->itemText(int(40 + i)), QString::fromUtf8(items[i].caption));
            QVERIFY(!cmbVar->itemData(int(40 + i), Qt::ToolTipRole).toString().isEmpty());
        }
        struct Case {
            const char* caption;  // the entry, by its caption
            const char* written;
        };
        const Case cases[] = {
            {"${TakenTime(yyyymmdd)}: 拍摄时间", "${TakenTime(日期时间格式)}"},
            {"${ModTime(yyyymmdd)}: 文件修改时间", "${ModTime(日期时间格式)}"},
            {"${Track(n)}: 音轨号", "${Track(位数)}"},
            {"${Duration(hhnnss)}: 时长", "${Duration(时长格式)}"},
            {"${Camera}: 相机型号", "${Camera}"},
            {"${MD5}: MD5校验值", "${MD5}"},
        };
        auto* edit = form.Find<QLineEdit>("edtNewFilename");
        for (const Case& c : cases) {
            const int index = cmbVar->findText(QString::fromUtf8(c.caption));
            QVERIFY2(index >= 40, c.caption);
            edit->clear();
            Pick(form, index);
            QCOMPARE(edit->text(), QString::fromUtf8(c.written));
        }
        // On the extension page an item goes to the clipboard, as every entry does.
        ChooseOperation(form, 0);
        Pick(form, cmbVar->findText(QStringLiteral("${CRC32}: CRC32校验值")));
        QCOMPARE(dialogs.clipboard, QStringLiteral("${CRC32}"));
    }

    // Every kind of file through the column and the run: the names the
    // preview shows are those the run gives, and a file lacking a value
    // says which one, in the column and in the per-file report.
    void previewAndRunAgreeWithReasons() {
        TempFolder t;
        const std::vector<std::string> paths = {
            ferro::testing::MakeJpeg(t, "a.jpg", 64, 48, kMay),
            ferro::testing::MakeJpeg(t, "scan.jpg", 8, 8),
            ferro::testing::MakeMp3(t, "song.mp3", 1, {"周杰伦", "晴天", "", 0, 0}),
            t.Write("note.txt", "abc"),
        };
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        Tick(form, {1, 2, 3, 4});
        ChooseOperation(form, 1);

        Pattern(form, "${TakenTime(yyyymmdd_hhnnss)}");
        QCOMPARE(Cell(form, 1), QStringLiteral("20240501_102030.jpg"));
        QCOMPARE(Cell(form, 2), QStringLiteral("缺少名称所需的信息：没有拍摄时间"));
        QCOMPARE(Cell(form, 2, Qt::ToolTipRole), QStringLiteral("将跳过：缺少名称所需的信息：没有拍摄时间"));
        QCOMPARE(form.Find<QLabel>("lblPreview")->text(), QStringLiteral("将更改 1 个文件，跳过 3 个"));

        Pattern(form, "${Artist} - ${Title}");
        QCOMPARE(Cell(form, 3), QStringLiteral("周杰伦 - 晴天.mp3"));
        QCOMPARE(Cell(form, 4), QStringLiteral("缺少名称所需的信息：没有艺术家"));

        Pattern(form, "${CRC32}_${Sn(1,2)}");
        QStringList previewed;
        for (int r = 1; r <= 4; ++r) previewed << Cell(form, r);
        QCOMPARE(previewed[3], QStringLiteral("352441c2_04.txt"));
        form.Find<QPushButton>("btnFilename")->click();
        for (int r = 1; r <= 4; ++r) QCOMPARE(GridName(form, r), previewed[r - 1]);
        QVERIFY(t.Exists("352441c2_04.txt"));

        // A run's report lists the reason with the value that was missing.
        Pattern(form, "${Title}");
        dialogs.Clear();
        form.Find<QPushButton>("btnFilename")->click();
        const ScriptedDialogs::Shown shown = dialogs.Last();
        QCOMPARE(shown.text, QStringLiteral("成功处理文件总数量：1\n另有 3 个文件未处理"));
        QVERIFY2(shown.details.contains(QStringLiteral("缺少名称所需的信息：没有标题")), qPrintable(shown.details));
        QCOMPARE(GridName(form, 3), QStringLiteral("晴天.mp3"));
    }

    // "/" makes sub-folders only with the box ticked; undo moves the files
    // back and removes the folders it made.
    void makeFoldersAndUndo() {
        TempFolder t;
        const std::vector<std::string> paths = {ferro::testing::MakeJpeg(t, "a.jpg", 16, 16, kMay),
                                                ferro::testing::MakeJpeg(t, "b.jpg", 16, 16, kJune),
                                                ferro::testing::MakeJpeg(t, "c.jpg", 16, 16, kMay)};
        t.MakeFolder("2024");  // one folder is there already: undo leaves it
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, paths);
        Tick(form, {1, 2, 3});
        ChooseOperation(form, 1);
        auto* chkMakeFolders = form.Find<QCheckBox>("chkMakeFolders");
        QVERIFY(chkMakeFolders);
        QCOMPARE(chkMakeFolders->text(), QStringLiteral("按“/”建立子目录"));
        QVERIFY(!chkMakeFolders->isChecked());

        Pattern(form, "${TakenTime(yyyy)}/${TakenTime(mm)}/${filename}");
        QCOMPARE(Cell(form, 1, Qt::ToolTipRole), QStringLiteral("将跳过：新名称不允许"));
        dialogs.Clear();
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理文件总数量：0\n另有 3 个文件未处理"));
        QVERIFY(t.Exists("a.jpg") && !IsFolder(t.path() + "/2024/05"));

        chkMakeFolders->setChecked(true);
        form.previewColumn()->Settle();
        QCOMPARE(Cell(form, 1), QStringLiteral("2024/05/a.jpg"));
        QCOMPARE(Cell(form, 2), QStringLiteral("2024/06/b.jpg"));
        QCOMPARE(Cell(form, 1, Qt::ToolTipRole), QString());
        // Never above the file's folder.
        Pattern(form, "../${filename}");
        QCOMPARE(Cell(form, 1, Qt::ToolTipRole), QStringLiteral("将跳过：新名称不允许"));
        Pattern(form, "/${filename}");
        QCOMPARE(Cell(form, 1, Qt::ToolTipRole), QStringLiteral("将跳过：新名称不允许"));

        Pattern(form, "${TakenTime(yyyy)}/${TakenTime(mm)}/${filename}");
        dialogs.Clear();
        form.Find<QPushButton>("btnFilename")->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("成功处理文件总数量：3"));
        QVERIFY(t.Exists("2024/05/a.jpg") && t.Exists("2024/06/b.jpg") && t.Exists("2024/05/c.jpg"));
        QVERIFY(!t.Exists("a.jpg"));
        QCOMPARE(GridName(form, 1), QStringLiteral("a.jpg"));
        QCOMPARE(form.fileModel()->index(0, ferro::kColFolder).data().toString(),
                 ferro::testing::Q(t.path() + "/2024/05"));

        dialogs.answers = {true};
        dialogs.Clear();
        form.Find<QPushButton>("btnUndo")->click();
        QCOMPARE(dialogs.LastText(), QStringLiteral("撤销完成,共恢复 3 个文件!"));
        QVERIFY(t.Exists("a.jpg") && t.Exists("b.jpg") && t.Exists("c.jpg"));
        QVERIFY(!IsFolder(t.path() + "/2024/05") && !IsFolder(t.path() + "/2024/06"));
        QVERIFY(IsFolder(t.path() + "/2024"));  // not made by the run
    }

    // The column reads the values on the reader's threads: right after a
    // pattern is typed, a row whose file is slow to read waits with a
    // placeholder while the window goes on answering (its timers fire, the
    // quick rows fill in), and the row fills in once its value arrives.
    void previewReadsOffTheWindowsThread() {
        TempFolder t;
        const std::string quick = t.Write("quick.txt", "abc");
        // Large enough that its checksum takes a while; it holds nothing on disk.
        const std::string slow = t.Write("slow.bin", "");
        {
            std::string disk;
            ferro::GbkToDisk(slow, disk);
            std::filesystem::resize_file(disk, std::uintmax_t{512} << 20);
        }
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        AddToList(form, {slow, quick});
        Tick(form, {1, 2});
        ChooseOperation(form, 1);
        form.previewColumn()->Settle();

        // The list keeps its own order: find the rows by name.
        const int slowRow = GridName(form, 1) == QStringLiteral("slow.bin") ? 1 : 2;
        const int quickRow = 3 - slowRow;
        ferro::testing::SetText(form, "edtNewFilename", "${MD5}");
        int ticks = 0;
        QTimer heartbeat;
        heartbeat.setInterval(5);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
        heartbeat.start();
        // The pause after typing, then the first screen.
        QTRY_VERIFY_WITH_TIMEOUT(!Cell(form, slowRow).isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Cell(form, quickRow), QStringLiteral("900150983cd24fb0d6963f7d28e17f72.txt"),
                                  5000);
        QVERIFY2(Cell(form, slowRow) == QStringLiteral("读取中…"), qPrintable(Cell(form, slowRow)));
        QCOMPARE(Cell(form, slowRow, Qt::ToolTipRole), QStringLiteral("正在读取文件信息"));
        QVERIFY2(form.Find<QLabel>("lblPreview")->text().startsWith(QStringLiteral("正在读取文件信息")),
                 qPrintable(form.Find<QLabel>("lblPreview")->text()));
        const int before = ticks;
        QTest::qWait(50);
        QVERIFY(ticks > before);  // the window answers meanwhile
        QTRY_VERIFY_WITH_TIMEOUT(Cell(form, slowRow) != QStringLiteral("读取中…"), 120000);
        QVERIFY2(Cell(form, slowRow).endsWith(QStringLiteral(".bin")) && Cell(form, slowRow).size() == 36,
                 qPrintable(Cell(form, slowRow)));
        QTRY_COMPARE_WITH_TIMEOUT(form.Find<QLabel>("lblPreview")->text(),
                                  QStringLiteral("将更改 2 个文件，跳过 0 个"), 5000);
        QVERIFY(t.Exists("slow.bin"));  // nothing touched
    }

private:
    std::unique_ptr<TempFolder> state_;
    std::unique_ptr<ScopedEnv> env_;
    std::unique_ptr<ferro::testing::TimeZone> zone_;
};

QTEST_MAIN(FileItemsWindowTest)
#include "file_items_window_test.moc"
