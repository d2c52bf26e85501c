// 更改文件或目录属性: gives the ticked files (and their folders when asked)
// exactly the chosen attributes.
#include <QHBoxLayout>

#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/attribute_change.h"

namespace ferro {

void TForm1::BuildAttributePage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "新属性:"), 0, 0);
    auto* boxes = new QHBoxLayout();
    boxes->setSpacing(16);
    boxes->addWidget(page::Check(page, "ckNormal", "存档", true));
    boxes->addWidget(page::Check(page, "ckSystem", "系统", false));
    boxes->addWidget(page::Check(page, "ckReadonly", "只读", false));
    boxes->addWidget(page::Check(page, "ckHidden", "隐藏", false));
    boxes->addStretch(1);
    grid->addLayout(boxes, 0, 1);
    grid->addWidget(page::Check(page, "chkDirProp", "同时修改文件所在目录属性", false), 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    auto* btnProp = page::StartButton(page, "btnProp", "开始处理");
    grid->addWidget(btnProp, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnProp, &TForm1::btnPropClick);
}

AttributeSettings TForm1::ReadAttributeSettings() const {
    AttributeSettings s;
    s.archive = Find<QCheckBox>("ckNormal")->isChecked();
    s.system = Find<QCheckBox>("ckSystem")->isChecked();
    s.readOnly = Find<QCheckBox>("ckReadonly")->isChecked();
    s.hidden = Find<QCheckBox>("ckHidden")->isChecked();
    s.foldersToo = Find<QCheckBox>("chkDirProp")->isChecked();
    return s;
}

void TForm1::btnPropClick() {
    if (!CheckSelection()) return;
    const AttributeSettings s = ReadAttributeSettings();
    if (s.Value() == 0) {
        ShowError(QStringLiteral("请选择新的属性！"));
        return;
    }
    RunCommand(Find<QPushButton>("btnProp"), [&] {
        SetCounter(stChangeCount_, 0);
        WindowRunHost host(*this, stChangeCount_);
        const RunSummary summary = ChangeAttributes(files_, s, &host);
        SetRunReport(summary, QStringLiteral("成功处理文件总数量：%1").arg(summary.done));
    });
}

}  // namespace ferro
