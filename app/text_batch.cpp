// The frame shared by the line operations.
#include <QLabel>

#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/ticked_rows.h"
#include "textops/text_batch.h"

namespace ferro {

void TForm1::RunTextFileBatch(bool backup,
                              const std::function<void(const LineList& in, LineSink& out)>& transform) {
    SetCounter(stChangeCount_, 0);
    TextBatchOptions options;
    options.backup = backup;
    RunSummary summary;
    {
        WindowRunHost host(*this, stChangeCount_);
        summary = RewriteTextFiles(TickedFiles(files_), options, transform, &host);
    }
    SetRunReport(summary, QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(summary.done));
}

}  // namespace ferro
