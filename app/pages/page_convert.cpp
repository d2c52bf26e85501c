// 文件格式转换: each ticked file converted into a new file beside it, as the
// conversion item of edtFileFormat says.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "convert/convert.h"
#include "convert/office.h"
#include "fileops/ticked_rows.h"
#include "platform/fs.h"
#include "platform/codec.h"

namespace ferro {

void TForm1::BuildConvertPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "新文件格式："), 0, 0);
    auto* edtFileFormat = page::Edit(page, "edtFileFormat");
    grid->addWidget(edtFileFormat, 0, 1);
    auto* btnConvert = page::StartButton(page, "btnConvert", "开始转换");
    grid->addWidget(btnConvert, 0, 2);
    auto* chkAllSheets = page::Check(page, "chkAllSheets", "每个工作表一个文件", false);
    chkAllSheets->setToolTip(QStringLiteral(
        "表格转换为 csv 或 txt 时，每个工作表写成一个文件：文件名_工作表名.csv。\n"
        "隐藏的工作表不写出；要写出时在扩展名后加“,隐藏”，如 ${XlsTo(csv,隐藏)}。"));
    grid->addWidget(chkAllSheets, 1, 1, 1, 2);
    grid->addWidget(page::Note(page,
                               "注意：转换格式参数必须是扩展名，如${XlsTo(新的扩展名)}，\n"
                               "新的扩展名可为：txt, csv等。"),
                    2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
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
    if (previewing_) {
        ShowConvertPreview(format);
        return;
    }
    RunCommand(Find<QPushButton>("btnConvert"), [&] {
        // Outputs that replace files keep those files' old contents for undo.
        std::vector<BatchFile> replaced;
        const ConvertItem item = ParseConvertItem(format);
        for (const BatchFile& f : TickedFiles(files_)) {
            const std::string target = NewFilePath(f.path, item.argument);
            if (!target.empty() && FileExists(target)) replaced.push_back({f.row, target});
        }
        bool withoutUndo = false;
        if (!CheckJournalRoom(replaced, withoutUndo)) return;
        SetCounter(stChangeCount_, 0);
        // One LibreOffice profile for the whole run; it may convert the rows
        // ahead of the current one together with it.
        OfficeSession office;
        ConvertContext context;
        context.office = &office;
        context.textMode = CurrentTextMode();
        context.allSheets = Find<QCheckBox>("chkAllSheets")->isChecked();
        RunSummary summary;
        {
            WindowRunHost host(*this, stChangeCount_);
            if (withoutUndo) host.RecordNothing();
            // The stop button also ends a wait for LibreOffice.
            context.stopRequested = [&host] { return host.StopRequested(); };
            summary = ConvertFiles(TickedFiles(files_), format, context, &host);
        }
        SetRunReport(summary, QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(summary.done));
    });
}

void TForm1::ShowConvertPreview(const std::string& format) {
    std::vector<BatchFile> files = TickedFiles(files_);
    if (files.empty()) files.push_back({PreviewRow(), files_.Path(PreviewRow())});
    int created = 0, replaced = 0, same = 0;
    QString details;
    std::string lastSame;
    for (const PlannedOutput& p :
         PlanOutputs(files, format, Find<QCheckBox>("chkAllSheets")->isChecked())) {
        if (!p.sameAs.empty()) {
            // One line for a source left undone, however many files it has.
            if (p.source == lastSame) continue;
            lastSame = p.source;
            ++same;
            details += GbkToQString(p.source) + QStringLiteral("\t不转换：") +
                       GbkToQString(SameOutputText(p.sameAs)) + QStringLiteral("\n");
            continue;
        }
        (p.exists ? replaced : created) += 1;
        details += GbkToQString(p.output) +
                   (p.exists ? QStringLiteral("\t将替换\n") : QStringLiteral("\t将新建\n"));
    }
    QString text = QStringLiteral("转换将新建 %1 个文件，替换 %2 个已有文件(源文件不能转换的除外)。")
                       .arg(created)
                       .arg(replaced);
    if (same) text += QStringLiteral("\n%1 个文件与前面文件的输出同名，将不转换。").arg(same);
    dialogs_->MessageWithDetails(this, DialogProvider::Icon::Information,
                                 QString::fromUtf8(kAppCaption), text, details);
}

}  // namespace ferro
