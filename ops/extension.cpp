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

const FieldTable kFields = {
    {.name = "extension",
     .caption = "新扩展名",
     .options = {{.name = "--extension",
                  .value = "扩展名",
                  .help = "新扩展名（窗口中的“新扩展名:”），前面可以不加点；${Ext} 代表原扩展名，"
                          "如 ${Ext}.bak"}}},
};

class ExtensionJob : public JobOf<std::string> {
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
        return std::nullopt;
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        return std::make_unique<ExtensionJob>(v.Text("extension"));
    }
};

}  // namespace

const Operation& ExtensionOp() {
    static const Extension op;
    return op;
}

}  // namespace ferro::ops
