// The window's entry, called by the program when no verb is given: the
// options that need no window, then the application, its one window with
// the settings of the last run, and the message loop. An exception that
// reaches here is shown in an error box.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/qt_dialogs.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/tform1.h"
#include "convert/child_process.h"
#include "convert/office.h"
#include "platform/codec.h"
#include "platform/error.h"

namespace {

int WindowMain(int argc, char* argv[]) {
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

}  // namespace

// The name says which build of the program it belongs to (app/main.cpp asks
// for it by that name).
extern "C" __attribute__((visibility("default"))) int ferro_window_main_1(int argc, char* argv[]) {
    return WindowMain(argc, argv);
}
