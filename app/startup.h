// What the program does around its window: the options answered without a
// display, the application's names, icon and Qt's own Chinese texts, and the
// files and folders named on the command line (as the desktop's launcher
// passes them).
#pragma once

#include <QStringList>
#include <optional>

namespace ferro {

class TForm1;

// --help and --version: the text goes to standard output and the exit status
// comes back. Empty when the window is wanted. Runs before any Qt
// application object exists, so it needs no display.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

// Names, desktop file name and icon of the application, and Qt's own texts
// (standard dialogs, context menus) in Simplified Chinese.
void SetUpApplication();

// Loads Qt's zh_CN translations into the application; false when they are
// not installed.
bool LoadQtTranslations();

// Paths named on the command line: files join the list, as the add button
// adds them; a folder becomes the search folder (nothing is searched until
// the user asks). Names that do not exist are left out.
void OpenStartupPaths(TForm1& form, const QStringList& paths);

// SIGTERM (the session is ending) closes the window the way the user would,
// without asking: a run under way stops after its current file first.
void QuitOnTerminationSignal(TForm1& form);

}  // namespace ferro
