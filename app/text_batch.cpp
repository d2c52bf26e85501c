// The frame shared by the line operations.
#include <QLabel>

#include "app/tform1.h"
#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::RunTextFileBatch(bool backup,
                              const std::function<void(const LineList& in, LineList& out)>& transform) {
    SetCounter(stChangeCount_, 0);
    LineList out;
    ForEachTickedRow(true, [&](int row) {
        const std::string path = files_.Path(row);
        out.clear();
        const LineList in = LoadTextLines(path);
        transform(in, out);
        if (backup) BackupFile(path);
        SaveTextLines(path, out);
        AddToCounter(stChangeCount_, 1);
    });
    SetClosingMessage(QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(stChangeCount_->text()));
}

}  // namespace ferro
