// The usage notes button, the web link and the tips line under the pages.
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app/notes_window.h"
#include "app/tform1.h"
#include "help/tips.h"
#include "help/tips_download.h"
#include "help/tips_file.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/random.h"

namespace ferro {

namespace {

const char* const kUsageNotes = "使用说明.txt";

// Turns a left click on a label into a call.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick)
        : QObject(parent), onClick_(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            auto* widget = qobject_cast<QWidget*>(watched);
            if (mouse->button() == Qt::LeftButton && widget &&
                widget->rect().contains(mouse->position().toPoint())) {
                onClick_();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onClick_;
};

void ShowRandomTip(TForm1& form) {
    if (form.FTipsList.isEmpty()) return;
    const TipLine tip = ParseTipLine(form.FTipsList.at(RandomBelow(form.FTipsList.size())));
    auto* lblTips = form.Find<QLabel>("lblTips");
    lblTips->setText(tip.text + QStringLiteral(" >>"));
    lblTips->setToolTip(tip.text);
    form.FTipsLink = QStringToGbk(tip.link);
}

// The rest of the first tick, once the download has ended: the answer is
// stored whatever it holds, then the list is read back from the file.
void TipsArrived(TForm1& form, const std::string& body) {
    form.FTipsList.clear();
    const TipsFileResult file = WriteTipsFile(body, TipsFolders());
    if (!file.written) {
        form.ShowError(GbkToQString("Cannot create file " + file.path));
        return;
    }
    std::string stored;
    if (ReadFileBytes(file.path, stored)) form.FTipsList = TipsLines(stored);
    ShowRandomTip(form);
}

}  // namespace

void TForm1::SetUpTips() {
    if (tipsUrl_.isEmpty()) tipsUrl_ = DefaultTipsUrl();

    auto* Label11 = Find<QLabel>("Label11");
    Label11->setTextFormat(Qt::PlainText);
    Label11->setText(QStringLiteral("by ") + QString::fromLatin1(kHomePage));
    Label11->installEventFilter(
        new ClickFilter(Label11, [this] { Guard([this] { Label11Click(); }); }));

    // Tips come from outside: never read them as rich text, and never let a
    // long one widen the window.
    auto* lblTips = Find<QLabel>("lblTips");
    lblTips->setTextFormat(Qt::PlainText);
    lblTips->setSizePolicy(QSizePolicy::Ignored, lblTips->sizePolicy().verticalPolicy());
    lblTips->installEventFilter(
        new ClickFilter(lblTips, [this] { Guard([this] { lblTipsClick(); }); }));

    ConnectClick(Find<QToolButton>("SpeedButton1"), &TForm1::SpeedButton1Click);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { Guard([this] { SpeedButton1Click(); }); });
    connect(Timer1_, &QTimer::timeout, this, [this] { Guard([this] { Timer1Timer(); }); });
}

void TForm1::SpeedButton1Click() {
    // The notes open in a window of the program, read again at each click.
    const QString path = UsageNotesPath();
    auto* notes = findChild<NotesWindow*>();
    if (!notes) notes = new NotesWindow(this);
    if (path.isEmpty() || !notes->Load(path)) {
        ShowError(QStringLiteral("找不到使用说明文件“%1”。").arg(QString::fromUtf8(kUsageNotes)));
        return;
    }
    notes->show();
    notes->raise();
    notes->activateWindow();
}

void TForm1::Label11Click() {
    dialogs().OpenDocument(HomePageUrl());
}

void TForm1::Timer1Timer() {
    if (!FTipsLoaded) {
        // Set before anything else, so a tick that arrives while the
        // download runs never starts another.
        FTipsLoaded = true;
        if (!network_) network_ = new QNetworkAccessManager(this);
        FetchTips(network_, tipsUrl_, this,
                  [this](std::string body) { Guard([&] { TipsArrived(*this, body); }); });
    }
    ShowRandomTip(*this);
}

void TForm1::lblTipsClick() {
    if (FTipsLink.empty()) return;
    const QUrl url = TipWebAddress(GbkToQString(FTipsLink));
    if (!url.isEmpty()) dialogs().OpenDocument(url);
}

}  // namespace ferro
