// What a line operation would make of one file, beside what the file holds:
// removed lines, added lines and a few unchanged ones around them, the rest
// folded away, with the counts of the whole file. The diff is made a slice at
// a time while the window stays responsive, so the first changes show while
// a large file is still being compared; what is shown is capped.
#pragma once

#include <QWidget>
#include <memory>

#include "textops/text_preview.h"

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace ferro {

class TextPreviewWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own, closed with its owner.
    explicit TextPreviewWindow(QWidget* owner);
    ~TextPreviewWindow() override;

    // The file being worked out: shown while the run's rule goes through it.
    void Begin(const QString& path);
    // The outcome: a diff to make and show, or the reason the run would
    // leave the file as it is.
    void Show(TextPreview preview);

    bool finished() const;
    QLabel* countsLabel() const { return lblPreviewCounts_; }
    QPlainTextEdit* diffView() const { return mmPreview_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Step();
    void ShowNewLines();
    void ShowCounts();

    QLabel* lblPreviewFile_;
    QLabel* lblPreviewCounts_;
    QPlainTextEdit* mmPreview_;
    QTimer* timer_;
    std::unique_ptr<TextPreview> preview_;
    std::unique_ptr<LineDiff> diff_;
    std::size_t linesShown_ = 0;
};

}  // namespace ferro
