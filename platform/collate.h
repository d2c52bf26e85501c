// Locale collation of code page 936 text (ICU, Chinese rules), as the list
// sorts names, folders and types.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

// Compares two texts with the Chinese collation: <0, 0, >0.
int CompareLocale(std::string_view a, std::string_view b);
// A binary sort key: memcmp order of two keys equals CompareLocale order.
std::string CollationKey(std::string_view text);
// Case-insensitive equality as the locale sees it (AnsiLower, then collation).
bool SameTextLocale(std::string_view a, std::string_view b);

}  // namespace ferro
