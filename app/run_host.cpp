#include "app/run_host.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "app/tform1.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/pump.h"

namespace ferro {

namespace {
constexpr int kShowEveryMs = 50;
}

WindowRunHost::WindowRunHost(TForm1& form, QLabel* counter, const QString& operation)
    : form_(form),
      counter_(counter),
      bar_(form.Find<QProgressBar>("pbRun")),
      fileLabel_(form.Find<QLabel>("lblRunFile")),
      stop_(form.Find<QPushButton>("btnStopRun")),
      operation_(operation) {
    if (!form_.FCloseAfterRun) form_.FStopRun = false;
    ++form_.FBatchRuns;
    if (counter_) counterBase_ = counter_->text().toLongLong();
    if (stop_) {
        stopWasEnabled_ = stop_->isEnabled();
        stop_->setEnabled(true);
    }
}

WindowRunHost::~WindowRunHost() {
    if (recorder_) {
        recorder_->Close();
        recorder_.reset();
        form_.UpdateUndoButton();
    }
    Show(true);
    if (stop_) stop_->setEnabled(stopWasEnabled_);
    if (fileLabel_) fileLabel_->clear();
    // A stop asked for by closing the window stays asked for: a second run
    // of the same command (key merge after its check) does not start anew.
    if (!form_.FCloseAfterRun) form_.FStopRun = false;
    --form_.FBatchRuns;
}

void WindowRunHost::Started(int total) {
    total_ = total;
    if (bar_) {
        bar_->setRange(0, std::max(total, 1));
        bar_->setValue(0);
        bar_->setTextVisible(true);
    }
    Show(true);
}

void WindowRunHost::FileStarted(int index, std::string_view path) {
    current_.assign(path);
    Show(index == 0);
}

void WindowRunHost::FileFinished(const FileResult& result) {
    ++finished_;
    if (result.done()) ++done_;
    Show(false);
}

bool WindowRunHost::StopRequested() {
    ProcessPendingMessages();
    return form_.FStopRun;
}

ChangeRecorder* WindowRunHost::recorder() {
    if (recorder_ || recordNothing_ || !form_.journal()) return recorder_.get();
    QString name = operation_;
    if (name.isEmpty())
        if (auto* pages = form_.Find<QTabWidget>("pgcOne")) name = pages->tabText(pages->currentIndex());
    recorder_ = form_.journal()->StartRun(QStringToGbk(name));
    return recorder_.get();
}

void WindowRunHost::Show(bool now) {
    if (!now && sinceShown_.isValid() && sinceShown_.elapsed() < kShowEveryMs) return;
    sinceShown_.start();
    if (counter_) counter_->setText(QString::number(counterBase_ + done_));
    if (bar_) bar_->setValue(std::min(finished_, bar_->maximum()));
    if (fileLabel_) {
        const QString name = GbkToQString(ExtractFileName(current_));
        fileLabel_->setText(
            fileLabel_->fontMetrics().elidedText(name, Qt::ElideMiddle, fileLabel_->width()));
        fileLabel_->setToolTip(GbkToQString(current_));
    }
}

}  // namespace ferro
