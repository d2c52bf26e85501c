#include "textops/text_batch.h"

#include "platform/pump.h"
#include "template/template.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

// Either way the backup holds the file as this run found it. It is made
// before the new lines are written, which happens as they are made: the file
// itself is replaced only once they all are.

void RewriteWhole(std::string_view path, const TextBatchOptions& options,
                  const LineOperation& operation, ChangeRecorder* recorder) {
    const TextFile in = LoadTextFile(path, options.mode, bool(operation.utf8));
    const LineTransform& transform = in.bytes == LineBytes::Utf8 ? operation.utf8 : operation.gbk;
    if (options.backup) BackUpBeforeWriting(path, recorder);
    SaveTextFile(
        path, in.format, [&](LineSink& out) { transform(in.lines, out); },
        in.lines.UnbrokenText(), recorder, in.bytes);
}

// False when the file is to be read whole (UTF-16), before anything is done.
bool RewriteLinewise(std::string_view path, const TextBatchOptions& options,
                     const LineOperation& operation, ChangeRecorder* recorder) {
    const TextScan scan = CheckTextFile(path, options.mode);
    if (scan.whole) return false;
    if (options.backup) BackUpBeforeWriting(path, recorder);
    RewriteInPieces(path, scan, bool(operation.utf8), operation.linewise(), recorder);
    return true;
}

}  // namespace

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineOperation& operation, RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    run.ForEach(files, [&](const BatchFile& f) {
        ProcessPendingMessages();
        try {
            if (!operation.linewise || !RewriteLinewise(f.path, options, operation, recorder))
                RewriteWhole(f.path, options, operation, recorder);
            run.Done(f.row, f.path);
        } catch (const TextFileError& e) {
            // A file whose old content cannot be kept is left as it is.
            if (e.why() == Undone::NotRecorded || e.why() == Undone::BackupFailed ||
                e.why() == Undone::BackupNameTooLong)
                run.Skip(f.row, f.path, e.why());
            else run.Abort(f.row, f.path, e.why(), e.what());
        } catch (const ValueTooLong&) {
            // Found part-way through writing or not, the file stays as it
            // was; the others may well be fine.
            run.Skip(f.row, f.path, Undone::TooLong);
        }
    });
    return run.Take();
}

}  // namespace ferro
