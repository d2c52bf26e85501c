#include "platform/user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/codec.h"

namespace ferro {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// A base folder from its variable, or its default under the home folder.
std::string XdgFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    std::string disk = value && value[0] == '/' ? std::string(value)
                                                : HomeFolder() + "/" + underHome;
    while (disk.size() > 1 && disk.back() == '/') disk.pop_back();
    return DiskToGbk(disk);
}

}  // namespace

std::string XdgStateHome() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }
std::string XdgDataHome() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
std::string ProgramStateFolder() { return XdgStateHome() + "/ferrovan-batch"; }

bool MakeFolderPath(std::string_view path, unsigned mode) {
    std::string disk;
    if (path.empty() || !GbkToDisk(path, disk)) return false;
    struct stat st{};
    for (std::size_t at = 1; at <= disk.size(); ++at) {
        if (at < disk.size() && disk[at] != '/') continue;
        const std::string part = disk.substr(0, at);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST &&
            errno != EACCES && errno != EROFS)
            return false;
    }
    return stat(disk.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace ferro
