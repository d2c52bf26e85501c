// The grid's seventh column "新名称" while the rename, extension, date or
// attribute page is on show: for every ticked row what the start button
// would do to its file, worked out by the runs' own rules, with the rows the
// run would skip in a distinct colour and the reason as tooltip, and a line
// under the grid that sums it up. It follows what the user types (after a
// short pause), the ticks and the list; nothing touches the disk but to
// look names up. The rows on screen are answered at once; clashes between
// rows and the summary are worked out in slices, so typing never waits.
// What a name needs from the files' contents (the date taken, tags) is read
// by a reader on threads of its own, the rows on screen first: until a
// row's values are in, its cell says so, and it fills in when they come.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

#include "app/filelist_model.h"

class QLabel;

namespace ferro {

class ChangePreview;
class FileValueReader;
class TForm1;

class PreviewColumn : public QObject, public ExtraColumn {
    Q_OBJECT
public:
    PreviewColumn(TForm1& form, QLabel* summary);
    ~PreviewColumn() override;

    QString Header() const override;
    QVariant Cell(int row, int role) const override;

    // Something the preview depends on changed: work it out again soon.
    void Invalidate();
    // Works it out now, to the end, waiting for the values it needs (tests,
    // benchmarks).
    void Settle();
    bool active() const { return preview_ != nullptr; }
    // Whether the walk waits for values the reader has yet to read (tests).
    bool reading() const;

private:
    void Rebuild();
    void Slice();
    void ShowSummary();
    void ValuesArrived();  // on the window's thread, after the reader's Ready

    TForm1& form_;
    QLabel* summary_;
    // The reader outlives the preview that asks it.
    std::unique_ptr<FileValueReader> reader_;
    std::atomic<bool> arrivalPosted_{false};
    std::unique_ptr<ChangePreview> preview_;
    QTimer debounce_;
    QTimer slicer_;
};

}  // namespace ferro
