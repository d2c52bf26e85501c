// The renames of a run, in the run's order, with the names other files of
// the same run give up: a rename whose new name is the old name of a file
// still to be renamed waits for that file to move (a shift completes from
// its far end), a ring of such renames goes through one temporary name, and
// a clash with a file outside the run is skipped or numbered.
#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "fileops/name_case.h"
#include "fileops/rename.h"
#include "fileops/rename_order.h"
#include "platform/fs.h"
#include "platform/pump.h"

namespace ferro {

namespace {

bool Taken(const std::string& path) { return NameTaken(path); }

// The first "name (n).ext" from 2 up that is neither on disk nor given by
// this run.
std::string FreeNumberedName(const FileList& files, int row, const std::string& name,
                             const std::unordered_set<std::string>& given) {
    for (int n = 2;; ++n) {
        std::string numbered = NumberedName(name, n);
        const std::string path = PathWithName(files, row, numbered);
        if (!given.count(path) && !Taken(path)) return numbered;
    }
}

// Where a file of a ring steps aside: a hidden name beside it that says
// what it is, and a short one where that would be too long.
std::string AsidePath(const std::string& source) {
    const std::size_t slash = source.rfind(kPathSep);
    const std::string folder = source.substr(0, slash + 1);
    const std::string name = source.substr(slash + 1);
    for (int n = 1;; ++n) {
        std::string path = folder;
        path += name.size() <= 180 ? "." + name + ".ferro-swap" : std::string(".ferro-swap");
        if (n > 1) path += std::to_string(n);
        if (!Taken(path)) return path;
    }
}

void SetRowName(FileList& files, int row, const std::string& newName) {
    const std::size_t lastSlash = newName.rfind(kPathSep);
    if (lastSlash == std::string::npos) {
        files.SetCell(kColName, row, newName);
        return;
    }
    std::string folder = files.Folder(row);
    folder.push_back(kPathSep);
    folder.append(newName, 0, lastSlash);
    files.SetCell(kColFolder, row, folder);
    files.SetCell(kColName, row, std::string_view(newName).substr(lastSlash + 1));
}

// One move told to the recorder before it is made.
Undone Move(ChangeRecorder* recorder, const std::string& from, const std::string& to) {
    if (recorder && !recorder->WillRename(from, to)) return Undone::NotRecorded;
    if (!MoveFile(from, to)) {
        const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
        if (recorder) recorder->NotChanged();
        return why;
    }
    if (recorder) recorder->Changed();
    return Undone::None;
}

class RenameRun {
public:
    RenameRun(FileList& files, const std::vector<BatchFile>& ticked, const RenameRunOptions& options,
              RunHost* host, const std::function<void(std::size_t)>& renamed)
        : files_(files),
          ticked_(ticked),
          options_(options),
          recorder_(host ? host->recorder() : nullptr),
          run_(host, static_cast<int>(ticked.size())),
          renamed_(renamed) {}

    RunTracker& tracker() { return run_; }
    ChangeRecorder* recorder() const { return recorder_; }

    // The i-th file with its name worked out (or why it has none).
    void Rename(std::size_t i, const RowName& n) {
        if (n.why != Undone::None) {
            Skip(i, n.why, n.detail);
            return;
        }
        const int row = ticked_[i].row;
        std::string name = n.name;
        const Undone check = CheckNewName(files_, row, name, given_, options_.makeFolders);
        if (check != Undone::None) {
            Skip(i, check);
            return;
        }
        std::string source = files_.Path(row), target = PathWithName(files_, row, name);
        const std::size_t owner = SourceIndex(target);
        if (given_.count(source) || name.find(kPathSep) != std::string::npos || owner != kNoFile) {
            // The row's path was given to another file (this one went away
            // before the run), the name makes sub-folders, or it is the old
            // name of a file of the run (a shift, a swap: most likely taken,
            // and a look is cheaper than a rename refused): asked first.
            // The old name of a file the run has yet to come to is taken
            // without a look (a file gone from there gives it up when its
            // turn comes).
            const bool held = owner != kNoFile && owner > i && !SameButCase(source, target);
            if (given_.count(source) || (!held && (!Taken(target) || IsSameEntry(source, target)))) {
                Finish(i, RenameRow(files_, row, name, given_, recorder_, options_.makeFolders));
                return;
            }
        } else {
            // The disk says whether the name is taken, by refusing the rename.
            bool taken = false;
            const Undone why = TryRename(row, name, std::move(source), std::move(target), taken);
            if (!taken) {
                Finish(i, why);
                return;
            }
            target = PathWithName(files_, row, name);
        }
        if (!order_) {
            std::vector<std::string> sources;
            sources.reserve(ticked_.size());
            for (const BatchFile& f : ticked_) sources.push_back(f.path);
            order_.emplace(std::move(sources), i);
        }
        const RenameOrder::Taken by = order_->Wait(i, target);
        // A rename that was tried waits planned, or is given up.
        if (recorder_ && tried_) {
            if (by == RenameOrder::Taken::Waits) recorder_->NotYet();
            else recorder_->NotChanged();
        }
        tried_ = false;
        switch (by) {
            case RenameOrder::Taken::Waits:
                waitingName_[i] = std::move(name);
                if (order_->ClosesRing(i)) StepAside(i);
                return;
            case RenameOrder::Taken::Duplicate:
                Skip(i, Undone::DuplicateName);
                return;
            case RenameOrder::Taken::ByOther:
                if (!options_.numberClashes) {
                    Skip(i, Undone::NameExists);
                    return;
                }
                name = FreeNumberedName(files_, row, name, given_);
                break;
        }
        Finish(i, RenameRow(files_, row, name, given_, recorder_, options_.makeFolders));
    }

