// 行内容插入字符: a template rewrites the chosen lines of each file, with an
// optional ${Sn(start,width)} numbering per file.
#include "ops/units.h"
#include "platform/text.h"
#include "textops/line_insert.h"
#include "textops/settings_check.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "insert",
    .caption = "行内容插入字符",
    .page = "ts4",
    .pageCaption = "文本行内容插入",
    .summary = "用函数改写行，如在行首或行尾加字符；文件的所有行都保留。",
    .textFiles = true,
    .preview = PreviewKind::Lines,
};

FieldTable MakeFields() {
    FieldTable fields = {
        {.name = "format",
         .caption = "插入格式",
         .options = {{.name = "--format",
                      .value = "格式",
                      .help = "插入格式（窗口中的“插入格式:”），如 ${AddLeft(${Sn(1,3)}.)}"}}},
    };
    for (Field& f : TemplateLineFields("所有行插入", "有文字行插入", "指定行号插入", "关键字所在行插入"))
        fields.push_back(std::move(f));
    fields.push_back(BackupField());
    return fields;
}

const FieldTable kFields = MakeFields();

LineInsertSettings ReadSettings(const FieldValues& v) {
    LineInsertSettings s;
    s.format = Trim(v.Text("format"));
    s.keyword = v.Text("keyword");
    s.choice = TemplateLineChoice(v);
    return s;
}

using LineInsertJob = RuleJob<LineInsertSettings, &ferro::LineInsertOperation>;

class LineInsert : public Operation {
public:
    LineInsert() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (const auto problem = CheckLineInsertSettings(ReadSettings(v));
            problem != LineInsertProblem::None)
            return Refuse(ProblemText(problem));
        return CheckTemplatePatternsOf(v, "format");
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        LineInsertSettings s = ReadSettings(v);
        s.lineNumber = std::max(1, ReadLineNumberField(v.Text("lineNumber")));
        // A sequence item with a start or width that is not a number stops
        // here, before any file is touched.
        s.sequence = FindSequenceItem(s.format);
        return std::make_unique<LineInsertJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& LineInsertOp() {
    static const LineInsert op;
    return op;
}

}  // namespace ferro::ops
