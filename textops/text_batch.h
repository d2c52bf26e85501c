// The run of a line operation over many files: each file read, a backup
// made when asked, its lines transformed and written out as they come;
// window messages are processed before each file. The host hears of every
// file and can stop the run between files.
//
// A file is read twice, in pieces, when the operation looks at each line
// alone (see LineOperation) and the file is large, and otherwise read whole.
//
// The files are made durable a group at a time (platform/group_write.h):
// each new content (and backup) is staged beside its file, and a group of
// files, up to 256 of them or 64 MB, is put in place with a few flushes in
// all, its old contents kept and intents recorded together by the host's
// recorder (ChangeRecorder::groupKeeper). A file the group cannot take (see
// there), and every file of a recorder without a group keeper, is written
// on its own as before. An operation whose rule keeps nothing from file to
// file (LineOperation::parallel) has its files read, transformed and staged
// on worker threads (platform/workers.h), several at once; the others are
// staged on the run's own thread, in order. Either way the host hears of
// the files in their order, from the run's own thread, each once its group
// is in place; a stop lets the files in hand (being staged, or staged and
// waiting for their group) be finished and leaves every later one as it
// was. A file whose path (or backup) is the path of one in hand, or which
// turns out to be the same file under another name, waits for that one to
// be in place first, so the result is what writing the files one after
// the other gives.
//
// A file that cannot be read or written ends the run there: the summary
// then holds the message and the files after it are not reached. A file
// whose backup fails, or whose lines the template engine refuses to grow
// beyond its bound, is left as it was and the run goes on.
#pragma once

#include <functional>
#include <type_traits>
#include <vector>

#include "batch/run.h"
#include "platform/codec.h"
#include "textops/lines.h"

namespace ferro {

struct TextBatchOptions {
    bool backup = false;  // copy each file to path + ".bak" before writing it
    TextMode mode = TextMode::Auto;
};

// Called once per file, in order; may keep per-file state. It puts the
// file's new lines into out, which writes them to the file as they come.
using LineTransform = std::function<void(const LineList& in, LineSink& out)>;

// A line operation as a run applies it. Its rule works on GBK lines; when
// the rule gives exactly the same result on a UTF-8 file's own bytes (its
// keywords looked for and its texts added in UTF-8 too), it has a second
// form for those, and such files are read and written without converting
// them at all.
struct LineOperation {
    // Any rule is an operation that converts UTF-8 files.
    template <typename Rule>
        requires std::is_constructible_v<LineTransform, Rule>
    LineOperation(Rule rule) : gbk(std::move(rule)) {}  // NOLINT(google-explicit-constructor)
    LineOperation(LineTransform rule, LineTransform onUtf8)
        : gbk(std::move(rule)), utf8(std::move(onUtf8)) {}

    LineTransform gbk;
    LineTransform utf8;  // empty: UTF-8 files are converted
    // Set for a rule that looks at each line alone, knowing no more than
    // its number: files are then given to it a piece of lines at a time and
    // never held whole. Makes the rule for one file (it counts that file's
    // lines); it is given a UTF-8 file's own bytes exactly when utf8 is set.
    std::function<LinePieceRule()> linewise;
    // Set for a rule that keeps nothing from one file to the next and
    // touches nothing shared (no random numbers, no state of the run): its
    // files may be transformed on several threads at once, each file's
    // rules made and used on one thread.
    bool parallel = false;
};

// The operation of a rule that walks a file's lines in order, counting them:
// rule(in, out, bytes, number) takes in's lines as the given bytes, number
// being that of the line before in, and moves number on past them; it keeps
// nothing else, so the operation is parallel. onUtf8:
// the rule gives the same result on a UTF-8 file's own bytes. linewise: it
// needs no count of the lines ahead (a file may come in pieces).
template <typename Rule>
LineOperation NumberedLineOperation(Rule rule, bool onUtf8, bool linewise) {
    auto whole = [rule](LineBytes bytes) {
        return [rule, bytes](const LineList& in, LineSink& out) {
            std::size_t number = 0;
            rule(in, out, bytes, number);
        };
    };
    LineOperation op(whole(LineBytes::Gbk));
    op.parallel = true;  // the count is the file's own
    if (onUtf8) op.utf8 = whole(LineBytes::Utf8);
    if (linewise)
        op.linewise = [rule] {
            return [rule, number = std::size_t{0}](const LineList& in, LineBytes bytes,
                                                   LineSink& out) mutable {
                rule(in, out, bytes, number);
            };
        };
    return op;
}

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineOperation& operation, RunHost* host);

}  // namespace ferro
