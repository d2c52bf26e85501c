// Helpers of the file-system tests: environment variables set for one test,
// a full disk, child processes (killed, or running as another user), what a
// folder holds, and the properties a file must keep (owner, mode, ACL,
// attributes).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace ferro::testing {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A temporary folder that an environment variable names while it lives
// (a window's or a child's XDG_STATE_HOME or XDG_CONFIG_HOME).
class FolderInEnv {
public:
    explicit FolderInEnv(const char* name) : env_(name, folder_.path()) {}
    const TempFolder& folder() const { return folder_; }
    const std::string& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    ScopedEnv env_;
};

// Makes every write past limit bytes fail, as a full disk would, for the
// lifetime of the object. Works for root as well.
class DiskFullAfter {
public:
    explicit DiskFullAfter(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~DiskFullAfter() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Contents of a given size that differ from another fill's at every 4 KiB
// block, so that a file holding parts of two of them shows.
inline std::string MarkedContent(char fill, std::size_t size) {
    std::string s(size, fill);
    for (std::size_t i = 0; i < size; i += 4096) s[i] = static_cast<char>('0' + (i / 4096) % 10);
    return s;
}

// Names in a folder (disk path), sorted, without "." and "..".
inline std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs body in a forked child and returns its exit status (body's result:
// 0 for true), or -1 when it did not exit normally.
inline int InChild(const std::function<bool()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The same in a child that has become the given user and group.
inline int AsUser(uid_t uid, gid_t gid, const std::function<bool()>& body) {
    return InChild([&] {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) return false;
        return body();
    });
}

inline std::optional<std::string> Xattr(const std::string& path, const char* name) {
    char buf[1024];
    const ssize_t n = getxattr(path.c_str(), name, buf, sizeof buf);
    if (n < 0) return std::nullopt;
    return std::string(buf, static_cast<std::size_t>(n));
}

inline struct stat Stat(const std::string& path) {
    struct stat st{};
    lstat(path.c_str(), &st);
    return st;
}

// A POSIX access ACL as the kernel stores it: owner rw, user 1234 r, group
// r, mask r, others nothing.
inline std::string AccessAcl() {
    struct Entry {
        uint16_t tag, perm;
        uint32_t id;
    };
    const uint32_t version = 2;
    const Entry entries[] = {{0x01, 6, ~0u}, {0x02, 4, 1234}, {0x04, 4, ~0u}, {0x10, 4, ~0u},
                             {0x20, 0, ~0u}};
    std::string blob(reinterpret_cast<const char*>(&version), sizeof version);
    blob.append(reinterpret_cast<const char*>(entries), sizeof entries);
    return blob;
}

// Whether files in a folder can have ACLs.
inline bool AclsWork(const std::string& folder) {
    const std::string probe = folder + "/.acl-probe";
    close(creat(probe.c_str(), 0600));
    const std::string blob = AccessAcl();
    const bool ok = setxattr(probe.c_str(), "system.posix_acl_access", blob.data(), blob.size(), 0) == 0;
    unlink(probe.c_str());
    return ok;
}

// Everything a rewrite or a copy of a file must carry.
struct Properties {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    std::optional<std::string> acl, user;

    static Properties Of(const std::string& path) {
        const struct stat st = Stat(path);
        return {st.st_uid, st.st_gid, st.st_mode & 07777, Xattr(path, "system.posix_acl_access"),
                Xattr(path, "user.note")};
    }
    bool operator==(const Properties&) const = default;
};

inline void PrintTo(const Properties& p, std::ostream* os) {
    *os << p.uid << ":" << p.gid << " " << std::oct << p.mode << std::dec
        << (p.acl ? " acl" : " no-acl") << " user.note=" << p.user.value_or("(none)");
}

// Gives a file an owner, an ACL (where asked), a user attribute, then the
// mode (which must come after the owner).
inline bool Dress(const std::string& path, uid_t uid, gid_t gid, mode_t mode, bool acl) {
    if (chown(path.c_str(), uid, gid) != 0) return false;
    const std::string blob = AccessAcl();
    if (acl && setxattr(path.c_str(), "system.posix_acl_access", blob.data(), blob.size(), 0) != 0)
        return false;
    return setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0 && chmod(path.c_str(), mode) == 0;
}

}  // namespace ferro::testing
