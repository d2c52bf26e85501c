#include "fileops/delete_files.h"

#include <algorithm>
#include <optional>

#include "fileops/ticked_rows.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/trash.h"

namespace ferro {

RunSummary TrashTickedFiles(FileList& files, const AskDeletePermanently& askPermanent,
                            RunHost* host) {
    std::vector<BatchFile> ticked = TickedFiles(files);
    std::reverse(ticked.begin(), ticked.end());
    std::optional<bool> permanently;
    RunTracker run(host, static_cast<int>(ticked.size()));
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    run.ForEach(ticked, [&](const BatchFile& f) {
        ProcessPendingMessages();
        // The list is held still while the run goes; should its rows have
        // changed all the same, the rows left are no longer the user's choice.
        if (f.row > files.LastRow() || files.Path(f.row) != f.path) {
            run.Abort(f.row, f.path, Undone::NotReached,
                      Utf16ToGbk(u"文件列表已改变，其余文件未删除"));
            return;
        }
        if (recorder && !recorder->WillTrash(f.path)) {
            run.Skip(f.row, f.path, Undone::NotRecorded);
            return;
        }
        const TrashResult r = MoveToTrash(f.path);
        if (recorder) {
            if (r.outcome == TrashResult::Outcome::Trashed) recorder->Trashed(r.item);
            else recorder->NotChanged();  // a file deleted for good cannot come back
        }
        bool gone = r.outcome == TrashResult::Outcome::Trashed;
        Undone why = UndoneFromFs(r.problem, Undone::CannotWrite);
        if (r.outcome == TrashResult::Outcome::NoTrash) {
            if (!permanently) permanently = askPermanent && askPermanent();
            why = Undone::NoTrash;
            if (*permanently) {
                gone = DeleteFile(f.path);
                if (!gone) why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
            }
        }
        if (!gone) {
            run.Skip(f.row, f.path, why);
            return;
        }
        files.RemoveRow(f.row);
        run.Done(f.row, f.path);
    });
    return run.Take();
}

}  // namespace ferro
