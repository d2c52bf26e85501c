// What the benchmarks that rename many files share: a clock and a folder of
// small files to work on.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Names on disk (UTF-8): file_00001.dat ..., every tenth one Chinese.
inline std::vector<std::string> MakeFiles(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> names;
    char buf[64];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(buf, sizeof buf, i % 10 == 0 ? "报告_%05d.dat" : "file_%05d.dat", i);
        names.emplace_back(buf);
        const int fd = open((folder + "/" + buf).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || write(fd, buf, 8) != 8 || close(fd) != 0) {
            std::perror("create");
            std::exit(1);
        }
    }
    return names;
}

// How many names in the folder begin with prefix.
inline int CountPrefixed(const std::string& folder, const std::string& prefix) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().rfind(prefix, 0) == 0) ++n;
    return n;
}

}  // namespace bench
