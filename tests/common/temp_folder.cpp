#include "common/temp_folder.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/codec.h"

namespace ferro::testing {
namespace fs = std::filesystem;

namespace {
std::string Disk(std::string_view gbk) {
    std::string out;
    if (!GbkToDisk(gbk, out)) throw std::runtime_error("not GB18030: " + std::string(gbk));
    return out;
}

void MakeWritable(const fs::path& p) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(p, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
    }
}
}  // namespace

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ferro-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = DiskToGbk(buf.data());
}

TempFolder::~TempFolder() {
    std::string disk = Disk(path_);
    chmod(disk.c_str(), 0700);
    MakeWritable(disk);
    std::error_code ec;
    fs::remove_all(disk, ec);
}

std::string TempFolder::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

std::string TempFolder::Write(std::string_view relative, std::string_view bytes) const {
    std::string p = *this / relative;
    fs::path disk(Disk(p));
    fs::create_directories(disk.parent_path());
    std::ofstream out(disk, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + disk.string());
    return p;
}

std::string TempFolder::MakeFolder(std::string_view relative) const {
    std::string p = *this / relative;
    fs::create_directories(Disk(p));
    return p;
}

std::string TempFolder::Read(std::string_view relative) const {
    std::ifstream in(Disk(*this / relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempFolder::Exists(std::string_view relative) const {
    std::error_code ec;
    return fs::symlink_status(Disk(*this / relative), ec).type() != fs::file_type::not_found;
}

void TempFolder::SetMode(std::string_view relative, unsigned mode) const {
    chmod(Disk(*this / relative).c_str(), mode);
}

void TempFolder::SetModified(std::string_view relative, long long unixSeconds) const {
    timeval tv[2] = {{static_cast<time_t>(unixSeconds), 0}, {static_cast<time_t>(unixSeconds), 0}};
    utimes(Disk(*this / relative).c_str(), tv);
}

namespace {

// The source files are UTF-8: UTF-8 to UTF-16 by hand.
std::u16string Units(std::string_view utf8) {
    std::u16string u;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        int len;
        if (c < 0x80) cp = c, len = 1;
        else if (c < 0xE0) cp = c & 0x1F, len = 2;
        else if (c < 0xF0) cp = c & 0x0F, len = 3;
        else cp = c & 0x07, len = 4;
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<std::size_t>(len);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            u.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            u.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            u.push_back(static_cast<char16_t>(cp));
        }
    }
    return u;
}

}  // namespace

std::string Gbk(std::string_view utf8) {
    return Utf16ToGbk(Units(utf8));
}

std::string Utf16LeFile(std::string_view utf8) {
    std::string s = "\xFF\xFE";
    for (char16_t c : Units(utf8)) {
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}

}  // namespace ferro::testing
