// The batch-run protocol every operation page follows: its fields checked
// by the operation, its files chosen, its job prepared and run inside
// RunCommand with the window's run host, the undo budget asked about, and
// the run's report as the closing message.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/pages/page_binding.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/ticked_rows.h"
#include "ops/operation.h"

namespace ferro {

TextMode TForm1::CurrentTextMode() const {
    const auto* box = Find<QComboBox>("cmbTextEncoding");
    return box && box->currentIndex() == 1 ? TextMode::ClassicGbk : TextMode::Auto;
}

void TForm1::StartOperation(page::PageBinding& page) {
    if (!CheckSelection()) return;
    const ops::Operation& op = page.operation();
    const ops::OperationInfo& info = op.info();
    const ops::FieldValues values = page.Read();
    // A number that is not a number stops here too, before the button is
    // touched.
    std::optional<ops::Refusal> refusal;
    bool checked = false;
    Guard([&] {
        refusal = op.Check(values);
        checked = true;
    });
    if (!checked) return;
    if (refusal) {
        ShowError(GbkToQString(refusal->text));
        if (QWidget* field = page.Control(refusal->field)) field->setFocus();
        return;
    }
    std::vector<BatchFile> files;
    if (page.chooseFiles) {
        if (!page.chooseFiles(*this, files)) return;
    } else if (info.twoFiles && !previewing_) {
        int first = 0, second = 0;
        if (!FindFirstTwoChecked(first, second)) {
            ShowError(GbkToQString(ops::FromUtf8(info.twoFiles)));
            return;
        }
        files = {{first, files_.Path(first)}, {second, files_.Path(second)}};
    } else {
        files = TickedFiles(files_);
    }
    RunCommand(page.start(), [&] {
        // The counter starts again with the run, before a setting that
        // turns out not to be a number ends it.
        QLabel* counter = info.countsFiles ? stChangeCount_ : nullptr;
        if (counter && !previewing_) SetCounter(counter, 0);
        const std::unique_ptr<ops::Job> job = op.Prepare(values);
        if (previewing_) {
            ShowPreview(*job, files);
            return;
        }
        bool withoutUndo = false;
        if (info.changesFiles && !CheckJournalRoom(job->Rewrites(files), withoutUndo)) return;
        ops::RunOutcome outcome;
        {
            WindowRunHost host(*this, counter, QString::fromUtf8(info.pageCaption));
            if (withoutUndo) host.RecordNothing();
            outcome = job->Run({files_, files, CurrentTextMode(), &host});
        }
        if (page.showOutcome) page.showOutcome(outcome);
        SetRunReport(outcome.summary, GbkToQString(outcome.closing));
    });
}

}  // namespace ferro
