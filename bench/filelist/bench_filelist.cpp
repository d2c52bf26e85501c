// Fills the file list with N rows the way a search does (through the grid's
// model, the event loop turning now and then) and measures the time and the
// memory the rows take; "floor" fills a plain vector of the same facts (the
// name as a string, the folder as a pointer to the walk's folder text, the
// size and two file times) as the least any list could do. Each mode runs in
// a process of its own so that neither's memory counts for the other; run.sh
// alternates them. Then, in the list mode, the list is sorted by name and by
// size, and every row is ticked, unticked and turned over through the grid's
// model (what the buttons do). "names" prints the rows' names, one a line,
// for the peer (sort(1) sorting the same names) that run.sh times beside
// the list's sort.
//
//   bench_filelist list|floor|names ROWS
#include <malloc.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/filelist_model.h"
#include "fileops/filelist.h"

namespace {

std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// What a search hands over: an entry and the folder it was found in, 250
// files a folder, a tenth of the names Chinese (GBK).
struct Found {
    ferro::FindEntry entry;
    const std::string* folder;
};

std::vector<Found> MakeEntries(int rows, std::vector<std::string>& folders) {
    std::mt19937 rng(42);
    for (int i = 0; i < (rows + 249) / 250; ++i)
        folders.push_back("/home/user/data/project" + std::to_string(i % 2000) + "/part" +
                          std::to_string(i));
    std::vector<Found> found(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        ferro::FindEntry& e = found[i].entry;
        e.attributes = 0x20;
        e.name = (i % 10 == 0 ? std::string("\xb1\xa8\xb8\xe6_") : std::string("report_")) +
                 std::to_string(rng() % 1000000) + (i % 3 ? "_file.txt" : "_data.dat");
        e.size = rng() % 10000000;
        e.creationTime = 1300000000LL * 1000000000LL + (rng() % 100000000) * 1000000000LL;
        e.lastWriteTime = e.creationTime + (rng() % 1000000) * 1000000000LL;
        found[i].folder = &folders[i / 250];
    }
    return found;
}

struct PlainRow {
    std::string name;
    const std::string* folder;
    int64_t size;
    int64_t created;
    int64_t modified;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool floor = argc > 1 && std::strcmp(argv[1], "floor") == 0;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;

    std::vector<std::string> folders;
    const std::vector<Found> found = MakeEntries(rows, folders);
    if (argc > 1 && std::strcmp(argv[1], "names") == 0) {
        for (const Found& f : found) std::printf("%s\n", f.entry.name.c_str());
        return 0;
    }

    if (floor) {
        const std::size_t before = HeapInUse();
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<PlainRow> plain;
        for (const Found& f : found)
            plain.push_back(PlainRow{f.entry.name, f.folder, f.entry.size, f.entry.creationTime,
                                     f.entry.lastWriteTime});
        const double fill = Seconds(t0);
        std::printf("fill %.4f %.1f\n", fill, double(HeapInUse() - before) / rows);
        return plain.size() == found.size() ? 0 : 1;
    }

    const std::size_t before = HeapInUse();
    const auto t0 = std::chrono::steady_clock::now();
    ferro::FileList list;
    ferro::FileListModel model(&list);
    int n = 0;
    for (const Found& f : found) {
        list.AddFile(f.entry, *f.folder);
        if ((++n & 4095) == 0) QCoreApplication::processEvents();
    }
    model.FlushPendingRows();
    const double fill = Seconds(t0);
    std::printf("fill %.4f %.1f\n", fill, double(HeapInUse() - before) / rows);

    auto t1 = std::chrono::steady_clock::now();
    list.Sort(ferro::kColName, true);
    std::printf("sort_name %.3f\n", Seconds(t1));
    t1 = std::chrono::steady_clock::now();
    list.Sort(ferro::kColSize, true);
    std::printf("sort_size %.3f\n", Seconds(t1));
    int notices = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++notices; });
    const struct {
        const char* name;
        void (*tick)(ferro::FileList&);
    } ticks[] = {{"select_all", [](ferro::FileList& l) { l.SetAllChecked(true); }},
                 {"select_none", [](ferro::FileList& l) { l.SetAllChecked(false); }},
                 {"invert", [](ferro::FileList& l) { l.InvertChecked(); }}};
    for (const auto& tick : ticks) {
        t1 = std::chrono::steady_clock::now();
        tick.tick(list);
        QCoreApplication::processEvents();
        std::printf("%s %.4f\n", tick.name, Seconds(t1));
    }
    std::printf("tick_notices %d\n", notices);
    return model.rowCount() == rows ? 0 : 1;
}
