// One batch operation as both front ends see it: what it is called, its
// settings as a field table, the check of those settings (the page's own
// refusal texts), and, once they are accepted, a job that runs over the
// files, says what it will rewrite or create, and previews.
//
// A front end reads the fields (the window from its page, the command line
// from its options), calls Check and shows a refusal its own way, picks the
// files, asks Prepare for the job, settles the undo budget over the job's
// Rewrites (undo_budget.h), runs it with its own RunHost and shows the
// outcome's closing text with the run report.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/run.h"
#include "convert/outputs.h"
#include "fileops/filelist.h"
#include "fileops/preview.h"
#include "ops/field.h"
#include "platform/codec.h"
#include "textops/file_statistics.h"
#include "textops/text_batch.h"

namespace ferro::ops {

// How an operation shows what it would do before it runs.
enum class PreviewKind {
    None,
    Names,    // the grid's preview column: new names, times or attributes (ChangePreview)
    Lines,    // one file's lines before and after (PreviewRule)
    Outputs,  // the files it would create or replace (Outputs)
};

// UTF-8 texts.
struct OperationInfo {
    const char* name;         // on the command line: "delete-lines"
    const char* caption;      // the operation selector's item
    const char* page;         // the objectName of its page
    const char* pageCaption;  // the page's tab, which names its runs in the window's journal
    const char* summary;      // what it does, for the help
    const char* filesNote = nullptr;  // what the files are, when it matters (help)
    bool textFiles = false;    // reads text files, in the chosen text mode
    bool changesFiles = true;  // recorded in the undo journal
    bool countsFiles = true;   // the window's change counter counts its files
    PreviewKind preview = PreviewKind::None;
    const char* previewColumn = nullptr;  // Names: the preview column's header
    // Two files, the source and then the target: the refusal when there
    // are not two (GBK is made from it); null for the others.
    const char* twoFiles = nullptr;
};

// A setting refused, with the page's message (GBK) and the field to put it
// right in (the window gives it the focus); field may be empty.
struct Refusal {
    std::string text;
    std::string field;
};

// What a run is given.
struct RunInput {
    FileList& list;                // the rows; the name operations work on its ticked rows
    std::vector<BatchFile> files;  // the files the others visit, in order
    TextMode mode = TextMode::Auto;
    RunHost* host = nullptr;
    // The statistics: each file's figures as soon as it is counted.
    std::function<void(const std::string& path, const FileStatistics&)> counted = {};
};

struct RunOutcome {
    RunSummary summary;
    std::string closing;  // GBK: the operation's closing text for a whole run
    int records = -1;     // key merge and line sync count records, not files
    std::vector<std::pair<std::string, FileStatistics>> statistics;  // path, figures
    std::string problem;  // GBK: the statistics' message for the first file it could not read
};

// The settings of one run, read and accepted.
class Job {
public:
    virtual ~Job() = default;
    virtual RunOutcome Run(const RunInput& input) = 0;
    // The files of `files` (or those it makes from them) whose old contents
    // the undo journal keeps.
    virtual std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const { return {}; }
    // Names: what the run would do to each ticked row. Once only.
    virtual std::unique_ptr<ChangePreview> PreviewNames(const FileList& list) { return nullptr; }
    // Lines: the rule applied to one file's lines; valid while the job lives.
    virtual std::optional<LineOperation> PreviewRule() { return std::nullopt; }
    // Outputs: the files the run would write, and the sources it would
    // leave undone because an earlier one writes their output.
    virtual std::vector<PlannedOutput> Outputs(const std::vector<BatchFile>& files) const { return {}; }
};

// A job over settings of a given type, which tests can read back.
template <class Settings>
class JobOf : public Job {
public:
    explicit JobOf(Settings s) : settings(std::move(s)) {}
    Settings settings;
};

template <class Settings>
const Settings* SettingsOf(const Job* job) {
    const auto* typed = dynamic_cast<const JobOf<Settings>*>(job);
    return typed ? &typed->settings : nullptr;
}

class Operation {
public:
    // Both must outlive the operation (they are tables of its unit).
    Operation(const OperationInfo& info, const FieldTable& fields) : info_(info), fields_(fields) {}
    virtual ~Operation() = default;
    const OperationInfo& info() const { return info_; }
    const FieldTable& fields() const { return fields_; }
    FieldValues Defaults() const { return FieldValues(fields_); }
    // The page's checks of the settings, in the order the page has always
    // made them; nullopt when they pass. A number field that holds no number
    // may throw the conversion error (ferro::Error) here or in Prepare.
    virtual std::optional<Refusal> Check(const FieldValues& values) const = 0;
    // The settings read for a run, once Check has passed them. Throws
    // ferro::Error where the run would refuse before touching any file.
    virtual std::unique_ptr<Job> Prepare(const FieldValues& values) const = 0;

private:
    const OperationInfo& info_;
    const FieldTable& fields_;
};

// A text of the tables (UTF-8) as GBK.
std::string FromUtf8(std::string_view utf8);

// The closing texts of the runs (GBK).
std::string FilesClosing(int done);    // "成功处理文件总数量：N"
std::string TextClosing(int done);     // "成功处理完成,共处理 N 个文件!"
std::string RecordsClosing(int done);  // "成功处理完成,共处理 N 条记录!"

}  // namespace ferro::ops
