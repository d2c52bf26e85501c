// Fills the file list (through the grid's model, as a search does) with
// 500 000 rows, then sorts it by name and by size; prints rows per second
// and the peak memory of the process.
#include <sys/resource.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "app/filelist_model.h"
#include "fileops/filelist.h"

namespace {

long PeakKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 500000;

    ferro::FileList list;
    ferro::FileListModel model(&list);
    std::mt19937 rng(42);
    std::vector<std::string> folders;
    for (int i = 0; i < 2000; ++i) folders.push_back("/home/user/data/project" + std::to_string(i));

    const long before = PeakKb();
    auto t0 = std::chrono::steady_clock::now();
    ferro::FindEntry e;
    e.attributes = 0x20;
    for (int i = 0; i < rows; ++i) {
        e.name = "report_" + std::to_string(rng() % 1000000) + "_file.txt";
        e.size = rng() % 10000000;
        e.creationTime = e.lastWriteTime = 1300000000LL * 1000000000LL + (rng() % 100000000) * 1000000000LL;
        list.AddFile(e, folders[i / 250 % folders.size()]);
        if ((i & 4095) == 0) QCoreApplication::processEvents();
    }
    model.FlushPendingRows();
    const double fill = Seconds(t0);
    const long afterFill = PeakKb();

    t0 = std::chrono::steady_clock::now();
    list.Sort(ferro::kColName, true);
    const double sortName = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    list.Sort(ferro::kColSize, true);
    const double sortSize = Seconds(t0);

    std::printf("rows                 %d\n", rows);
    std::printf("fill                 %.3f s  (%.0f rows/s)\n", fill, rows / fill);
    std::printf("sort by name         %.3f s  (%.0f rows/s)\n", sortName, rows / sortName);
    std::printf("sort by size         %.3f s  (%.0f rows/s)\n", sortSize, rows / sortSize);
    std::printf("memory after fill    %.1f MB (%.0f bytes/row)\n", (afterFill - before) / 1024.0,
                (afterFill - before) * 1024.0 / rows);
    std::printf("peak memory          %.1f MB\n", PeakKb() / 1024.0);
    return 0;
}
