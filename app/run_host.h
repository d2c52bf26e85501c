// The window's side of a batch run: the progress bar (files done of files
// to do) with the current file's name beside it, the stop button, and the
// change counter. Screen updates are throttled so a run of many small files
// is not slowed down by repainting. The run's changes are recorded in the
// window's undo journal, when it has one, under the operation's name.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>

#include "batch/run.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ferro {

class RunRecorder;
class TForm1;

class WindowRunHost : public RunHost {
public:
    // counter: the label that counts processed files (stChangeCount), or
    // null for runs that count otherwise. operation: the run's name in the
    // undo journal; empty: the caption of the page shown.
    WindowRunHost(TForm1& form, QLabel* counter, const QString& operation = {});
    ~WindowRunHost() override;
    WindowRunHost(const WindowRunHost&) = delete;
    WindowRunHost& operator=(const WindowRunHost&) = delete;

    void Started(int total) override;
    void FileStarted(int index, std::string_view path) override;
    void FileFinished(const FileResult& result) override;
    bool StopRequested() override;
    ChangeRecorder* recorder() override;

    // This run is not recorded (the user chose to go on without undo).
    void RecordNothing() { recordNothing_ = true; }

private:
    void Show(bool now);

    TForm1& form_;
    QPointer<QLabel> counter_;
    QPointer<QProgressBar> bar_;
    QPointer<QLabel> fileLabel_;
    QPointer<QPushButton> stop_;
    bool stopWasEnabled_ = false;
    long long counterBase_ = 0;
    int total_ = 0;
    int finished_ = 0;
    int done_ = 0;
    std::string current_;
    QElapsedTimer sinceShown_;
    QString operation_;
    bool recordNothing_ = false;
    std::unique_ptr<RunRecorder> recorder_;
};

}  // namespace ferro
