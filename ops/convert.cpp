// 文件格式转换: each file converted into a new file beside it, as the
// conversion item says.
#include "convert/convert.h"
#include "convert/convert_item.h"
#include "convert/office.h"
#include "ops/units.h"
#include "platform/fs.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "convert",
    .caption = "文件格式转换",
    .page = "TabSheet12",
    .pageCaption = "文件格式转换",
    .summary = "转换后的新文件保存在原文件旁边，文件名相同，扩展名为新扩展名。",
    .textFiles = true,
    .preview = PreviewKind::Outputs,
};

const FieldTable kFields = {
    {.name = "format",
     .caption = "新文件格式",
     .options = {{.name = "--format",
                  .value = "转换函数",
                  .help = "${XlsTo(扩展名)}、${CsvTo(扩展名)}、${TxtTo(扩展名)} 或 ${VcfTo(扩展名)}，"
                          "如 '${CsvTo(xls)}'（表格转换需要安装 LibreOffice）"}}},
};

class ConvertJob : public JobOf<std::string> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        RemoveStaleOfficeFolders();
        // One LibreOffice profile for the whole run; it may convert the rows
        // ahead of the current one together with it.
        OfficeSession office;
        ConvertContext context;
        context.office = &office;
        context.textMode = input.mode;
        // A stop also ends a wait for LibreOffice.
        RunHost* host = input.host;
        context.stopRequested = [host] { return host && host->StopRequested(); };
        RunOutcome o;
        o.summary = ConvertFiles(input.files, settings, context, host);
        o.closing = TextClosing(o.summary.done);
        return o;
    }
    std::vector<PlannedOutput> Outputs(const std::vector<BatchFile>& files) const override {
        const ConvertItem item = ParseConvertItem(settings);
        std::vector<PlannedOutput> outputs;
        for (const BatchFile& f : files) {
            std::string target = NewFilePath(f.path, item.argument);
            if (target.empty()) continue;
            const bool exists = FileExists(target);
            outputs.push_back({f.row, std::move(target), exists});
        }
        return outputs;
    }
    // Outputs that replace files keep those files' old contents for undo.
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        std::vector<BatchFile> replaced;
        for (PlannedOutput& out : Outputs(files))
            if (out.exists) replaced.push_back({out.row, std::move(out.path)});
        return replaced;
    }
};

class Convert : public Operation {
public:
    Convert() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        if (const auto problem = CheckConvertFormat(v.Text("format")); problem != ConvertFormatProblem::None)
            return Refuse(ProblemText(problem), "format");
        return std::nullopt;
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        return std::make_unique<ConvertJob>(v.Text("format"));
    }
};

}  // namespace

const Operation& ConvertOp() {
    static const Convert op;
    return op;
}

}  // namespace ferro::ops
