// Program entry: `run` (the command line, no window), the options that need
// no window, then the application, its one window with the settings of the
// last run, and the message loop. An exception that reaches here is shown
// in an error box.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/qt_dialogs.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/tform1.h"
#include "cli/run.h"
#include "cli/text.h"
#include "cli/verbs.h"
#include "convert/child_process.h"
#include "convert/office.h"
#include "platform/codec.h"
#include "platform/error.h"

namespace {

// `ferrovan-batch run|presets|history|undo ...`: before anything of Qt
// exists, so it needs no display. The arguments come in as the names on
// disk do (UTF-8).
int RunCommandLine(int argc, char* argv[]) {
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.push_back(ferro::DiskToGbk(argv[i]));
    int status = ferro::cli::kExitUndone;
    {
        ferro::cli::StdConsole console;
        try {
            status = ferro::cli::VerbMain(argv[1], args, console);
        } catch (const std::exception& e) {
            console.Err(ferro::cli::ToUtf8(e.what()) + "\n");
        }
    }
    ferro::KillChildProcesses();
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A verb, or a word in its place that is none: never a window.
    if (argc > 1 && (ferro::cli::IsVerb(argv[1]) || ferro::cli::LooksLikeVerb(argv[1])))
        return RunCommandLine(argc, argv);
    if (const auto status = ferro::AnswerWithoutWindow(argc, argv)) return *status;

    QApplication app(argc, argv);
    ferro::SetUpApplication();
    const QString title = QString::fromUtf8(ferro::kAppCaption);
    ferro::RemoveStaleOfficeFolders();
    try {
        ferro::InstallMessagePump();
        ferro::QtDialogs dialogs;
        ferro::TForm1 form(&dialogs);
        form.OpenJournal();
        ferro::RestoreSettings(form);
        ferro::OpenStartupPaths(form, QApplication::arguments().mid(1));
        ferro::QuitOnTerminationSignal(form);
        form.show();
        // Writes and runs a crash or a kill cut short are mended, and what
        // they finished is offered for undo, once the window is up.
        QTimer::singleShot(0, &form, [&form] { form.OfferRecovery(); });
        app.exec();
        ferro::SaveSettings(form);
    } catch (const ferro::Error& e) {
        QMessageBox::critical(nullptr, title, ferro::GbkToQString(e.what()));
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, title, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, title, QString());
    }
    // No LibreOffice outlives the program.
    ferro::KillChildProcesses();
    return 0;
}
