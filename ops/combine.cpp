// 文件内容合并: the files, in order, are joined into the last one.
#include "ops/units.h"
#include "textops/file_combine.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "combine",
    .caption = "文件内容合并",
    .page = "TabSheet11",
    .pageCaption = "文件内容合并",
    .summary = "所有文件的内容按列出的顺序合并到最后一个文件中。",
    .filesNote = "最后一个文件是目标文件",
    .textFiles = true,
};

const FieldTable kFields = {BackupField()};

class CombineJob : public JobOf<bool> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        TextBatchOptions options;
        options.backup = settings;
        options.mode = input.mode;
        RunOutcome o;
        o.summary = CombineFiles(input.files, options, input.host);
        o.closing = TextClosing(o.summary.done);
        return o;
    }
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        if (files.empty()) return {};
        return {files.back()};
    }
};

class Combine : public Operation {
public:
    Combine() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues&) const override { return std::nullopt; }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        return std::make_unique<CombineJob>(v.Flag("backup"));
    }
};

}  // namespace

const Operation& CombineOp() {
    static const Combine op;
    return op;
}

}  // namespace ferro::ops
