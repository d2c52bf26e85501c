// 合并关键字内容: the values of the keys the first file (the source) shares
// with the second (the target) are merged into the target.
#include "ops/units.h"
#include "textops/key_merge.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "key-merge",
    .caption = "合并关键字内容",
    .page = "ts1",
    .pageCaption = "合并关键字内容",
    .summary = "KeyName=Value 格式的文件：两个文件都有的关键字，目标文件中的值改为源文件中的值。",
    .filesNote = "第一个文件是源文件，第二个是目标文件",
    .textFiles = true,
    .countsFiles = false,
    .twoFiles = "请选择需要按关键字进行合并的两个文件！",
};

const FieldTable kFields = {BackupField()};

class KeyMergeJob : public JobOf<bool> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        return MergeIntoTarget(input, [&](const std::string& source, const std::string& target) {
            return MergeKeyFiles(source, target, TargetOptions(input, settings));
        });
    }
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        if (files.empty()) return {};
        return {files.back()};
    }
};

class KeyMerge : public Operation {
public:
    KeyMerge() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues&) const override { return std::nullopt; }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        return std::make_unique<KeyMergeJob>(v.Flag("backup"));
    }
};

}  // namespace

const Operation& KeyMergeOp() {
    static const KeyMerge op;
    return op;
}

}  // namespace ferro::ops
