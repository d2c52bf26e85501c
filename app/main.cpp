// Program entry: the options that need no window, then the application, its
// one window with the settings of the last run, and the message loop. An
// exception that reaches here is shown in an error box.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/qt_dialogs.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/tform1.h"
#include "convert/child_process.h"
#include "convert/office.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/rescue.h"

int main(int argc, char* argv[]) {
    if (const auto status = ferro::AnswerWithoutWindow(argc, argv)) return *status;

    QApplication app(argc, argv);
    ferro::SetUpApplication();
    const QString title = QString::fromUtf8(ferro::kAppCaption);
    ferro::RemoveStaleOfficeFolders();
    try {
        ferro::RecoverInterruptedWrites();  // rewrites a kill or a power cut left unfinished
        ferro::InstallMessagePump();
        ferro::QtDialogs dialogs;
        ferro::TForm1 form(&dialogs);
        ferro::RestoreSettings(form);
        ferro::OpenStartupPaths(form, QApplication::arguments().mid(1));
        form.show();
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
