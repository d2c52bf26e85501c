// The user.DOSATTRIB extended attribute: DOS attribute bits and a created
// time, in the record Samba writes (a NUL-terminated "0x.." hex string,
// then version 5 of its DOS info record), so that Windows clients of a
// shared folder and Wine see the same attributes. The plain hex string that
// Wine and older Samba versions write is read too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/times.h"

namespace ferro {

struct DosAttrib {
    uint32_t attributes = 0;
    std::optional<FileTime> createTime;
};

inline constexpr const char* kDosAttribName = "user.DOSATTRIB";

// Encodes the Samba form (hex string, version 5 record).
std::string EncodeDosAttrib(const DosAttrib& value);
// Decodes any of the forms; false when the bytes are none of them.
bool DecodeDosAttrib(std::string_view blob, DosAttrib& value);

}  // namespace ferro
