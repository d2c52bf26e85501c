// 内容插入新行: a block of text is inserted into every file at a line number,
// at intervals, or before the lines holding a keyword.
#include "ops/units.h"
#include "textops/new_lines.h"
#include "textops/settings_check.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "new-lines",
    .caption = "内容插入新行",
    .page = "TabSheet5",
    .pageCaption = "内容插入新行",
    .summary = "在文件中插入文字；插入位置从以下三种中选一种（默认插在文件开头）。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

const FieldTable kFields = {
    {.name = "text",
     .kind = FieldKind::Memo,
     .caption = "需要插入的文字内容",
     .options = {{.name = "--text",
                  .value = "文字",
                  .help = "要插入的文字（可以多行），可以用 ${LineStr(行号)}、${LineStr2(关键字)}、"
                          "${LineRandStr()} 以及 \\t、\\r、\\n"}}},
    {.name = "lineNumber",
     .kind = FieldKind::Number,
     .fallback = "0",
     .caption = "指定行号插入",
     .options = {{.name = "--line-number",
                  .value = "行号",
                  .help = "插在第几行之后，0 表示插在文件开头（默认 0）",
                  .alsoField = "mode",
                  .alsoValue = "line"}}},
    {.name = "period",
     .kind = FieldKind::Number,
     .fallback = "2",
     .caption = "间隔行插入：每几行",
     .options = {{.name = "--interval",
                  .value = "P:Q",
                  .help = "每 P 行的第 Q 行之前插入",
                  .alsoField = "mode",
                  .alsoValue = "interval",
                  .restField = "position"}}},
    {.name = "position", .kind = FieldKind::Number, .fallback = "1", .caption = "间隔行插入：第几行"},
    {.name = "keywords",
     .caption = "关键字行插入",
     .options = {{.name = "--keywords",
                  .value = "关键字",
                  .help = "在含有关键字的行之前插入，可用分号隔开多个关键字",
                  .alsoField = "mode",
                  .alsoValue = "keywords"}}},
    {.name = "mode",
     .kind = FieldKind::Choice,
     .fallback = "line",
     .caption = "插入位置",
     .choices = {{"line", "指定行号插入"}, {"interval", "间隔行插入"}, {"keywords", "关键字行插入"}}},
    BackupField(),
};

NewLineMode ModeOf(const FieldValues& v) {
    if (v.Is("mode", "interval")) return NewLineMode::kInterval;
    if (v.Is("mode", "keywords")) return NewLineMode::kKeywords;
    return NewLineMode::kAtLine;
}

std::optional<Refusal> ReadSettings(const FieldValues& v, NewLinesSettings& s) {
    const NewLinesProblem problem =
        ReadNewLinesSettings(v.Text("text"), ModeOf(v), v.Text("keywords"), NumberFields(v), s);
    if (problem == NewLinesProblem::None) return std::nullopt;
    const char* field = problem == NewLinesProblem::NoText      ? "text"
                        : problem == NewLinesProblem::NoKeyword ? "keywords"
                                                                : "period";
    return Refuse(ProblemText(problem), field);
}

class NewLinesJob : public LineRuleJob<NewLinesSettings> {
public:
    NewLinesJob(NewLinesSettings s, std::shared_ptr<const NewLineBlock> block, bool backup)
        : LineRuleJob(std::move(s), backup), block_(std::move(block)) {}

protected:
    LineOperation Rule() override { return ferro::NewLinesOperation(settings, block_); }

private:
    std::shared_ptr<const NewLineBlock> block_;
};

class NewLines : public Operation {
public:
    NewLines() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        NewLinesSettings s;
        return ReadSettings(v, s);
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        NewLinesSettings s;
        ReadSettings(v, s);
        // A ${LineStr(n)} that is not a number stops here.
        auto block = std::make_shared<const NewLineBlock>(NewLineBlock::Parse(v.Text("text")));
        return std::make_unique<NewLinesJob>(std::move(s), std::move(block), v.Flag("backup"));
    }
};

}  // namespace

const Operation& NewLinesOp() {
    static const NewLines op;
    return op;
}

}  // namespace ferro::ops
