// What the journal tests share: a state folder of their own, a host that
// records its run in the journal as the window's does, file lists built
// from paths, and the raw properties undo must give back.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "fileops/filelist.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "journal/undo.h"
#include "platform/dosattrib.h"
#include "platform/fs.h"

namespace ferro::testing {

// A run recorded in the journal; the run ends when the host goes.
class JournalHost : public RunHost {
public:
    JournalHost(Journal& journal, const char* operation) : recorder_(journal.StartRun(operation)) {}
    ChangeRecorder* recorder() override { return recorder_.get(); }
    RunRecorder& run() { return *recorder_; }

private:
    std::unique_ptr<RunRecorder> recorder_;
};

// Stops the run (or the undo) once `after` files are done.
class StoppingHost : public RunHost {
public:
    explicit StoppingHost(int after) : after_(after) {}
    void FileFinished(const FileResult&) override { ++finished_; }
    bool StopRequested() override { return finished_ >= after_; }

private:
    int after_;
    int finished_ = 0;
};

// A list of the files at these paths (GBK), every row ticked.
inline FileList TickedList(const std::vector<std::string>& paths) {
    FileList list;
    for (const std::string& p : paths) {
        FindEntry e;
        EXPECT_TRUE(StatPath(p, e)) << p;
        list.SetChecked(list.AddFile(e, ExtractFileDir(p)), true);
    }
    return list;
}

// Everything undo must give back exactly, read straight from the disk.
struct RawState {
    mode_t mode = 0;
    long long mtimeNs = 0, atimeNs = 0;
    ino_t inode = 0;
    std::optional<std::string> dos;
    bool operator==(const RawState&) const = default;
    static RawState Of(const std::string& path) {
        const struct stat st = Stat(path);
        return {st.st_mode, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                st.st_atim.tv_sec * 1000000000LL + st.st_atim.tv_nsec, st.st_ino,
                Xattr(path, kDosAttribName)};
    }
};

inline void PrintTo(const RawState& s, std::ostream* os) {
    *os << "mode " << std::oct << s.mode << std::dec << " mtime " << s.mtimeNs << " atime "
        << s.atimeNs << " inode " << s.inode << " dos " << (s.dos ? s.dos->size() : 0) << " bytes";
}

// What the journal's index notes of its newest run (as the list of runs
// shows it) is what a reading of the run's whole log finds.
inline void ExpectIndexAsLog(const Journal& journal) {
    const std::vector<JournalRun> runs = journal.Runs();
    ASSERT_FALSE(runs.empty());
    const JournalRun& listed = runs.front();
    const std::optional<JournalRun> read = journal.Inspect(listed.id);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(listed.operation, read->operation);
    EXPECT_EQ(listed.startedNs, read->startedNs);
    EXPECT_EQ(listed.origin, read->origin);
    EXPECT_EQ(listed.place, read->place);
    EXPECT_EQ(listed.files, read->files);
    EXPECT_EQ(listed.changes, read->changes);
    EXPECT_EQ(listed.interrupted, read->interrupted);
    EXPECT_EQ(listed.ended, read->ended);
    EXPECT_EQ(listed.undone, read->undone);
    EXPECT_EQ(listed.live, read->live);
    EXPECT_EQ(listed.keptBytes, read->keptBytes);
    EXPECT_EQ(listed.damaged, read->damaged);
}

// Undoes the newest run that can be undone.
inline UndoResult UndoNewest(Journal& journal, RunHost* host = nullptr) {
    const std::optional<JournalRun> run = journal.NextToUndo();
    if (!run) {
        ADD_FAILURE() << "nothing to undo";
        return {};
    }
    return UndoRun(journal, run->id, host);
}

}  // namespace ferro::testing
