// 文件信息统计: the line figures of the file in the grid's current row,
// shown in read-only fields.
#include <QPointer>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/error.h"

namespace ferro::page {

namespace {

// The figure fields in the order they are filled, with their labels.
constexpr const char* kFigureFields[][2] = {
    {"edtFileSize", "文件大小:"},    {"edtAllLine", "总行数:"},
    {"edtEmptyLine", "空行数:"},     {"edtDataLine", "数据行数:"},
    {"edtCharMax", "行最大字符数:"}, {"edtCharMin", "行最小字符数:"},
    {"edtCharAve", "行平均字符数:"},
};

QLineEdit* ReadOnlyField(QWidget* page, const char* name, const char* text) {
    auto* e = Edit(page, name, text);
    e->setReadOnly(true);
    return e;
}

}  // namespace

PageBinding* BuildStatisticsPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "统计文件名称:"), 0, 0);
    QPointer<QLineEdit> edtFilename = ReadOnlyField(page, "edtFilename", "");
    grid->addWidget(edtFilename, 0, 1, 1, 3);
    // Two figures a row: size and total lines, empty and data lines, ...
    std::vector<QPointer<QLineEdit>> figures;
    for (int i = 0; i < 7; ++i) {
        const int row = 1 + i / 2, column = (i % 2) * 2;
        grid->addWidget(Label(page, kFigureFields[i][1]), row, column);
        figures.emplace_back(ReadOnlyField(page, kFigureFields[i][0], "0"));
        grid->addWidget(figures.back(), row, column + 1);
    }
    auto* btnFileInfo = StartButton(page, "btnFileInfo", "开始统计(&A)");
    grid->addWidget(btnFileInfo, 4, 3, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(5, 1);

    auto* binding = new PageBinding(op, page, btnFileInfo, {});
    // The file of the current row, which must be ticked.
    binding->chooseFiles = [](TForm1& form, std::vector<BatchFile>& files) {
        const int row = form.CurrentRow();
        if (row < 1 || !form.fileList().Checked(row)) {
            form.ShowError(QStringLiteral("请选择需要进行统计的文件！"));
            return false;
        }
        files = {{row, form.fileList().Path(row)}};
        return true;
    };
    // A file that cannot be read ends the command with its message.
    binding->showOutcome = [edtFilename, figures](const ops::RunOutcome& o) {
        if (o.statistics.empty()) throw Error(o.problem);
        const auto& [path, s] = o.statistics.front();
        edtFilename->setText(GbkToQString(path));
        const int64_t values[] = {s.size,    s.allLines, s.emptyLines, s.dataLines,
                                  s.longest, s.shortest, s.average};
        for (int i = 0; i < 7; ++i) figures[i]->setText(QString::number(values[i]));
    };
    return binding;
}

}  // namespace ferro::page
