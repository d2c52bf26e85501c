// The window's side of a batch run: the progress bar (files done of files
// to do) with the current file's name beside it, the stop button, and the
// change counter. Screen updates are throttled so a run of many small files
// is not slowed down by repainting.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "batch/run.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ferro {

class TForm1;

class WindowRunHost : public RunHost {
public:
    // counter: the label that counts processed files (stChangeCount), or
    // null for runs that count otherwise.
    WindowRunHost(TForm1& form, QLabel* counter);
    ~WindowRunHost() override;
    WindowRunHost(const WindowRunHost&) = delete;
    WindowRunHost& operator=(const WindowRunHost&) = delete;

    void Started(int total) override;
    void FileStarted(int index, std::string_view path) override;
    void FileFinished(const FileResult& result) override;
    bool StopRequested() override;

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
};

}  // namespace ferro
