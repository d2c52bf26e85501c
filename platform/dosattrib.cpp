#include "platform/dosattrib.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ferro {
namespace {

constexpr uint32_t kValidAttrib = 0x1;
constexpr uint32_t kValidCreateTime = 0x10;

void PutU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutU64(std::string& s, uint64_t v) {
    for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Align(std::string& s, std::size_t n) {
    while (s.size() % n != 0) s.push_back('\0');
}
uint64_t GetLE(std::string_view s, std::size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

}  // namespace

std::string EncodeDosAttrib(const DosAttrib& value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", value.attributes);
    std::string s(hex);
    s.push_back('\0');
    Align(s, 2);
    PutU16(s, 5);  // record version
    Align(s, 4);
    PutU16(s, 5);  // union level, the same version
    Align(s, 4);
    uint32_t valid = kValidAttrib | (value.createTime ? kValidCreateTime : 0);
    PutU32(s, valid);
    PutU32(s, value.attributes);
    PutU64(s, value.createTime ? static_cast<uint64_t>(ToWindowsFileTime(*value.createTime)) : 0);
    return s;
}

bool DecodeDosAttrib(std::string_view blob, DosAttrib& value) {
    value = DosAttrib{};
    if (blob.size() < 3 || blob[0] != '0' || (blob[1] != 'x' && blob[1] != 'X')) return false;
    std::size_t nul = blob.find('\0');
    std::string hex(blob.substr(0, nul == std::string_view::npos ? blob.size() : nul));
    char* end = nullptr;
    unsigned long v = std::strtoul(hex.c_str(), &end, 16);
    if (end == hex.c_str() + 2 || *end != '\0') return false;
    value.attributes = static_cast<uint32_t>(v);
    if (nul == std::string_view::npos) return true;  // the plain form

    // The record after the string: version, union level, then the info.
    std::size_t at = nul + 1;
    at = (at + 1) & ~std::size_t(1);
    if (at + 2 > blob.size()) return true;
    uint16_t version = static_cast<uint16_t>(GetLE(blob, at, 2));
    at += 2;
    at = (at + 3) & ~std::size_t(3);
    if (at + 2 > blob.size()) return true;
    at += 2;  // union level repeats the version
    at = (at + 3) & ~std::size_t(3);
    auto need = [&](std::size_t n) { return at + n <= blob.size(); };
    switch (version) {
        case 3:
        case 4:
        case 5: {
            if (!need(8)) return true;
            uint32_t valid = static_cast<uint32_t>(GetLE(blob, at, 4));
            uint32_t attrib = static_cast<uint32_t>(GetLE(blob, at + 4, 4));
            at += 8;
            if (valid & kValidAttrib) value.attributes = attrib;
            if (version == 3) at += 4 + 8 + 8;       // ea_size, size, alloc_size
            else if (version == 4) at += 8;          // itime
            if ((valid & kValidCreateTime) && need(8)) {
                int64_t ft = static_cast<int64_t>(GetLE(blob, at, 8));
                if (ft != 0) value.createTime = FromWindowsFileTime(ft);
            }
            return true;
        }
        case 1: {
            // attrib, ea_size, size, alloc_size, create_time
            if (!need(4 + 4 + 8 + 8 + 8)) return true;
            value.attributes = static_cast<uint32_t>(GetLE(blob, at, 4));
            int64_t ft = static_cast<int64_t>(GetLE(blob, at + 24, 8));
            if (ft != 0) value.createTime = FromWindowsFileTime(ft);
            return true;
        }
        default:
            return true;  // attributes from the hex string
    }
}

}  // namespace ferro
