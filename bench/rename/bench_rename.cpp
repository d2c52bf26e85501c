// Renames N ticked files (default 10 000, a tenth with Chinese names) by
// the pattern "img_${sn(1,5)}" through RenameFiles over the file list, with
// the grid's model and the change counter attached as the rename button has
// them; then the same number of files with a shell loop of `mv -n`, and with
// mmv when it is installed. Prints each time and the ratios.
// The references run once (a loop of mv processes takes tens of seconds).
//
//   bench_rename [files] [runs]
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/filelist_model.h"
#include "app/tform1.h"
#include "bench/common/bench_files.h"
#include "fileops/filelist.h"
#include "fileops/rename.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

using bench::CountPrefixed;
using bench::MakeFiles;
using bench::Seconds;

bool HaveCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

double TimeShell(const std::string& script) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(script.c_str()) != 0) std::fprintf(stderr, "shell loop failed\n");
    return Seconds(t0);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

    char tmpl[] = "/tmp/ferro-bench-rename-XXXXXX";
    const char* base = mkdtemp(tmpl);
    if (!base) return 1;
    const std::string root = base;

    double best = 1e9, bestMv = 1e9, bestMmv = 1e9;
    const bool mmv = HaveCommand("mmv");
    for (int run = 0; run < runs; ++run) {
        // The program's rename, over a list filled as the search fills it.
        const std::string ours = root + "/ours" + std::to_string(run);
        const std::vector<std::string> names = MakeFiles(ours, files);
        ferro::FileList list;
        ferro::FileListModel model(&list);
        QLabel stChangeCount(QStringLiteral("0"));
        const std::string folder = ferro::DiskToGbk(ours);
        ferro::FindEntry e;
        for (const std::string& n : names) {
            if (!ferro::StatPath(folder + "/" + ferro::DiskToGbk(n), e)) return 1;
            list.SetChecked(list.AddFile(e, folder), true);
        }
        model.FlushPendingRows();
        auto t0 = std::chrono::steady_clock::now();
        // The counter moves with every file, as the window's does.
        struct Counting : ferro::RunHost {
            QLabel* counter;
            void FileFinished(const ferro::FileResult& r) override {
                if (r.done()) ferro::TForm1::AddToCounter(counter, 1);
            }
        } host;
        host.counter = &stChangeCount;
        const int renamed =
            ferro::RenameFiles(list, "img_${sn(1,5)}", ferro::ProgramDir(), &host).done;
        const double took = Seconds(t0);
        if (renamed != files || CountPrefixed(ours, "img_") != files) {
            std::fprintf(stderr, "renamed %d of %d\n", renamed, files);
            return 1;
        }
        best = std::min(best, took);

        fs::remove_all(ours);
        if (run > 0) continue;  // the references are slow and steady: once is enough

        // A shell loop over the same number of files, never replacing.
        const std::string shell = root + "/mv";
        MakeFiles(shell, files);
        // bash's printf -v numbers without a subshell: one mv process per file.
        bestMv = std::min(bestMv, TimeShell("bash -c 'cd \"" + shell +
                                            "\" && n=1 && for f in *.dat; do printf -v t "
                                            "img_%05d.dat $n; mv -n -- \"$f\" \"$t\"; "
                                            "n=$((n+1)); done'"));
        if (CountPrefixed(shell, "img_") != files) std::fprintf(stderr, "mv loop incomplete\n");

        if (mmv) {
            const std::string m = root + "/mmv";
            MakeFiles(m, files);
            bestMmv = std::min(bestMmv, TimeShell("cd '" + m + "' && mmv '*.dat' 'img_#1.dat'"));
        }
        fs::remove_all(shell);
    }
    fs::remove_all(root);

    std::printf("files                 %d (rename: best of %d runs)\n", files, runs);
    std::printf("rename (button path)  %.3f s  (%.0f files/s)\n", best, files / best);
    std::printf("shell loop of mv -n   %.3f s  (ratio mv/rename %.1f)\n", bestMv, bestMv / best);
    if (mmv) std::printf("mmv                   %.3f s  (ratio mmv/rename %.1f)\n", bestMmv, bestMmv / best);
    else std::printf("mmv                   not installed\n");
    std::printf("target                about 1 s or less: %s\n", best <= 1.0 ? "met" : "MISSED");
    return 0;
}
