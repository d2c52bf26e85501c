// Reading vCard files (2.1, 3.0 and 4.0) into the contact table of the
// vCard conversion: one row per card with its name, mobile number, other
// telephone number, e-mail, organisation and address.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "textops/lines.h"

namespace ferro {

// One card's columns, code page 936 text.
struct VcardContact {
    std::string name;   // the first N or FN with a value; structured parts joined
    std::string cell;   // the first mobile number (type CELL or MOBILE)
    std::string tel;    // the first work number, else the first other non-mobile one
    std::string email;  // the first EMAIL
    std::string org;    // the first ORG
    std::string addr;   // the first ADR
};

// The cards of a vCard file's bytes, each ended by its END line; lines after
// the last END are not a card. The file's encoding is found from its bytes
// (byte-order mark, else UTF-8 when it is valid UTF-8 with a multi-byte
// sequence, else GBK); a CHARSET parameter names another one for its value.
// Folded lines are unfolded; property and parameter names are read in any
// case; group prefixes ("item1.") are ignored; QUOTED-PRINTABLE and base64
// values are decoded; TYPE parameters are read as lists, repeated, quoted or,
// the 2.1 way, bare. A line without ":" is skipped.
std::vector<VcardContact> ReadVcards(std::string bytes);

// The table of contacts: a header line, then one line per card. With ','
// fields holding a comma, a quote or a line break are quoted (quotes
// doubled); with a tab, tabs and line breaks inside a field become spaces.
LineList VcardTable(const std::vector<VcardContact>& contacts, char separator);

}  // namespace ferro
