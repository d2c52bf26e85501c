// Chinese test texts are written as UTF-16 literals and turned into the GBK
// bytes the library works on.
#pragma once

#include <string>
#include <string_view>

#include "platform/codec.h"

namespace ferro::test {

inline std::string Gbk(std::u16string_view text) {
    return Utf16ToGbk(text);
}

}  // namespace ferro::test