    // Renames still waiting when the run stops are stopped with the rest.
    RunSummary Take() {
        if (order_)
            for (const std::size_t i : order_->Waiting()) run_.StopRemaining(ticked_[i].row, ticked_[i].path);
        RunSummary s = run_.Take();
        // Renames that waited were told as they went: the list keeps the files' order.
        std::stable_sort(s.undone.begin(), s.undone.end(),
                         [](const FileResult& a, const FileResult& b) { return a.row < b.row; });
        return s;
    }

private:
    static constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);

    // The index of the run's file whose old path this is (the first, for a
    // file listed twice), or kNoFile.
    std::size_t SourceIndex(const std::string& path) {
        if (sources_.empty()) {
            sources_.reserve(ticked_.size());
            for (std::size_t i = 0; i < ticked_.size(); ++i) sources_.emplace(ticked_[i].path, i);
        }
        const auto it = sources_.find(path);
        return it == sources_.end() ? kNoFile : it->second;
    }

    // Two paths that differ in letter case alone (one entry, on a disk that
    // ignores case).
    static bool SameButCase(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t k = 0; k < a.size(); ++k)
            if (a[k] != b[k] && AsciiLower(a[k]) != AsciiLower(b[k])) return false;
        return true;
    }
    static char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

    // The rename of a row whose new name is checked and holds no folder,
    // made without asking the disk first whether the name is free: the
    // rename never replaces, so a name that is taken makes it fail. Then
    // (taken) the recorder has yet to hear what becomes of it (tried_);
    // a failure for another reason while the name is taken counts too,
    // as if the name had been asked for first.
    Undone TryRename(int row, const std::string& name, std::string source, std::string target,
                     bool& taken) {
        taken = false;
        tried_ = false;
        if (recorder_ && !recorder_->WillRename(source, target)) {
            taken = Taken(target) && !IsSameEntry(source, target);
            return Undone::NotRecorded;
        }
        if (!MoveFile(source, target)) {
            const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
            taken = (why == Undone::NameExists || Taken(target)) && !IsSameEntry(source, target);
            if (taken) tried_ = true;
            else if (recorder_) recorder_->NotChanged();
            return why;
        }
        if (recorder_) recorder_->Changed();
        given_.insert(std::move(target));
        files_.SetCell(kColName, row, name);
        return Undone::None;
    }

    // A file found gone has left its old path as much as one renamed (the
    // rename waiting for it may go, and never replaces what else is there);
    // one whose path the run gave to another file has not.
    void Skip(std::size_t i, Undone why, std::string_view detail = {}) {
        run_.Skip(ticked_[i].row, ticked_[i].path, why, detail);
        Settled(i, why == Undone::Missing && !given_.count(ticked_[i].path));
    }

    void Finish(std::size_t i, Undone why) {
        if (why != Undone::None) {
            Skip(i, why);
            return;
        }
        if (renamed_) renamed_(i);
        run_.Done(ticked_[i].row, ticked_[i].path);
        Settled(i, true);
    }

