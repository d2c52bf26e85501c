// 文件信息统计: line figures of the file in the grid's current row.
#include <QTableView>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/fs.h"
#include "textops/file_statistics.h"
#include "textops/textfile.h"

namespace ferro {

namespace {

// The figure fields in the order they are filled, with their labels.
constexpr const char* kFigureFields[][2] = {
    {"edtFileSize", "文件大小:"},    {"edtAllLine", "总行数:"},
    {"edtEmptyLine", "空行数:"},     {"edtDataLine", "数据行数:"},
    {"edtCharMax", "行最大字符数:"}, {"edtCharMin", "行最小字符数:"},
    {"edtCharAve", "行平均字符数:"},
};

QLineEdit* ReadOnlyField(QWidget* page, const char* name, const char* text) {
    auto* e = page::Edit(page, name, text);
    e->setReadOnly(true);
    return e;
}

}  // namespace

void TForm1::BuildStatisticsPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "统计文件名称:"), 0, 0);
    grid->addWidget(ReadOnlyField(page, "edtFilename", ""), 0, 1, 1, 3);
    // Two figures a row: size and total lines, empty and data lines, ...
    for (int i = 0; i < 7; ++i) {
        const int row = 1 + i / 2, column = (i % 2) * 2;
        grid->addWidget(page::Label(page, kFigureFields[i][1]), row, column);
        grid->addWidget(ReadOnlyField(page, kFigureFields[i][0], "0"), row, column + 1);
    }
    auto* btnFileInfo = page::StartButton(page, "btnFileInfo", "开始统计(&A)");
    grid->addWidget(btnFileInfo, 4, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(5, 1);
    ConnectClick(btnFileInfo, &TForm1::btnFileInfoClick);
}

void TForm1::btnFileInfoClick() {
    if (!CheckSelection()) return;
    const int row = findChild<QTableView*>("sgFiles")->currentIndex().row() + 1;
    if (row < 1 || row > files_.LastRow() || !files_.Checked(row)) {
        ShowError(QStringLiteral("请选择需要进行统计的文件！"));
        return;
    }
    const std::string path = files_.Path(row);
    const bool ok = RunCommand(Find<QPushButton>("btnFileInfo"), [&] {
        FindEntry entry;
        const int64_t size = StatPath(path, entry) ? entry.size : 0;
        const FileStatistics s = CountFileStatistics(LoadTextFile(path, CurrentTextMode()).lines, size);
        SetFieldText("edtFilename", path);
        const int64_t figures[] = {s.size,    s.allLines, s.emptyLines, s.dataLines,
                                   s.longest, s.shortest, s.average};
        for (int i = 0; i < 7; ++i)
            Find<QLineEdit>(kFigureFields[i][0])->setText(QString::number(figures[i]));
    });
    if (ok) ShowInfo(QStringLiteral("成功统计完成!"));
}

}  // namespace ferro
