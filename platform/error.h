// The one exception type of the program. Its message is GBK text; the window
// shows it in an error box (the standard error display).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ferro {

class Error : public std::runtime_error {
public:
    explicit Error(std::string gbkMessage) : std::runtime_error(std::move(gbkMessage)) {}
};

// "Cannot open file %s" / "Cannot create file %s".
[[noreturn]] void ThrowCannotOpen(std::string_view path);
[[noreturn]] void ThrowCannotCreate(std::string_view path);

// Reads a whole decimal integer: leading blanks allowed, optional sign,
// digits, nothing after them. Anything else throws
// "'%s' is not a valid integer value" with the text as given. Values must fit
// in 32 bits, as the number fields of the window always did.
int32_t StrToInt(std::string_view text);
// Same rule, returning false instead of throwing.
bool TryStrToInt(std::string_view text, int32_t& value);

}  // namespace ferro
