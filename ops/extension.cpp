// 更改文件扩展名: gives the ticked files a new extension.
#include "fileops/extension_change.h"
#include "fileops/preview.h"
#include "ops/units.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "extension",
    .caption = "更改文件扩展名",
    .page = "TabSheet7",
    .pageCaption = "更改文件扩展名",
    .summary = "给文件换上新的扩展名。",
    .preview = PreviewKind::Names,
    .previewColumn = "新名称",
};

FieldTable MakeFields() {
    FieldTable fields = {
        {.name = "extension",
         .caption = "新扩展名",
         .options = {{.name = "--extension",
                      .value = "扩展名",
                      .help = "新扩展名（窗口中的“新扩展名:”），前面可以不加点；${Ext} 代表原扩展名，"
                              "如 ${Ext}.bak"}}},
    };
    for (Field& f : NameCaseFields("新扩展名的大小写（窗口中的“大小写:”）：lower 全部小写，upper 全部大写，"
                                   "title 首字母大写后也是小写；默认不变"))
        fields.push_back(std::move(f));
    return fields;
}

const FieldTable kFields = MakeFields();

class ExtensionJob : public JobOf<ExtensionSettings> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        RunOutcome o;
        o.summary = ChangeExtensions(input.list, settings, input.host);
        o.closing = FilesClosing(o.summary.done);
        return o;
    }
    std::unique_ptr<ChangePreview> PreviewNames(const FileList& list) override {
        return ChangePreview::ForExtension(list, settings);
    }
};

class Extension : public Operation {
public:
    Extension() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (NormalizeExtensionPattern(v.Text("extension")).empty())
            return Refuse(FromUtf8("请输入新扩展名格式！"));
        return CheckTemplatePatternsOf(v, "extension");
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        ExtensionSettings s{v.Text("extension")};
        s.letterCase = LetterCaseOf(v);
        s.keepCase = v.Flag("keepCase");
        s.numberClashes = v.Is("onClash", "number");
        return std::make_unique<ExtensionJob>(std::move(s));
    }
};

}  // namespace

const Operation& ExtensionOp() {
    static const Extension op;
    return op;
}

}  // namespace ferro::ops
