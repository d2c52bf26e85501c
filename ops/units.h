// What the operation units share: the backup field, the fields that choose
// the lines a template applies to, the job of the line operations and the
// frame of the two-file operations. Only the units include this.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fileops/name_case.h"
#include "ops/operation.h"
#include "textops/keywords.h"
#include "textops/line_select.h"
#include "textops/settings_check.h"
#include "textops/text_batch.h"
#include "textops/textfile.h"

namespace ferro::ops {

// "备份目标文件(.bak),覆盖同名文件", ticked; --no-backup.
Field BackupField();

// "正则表达式", not ticked; --regex: the keywords of the field are regular
// expressions.
Field RegexField();

// With the regex field ticked, the keywords compiled into patterns; a bad
// pattern is refused ("正则表达式不正确：…") at the keyword field.
std::optional<Refusal> ReadKeywordPatterns(const FieldValues& values, const std::vector<std::string>& keywords,
                                           RegexFlags flags, std::optional<KeywordPatterns>& patterns);

// A ${RegRep(..)} or ${RegGet(..)} of the template in field whose pattern
// the engine refuses: "正则表达式不正确：…" at that field, before any file
// is touched.
std::optional<Refusal> CheckTemplatePatternsOf(const FieldValues& values, const char* field);

// Line cut and line insert: the lines the template applies to ("lines":
// all, text, number, keyword), the line number and the keyword, with the
// captions of the page's radio buttons.
std::vector<Field> TemplateLineFields(const char* all, const char* text, const char* number,
                                      const char* keyword);
LineChoice TemplateLineChoice(const FieldValues& values);

// The rename and extension pages' letters and clashes: "letterCase"
// (keep, lower, upper, title; --case), "keepCase" (--keep-case) and
// "onClash" (skip, number; --on-clash); what names follows: the whole new
// name, or the new extension.
std::vector<Field> NameCaseFields(const char* names);
LetterCase LetterCaseOf(const FieldValues& values);

// The number fields of the line-number and interval modes.
LineNumberFields NumberFields(const FieldValues& values);

inline Refusal Refuse(std::string gbk, std::string field = {}) {
    return Refusal{std::move(gbk), std::move(field)};
}

// A job that rewrites each file it is given by a line rule, with a backup
// when the "backup" field is ticked.
template <class Settings>
class LineRuleJob : public JobOf<Settings> {
public:
    LineRuleJob(Settings settings, bool backup)
        : JobOf<Settings>(std::move(settings)), backup_(backup) {}

    RunOutcome Run(const RunInput& input) override {
        TextBatchOptions options;
        options.backup = backup_;
        options.mode = input.mode;
        RunOutcome o;
        o.summary = RewriteTextFiles(input.files, options, Rule(), input.host);
        o.closing = TextClosing(o.summary.done);
        return o;
    }
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        return files;
    }
    std::optional<LineOperation> PreviewRule() override { return Rule(); }

protected:
    // The rule for one run (or one preview); it may refer to the job.
    virtual LineOperation Rule() = 0;

private:
    bool backup_;
};

// The job of a line operation whose rule is made from its settings alone.
template <class Settings, LineOperation (*MakeRule)(const Settings&)>
class RuleJob : public LineRuleJob<Settings> {
public:
    using LineRuleJob<Settings>::LineRuleJob;

protected:
    LineOperation Rule() override { return MakeRule(this->settings); }
};

// Key merge and line sync: the first file is read, the second rewritten.
// The run is over the target alone, the one file that changes; merge()
// returns the records it took over.
template <class Merge>
RunOutcome MergeIntoTarget(const RunInput& input, Merge&& merge) {
    const BatchFile& target = input.files[1];
    RunOutcome o;
    RunTracker run(input.host, 1);
    if (run.Next(target.row, target.path)) {
        try {
            o.records = merge(input.files[0].path, target.path);
            run.Done(target.row, target.path);
        } catch (const TextFileError& e) {
            run.Abort(target.row, target.path, e.why(), e.what());
        }
    } else {
        run.StopRemaining(target.row, target.path);
    }
    o.summary = run.Take();
    o.closing = RecordsClosing(o.records < 0 ? 0 : o.records);
    return o;
}

// The options a two-file run's text functions take.
inline TextFileOptions TargetOptions(const RunInput& input, bool backup) {
    return {backup, input.mode, input.host ? input.host->recorder() : nullptr};
}

}  // namespace ferro::ops
