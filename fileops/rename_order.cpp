#include "fileops/rename_order.h"

#include <algorithm>

namespace ferro {

RenameOrder::RenameOrder(std::vector<std::string> sources, std::size_t from)
    : sources_(std::move(sources)), next_(sources_.size(), kNone), ahead_(sources_.size(), kNone) {
    owner_.reserve(sources_.size() - std::min(from, sources_.size()));
    for (std::size_t i = from; i < sources_.size(); ++i) owner_.emplace(sources_[i], i);
}

RenameOrder::Taken RenameOrder::Wait(std::size_t i, std::string_view target) {
    const auto owner = owner_.find(target);
    if (owner == owner_.end() || owner->second == i) return Taken::ByOther;
    if (!waiter_.emplace(owner->first, i).second) return Taken::Duplicate;
    next_[i] = ahead_[i] = owner->second;
    return Taken::Waits;
}

bool RenameOrder::ClosesRing(std::size_t i) {
    // Follow the chain of waiting renames from i: back at i, it is a ring;
    // at a file that does not wait (one still to come), a chain. The
    // shortcuts met on the way are pointed at where the walk ended, so that
    // long chains are walked once.
    std::vector<std::size_t> walked;
    std::size_t k = ahead_[i];
    while (k != i && next_[k] != kNone) {
        walked.push_back(k);
        k = ahead_[k];
    }
    if (k == i) return true;
    for (const std::size_t w : walked) ahead_[w] = k;
    ahead_[i] = k;
    return false;
}

std::size_t RenameOrder::Release(std::size_t i) {
    const auto w = waiter_.find(sources_[i]);
    owner_.erase(sources_[i]);
    if (w == waiter_.end()) return kNone;
    const std::size_t waiter = w->second;
    waiter_.erase(w);
    next_[waiter] = ahead_[waiter] = kNone;
    return waiter;
}

std::size_t RenameOrder::Left(std::size_t i) { return Release(i); }

std::size_t RenameOrder::Stays(std::size_t i) { return Release(i); }

void RenameOrder::Cancel(std::size_t i) {
    if (next_[i] == kNone) return;
    waiter_.erase(sources_[next_[i]]);
    next_[i] = ahead_[i] = kNone;
}

std::vector<std::size_t> RenameOrder::Waiting() const {
    std::vector<std::size_t> waiting;
    for (std::size_t i = 0; i < next_.size(); ++i)
        if (next_[i] != kNone) waiting.push_back(i);
    return waiting;
}

}  // namespace ferro
