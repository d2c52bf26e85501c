// What every start pays for recovery when there is nothing to recover, with
// a full journal: ten runs of N renamed files (default 10 000) recorded the
// way a run records them, then the start's work timed (RecoverAtStart, and
// the undo button's NextToUndo and KeptBytes), with the journal's index as
// it is and with the index removed (every log read, as before the index
// existed), against an empty journal. Prints the medians of R repetitions.
//
//   bench_recovery WORK-FOLDER [files] [repetitions]
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
#include "journal/recovery.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

class Host : public ferro::RunHost {
public:
    explicit Host(ferro::Journal& journal) : recorder_(journal.StartRun("更改文件名称")) {}
    ferro::ChangeRecorder* recorder() override { return recorder_.get(); }

private:
    std::unique_ptr<ferro::RunRecorder> recorder_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The start's work once, in milliseconds.
double StartOnce(ferro::Journal& journal) {
    const auto start = std::chrono::steady_clock::now();
    const ferro::StartRecovery found = ferro::RecoverAtStart(&journal);
    const std::optional<ferro::JournalRun> next = journal.NextToUndo();
    const uint64_t kept = journal.KeptBytes();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!found.runs.interrupted.empty() || (next && next->damaged) || kept == ~uint64_t{0}) return -1;
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_recovery WORK-FOLDER [files] [repetitions]\n");
        return 2;
    }
    const std::string root = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 21;
    setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);  // the rescue folder too

    ferro::Journal empty(ferro::DiskToGbk(root + "/empty/journal"));
    ferro::Journal journal(ferro::DiskToGbk(root + "/state/journal"));
    const std::string folder = root + "/files";
    std::vector<std::string> names = bench::MakeFiles(folder, files);
    const std::string gbkFolder = ferro::DiskToGbk(folder);
    for (int run = 0; run < ferro::Journal::kRunsKept; ++run) {
        ferro::FileList list;
        ferro::FindEntry e;
        for (const std::string& n : names) {
            if (!ferro::StatPath(gbkFolder + "/" + ferro::DiskToGbk(n), e)) return 1;
            list.SetChecked(list.AddFile(e, gbkFolder), true);
        }
        Host host(journal);
        const std::string pattern = "r" + std::to_string(run) + "_${sn(1,5)}";
        if (ferro::RenameFiles(list, pattern, "", &host).done != files) return 1;
        names.clear();
        for (int r = 1; r <= list.LastRow(); ++r) {
            std::string disk;
            ferro::GbkToDisk(list.Name(r), disk);
            names.push_back(disk);
        }
    }
    if (journal.Runs().size() != static_cast<std::size_t>(ferro::Journal::kRunsKept)) return 1;

    std::vector<double> none, indexed, unindexed;
    const std::string index = root + "/state/journal/index";
    std::string saved;
    {
        FILE* f = std::fopen(index.c_str(), "rb");
        if (!f) return 1;
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) saved.append(buf, n);
        std::fclose(f);
    }
    for (int i = 0; i < repetitions; ++i) {
        none.push_back(StartOnce(empty));
        indexed.push_back(StartOnce(journal));
        unlink(index.c_str());
        unindexed.push_back(StartOnce(journal));
        FILE* f = std::fopen(index.c_str(), "wb");
        std::fwrite(saved.data(), 1, saved.size(), f);
        std::fclose(f);
    }
    if (*std::min_element(indexed.begin(), indexed.end()) < 0) return 1;
    std::uintmax_t logs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root + "/state/journal"))
        if (entry.path().filename() == "log") logs += entry.file_size();
    std::printf("journal: %d runs of %d files, logs %.1f MB in all\n", ferro::Journal::kRunsKept, files,
                logs / 1e6);
    std::printf("start with nothing to recover (median of %d):\n", repetitions);
    std::printf("  empty journal          %8.2f ms\n", Median(none));
    std::printf("  full journal, index    %8.2f ms\n", Median(indexed));
    std::printf("  full journal, no index %8.2f ms (every log read)\n", Median(unindexed));
    return 0;
}
