// The test data of the command-line benchmarks (run.sh), and the one
// comparison a shell cannot make cheaply: whether two trees hold the same
// files with the same bytes.
//
//   bench_cli logs DIR FILES FOLDERS   small UTF-8 logs (LF), FILES of them in
//                                      FOLDERS sub-folders; about a tenth of
//                                      the lines hold "ERROR"
//   bench_cli names DIR FILES          FILES small files file_00001.dat ...,
//                                      every tenth named in Chinese
//   bench_cli lines FILE LINES         LINES 40-byte subjects, each with a "_"
//   bench_cli big FILE MB              a large GBK log (CR LF), a tenth of its
//                                      lines holding "ERROR"
//   bench_cli same A B                 exit 0 when the trees under A and B
//                                      hold the same names with the same bytes
//   bench_cli renames DIR              the floor of a rename run: the entries
//                                      of DIR in name order, each renamed
//                                      img_00001.dat ... by its full path
//                                      (never replacing), and nothing else
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/common/bench_texts.h"
#include "platform/codec.h"

namespace {

namespace fs = std::filesystem;

bool WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return close(fd) == 0 && ok;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Words of an office log, in UTF-8.
const std::vector<std::string>& Words() {
    static const std::vector<std::string> words = {
        "订单", "客户", "张三", "李四", "北京", "上海", "金额", "数量", "已付款", "待发货",
        "备注", "合同", "ok",   "id",   "ref",  "note", "user", "session", "request", "done"};
    return words;
}

int Logs(const std::string& root, int files, int folders) {
    std::mt19937 rng(20261201);
    const std::vector<std::string>& words = Words();
    const char* levels[] = {"INFO", "INFO", "INFO", "WARN", "DEBUG", "INFO", "INFO", "DEBUG", "INFO"};
    for (int f = 0; f < files; ++f) {
        const fs::path folder = fs::path(root) / ("dir_" + std::to_string(f % folders));
        if (f < folders) fs::create_directories(folder);
        std::string text;
        const int lines = 30 + static_cast<int>(rng() % 40);
        for (int i = 0; i < lines; ++i) {
            char stamp[64];
            std::snprintf(stamp, sizeof stamp, "2026-12-%02d 10:%02d:%02d.%03d ", 1 + f % 28,
                          i % 60, static_cast<int>(rng() % 60), static_cast<int>(rng() % 1000));
            text += stamp;
            text += rng() % 10 == 0 ? "ERROR" : levels[rng() % 9];
            text += " [worker-" + std::to_string(rng() % 8) + "] ";
            const int count = 4 + static_cast<int>(rng() % 6);
            for (int w = 0; w < count; ++w) {
                text += words[rng() % words.size()];
                text += ' ';
            }
            text += "#" + std::to_string(rng() % 100000) + "\n";
        }
        char name[64];
        std::snprintf(name, sizeof name, "app_%05d.log", f);
        if (!WriteFile((folder / name).string(), text)) {
            std::perror("write");
            return 1;
        }
    }
    return 0;
}

int Names(const std::string& root, int files) {
    fs::create_directories(root);
    char name[64];
    for (int i = 1; i <= files; ++i) {
        std::snprintf(name, sizeof name, i % 10 == 0 ? "报告_%05d.dat" : "file_%05d.dat", i);
        if (!WriteFile(root + "/" + name, std::string(name) + "\n")) {
            std::perror("write");
            return 1;
        }
    }
    return 0;
}

int Lines(const std::string& path, long long lines) {
    // As bench/template, so that the figures compare.
    return WriteFile(path, bench::TemplateSubjects(lines)) ? 0 : 1;
}

int Big(const std::string& path, long megabytes) {
    std::vector<std::string> gbk;
    for (const std::string& w : Words()) {
        std::string g;
        ferro::Utf8ToGb18030(w, g);
        gbk.push_back(g);
    }
    return WriteFile(path, bench::GbkLog(gbk, static_cast<std::size_t>(megabytes) << 20, "ERROR")) ? 0 : 1;
}

std::map<std::string, fs::path> Tree(const fs::path& root) {
    std::map<std::string, fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = e.path();
    return files;
}

int Same(const std::string& a, const std::string& b) {
    const auto ta = Tree(a), tb = Tree(b);
    if (ta.size() != tb.size()) {
        std::fprintf(stderr, "%zu files against %zu\n", ta.size(), tb.size());
        return 1;
    }
    for (auto ia = ta.begin(), ib = tb.begin(); ia != ta.end(); ++ia, ++ib) {
        if (ia->first != ib->first) {
            std::fprintf(stderr, "%s against %s\n", ia->first.c_str(), ib->first.c_str());
            return 1;
        }
        if (Slurp(ia->second) != Slurp(ib->second)) {
            std::fprintf(stderr, "%s differs\n", ia->first.c_str());
            return 1;
        }
    }
    return 0;
}

int Renames(const std::string& root) {
    DIR* dir = opendir(root.c_str());
    if (!dir) {
        std::perror("opendir");
        return 1;
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir))
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    char name[64];
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::snprintf(name, sizeof name, "img_%05zu.dat", i + 1);
        const std::string from = root + "/" + names[i], to = root + "/" + name;
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            std::perror(from.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "logs" && argc == 5) return Logs(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (what == "names" && argc == 4) return Names(argv[2], std::atoi(argv[3]));
    if (what == "lines" && argc == 4) return Lines(argv[2], std::atoll(argv[3]));
    if (what == "big" && argc == 4) return Big(argv[2], std::atol(argv[3]));
    if (what == "same" && argc == 4) return Same(argv[2], argv[3]);
    if (what == "renames" && argc == 3) return Renames(argv[2]);
    std::fprintf(stderr,
                 "usage: bench_cli logs DIR FILES FOLDERS | names DIR FILES | lines FILE LINES |\n"
                 "       big FILE MB | same A B | renames DIR\n");
    return 2;
}
