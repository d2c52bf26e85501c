// What the program remembers between runs: the window's place and size, the
// splitter, the search folder and file types with their recent lists, the
// chosen operation and the fields of every operation page (each as its text,
// under "ops/<operation>/<field>"). The program's
// start-up restores them and saves them when the window closes; a window
// built without them starts from its defaults.
//
// The file is $XDG_CONFIG_HOME/ferrovan-batch/ferrovan-batch.conf
// (~/.config/... when XDG_CONFIG_HOME is not set), an INI file.
#pragma once

#include <QString>
#include <QStringList>

namespace ferro {

class TForm1;

QString SettingsFilePath();

// Without a settings file the search folder is the home folder; nothing is
// searched until the user asks. Also offers the recent folders and file
// types as completions of their fields, and keeps those lists up to date as
// the user searches.
void RestoreSettings(TForm1& form);
void SaveSettings(TForm1& form);

// The recent search folders and file types, newest first.
QStringList RecentFolders(const TForm1& form);
QStringList RecentMasks(const TForm1& form);
inline constexpr int kRecentCount = 10;

}  // namespace ferro
