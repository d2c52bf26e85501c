// 文件格式转换: each ticked file converted into a new file beside it, as the
// conversion item of edtFileFormat says.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "platform/codec.h"

namespace ferro {

void TForm1::BuildConvertPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "新文件格式："), 0, 0);
    auto* edtFileFormat = page::Edit(page, "edtFileFormat");
    grid->addWidget(edtFileFormat, 0, 1);
    auto* btnConvert = page::StartButton(page, "btnConvert", "开始转换");
    grid->addWidget(btnConvert, 0, 2);
    grid->addWidget(page::Note(page,
                               "注意：转换格式参数必须是扩展名，如${XlsTo(新的扩展名)}，\n"
                               "新的扩展名可为：txt, csv等。"),
                    1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    ConnectClick(btnConvert, &TForm1::btnConvertClick);
}

void TForm1::btnConvertClick() {
    if (!CheckSelection()) return;
    auto* edtFileFormat = Find<QLineEdit>("edtFileFormat");
    const std::string format = FieldText("edtFileFormat");
    if (const auto problem = CheckConvertFormat(format); problem != ConvertFormatProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        edtFileFormat->setFocus();
        return;
    }
    RunCommand(Find<QPushButton>("btnConvert"), [&] {
        SetCounter(stChangeCount_, 0);
        // One LibreOffice profile for the whole run; it may convert the rows
        // ahead of the current one together with it.
        OfficeSession office;
        int current = 0;
        ConvertContext context;
        context.office = &office;
        // The text files written follow the window's text encoding setting
        // (item 1: classic GBK) where the window has one.
        if (auto* cmb = Find<QComboBox>("cmbTextEncoding"); cmb && cmb->currentIndex() == 1)
            context.textMode = TextMode::ClassicGbk;
        context.upcoming = [&](std::size_t max) {
            std::vector<std::string> paths;
            for (int r = current + 1; r <= files_.LastRow() && paths.size() < max; ++r)
                if (files_.Checked(r)) paths.push_back(files_.Path(r));
            return paths;
        };
        ForEachTickedRow(true, [&](int row) {
            current = row;
            const ConvertOutcome out = ConvertFile(files_.Path(row), format, context);
            if (out.cannotStart)
                dialogs().Message(this, DialogProvider::Icon::Error, QStringLiteral("错误"),
                                  QStringLiteral("无法启动Excel"));
            else if (!out.newPath.empty())
                AddToCounter(stChangeCount_, 1);
        });
        ShowInfo(QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(stChangeCount_->text()));
    });
}

}  // namespace ferro