    // The i-th file has left its old path (left) or stays there: the renames
    // that waited for it go, or are left undone (numbered where clashes
    // are), one after another along the chain.
    void Settled(std::size_t i, bool left) {
        while (order_) {
            const std::size_t w = left ? order_->Left(i) : order_->Stays(i);
            if (w == RenameOrder::kNone) return;
            std::string name = std::move(waitingName_[w]);
            waitingName_.erase(w);
            const int row = ticked_[w].row;
            Undone why = Undone::None;
            if (const auto a = aside_.find(w); a != aside_.end()) {
                // The ring's last step: from the temporary name. Its old
                // path has been given up already.
                const std::string target = PathWithName(files_, row, name);
                if (left) {
                    why = Move(recorder_, a->second, target);
                } else {
                    // The ring was broken by a file that stays: back to the
                    // old name, where nothing took it.
                    why = Undone::NameExists;
                    if (!Taken(ticked_[w].path) && Move(recorder_, a->second, ticked_[w].path) == Undone::None) {
                        run_.Skip(row, ticked_[w].path, why);
                        aside_.erase(a);
                        return;
                    }
                }
                if (why == Undone::None) {
                    given_.insert(target);
                    SetRowName(files_, row, name);
                    if (renamed_) renamed_(w);
                    run_.Done(row, ticked_[w].path);
                } else {
                    run_.Skip(row, ticked_[w].path, why, a->second);
                }
                aside_.erase(a);
                return;
            }
            if (!left && !options_.numberClashes) {
                why = Undone::NameExists;
            } else {
                if (!left) name = FreeNumberedName(files_, row, name, given_);
                why = RenameRow(files_, row, name, given_, recorder_, options_.makeFolders);
            }
            if (why == Undone::None) {
                if (renamed_) renamed_(w);
                run_.Done(row, ticked_[w].path);
            } else {
                run_.Skip(row, ticked_[w].path, why);
            }
            i = w;
            left = why == Undone::None || (why == Undone::Missing && !given_.count(ticked_[w].path));
        }
    }

    // A ring: every rename waits for the next. The i-th file, the last one
    // to join it, steps aside under a temporary name; its planned rename is
    // withdrawn first, so that the journal never takes the two steps for
    // the planned one.
    void StepAside(std::size_t i) {
        const int row = ticked_[i].row;
        const std::string source = files_.Path(row);
        if (recorder_ && recorder_->WillRename(source, PathWithName(files_, row, waitingName_[i])))
            recorder_->NotChanged();
        const std::string aside = AsidePath(source);
        const Undone why = Move(recorder_, source, aside);
        if (why != Undone::None) {
            order_->Cancel(i);
            waitingName_.erase(i);
            Skip(i, why);
            return;
        }
        aside_[i] = aside;
        Settled(i, true);
    }

    FileList& files_;
    const std::vector<BatchFile>& ticked_;
    RenameRunOptions options_;
    ChangeRecorder* recorder_;
    RunTracker run_;
    const std::function<void(std::size_t)>& renamed_;
    std::unordered_set<std::string> given_;
    std::unordered_map<std::string_view, std::size_t> sources_;  // the run's old paths, once asked
    bool tried_ = false;  // the rename in hand was announced and found its name taken
    std::optional<RenameOrder> order_;
    std::unordered_map<std::size_t, std::string> waitingName_;
    std::unordered_map<std::size_t, std::string> aside_;
};

}  // namespace

RunSummary RunRenames(FileList& files, const std::vector<BatchFile>& ticked,
                      const std::function<RowName(std::size_t index)>& nameOf, bool inBatches,
                      const RenameRunOptions& options, RunHost* host,
                      const std::function<void(std::size_t index)>& renamed) {
    RenameRun rename(files, ticked, options, host, renamed);
    RunTracker& run = rename.tracker();
    ChangeRecorder* recorder = rename.recorder();
    std::vector<RowName> names;
    // Batches start small, so that the first renames come early, and
    // double, so that the recorder puts few plans on disk (each is flushed).
    std::size_t batch = inBatches ? std::max<std::size_t>(256, ticked.size() / 8) : ticked.size();
    for (std::size_t at = 0; at < ticked.size();) {
        const std::size_t end = std::min(ticked.size(), at + std::max<std::size_t>(batch, 1));
        names.clear();
        for (std::size_t i = at; i < end; ++i) names.push_back(nameOf(i));
        if (recorder) {
            std::vector<ChangeRecorder::Planned> plan;
            for (std::size_t i = at; i < end; ++i) {
                const RowName& n = names[i - at];
                if (n.why == Undone::None && n.name != files.Name(ticked[i].row))
                    plan.push_back({ChangeRecorder::Change::Rename, ticked[i].path,
                                    PathWithName(files, ticked[i].row, n.name)});
            }
            recorder->Plan(plan);
        }
        for (std::size_t i = at; i < end; ++i) {
            const BatchFile& f = ticked[i];
            if (!run.Next(f.row, f.path)) {
                for (std::size_t j = i; j < ticked.size(); ++j)
                    run.StopRemaining(ticked[j].row, ticked[j].path);
                return rename.Take();
            }
            ProcessPendingMessages();
            rename.Rename(i, names[i - at]);
        }
        at = end;
        batch *= 2;
    }
    return rename.Take();
}

}  // namespace ferro
