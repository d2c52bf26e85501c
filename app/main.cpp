// Program entry: the application, its one window, the message loop. An
// exception that reaches here is shown in an error box.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/qt_dialogs.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/error.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString title = QString::fromUtf8(ferro::kAppCaption);
    QApplication::setApplicationName(title);
    QApplication::setApplicationDisplayName(title);
    try {
        ferro::InstallMessagePump();
        ferro::QtDialogs dialogs;
        ferro::TForm1 form(&dialogs);
        form.show();
        app.exec();
    } catch (const ferro::Error& e) {
        QMessageBox::critical(nullptr, title, ferro::GbkToQString(e.what()));
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, title, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, title, QString());
    }
    return 0;
}
