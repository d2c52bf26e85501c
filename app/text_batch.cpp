// The frame shared by the line operations.
#include <QLabel>

#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "textops/text_batch.h"

namespace ferro {

void TForm1::RunTextFileBatch(bool backup,
                              const std::function<void(const LineList& in, LineList& out)>& transform) {
    SetCounter(stChangeCount_, 0);
    std::vector<BatchFile> files;
    ForEachTickedRow(false, [&](int row) { files.push_back(BatchFile{row, files_.Path(row)}); });
    struct CountingHost : RunHost {
        TForm1* form;
        void FileFinished(const FileResult& r) override {
            if (r.done()) AddToCounter(form->stChangeCount(), 1);
        }
    } host;
    host.form = this;
    TextBatchOptions options;
    options.backup = backup;
    const RunSummary summary = RewriteTextFiles(files, options, transform, &host);
    if (!summary.error.empty()) throw Error(summary.error);
    SetClosingMessage(QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(stChangeCount_->text()));
}

}  // namespace ferro
