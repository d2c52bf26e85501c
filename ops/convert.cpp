// 文件格式转换: each file converted into a new file beside it, as the
// conversion item says.
#include "convert/convert.h"
#include "convert/convert_item.h"
#include "convert/office.h"
#include "convert/outputs.h"
#include "ops/units.h"

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
    {.name = "allSheets",
     .kind = FieldKind::Flag,
     .fallback = "0",
     .caption = "每个工作表一个文件",
     .options = {{.name = "--all-sheets",
                  .help = "表格转换为 csv 或 txt 时每个工作表写成一个文件：文件名_工作表名.csv（窗口中的"
                          "“每个工作表一个文件”）；隐藏的工作表不写出，要写出时在扩展名后加“,隐藏”，"
                          "如 '${XlsTo(csv,隐藏)}'",
                  .sets = "1"}}},
};

// The conversion item as typed, and whether each sheet gets a file.
class ConvertJob : public JobOf<std::string> {
public:
    ConvertJob(std::string format, bool allSheets) : JobOf(std::move(format)), allSheets_(allSheets) {}
    RunOutcome Run(const RunInput& input) override {
        RemoveStaleOfficeFolders();
        // One LibreOffice profile for the whole run; it may convert the rows
        // ahead of the current one together with it.
        OfficeSession office;
        ConvertContext context;
        context.office = &office;
        context.textMode = input.mode;
        context.allSheets = allSheets_;
        // A stop also ends a wait for LibreOffice.
        RunHost* host = input.host;
        context.stopRequested = [host] { return host && host->StopRequested(); };
        RunOutcome o;
        o.summary = ConvertFiles(input.files, settings, context, host);
        o.closing = TextClosing(o.summary.done);
        return o;
    }
    std::vector<PlannedOutput> Outputs(const std::vector<BatchFile>& files) const override {
        return PlanOutputs(files, settings, allSheets_);
    }
    // Outputs that replace files keep those files' old contents for undo
    // (each sheet's file too; a source left undone replaces nothing).
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        std::vector<BatchFile> replaced;
        for (PlannedOutput& out : Outputs(files))
            if (out.exists && out.sameAs.empty()) replaced.push_back({out.row, std::move(out.output)});
        return replaced;
    }

private:
    bool allSheets_;
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
        return std::make_unique<ConvertJob>(v.Text("format"), v.Flag("allSheets"));
    }
};

}  // namespace

const Operation& ConvertOp() {
    static const Convert op;
    return op;
}

}  // namespace ferro::ops
