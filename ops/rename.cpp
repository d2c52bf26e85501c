// 更改文件名称: renames the ticked files by a name pattern.
#include "fileops/preview.h"
#include "fileops/rename.h"
#include "ops/units.h"
#include "platform/fs.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "rename",
    .caption = "更改文件名称",
    .page = "TabSheet8",
    .pageCaption = "更改文件名称",
    .summary = "按新文件名格式给文件改名，扩展名不变。",
    .filesNote = "按列出的顺序编号",
    .preview = PreviewKind::Names,
    .previewColumn = "新名称",
};

FieldTable MakeFields() {
    FieldTable fields = {
    {.name = "pattern",
     .caption = "新文件名",
     .options = {{.name = "--pattern",
                  .value = "格式",
                  .help = "新文件名格式（窗口中的“新文件名:”），必须含有变量或函数，如 "
                          "img_${Sn(1,3)}、${GetLeft(3)}、${File(名称列表.txt)}、"
                          "${TakenTime(yyyymmdd_hhnnss)}"}}},
    {.name = "makeFolders",
     .kind = FieldKind::Flag,
     .fallback = "0",
     .caption = "按“/”建立子目录",
     .options = {{.name = "--make-folders",
                  .help = "新文件名中的“/”在文件所在目录下建立子目录（窗口中的“按“/”建立子目录”），"
                          "如 '${TakenTime(yyyy)}/${TakenTime(mm)}/${Filename}'；不能建到所在目录之外",
                  .sets = "1"}}},
    };
    for (Field& f : NameCaseFields("新名称的大小写（窗口中的“大小写:”）：lower 全部小写，upper 全部大写，"
                                   "title 每个词首字母大写；默认不变"))
        fields.push_back(std::move(f));
    return fields;
}

const FieldTable kFields = MakeFields();

// The settings as read, and the rule made of them (making it refuses a
// sequence number that is not a number, before any file is touched).
class RenameJob : public JobOf<RenameSettings> {
public:
    explicit RenameJob(RenameSettings s)
        : JobOf(std::move(s)), rule_(std::make_unique<RenameRule>(settings)) {}
    RunOutcome Run(const RunInput& input) override {
        RunOutcome o;
        o.summary = RenameFiles(input.list, *rule_, input.host);
        o.closing = FilesClosing(o.summary.done);
        return o;
    }
    std::unique_ptr<ChangePreview> PreviewNames(const FileList& list) override {
        return ChangePreview::ForRename(list, std::move(rule_));
    }

private:
    std::unique_ptr<RenameRule> rule_;
};

class Rename : public Operation {
public:
    Rename() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        const auto problem = CheckRenamePattern(NormalizeRenamePattern(v.Text("pattern")));
        if (problem != RenamePatternProblem::None) return Refuse(ProblemText(problem));
        return CheckTemplatePatternsOf(v, "pattern");
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        RenameSettings s{v.Text("pattern"), ProgramDir(), v.Flag("makeFolders")};
        s.letterCase = LetterCaseOf(v);
        s.keepCase = v.Flag("keepCase");
        s.numberClashes = v.Is("onClash", "number");
        return std::make_unique<RenameJob>(std::move(s));
    }
};

}  // namespace

const Operation& RenameOp() {
    static const Rename op;
    return op;
}

}  // namespace ferro::ops
