// Path text (GBK, '/' as separator) and the current and program folders.
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/file_io.h"
#include "platform/fs.h"

namespace ferro {

using io::ToDisk;

std::string GetCurrentDir() {
    std::vector<char> buf(PATH_MAX);
    if (!getcwd(buf.data(), buf.size())) return std::string();
    return DiskToGbk(buf.data());
}

bool SetCurrentDir(std::string_view path) {
    std::string disk;
    return ToDisk(path, disk) && chdir(disk.c_str()) == 0;
}

std::string ProgramDir() {
    std::vector<char> buf(PATH_MAX);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return GetCurrentDir() + "/";
    std::string exe(buf.data(), static_cast<std::size_t>(n));
    return DiskToGbk(exe.substr(0, exe.rfind('/') + 1));
}

std::string ExtractFileName(std::string_view path) {
    std::size_t p = path.rfind('/');
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::size_t p = path.rfind('/');
    if (p == std::string_view::npos) return std::string();
    if (p == 0) return "/";
    return std::string(path.substr(0, p));
}

std::string ExtractFileExt(std::string_view path) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string();
    return std::string(path.substr(dot));
}

}  // namespace ferro
