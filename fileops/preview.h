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
// window can keep answering while it works. A name that needs what a file
// holds (its date taken, its tags) reads the file; given a reader
// (UseReader), the preview never reads on its own thread: rows whose values
// are not known yet are pending until the reader has read them, the rows
// asked for with Row() first.
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
#include "fileops/extension_change.h"
#include "fileops/filelist.h"
#include "fileops/rename.h"

namespace ferro {

struct PlannedChange {
    std::string after;          // new name, times or attribute letters (GBK); empty: none
    Undone why = Undone::None;  // why the run would leave the file as it is
    std::string detail;         // GBK: more about why ("没有拍摄时间")
    bool settled = true;        // false: clashes with other rows not yet known
    bool pending = false;       // the file's values are still being read
};

// Which page's change is previewed.
enum class PreviewKind { Rename, Extension, Dates, Attributes };

class ChangePreview {
public:
    // The settings as the page's start button would read them. A rename
    // pattern whose sequence item does not hold numbers throws ferro::Error,
    // as the run would. The file list must not change while the preview is
    // in use (make a new one when it does).
    static std::unique_ptr<ChangePreview> ForRename(const FileList& files,
                                                    const RenameSettings& settings);
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
    // From now on the files' values are read by this reader (which must
    // outlast the preview), never on the caller's thread.
    void UseReader(FileValueReader* reader) { reader_ = reader; }
    // The values the names need from the files' contents (0: none).
    FileValueSet wanted() const;
    // The change of one row; nullopt for a row that is not ticked. Before
    // the walk has reached the row, what the row alone tells (a name that is
    // not allowed, an unchanged name); afterwards the run's outcome.
    std::optional<PlannedChange> Row(int row);

    // Advances the walk over the ticked rows for about `budgetMs`
    // milliseconds (0: to the end); true once every row is settled. With a
    // reader, the walk also stops at a row whose values are being read
    // (waiting() is then true): call again once the reader has them.
    bool Advance(int budgetMs);
    bool finished() const { return next_ >= ticked_.size(); }
    bool waiting() const { return waiting_; }
    // How far the walk has come, of how many ticked rows.
    std::size_t walked() const { return next_; }
    std::size_t total() const { return ticked_.size(); }
    // Once finished: rows the run would change, and rows it would skip.
    int changing() const { return changing_; }
    int skipping() const { return skipping_; }

private:
    ChangePreview(const FileList& files, PreviewKind kind);
    PlannedChange Compute(std::size_t ordinal, int64_t priority);  // the row alone
    bool Settle(std::size_t ordinal);  // in run order; false: its values are being read
    void AskAhead(std::size_t from);   // the reader reads the walk's next rows

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
    bool makeFolders_ = false;
    std::unique_ptr<ExtensionRule> extensionRule_;
    FileValueReader* reader_ = nullptr;
    bool waiting_ = false;
    std::size_t askedUpTo_ = 0;  // rows of the walk the reader has been asked for
    bool listEnded_ = false;
    DateSettings dates_;
    AttributeSettings attributes_;
};

// The attribute set as letters: "R H S A", the same order as Windows lists
// them ("R" read-only, "H" hidden, "S" system, "A" archive).
std::string AttributeLetters(uint32_t attributes);

}  // namespace ferro
