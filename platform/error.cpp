#include "platform/error.h"

#include <climits>

namespace ferro {

void ThrowCannotOpen(std::string_view path) {
    throw Error("Cannot open file " + std::string(path));
}

void ThrowCannotCreate(std::string_view path) {
    throw Error("Cannot create file " + std::string(path));
}

bool TryStrToInt(std::string_view text, int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > static_cast<long long>(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::string_view text) {
    int32_t v = 0;
    if (!TryStrToInt(text, v)) throw Error("'" + std::string(text) + "' is not a valid integer value");
    return v;
}

}  // namespace ferro
