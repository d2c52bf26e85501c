// Date and time formatting with the format codes users know from the
// picker's samples: yyyy yy mmmm mmm mm m dddddd ddddd dddd ddd dd d c t tt
// hh h nn n ss s zzz z am/pm a/p ampm, / (date separator) and : (time
// separator), with '...' and "..." as literal text. Codes are case-insensitive;
// "m" and "mm" right after an hour code mean minutes. Month and day names are
// Chinese. Input and output are GBK bytes.
#pragma once

#include <string>
#include <string_view>

#include "platform/times.h"

namespace ferro {

// An empty format means "c": the short date "yyyy-mm-dd", followed by a space
// and the long time "hh:nn:ss" unless the time is exactly midnight.
std::string FormatDateTime(std::string_view format, const DateTime& t);

}  // namespace ferro
