// Renames of one run whose new names are the old names of other files the
// same run renames: a shift (f1 -> f2, f2 -> f3), a swap (a <-> b), a
// rotation (1 -> 2 -> 3 -> 1). The run goes through its files in its own
// order; this keeps which rename waits for its new name to be given up by
// another file of the run, releases it when that file has moved, and finds
// the rings, where every rename waits for the next and one file has to step
// aside under a temporary name. A file that is not part of the run is never
// waited for: its name stays taken.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ferro {

class RenameOrder {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // sources[i]: the path of the run's i-th file; the files before `from`
    // are settled already (the order is made when the first taken name is
    // met, so that a run without one never makes it).
    RenameOrder(std::vector<std::string> sources, std::size_t from);

    enum class Taken {
        ByOther,    // by a file outside the run, or one the run is done with
        Waits,      // by a file of the run still to move: i waits for it
        Duplicate,  // another rename of the run already waits for that name
    };
    // The i-th rename's new path is taken on disk: whom by.
    Taken Wait(std::size_t i, std::string_view target);
    // Whether i, just made to wait, closes a ring. The run then moves i's
    // file to a temporary name and calls Left(i); the ring unwinds from there.
    bool ClosesRing(std::size_t i);

    // The i-th file has left its old path (renamed, or stepped aside): the
    // rename that waited for that path, which may go now (or kNone).
    std::size_t Left(std::size_t i);
    // The i-th file stays where it is (its rename was refused or failed):
    // the rename that waited for its path, which can now never go (or kNone).
    // The caller reports it and calls Stays for it in turn.
    std::size_t Stays(std::size_t i);

    // i waits no more (it could not step aside from its ring): it stays.
    void Cancel(std::size_t i);

    bool IsWaiting(std::size_t i) const { return next_[i] != kNone; }
    // The renames waiting when the run ends, in order.
    std::vector<std::size_t> Waiting() const;

private:
    std::size_t Release(std::size_t i);

    std::vector<std::string> sources_;
    // An old path -> its file's index, while the file is still there.
    std::unordered_map<std::string_view, std::size_t> owner_;
    // An old path -> the index of the rename waiting for it.
    std::unordered_map<std::string_view, std::size_t> waiter_;
    // For a waiting rename: the index it waits for (kNone when not waiting).
    std::vector<std::size_t> next_;
    // A shortcut along a chain of waiting renames: an index further on.
    std::vector<std::size_t> ahead_;
};

}  // namespace ferro
