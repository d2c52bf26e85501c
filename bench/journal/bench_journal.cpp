// The undo journal's cost on the run that records the most per second: a
// rename of N ticked files (default 10 000, a tenth with Chinese names) by
// "img_${sn(1,5)}" through RenameFiles, once without a recorder and once
// recorded in a journal on the same disk, alternating, several times. Prints
// the medians and their ratio; the target is 1.3 or less. The last recorded
// run is undone and every name checked, and the undo timed.
//
//   bench_journal WORK-FOLDER [files] [runs]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/bench_files.h"
#include "fileops/filelist.h"
#include "fileops/rename.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/undo.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

using bench::CountPrefixed;
using bench::MakeFiles;
using bench::Seconds;

// The window's host in what matters here: it hands out a recorder or not.
class Host : public ferro::RunHost {
public:
    explicit Host(ferro::Journal* journal) {
        if (journal) recorder_ = journal->StartRun("更改文件名称");
    }
    ferro::ChangeRecorder* recorder() override { return recorder_.get(); }
    void Close() {
        if (recorder_) recorder_->Close();
    }

private:
    std::unique_ptr<ferro::RunRecorder> recorder_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_journal WORK-FOLDER [files] [runs]\n");
        return 2;
    }
    const std::string root = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 7;
    ferro::Journal journal(ferro::DiskToGbk(root + "/state/journal"));

    std::vector<double> plain, recorded;
    double undoTime = 0;
    for (int run = 0; run < 2 * runs; ++run) {
        const bool record = run % 2 == 1;
        const std::string folder = root + "/files" + std::to_string(run);
        const std::vector<std::string> names = MakeFiles(folder, files);
        ferro::FileList list;
        const std::string gbkFolder = ferro::DiskToGbk(folder);
        ferro::FindEntry e;
        for (const std::string& n : names) {
            if (!ferro::StatPath(gbkFolder + "/" + ferro::DiskToGbk(n), e)) return 1;
            list.SetChecked(list.AddFile(e, gbkFolder), true);
        }
        sync();  // each run starts with a clean disk
        const auto t0 = std::chrono::steady_clock::now();
        Host host(record ? &journal : nullptr);
        const int renamed = ferro::RenameFiles(list, "img_${sn(1,5)}", "", &host).done;
        host.Close();  // the run's end is part of its cost
        const double took = Seconds(t0);
        if (renamed != files || CountPrefixed(folder, "img_") != files) {
            std::fprintf(stderr, "renamed %d of %d\n", renamed, files);
            return 1;
        }
        (record ? recorded : plain).push_back(took);

        if (record && run == 2 * runs - 1) {
            const auto u0 = std::chrono::steady_clock::now();
            const auto next = journal.NextToUndo();
            const ferro::UndoResult undo = ferro::UndoRun(journal, next->id, nullptr);
            undoTime = Seconds(u0);
            for (const std::string& n : names)
                if (!fs::exists(folder + "/" + n)) {
                    std::fprintf(stderr, "undo left %s renamed\n", n.c_str());
                    return 1;
                }
            if (undo.summary.done != files) return 1;
        }
        fs::remove_all(folder);
    }

    const double p = Median(plain), r = Median(recorded);
    std::printf("files                    %d (medians of %d runs each, alternating)\n", files, runs);
    std::printf("rename without journal   %.3f s  (%.0f files/s)\n", p, files / p);
    std::printf("rename with journal      %.3f s  (%.0f files/s)\n", r, files / r);
    std::printf("ratio journal/plain      %.2f  (target <= 1.3: %s)\n", r / p,
                r / p <= 1.3 ? "met" : "MISSED");
    std::printf("undo of the last run     %.3f s, every name back\n", undoTime);
    return 0;
}
