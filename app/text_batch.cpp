// The frame shared by the line operations.
#include <QComboBox>
#include <QLabel>

#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/ticked_rows.h"
#include "textops/text_batch.h"

namespace ferro {

TextMode TForm1::CurrentTextMode() const {
    const auto* box = Find<QComboBox>("cmbTextEncoding");
    return box && box->currentIndex() == 1 ? TextMode::ClassicGbk : TextMode::Auto;
}

void TForm1::RunTextFileBatch(bool backup, const LineOperation& operation) {
    if (previewing_) {
        ShowTextPreview(operation);
        return;
    }
    SetCounter(stChangeCount_, 0);
    TextBatchOptions options;
    options.backup = backup;
    options.mode = CurrentTextMode();
    const std::vector<BatchFile> files = TickedFiles(files_);
    bool withoutUndo = false;
    if (!CheckJournalRoom(files, withoutUndo)) return;
    RunSummary summary;
    {
        WindowRunHost host(*this, stChangeCount_);
        if (withoutUndo) host.RecordNothing();
        summary = RewriteTextFiles(files, options, operation, &host);
    }
    SetRunReport(summary, QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(summary.done));
}

}  // namespace ferro
