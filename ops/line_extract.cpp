// 内容按行提取: keeps only the chosen lines of each file, by number,
// interval or keyword.
#include "ops/units.h"
#include "textops/line_extract.h"
#include "textops/settings_check.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "extract-lines",
    .caption = "内容按行提取",
    .page = "TabSheet4",
    .pageCaption = "内容按行提取",
    .summary = "只保留指定的行；以下三种方式选一种。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

const FieldTable kFields = {
    {.name = "lineNumber",
     .kind = FieldKind::Number,
     .fallback = "1",
     .caption = "指定行号提取",
     .options = {{.name = "--line-number",
                  .value = "行号",
                  .help = "提取这一行",
                  .alsoField = "mode",
                  .alsoValue = "number"}}},
    {.name = "period",
     .kind = FieldKind::Number,
     .fallback = "2",
     .caption = "间隔行号提取：每几行",
     .options = {{.name = "--interval",
                  .value = "N:M",
                  .help = "每 N 行提取第 M 行",
                  .alsoField = "mode",
                  .alsoValue = "interval",
                  .restField = "position"}}},
    {.name = "position", .kind = FieldKind::Number, .fallback = "1", .caption = "间隔行号提取：提取第几行"},
    {.name = "keywords",
     .caption = "按关键字提取行",
     .options = {{.name = "--keywords",
                  .value = "关键字",
                  .help = "提取含有关键字的行，可用分号隔开多个关键字",
                  .alsoField = "mode",
                  .alsoValue = "keywords"}}},
    {.name = "mode",
     .kind = FieldKind::Choice,
     .fallback = "number",
     .caption = "提取方式",
     .choices = {{"number", "指定行号提取"}, {"interval", "间隔行号提取"}, {"keywords", "按关键字提取行"}},
     .mustChoose = "请选择提取方式"},
    {.name = "keepBlank",
     .kind = FieldKind::Flag,
     .fallback = "1",
     .caption = "提取空行",
     .options = {{.name = "--no-blank-lines",
                  .help = "不提取空行（窗口中不勾选“提取空行”）",
                  .sets = "0"}}},
    RegexField(),
    BackupField(),
};

LineExtractMode ModeOf(const FieldValues& v) {
    if (v.Is("mode", "interval")) return LineExtractMode::Interval;
    if (v.Is("mode", "keywords")) return LineExtractMode::Keywords;
    return LineExtractMode::LineNumber;
}

// A field of blanks alone holds no keyword either; running with it would
// empty every file. All three numbers are read whatever the mode; a bad one
// throws the conversion error.
std::optional<Refusal> ReadSettings(const FieldValues& v, LineExtractSettings& s) {
    const auto problem = ReadLineExtractSettings(ModeOf(v), v.Text("keywords"), NumberFields(v), s);
    if (problem == LineExtractProblem::None)
        return s.mode == LineExtractMode::Keywords ? ReadKeywordPatterns(v, s.keywords, {}, s.patterns) : std::nullopt;
    return Refuse(ProblemText(problem), problem == LineExtractProblem::NoKeyword ? "keywords" : "period");
}

using LineExtractJob = RuleJob<LineExtractSettings, &ferro::LineExtractOperation>;

class LineExtract : public Operation {
public:
    LineExtract() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        LineExtractSettings s;
        return ReadSettings(v, s);
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        LineExtractSettings s;
        ReadSettings(v, s);
        s.keepBlank = v.Flag("keepBlank");
        return std::make_unique<LineExtractJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& LineExtractOp() {
    static const LineExtract op;
    return op;
}

}  // namespace ferro::ops
