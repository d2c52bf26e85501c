// 更改文件或目录属性: gives the ticked files (and their folders when asked)
// exactly the chosen attributes.
#include "fileops/attribute_change.h"
#include "fileops/preview.h"
#include "ops/units.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "attributes",
    .caption = "更改文件或目录属性",
    .page = "TabSheet10",
    .pageCaption = "更改文件或目录属性",
    .summary = "文件的属性改为指定的几项，其余属性被清除（默认只有存档）。",
    .preview = PreviewKind::Names,
    .previewColumn = "新属性",
};

Field Attribute(const char* name, const char* fallback, const char* caption, const char* option,
                const char* help) {
    return {.name = name,
            .kind = FieldKind::Flag,
            .fallback = fallback,
            .caption = caption,
            .options = {{.name = option, .help = help, .sets = *fallback == '1' ? "0" : "1"}}};
}

const FieldTable kFields = {
    Attribute("archive", "1", "存档", "--no-archive", "不要存档属性"),
    Attribute("system", "0", "系统", "--system", "系统"),
    Attribute("readOnly", "0", "只读", "--read-only", "只读"),
    Attribute("hidden", "0", "隐藏", "--hidden", "隐藏"),
    Attribute("folders", "0", "同时修改文件所在目录属性", "--folders", "同时修改文件所在目录的属性"),
};

AttributeSettings ReadSettings(const FieldValues& v) {
    AttributeSettings s;
    s.archive = v.Flag("archive");
    s.system = v.Flag("system");
    s.readOnly = v.Flag("readOnly");
    s.hidden = v.Flag("hidden");
    s.foldersToo = v.Flag("folders");
    return s;
}

class AttributesJob : public JobOf<AttributeSettings> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        RunOutcome o;
        o.summary = ChangeAttributes(input.list, settings, input.host);
        o.closing = FilesClosing(o.summary.done);
        return o;
    }
    std::unique_ptr<ChangePreview> PreviewNames(const FileList& list) override {
        return ChangePreview::ForAttributes(list, settings);
    }
};

class Attributes : public Operation {
public:
    Attributes() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (ReadSettings(v).Value() == 0) return Refuse(FromUtf8("请选择新的属性！"));
        return std::nullopt;
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        return std::make_unique<AttributesJob>(ReadSettings(v));
    }
};

}  // namespace

const Operation& AttributesOp() {
    static const Attributes op;
    return op;
}

}  // namespace ferro::ops
