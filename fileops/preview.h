// What a run of the name and metadata operations would do, worked out
// without changing anything: for each ticked row the new name (or times, or
// attributes) and, when the run would leave the file as it is, the reason.
// The names come from the very rules the runs use (RenameRule::NameFor,
// NameWithNewExtension, ComputeNewTimes), and the order in which the run
// would meet clashes is followed exactly: a name another row gives up
// before this one is free, a name an earlier row takes is not.
//
// A preview is cheap for one row (the rows on screen) and walks the whole
// list in slices for the rest (clashes between rows, the summary), so a
// window can keep answering while it works.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "batch/run.h"
#include "fileops/attribute_change.h"
#include "fileops/date_change.h"
#include "fileops/filelist.h"
#include "fileops/rename.h"

namespace ferro {

struct PlannedChange {
    std::string after;          // new name, times or attribute letters (GBK); empty: none
    Undone why = Undone::None;  // why the run would leave the file as it is
    bool settled = true;        // false: clashes with other rows not yet known
};

// Which page's change is previewed.
enum class PreviewKind { Rename, Extension, Dates, Attributes };

class ChangePreview {
public:
    // The settings as the page's start button would read them. A rename
    // pattern whose sequence item does not hold numbers throws ferro::Error,
    // as the run would. The file list must not change while the preview is
    // in use (make a new one when it does).
    static std::unique_ptr<ChangePreview> ForRename(const FileList& files, std::string_view pattern,
                                                    std::string_view programDir);
    // The same by a rule made beforehand.
    static std::unique_ptr<ChangePreview> ForRename(const FileList& files,
                                                    std::unique_ptr<RenameRule> rule);
    static std::unique_ptr<ChangePreview> ForExtension(const FileList& files,
                                                       std::string_view pattern);
    static std::unique_ptr<ChangePreview> ForDates(const FileList& files,
                                                   const DateSettings& settings);
    static std::unique_ptr<ChangePreview> ForAttributes(const FileList& files,
                                                        const AttributeSettings& settings);
    ~ChangePreview();

    PreviewKind kind() const { return kind_; }
    // The change of one row; nullopt for a row that is not ticked. Before
    // the walk has reached the row, what the row alone tells (a name that is
    // not allowed, an unchanged name); afterwards the run's outcome.
    std::optional<PlannedChange> Row(int row);

    // Advances the walk over the ticked rows for about `budgetMs`
    // milliseconds (0: to the end); true once every row is settled.
    bool Advance(int budgetMs);
    bool finished() const { return next_ >= ticked_.size(); }
    // Once finished: rows the run would change, and rows it would skip.
    int changing() const { return changing_; }
    int skipping() const { return skipping_; }

private:
    ChangePreview(const FileList& files, PreviewKind kind);
    PlannedChange Compute(std::size_t ordinal);  // the row alone
    void Settle(std::size_t ordinal);            // in run order

    const FileList& files_;
    PreviewKind kind_;
    std::vector<int> ticked_;                    // rows in run order
    std::vector<int32_t> ordinalOf_;             // by row; -1: not ticked
    std::vector<PlannedChange> settled_;         // by ordinal, up to next_
    std::size_t next_ = 0;
    int changing_ = 0, skipping_ = 0;

    // The renames' view of the disk as the run would change it.
    std::unordered_set<std::string> given_;      // paths the run has given
    std::unordered_set<std::string> vacated_;    // paths it has moved away from
    std::unique_ptr<RenameRule> rule_;
    std::string extensionPattern_;
    bool listEnded_ = false;
    DateSettings dates_;
    AttributeSettings attributes_;
};

// The attribute set as letters: "R H S A", the same order as Windows lists
// them ("R" read-only, "H" hidden, "S" system, "A" archive).
std::string AttributeLetters(uint32_t attributes);

}  // namespace ferro
