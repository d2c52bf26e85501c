// 更改文件扩展名: gives the ticked files a new extension.
#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/extension_change.h"

namespace ferro {

void TForm1::BuildExtensionPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "新扩展名:"), 0, 0);
    auto* edtNewExt = page::Edit(page, "edtNewExt");
    edtNewExt->setToolTip(QStringLiteral("请输入新扩展名."));
    grid->addWidget(edtNewExt, 0, 1);
    grid->addWidget(page::Note(page, page::kTestFirstNote), 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    auto* btnExt = page::StartButton(page, "btnExt", "开始处理");
    grid->addWidget(btnExt, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    ConnectClick(btnExt, &TForm1::btnExtClick);
}

void TForm1::btnExtClick() {
    if (!CheckSelection()) return;
    const std::string typed = FieldText("edtNewExt");
    if (NormalizeExtensionPattern(typed).empty()) {
        ShowError(QStringLiteral("请输入新扩展名格式！"));
        return;
    }
    RunCommand(Find<QPushButton>("btnExt"), [&] {
        SetCounter(stChangeCount_, 0);
        WindowRunHost host(*this, stChangeCount_);
        const RunSummary s = ChangeExtensions(files_, typed, &host);
        SetRunReport(s, QStringLiteral("成功处理文件总数量：%1").arg(s.done));
    });
}

}  // namespace ferro
