// 行模式替换字符: every line of each file is rebuilt from a pattern of
// numbered fields and template items.
#include "ops/units.h"
#include "platform/text.h"
#include "textops/pattern_replace.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "pattern",
    .caption = "行模式替换字符",
    .page = "TabSheet1",
    .pageCaption = "行模式替换",
    .summary = "每行按分隔符拆成字段，用 $1、$2…… 重新组合；空行被去掉。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

const FieldTable kFields = {
    {.name = "pattern",
     .kind = FieldKind::Memo,
     .caption = "模式格式",
     .options = {{.name = "--pattern",
                  .value = "模式",
                  .help = "模式格式（窗口中的“模式格式：”），可以有多行，如 '$2 $1'"}}},
    {.name = "prefix",
     .fallback = "$",
     .caption = "参数前缀",
     .options = {{.name = "--prefix", .value = "前缀", .help = "参数前缀，默认为 $"}}},
    {.name = "count",
     .kind = FieldKind::Number,
     .fallback = "3",
     .caption = "参数个数",
     .options = {{.name = "--count", .value = "个数", .help = "参数个数，默认为 3"}}},
    BackupField(),
};

class PatternReplaceJob : public LineRuleJob<PatternReplaceSettings> {
public:
    using LineRuleJob::LineRuleJob;

protected:
    LineOperation Rule() override {
        // The separator is decided afresh by every run.
        state_ = std::make_unique<PatternReplaceState>();
        return ferro::PatternReplaceOperation(settings, *state_);
    }

private:
    std::unique_ptr<PatternReplaceState> state_;
};

class PatternReplace : public Operation {
public:
    PatternReplace() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (v.Text("pattern").empty()) return Refuse(FromUtf8("模式格式为空,请输入后再试!"), "pattern");
        return CheckTemplatePatternsOf(v, "pattern");
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        PatternReplaceSettings s;
        s.pattern = v.Text("pattern");
        s.prefix = Trim(v.Text("prefix"));
        // Any count is used as given: a field gets its name only when the
        // line has that many fields, so no table of names is needed.
        s.count = ReadCountField(v.Text("count"));
        return std::make_unique<PatternReplaceJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& PatternReplaceOp() {
    static const PatternReplace op;
    return op;
}

}  // namespace ferro::ops
