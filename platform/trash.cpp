#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/codec.h"
#include "platform/file_io.h"
#include "platform/native_attrib.h"
#include "platform/user_dirs.h"

namespace ferro {
namespace {

TrashResult Failed(FsProblem problem) {
    SetLastFsProblem(problem);
    TrashResult r;
    r.problem = problem;
    return r;
}

// Which mount a path is on (its mount id where the kernel gives one, which
// tells bind mounts apart; its device otherwise).
struct Mount {
    uint64_t id = 0;
    uint64_t device = 0;
    bool operator==(const Mount&) const = default;
};

bool MountOf(const std::string& disk, Mount& mount) {
    struct statx sx{};
    if (statx(AT_FDCWD, disk.c_str(), 0, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
        return false;
    mount.id = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    mount.device = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    return true;
}

// The mount of a path that may not exist yet: that of its nearest existing
// folder.
bool MountOfNearest(std::string disk, Mount& mount) {
    while (!MountOf(disk, mount)) {
        if (disk == "/" || disk == ".") return false;
        disk = io::FolderOf(disk);
    }
    return true;
}

// The top folder of the mount a folder (absolute, links resolved) is on.
std::string TopOf(const std::string& folder, const Mount& mount) {
    std::string top = folder;
    while (top != "/") {
        const std::string parent = io::FolderOf(top);
        Mount m;
        if (!MountOf(parent, m) || !(m == mount)) break;
        top = parent;
    }
    return top;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// A folder of the user's own, made if missing: a real folder (not a link)
// that the user owns.
bool OwnFolder(const std::string& disk) {
    if (mkdir(disk.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    return lstat(disk.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

// The trash for a file in folder (absolute, links resolved), and the folder
// its records' paths are relative to (empty: absolute paths).
bool TrashFor(const std::string& folder, std::string& trash, std::string& base) {
    Mount file;
    if (!MountOf(folder, file)) return false;
    std::string home;
    Mount homeMount;
    if (io::ToDisk(XdgDataHome() + "/Trash", home) && MountOfNearest(home, homeMount) &&
        homeMount == file) {
        trash = home;
        base.clear();
        return MakeFolderPath(DiskToGbk(home), 0700);
    }
    const std::string top = TopOf(folder, file);
    const std::string uid = std::to_string(geteuid());
    base = top;
    const std::string shared = Join(top, ".Trash");
    struct stat st{};
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        trash = shared + "/" + uid;
        if (OwnFolder(trash)) return true;
    }
    trash = Join(top, ".Trash-" + uid);
    return OwnFolder(trash);
}

// Path= of a record: URL-escaped bytes, '/' kept.
std::string EscapePath(std::string_view path) {
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string LocalTimeNow() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

// The n-th name tried for a file in the trash: "a.txt", "a (2).txt", ...,
// short enough that NAME.trashinfo is a legal name.
std::string TrashName(const std::string& name, int n) {
    constexpr std::size_t kMax = NAME_MAX - 10;  // ".trashinfo"
    const std::size_t dot = name.rfind('.');
    std::string ext = dot != std::string::npos && dot > 0 ? name.substr(dot) : std::string();
    std::string stem = name.substr(0, name.size() - ext.size());
    if (ext.size() > 32) {
        stem = name;
        ext.clear();
    }
    const std::string tag = n > 1 ? " (" + std::to_string(n) + ")" : std::string();
    const std::size_t room = kMax - tag.size() - ext.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.resize(cut);
    }
    return stem + tag + ext;
}

}  // namespace

TrashResult MoveToTrash(std::string_view path) {
    std::string disk;
    if (!io::ToDisk(path, disk)) return Failed(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return Failed(FsProblemFromErrno(errno));
    if (S_ISDIR(st.st_mode)) return Failed(FsProblem::NotAFile);
    if (S_ISREG(st.st_mode) && io::IsReadOnlyFile(st, disk)) return Failed(FsProblem::ReadOnly);

    // Where it is: its folder with links resolved, so the record names a
    // path that leads back.
    char real[PATH_MAX];
    if (!realpath(io::FolderOf(disk).c_str(), real)) return Failed(FsProblemFromErrno(errno));
    const std::string folder = real;
    const std::string name = io::NameOf(disk);
    const std::string original = Join(folder, name);

    TrashResult result;
    std::string trash, base;
    if (!TrashFor(folder, trash, base) || !OwnFolder(trash + "/files") || !OwnFolder(trash + "/info")) {
        result.outcome = TrashResult::Outcome::NoTrash;
        return result;
    }
    const std::string recorded =
        base.empty() ? original : original.substr(base == "/" ? 1 : base.size() + 1);
    const std::string info = "[Trash Info]\nPath=" + EscapePath(recorded) +
                             "\nDeletionDate=" + LocalTimeNow() + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string trashName = TrashName(name, n);
        const std::string infoPath = trash + "/info/" + trashName + ".trashinfo";
        const std::string filePath = trash + "/files/" + trashName;
        // The record is made first and claims the name.
        const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failed(FsProblemFromErrno(errno));
        }
        const bool written = io::WriteAll(fd, info.data(), info.size());
        const int writeError = errno;
        if (close(fd) != 0 || !written) {
            unlink(infoPath.c_str());
            return Failed(FsProblemFromErrno(written ? errno : writeError));
        }
        if (io::MoveNoReplace(disk, filePath)) {
            result.outcome = TrashResult::Outcome::Trashed;
            result.item = {DiskToGbk(original), DiskToGbk(filePath), DiskToGbk(infoPath)};
            return result;
        }
        const int error = errno;
        unlink(infoPath.c_str());
        if (error == EEXIST) continue;  // a file without a record holds the name
        if (error == EXDEV) {
            result.outcome = TrashResult::Outcome::NoTrash;
            return result;
        }
        return Failed(FsProblemFromErrno(error));
    }
    return Failed(FsProblem::Exists);
}

bool RestoreFromTrash(const TrashedFile& item) {
    if (!MoveFile(item.file, item.original)) return false;
    std::string info;
    if (io::ToDisk(item.info, info)) unlink(info.c_str());
    return true;
}

}  // namespace ferro
