// What the GUI tests do to a window by objectName, and read back from it:
// text into fields, buttons pressed, counters and the list's names.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "app/tform1.h"

namespace ferro::testing {

// GBK text as the window shows it.
QString Q(const std::string& gbk);
// A field's text (an edit, an editable list or a memo), written in UTF-8.
void SetText(TForm1& form, const char* name, const char* utf8);
// Any bound control set from text: an edit or memo its text, a check box
// "1" or "0", a radio button chosen, a date "yyyy-MM-dd", a time "HH:mm:ss".
void SetControl(TForm1& form, const char* name, const char* utf8);
void Click(TForm1& form, const char* button);
// A counter's text: stChangeCount unless another is named.
QString Counter(TForm1& form, const char* name = "stChangeCount");
// The name cells of the list's rows, and those of the ticked rows.
QStringList Names(TForm1& form);
QStringList TickedNames(TForm1& form);

}  // namespace ferro::testing
