// 内容按行删除: drops lines of each file by number, interval, keyword, or
// blankness.
#include "ops/units.h"
#include "textops/line_delete.h"
#include "textops/settings_check.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "delete-lines",
    .caption = "内容按行删除",
    .page = "TabSheet3",
    .pageCaption = "内容按行删除",
    .summary = "删除指定的行；以下四种方式选一种。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

const FieldTable kFields = {
    {.name = "lineNumber",
     .kind = FieldKind::Number,
     .fallback = "1",
     .caption = "指定行号删除",
     .options = {{.name = "--line-number",
                  .value = "行号",
                  .help = "删除这一行",
                  .alsoField = "mode",
                  .alsoValue = "number"}}},
    {.name = "period",
     .kind = FieldKind::Number,
     .fallback = "2",
     .caption = "间隔行号删除：每几行",
     .options = {{.name = "--interval",
                  .value = "N:M",
                  .help = "每 N 行删除第 M 行，如 2:1 删除第 1、3、5……行",
                  .alsoField = "mode",
                  .alsoValue = "interval",
                  .restField = "position"}}},
    {.name = "position", .kind = FieldKind::Number, .fallback = "1", .caption = "间隔行号删除：删除第几行"},
    {.name = "keywords",
     .caption = "按关键字删除行",
     .options = {{.name = "--keywords",
                  .value = "关键字",
                  .help = "删除含有关键字的行，可用分号隔开多个关键字",
                  .alsoField = "mode",
                  .alsoValue = "keywords"}}},
    {.name = "mode",
     .kind = FieldKind::Choice,
     .fallback = "number",
     .caption = "删除方式",
     .choices = {{"number", "指定行号删除"},
                 {"interval", "间隔行号删除"},
                 {"keywords", "按关键字删除行"},
                 {"blank", "删除空行"}},
     .options = {{.name = "--blank-lines", .help = "删除空行", .sets = "blank"}},
     .mustChoose = "请选择删除方式"},
    RegexField(),
    BackupField(),
};

LineDeleteMode ModeOf(const FieldValues& v) {
    if (v.Is("mode", "interval")) return LineDeleteMode::Interval;
    if (v.Is("mode", "keywords")) return LineDeleteMode::Keywords;
    if (v.Is("mode", "blank")) return LineDeleteMode::BlankLines;
    return LineDeleteMode::LineNumber;
}

// All three numbers are read whatever the mode; a bad one throws the
// conversion error.
std::optional<Refusal> ReadSettings(const FieldValues& v, LineDeleteSettings& s) {
    const auto problem = ReadLineDeleteSettings(ModeOf(v), v.Text("keywords"), NumberFields(v), s);
    if (problem == LineDeleteProblem::None)
        return s.mode == LineDeleteMode::Keywords ? ReadKeywordPatterns(v, s.keywords, {}, s.patterns) : std::nullopt;
    return Refuse(ProblemText(problem), problem == LineDeleteProblem::NoKeyword ? "keywords" : "period");
}

using LineDeleteJob = RuleJob<LineDeleteSettings, &ferro::LineDeleteOperation>;

class LineDelete : public Operation {
public:
    LineDelete() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        LineDeleteSettings s;
        return ReadSettings(v, s);
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        LineDeleteSettings s;
        ReadSettings(v, s);
        return std::make_unique<LineDeleteJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& LineDeleteOp() {
    static const LineDelete op;
    return op;
}

}  // namespace ferro::ops
