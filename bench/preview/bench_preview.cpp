// The preview column while typing, with a large list: 100 000 ticked rows
// (and as many unticked) on the rename page, the window shown. Each round
// types one character into the pattern field and measures the time until
// the first row on screen shows the new name, as the user would see it;
// then how long the whole walk (clashes between rows, the summary) takes in
// the background. Target: a keystroke is on screen within 100 ms.
//
// bench_preview [ticked rows]
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/dialogs.h"
#include "app/filelist_model.h"
#include "app/preview_column.h"
#include "app/tform1.h"
#include "platform/codec.h"

namespace {

class NoDialogs : public ferro::DialogProvider {
public:
    void Message(QWidget*, Icon, const QString&, const QString&) override {}
    bool Question(QWidget*, const QString&, const QString&) override { return false; }
    QStringList OpenFiles(QWidget*, const ferro::FileDialogOptions&) override { return {}; }
    QString SaveFile(QWidget*, const ferro::FileDialogOptions&) override { return {}; }
    QString ChooseFolder(QWidget*, const QString&) override { return {}; }
    void SetClipboardText(const QString&) override {}
    void OpenDocument(const QUrl&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int ticked = argc > 1 ? std::atoi(argv[1]) : 100000;

    NoDialogs dialogs;
    ferro::TForm1 form(&dialogs);
    form.show();
    ferro::FileList& files = form.fileList();
    ferro::FindEntry e;
    e.attributes = ferro::attr::Archive;
    for (int i = 0; i < 2 * ticked; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "photo_%07d.jpg", i);
        e.name = name;
        e.size = i;
        const int row = files.AddFile(e, "/nowhere/album");
        if (i % 2 == 0) files.SetChecked(row, true);
    }
    form.fileModel()->FlushPendingRows();
    form.cmbOptChange(1);
    auto* edit = form.Find<QLineEdit>("edtNewFilename");
    edit->setText(QStringLiteral("img_${sn(1,6)}"));
    form.previewColumn()->Settle();

    const QModelIndex first = form.fileModel()->index(0, ferro::kColumnCount);
    std::vector<double> keystroke, walk;
    for (int round = 0; round < 21; ++round) {
        // "img_" + one more letter each round, alternately added and removed.
        const bool add = round % 2 == 0;
        const QString expected =
            add ? QStringLiteral("img_x000001.jpg") : QStringLiteral("img_000001.jpg");
        QElapsedTimer t;
        t.start();
        if (add) edit->setText(QStringLiteral("img_x${sn(1,6)}"));
        else edit->setText(QStringLiteral("img_${sn(1,6)}"));
        while (first.data().toString() != expected) QApplication::processEvents();
        keystroke.push_back(t.nsecsElapsed() / 1e6);
        auto* summary = form.Find<QLabel>("lblPreview");
        while (!summary->text().startsWith(QStringLiteral("将更改"))) QApplication::processEvents();
        walk.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(keystroke.begin(), keystroke.end());
    std::sort(walk.begin(), walk.end());
    std::printf("preview of %d ticked rows (%d listed): keystroke to screen median %.1f ms, "
                "max %.1f ms (target < 100 ms); whole walk median %.0f ms\n",
                ticked, 2 * ticked, keystroke[keystroke.size() / 2], keystroke.back(),
                walk[walk.size() / 2]);
    std::printf("summary: %s\n", qPrintable(form.Find<QLabel>("lblPreview")->text()));
    return keystroke.back() < 100 ? 0 : 1;
}
