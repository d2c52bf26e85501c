// 文件信息统计: the size and line figures of each file. Changes nothing.
#include "ops/units.h"
#include "platform/fs.h"
#include "textops/file_statistics.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "statistics",
    .caption = "文件信息统计",
    .page = "ts3",
    .pageCaption = "文件信息统计",
    .summary = "在标准输出上列出每个文件的大小、总行数、空行数、数据行数和行的最大、最小、平均字符数。"
               "不修改文件。",
    .textFiles = true,
    .changesFiles = false,
    .countsFiles = false,
};

const FieldTable kFields = {};

class StatisticsJob : public Job {
public:
    RunOutcome Run(const RunInput& input) override {
        RunOutcome o;
        RunTracker run(input.host, static_cast<int>(input.files.size()));
        run.ForEach(input.files, [&](const BatchFile& f) {
            try {
                FindEntry entry;
                const int64_t size = StatPath(f.path, entry) ? entry.size : 0;
                const FileStatistics s =
                    CountFileStatistics(LoadTextFile(f.path, input.mode).lines, size);
                o.statistics.emplace_back(f.path, s);
                run.Done(f.row, f.path);
                if (input.counted) input.counted(f.path, s);
            } catch (const TextFileError& e) {
                // Nothing is written: one unreadable file need not hide the rest.
                if (o.problem.empty()) o.problem = e.what();
                run.Skip(f.row, f.path, e.why());
            }
        });
        o.summary = run.Take();
        o.closing = FromUtf8("成功统计完成!");
        return o;
    }
};

class Statistics : public Operation {
public:
    Statistics() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues&) const override { return std::nullopt; }
    std::unique_ptr<Job> Prepare(const FieldValues&) const override {
        return std::make_unique<StatisticsJob>();
    }
};

}  // namespace

const Operation& StatisticsOp() {
    static const Statistics op;
    return op;
}

}  // namespace ferro::ops
