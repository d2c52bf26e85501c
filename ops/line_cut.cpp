// 行内容截取字符: a template cuts part of the chosen lines of each file.
#include "ops/units.h"
#include "platform/text.h"
#include "textops/line_cut.h"
#include "textops/settings_check.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "cut",
    .caption = "行内容截取字符",
    .page = "ts2",
    .pageCaption = "文本行内容截取",
    .summary = "用函数截取行中的部分内容。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

FieldTable MakeFields() {
    FieldTable fields = {
        {.name = "format",
         .caption = "截取格式",
         .options = {{.name = "--format",
                      .value = "格式",
                      .help = "截取格式（窗口中的“截取格式:”），如 ${GetLeft(10)}"}}},
        {.name = "keep",
         .kind = FieldKind::Choice,
         .fallback = "cut",
         .caption = "保留的内容",
         .choices = {{"cut", "保留截取到的内容"}, {"rest", "保留截取后的内容"}},
         .options = {{.name = "--keep-rest",
                      .help = "保留截取后的内容（默认保留截取到的内容）",
                      .sets = "rest"}}},
    };
    for (Field& f : TemplateLineFields("所有行截取", "有文字行截取", "指定行号截取", "关键字所在行截取"))
        fields.push_back(std::move(f));
    fields.push_back(BackupField());
    return fields;
}

const FieldTable kFields = MakeFields();

LineCutSettings ReadSettings(const FieldValues& v) {
    LineCutSettings s;
    s.format = Trim(v.Text("format"));
    s.keyword = v.Text("keyword");
    s.choice = TemplateLineChoice(v);
    s.keepCut = !v.Is("keep", "rest");
    return s;
}

using LineCutJob = RuleJob<LineCutSettings, &ferro::LineCutOperation>;

class LineCut : public Operation {
public:
    LineCut() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (const auto problem = CheckLineCutSettings(ReadSettings(v)); problem != LineCutProblem::None)
            return Refuse(ProblemText(problem));
        return CheckTemplatePatternsOf(v, "format");
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        LineCutSettings s = ReadSettings(v);
        s.lineNumber = std::max(1, ReadLineNumberField(v.Text("lineNumber")));
        return std::make_unique<LineCutJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& LineCutOp() {
    static const LineCut op;
    return op;
}

}  // namespace ferro::ops
