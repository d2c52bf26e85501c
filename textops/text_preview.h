// What a line operation would make of one file, worked out in memory: the
// file is read the way a run reads it, the run's own rule writes its lines
// into a list instead of the file, and a line diff between the two says what
// would change. Nothing is written. A rule that looks at each line alone is
// given the file a piece at a time, as the run gives it, and only the diff
// (what it shows, and its counts) is kept: a file of any size is previewed
// in a few megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "platform/codec.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

class LineDiff;

// The file before and after, or why a run would not rewrite it.
struct TextPreview {
    TextPreview();
    ~TextPreview();
    TextPreview(TextPreview&&) noexcept;
    TextPreview& operator=(TextPreview&&) noexcept;

    Undone why = Undone::None;  // None: the preview was made
    std::string message;        // GBK: the run's own message, when it has one
    bool cancelled = false;     // the caller asked to stop before the end
    // Read whole: the lines before and after (a LineDiff of them says what
    // changes). Read in pieces: empty, and diff is the finished diff.
    LineList before;
    LineList after;
    std::unique_ptr<LineDiff> diff;
    std::size_t beforeLines = 0, afterLines = 0;
    bool ok() const { return why == Undone::None && !cancelled; }
};

// Reads path and applies the operation's rule. cancel is asked now and then
// (it may run the window's messages meanwhile): true ends the preview early.
TextPreview PreviewTextFile(std::string_view path, TextMode mode, const LineOperation& operation,
                            const std::function<bool()>& cancel = {});

// One line of a diff as shown: an unchanged line, a removed or an added one,
// or a run of unchanged lines folded away.
struct DiffLine {
    enum class Kind : uint8_t { Same, Removed, Added, Folded };
    Kind kind = Kind::Same;
    std::size_t oldLine = 0;  // 1-based line of the file before (Same, Removed; Folded: first)
    std::size_t newLine = 0;  // 1-based line of the result (Same, Added)
    std::size_t folded = 0;   // Folded: how many lines
    std::string text;
};

// A line diff of two lists, made in slices so a caller can show the first
// changes while the rest is still being compared. Lines are matched in
// order: a line of the result found among the next lines of the file keeps
// them up to it (those before it were removed); a line found nowhere in the
// file was added. Which suits rules that drop, keep, add or rewrite lines in
// order, as every line operation does. Both lists must outlive the diff.
//
// Or made piece by piece, for a rule that looks at each line alone: each
// piece of the file is compared with what the rule made of it, and nothing
// of a piece is kept once the next one comes but the lines shown.
class LineDiff {
public:
    struct Options {
        std::size_t context = 3;         // unchanged lines shown around each change
        std::size_t maxShown = 5000;     // lines kept for showing; counting goes on
        std::size_t lookAhead = 4096;    // how far ahead a kept line is looked for
    };

    LineDiff(const LineList& before, const LineList& after) : LineDiff(before, after, Options{}) {}
    LineDiff(const LineList& before, const LineList& after, Options options);
    // Piece by piece: Compare each piece, then Finish.
    explicit LineDiff(Options options);

    // Compares up to `lines` more lines; true once the whole is done.
    bool Advance(std::size_t lines);
    bool finished() const { return i_ >= a_->size() && j_ >= b_->size() && flushed_; }

    // The next piece of the file and the rule's lines for it, compared whole.
    void Compare(const LineList& before, const LineList& after);
    // After the last piece.
    void Finish();

    std::size_t removed() const { return removed_; }
    std::size_t added() const { return added_; }
    std::size_t unchanged() const { return same_; }
    // The lines to show so far; capped() when more changes were found than
    // are kept.
    const std::vector<DiffLine>& shown() const { return shown_; }
    bool capped() const { return capped_; }

private:
    void Same();
    void Change(DiffLine::Kind kind);
    void Show(DiffLine line);
    bool InBefore(uint64_t h) const;
    bool InAfter(uint64_t h) const;
    bool Showing() const { return shown_.size() < options_.maxShown; }
    void Start(const LineList& before, const LineList& after);
    // The text of an unchanged line not shown yet, by its place in the file.
    std::string_view PendingText(std::size_t line) const;

    const LineList* a_;
    const LineList* b_;
    Options options_;
    // Piece by piece: where the piece starts in the file and in the result,
    // and the last unchanged lines of earlier pieces not shown yet.
    std::size_t baseA_ = 0, baseB_ = 0;
    std::vector<std::string> carried_;
    std::size_t carriedFrom_ = 0;
    bool pieces_ = false;  // pieces are still coming: the end is not flushed
    std::vector<uint64_t> ha_, hb_;
    std::vector<uint64_t> bitsA_, bitsB_;  // which hashes occur in each list
    uint64_t mask_ = 0;
    std::size_t i_ = 0, j_ = 0;
    std::size_t removed_ = 0, added_ = 0, same_ = 0;
    // Unchanged lines since the last change not shown yet (the first
    // `trailing_` after a change are shown as they come).
    std::size_t pendingFrom_ = 0, pendingNew_ = 0, pending_ = 0;
    std::size_t trailing_ = 0;
    bool flushed_ = false;
    bool capped_ = false;
    std::vector<DiffLine> shown_;
};

}  // namespace ferro
