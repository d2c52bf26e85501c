// Reading vCard files (2.1, 3.0 and 4.0) into the contact table of the
// vCard conversion: one row per card with its name, mobile numbers, other
// numbers, e-mail addresses, organisation and address.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "textops/lines.h"

namespace ferro {

// One card's columns, code page 936 text. Lists are joined by "; ".
struct VcardContact {
    // The first FN with a value; else the first N, its parts in the order
    // of its script: CJK family name, given and middle names written
    // together; Latin given, middle and family names with spaces; prefixes
    // first and suffixes last either way.
    std::string name;
    // Every mobile number: TYPE CELL or MOBILE in any case, a vendor type or
    // label that names a mobile ("X-MOBILE", "iPhone", "手机"...), or an
    // untyped number shaped like a mobile of China (11 digits 1[3-9]...,
    // with or without +86).
    std::string cell;
    std::string tel;    // every other number, in the card's order
    std::string email;  // every EMAIL
    std::string org;    // the first ORG, its units joined as the name's parts
    // The first ADR: Latin "street, extended, locality, region code,
    // country"; CJK "code country region locality street extended", the
    // parts written together. Empty parts dropped.
    std::string addr;
};

// The cards of a vCard file's bytes, each ended by its END line; lines after
// the last END are not a card. A file with a byte-order mark is UTF-8 or
// UTF-16 throughout. Otherwise each card is read as UTF-8 when its values
// are valid UTF-8; a CHARSET parameter names another set for its value; the
// other cards are GBK, unless a charset detector is confident that the file's
// non-UTF-8 values are in another legacy set (Big5, Shift-JIS...) that reads
// them cleanly. Folded lines are unfolded; property and parameter names are
// read in any case; group prefixes ("item1.") tie a label to its number;
// QUOTED-PRINTABLE and base64 values are decoded; TYPE parameters are read as
// lists, repeated, quoted or, the 2.1 way, bare. A line without ":" is
// skipped.
std::vector<VcardContact> ReadVcards(std::string bytes);

// The table of contacts: a header line, then one line per card. Fields
// holding the separator, a quote or a line break are quoted (quotes
// doubled), whether the separator is ',' or a tab.
LineList VcardTable(const std::vector<VcardContact>& contacts, char separator);

}  // namespace ferro
