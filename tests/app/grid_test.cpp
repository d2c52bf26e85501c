// The grid as the keyboard, the mouse and the desktop use it: colours from
// the palette, Space and Shift-click ticks, keys that stay in or leave the
// grid, and files and folders dropped on it.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include "app/filelist_model.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "form_testing.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::AddToList;
using ferro::testing::Names;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

// Rows (1-based) whose tick is set.
QList<int> Ticked(TForm1& form) {
    QList<int> rows;
    for (int r = 1; r <= form.fileList().LastRow(); ++r)
        if (form.fileList().Checked(r)) rows << r;
    return rows;
}

std::vector<std::string> Files(const TempFolder& t, int count) {
    std::vector<std::string> paths;
    for (int i = 1; i <= count; ++i) paths.push_back(t.Write("f" + std::to_string(i) + ".txt"));
    return paths;
}

struct Shown {
    ScriptedDialogs dialogs;
    TForm1 form{&dialogs};
    QTableView* grid = form.Find<QTableView>("sgFiles");

    void Show() {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    QPoint Cell(int row, int column) const {
        return grid->visualRect(grid->model()->index(row - 1, column)).center();
    }
    void Click(int row, int column, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, Cell(row, column));
    }
};

}  // namespace

class GridTest : public QObject {
    Q_OBJECT

private slots:
    void nameCellTakesTheDarkPalettesColours() {
        Shown s;
        TempFolder t;
        AddToList(s.form, {t.Write("name.txt")});
        QPalette dark = s.grid->palette();
        const QColor base(0x20, 0x22, 0x25), text(0xee, 0xee, 0xec);
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            dark.setColor(group, QPalette::Base, base);
            dark.setColor(group, QPalette::Text, text);
            dark.setColor(group, QPalette::Window, QColor(0x30, 0x30, 0x30));
            dark.setColor(group, QPalette::WindowText, text);
        }
        s.grid->setPalette(dark);
        s.Show();
        const QRect cell = s.grid->visualRect(s.grid->model()->index(0, 0));
        const QImage image = s.grid->viewport()->grab().toImage();
        // Past the end of the name: the base colour, not white.
        QCOMPARE(image.pixelColor(cell.right() - 3, cell.center().y()).rgb(), base.rgb());
        // The name itself is drawn in the light text colour.
        int light = 0;
        for (int x = cell.left() + 20; x < cell.left() + 80; ++x)
            for (int y = cell.top() + 2; y < cell.bottom() - 2; ++y)
                if (image.pixelColor(x, y).lightness() > 180) ++light;
        QVERIFY2(light > 10, "no light text pixels in the name cell");
    }

    void spaceAndCtrlATickAndTabLeavesTheGrid() {
        Shown s;
        TempFolder t;
        AddToList(s.form, Files(t, 4));
        s.Show();
        s.grid->setFocus();
        s.grid->setCurrentIndex(s.grid->model()->index(1, 2));  // the size cell of row 2
        QTest::keyClick(s.grid, Qt::Key_Space);
        QCOMPARE(Ticked(s.form), QList<int>{2});
        QTest::keyClick(s.grid, Qt::Key_Space);
        QVERIFY(Ticked(s.form).isEmpty());
        // Rows selected together are ticked together.
        QTest::keyClick(s.grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(s.grid, Qt::Key_Space);
        QCOMPARE(Ticked(s.form), (QList<int>{2, 3}));
        // Nothing changes while a command runs.
        s.form.BeginBusy();
        QTest::keyClick(s.grid, Qt::Key_Space);
        QTest::keyClick(s.grid, Qt::Key_A, Qt::ControlModifier);
        s.form.EndBusy();
        QCOMPARE(Ticked(s.form), (QList<int>{2, 3}));
        QTest::keyClick(s.grid, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(Ticked(s.form), (QList<int>{1, 2, 3, 4}));
        // Ctrl+Tab moves inside the grid; Tab leaves it at once.
        const QModelIndex before = s.grid->currentIndex();
        QTest::keyClick(s.grid, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(s.grid->currentIndex().row(), before.row());
        QCOMPARE(s.grid->currentIndex().column(), before.column() + 1);
        QVERIFY(s.grid->hasFocus());
        QTest::keyClick(s.grid, Qt::Key_Tab);
        QVERIFY(!s.grid->hasFocus());
    }

    void shiftClickTicksARange() {
        Shown s;
        TempFolder t;
        AddToList(s.form, Files(t, 6));
        s.Show();
        s.Click(2, 0);
        s.Click(5, 0, Qt::ShiftModifier);
        QCOMPARE(Ticked(s.form), (QList<int>{2, 3, 4, 5}));
        // The range takes the tick of the row clicked last: here cleared.
        s.Click(4, 0);
        s.Click(6, 0, Qt::ShiftModifier);
        QCOMPARE(Ticked(s.form), (QList<int>{2, 3}));
        // Upwards as well.
        s.Click(1, 0);
        QCOMPARE(Ticked(s.form), (QList<int>{1, 2, 3}));
        s.Click(6, 0);
        s.Click(4, 0, Qt::ShiftModifier);
        QCOMPARE(Ticked(s.form), (QList<int>{1, 2, 3, 4, 5, 6}));
        // Shift on another column only selects; nothing while a command runs.
        s.Click(6, 0);
        s.Click(1, 2, Qt::ShiftModifier);
        s.form.BeginBusy();
        s.Click(3, 0, Qt::ShiftModifier);
        s.form.EndBusy();
        QCOMPARE(Ticked(s.form), (QList<int>{1, 2, 3, 4, 5}));
    }

    void droppedFilesAndFoldersAreAdded() {
        Shown s;
        TempFolder t;
        AddToList(s.form, {t.Write("first.txt")});
        const std::string a = t.Write("drop/a.txt"), b = t.Write("drop/b.dat");
        t.Write("d/x.txt");
        t.Write("d/y.ini");
        t.Write("d/sub/z.txt");
        s.form.Find<QComboBox>("cmbFileType")->setEditText(QStringLiteral("*.txt"));
        s.Show();

        auto drop = [&](const QList<QUrl>& urls) {
            QMimeData mime;
            mime.setUrls(urls);
            // As the desktop delivers it: an enter, which makes the grid the
            // drop's target, then the drop.
            const QPointF at(s.Cell(1, 1));
            QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(s.grid->viewport(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(s.grid->viewport(), &event);
            QVERIFY(event.isAccepted());
        };
        const QList<QUrl> urls{QUrl::fromLocalFile(QString::fromStdString(a)),
                               QUrl::fromLocalFile(QString::fromStdString(b)),
                               QUrl::fromLocalFile(QString::fromStdString(t / "d") + "/")};
        // Refused while a command runs.
        s.form.BeginBusy();
        drop(urls);
        QTest::qWait(20);
        s.form.EndBusy();
        QCOMPARE(Names(s.form), QStringList{"first.txt"});

        drop(urls);
        const QStringList expected{"first.txt", "a.txt", "b.dat", "x.txt", "z.txt"};
        QTRY_COMPARE(Names(s.form), expected);
        QCOMPARE(ferro::GbkToQString(s.form.fileList().Folder(5)),
                 QString::fromStdString(t / "d/sub"));
        QCOMPARE(s.form.stSrcCount()->text(), QStringLiteral("5"));
        QCOMPARE(s.grid->model()->rowCount(), 5);
        QVERIFY(s.form.Find<QWidget>("cbSearch")->isEnabled());
    }
};

QTEST_MAIN(GridTest)
#include "grid_test.moc"
