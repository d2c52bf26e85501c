#include "textops/file_combine.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void AppendFileLines(LineList& combined, const LineList& file) {
    // No reserve here: growing by exact amounts file after file would copy
    // the whole combined text once per file.
    for (const std::string_view line : file) combined.push_back(line);
}

RunSummary CombineFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                        RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
    LineList combined;
    TextFormat format;  // the target's, which is read last and written back as found
    std::size_t read = 0;
    try {
        for (; read < files.size(); ++read) {
            if (!run.Next(files[read].row, files[read].path)) break;
            ProcessPendingMessages();
            const TextFile file = LoadTextFile(files[read].path, options.mode);
            AppendFileLines(combined, file.lines);
            format = file.format;
        }
    } catch (const TextFileError& e) {
        run.Abort(files[read].row, files[read].path, e.why(), e.what());
        ++read;
    }
    auto leaveAll = [&](Undone why) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i + 1 == read && run.aborted()) continue;  // reported with its own reason
            run.Skip(files[i].row, files[i].path, why);
        }
        return run.Take();
    };
    if (run.aborted()) return leaveAll(Undone::NotReached);
    if (read < files.size() || files.empty()) return leaveAll(Undone::Stopped);

    const BatchFile& target = files.back();
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    try {
        if (options.backup) BackUpBeforeWriting(target.path, recorder);
        SaveTextLines(target.path, combined, format, recorder);
    } catch (const TextFileError& e) {
        // Without its copy the target is left as it is, like any file whose
        // backup fails; other failures end the run.
        if (e.why() == Undone::BackupFailed || e.why() == Undone::NotRecorded ||
            e.why() == Undone::BackupNameTooLong)
            run.Skip(target.row, target.path, e.why());
        else
            run.Abort(target.row, target.path, e.why(), e.what());
        for (std::size_t i = 0; i + 1 < files.size(); ++i)
            run.Skip(files[i].row, files[i].path, Undone::NotReached);
        return run.Take();
    }
    for (const BatchFile& f : files) run.Done(f.row, f.path);
    return run.Take();
}

}  // namespace ferro
