// The folder search over a synthetic tree.
//
//   bench_search make TREE [files folders]   builds the tree (default 200000 files in 2000
//                                            folders; a tenth of the names Chinese)
//   bench_search run TREE [runs]             searches it with "*.txt;*.dat", sub-folders on,
//                                            through RunSearch as the search button does
//   bench_search floor TREE [runs]           only the system calls such a search cannot do
//                                            without: the folders read, and for every file
//                                            listed its stat and its DOS attribute record
//
// run and floor print one line per run ("run <wall seconds> <cpu seconds>"); run then prints
// the rows listed and the peak memory the first run added per listed row.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/filelist.h"
#include "fileops/search.h"
#include "platform/pump.h"

namespace {

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long PeakKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// The window's answers with the controls at their defaults.
struct DefaultHost : ferro::SearchHost {
    int counter = 0;
    ferro::FileList* list = nullptr;
    ferro::SearchBounds ReadBounds() override {
        ferro::SearchBounds b;
        b.minSize = ferro::SizeBoundValue("0");
        b.maxSize = ferro::SizeBoundValue("50000");
        b.minDay = b.maxDay = ferro::DaysFromCivil(2024, 1, 1);
        return b;
    }
    bool SizeFilterOn() override { return false; }
    bool DateFilterOn() override { return false; }
    bool IncludeSubfolders() override { return true; }
    bool StopRequested() override { return false; }
    void FolderDone() override { counter = ferro::SearchRowCount(*list); }
};

void Idle() {}

int Make(const std::string& tree, int files, int folders) {
    // Top folders each holding the same number of sub-folders; files spread
    // evenly over all of them; four extensions, two of them searched.
    const int tops = 40;
    const int perTop = folders / tops - 1;
    static const char* const kExt[] = {".txt", ".dat", ".log", ".csv"};
    if (mkdir(tree.c_str(), 0755) != 0) {
        std::perror(tree.c_str());
        return 1;
    }
    std::vector<std::string> dirs;
    for (int t = 0; t < tops; ++t) {
        std::string top = tree + "/项目_" + std::to_string(t);
        mkdir(top.c_str(), 0755);
        dirs.push_back(top);
        for (int s = 0; s < perTop; ++s) {
            std::string sub = top + "/folder_" + std::to_string(s);
            mkdir(sub.c_str(), 0755);
            dirs.push_back(sub);
        }
    }
    char name[64];
    for (int i = 0; i < files; ++i) {
        const std::string& dir = dirs[static_cast<std::size_t>(i) % dirs.size()];
        if (i % 10 == 0)
            std::snprintf(name, sizeof name, "/报告_%06d%s", i, kExt[i % 4]);
        else
            std::snprintf(name, sizeof name, "/file_%06d%s", i, kExt[i % 4]);
        const std::string path = dir + name;
        int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || ftruncate(fd, i % 100000) != 0) {
            std::perror(path.c_str());
            return 1;
        }
        close(fd);
    }
    std::printf("made %d files in %zu folders\n", files, dirs.size());
    return 0;
}

int Run(const std::string& tree, int runs) {
    ferro::SetMessagePumpHook(&Idle, 30);  // the throttled pump, as in the window
    const long before = PeakKb();
    long listed = 0, peakDelta = 0;
    std::size_t memoryUse = 0;
    for (int r = 0; r < runs; ++r) {
        ferro::FileList list;
        DefaultHost host;
        host.list = &list;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        ferro::RunSearch(list, host, "*.txt;*.dat", tree);
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("run %.4f %.4f\n", s, CpuSeconds() - c0);
        if (r == 0) {
            listed = ferro::SearchRowCount(list);
            peakDelta = PeakKb() - before;
            memoryUse = list.MemoryUse();
        }
    }
    std::printf("listed %ld\n", listed);
    std::printf("peak_bytes_per_row %.1f\n", listed ? peakDelta * 1024.0 / listed : 0.0);
    std::printf("list_bytes_per_row %.1f\n", listed ? double(memoryUse) / listed : 0.0);
    return 0;
}

// The floor: a depth-first walk in directory order with nothing kept, a
// suffix compare for the masks, and for each file listed the two calls the
// search makes for it (statx, and the read of user.DOSATTRIB by name from
// the folder's descriptor, getxattrat where the kernel has it).
long g_floorFiles = 0;

void FloorWalk(int fd, std::vector<char>& buffer) {
    std::vector<std::string> folders;
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += d->d_reclen;
            const std::string_view name(d->d_name);
            if (name == "." || name == "..") continue;
            if (d->d_type == DT_DIR) {
                folders.emplace_back(name);
                continue;
            }
            if (!name.ends_with(".txt") && !name.ends_with(".dat")) continue;
            struct statx sx;
            statx(fd, d->d_name, AT_SYMLINK_NOFOLLOW,
                  STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME,
                  &sx);
            char value[256];
            struct {
                uint64_t value;
                uint32_t size;
                uint32_t flags;
            } args{reinterpret_cast<uint64_t>(value), sizeof value, 0};
            if (syscall(464, fd, d->d_name, AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB", &args,
                        sizeof args) < 0 &&
                errno == ENOSYS) {
                const std::string path =
                    "/proc/self/fd/" + std::to_string(fd) + "/" + std::string(name);
                lgetxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
            }
            ++g_floorFiles;
        }
    }
    for (const std::string& f : folders) {
        const int child = openat(fd, f.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) continue;
        FloorWalk(child, buffer);
        close(child);
    }
}

int Floor(const std::string& tree, int runs) {
    std::vector<char> buffer(64 * 1024);
    for (int r = 0; r < runs; ++r) {
        g_floorFiles = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        const int fd = open(tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            std::perror(tree.c_str());
            return 1;
        }
        FloorWalk(fd, buffer);
        close(fd);
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("run %.4f %.4f\n", s, CpuSeconds() - c0);
    }
    std::printf("listed %ld\n", g_floorFiles);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "make")
        return Make(argv[2], argc > 3 ? std::atoi(argv[3]) : 200000,
                    argc > 4 ? std::atoi(argv[4]) : 2000);
    if (argc >= 3 && std::string(argv[1]) == "run")
        return Run(argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
    if (argc >= 3 && std::string(argv[1]) == "floor")
        return Floor(argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
    std::fprintf(stderr, "usage: %s make TREE [files folders] | run|floor TREE [runs]\n",
                 argv[0]);
    return 2;
}
