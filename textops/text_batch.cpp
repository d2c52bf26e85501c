#include "textops/text_batch.h"

#include "platform/pump.h"
#include "template/template.h"
#include "textops/textfile.h"

namespace ferro {

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineTransform& transform, RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
    LineList out;
    run.ForEach(files, [&](const BatchFile& f) {
        ProcessPendingMessages();
        try {
            out.clear();
            const LineList in = LoadTextLines(f.path);
            transform(in, out);
            if (options.backup && !BackupFile(f.path)) {
                run.Skip(f.row, f.path, Undone::BackupFailed);
                return;
            }
            SaveTextLines(f.path, out);
            run.Done(f.row, f.path);
        } catch (const TextFileError& e) {
            run.Abort(f.row, f.path, e.why(), e.what());
        } catch (const ValueTooLong&) {
            // The file is left as it was; the others may well be fine.
            run.Skip(f.row, f.path, Undone::TooLong);
        }
    });
    return run.Take();
}

}  // namespace ferro
