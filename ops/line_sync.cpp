// 按关键字同步行: the lines of the first file (the source) that hold a
// keyword replace the lines of the same number in the second (the target).
#include "ops/units.h"
#include "textops/keywords.h"
#include "textops/line_sync.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "line-sync",
    .caption = "按关键字同步行",
    .page = "TabSheet6",
    .pageCaption = "按关键字同步行",
    .summary = "源文件中含有关键字（不区分大小写）的行替换目标文件中同一行号的行。",
    .filesNote = "第一个文件是源文件，第二个是目标文件",
    .textFiles = true,
    .countsFiles = false,
    .twoFiles = "请选择需要按关键字进行同步的两个文件！",
};

const FieldTable kFields = {
    {.name = "keywords",
     .caption = "关键字",
     .options = {{.name = "--keywords", .value = "关键字", .help = "关键字，可用分号隔开多个关键字"}}},
    RegexField(),
    BackupField(),
};

// The keywords and, with the regex field ticked, their patterns (case
// ignored, as the keywords are).
struct LineSyncSettings {
    std::vector<std::string> keywords;
    std::optional<KeywordPatterns> patterns;
};

std::optional<Refusal> ReadSettings(const FieldValues& v, LineSyncSettings& s) {
    if (v.Text("keywords").empty()) return Refuse(FromUtf8("关键字为空,请输入后再试!"), "keywords");
    s.keywords = SplitKeywords(v.Text("keywords"));
    return ReadKeywordPatterns(v, s.keywords, {.ignoreCase = true}, s.patterns);
}

// Its settings are the keywords; their patterns go beside.
class LineSyncJob : public JobOf<std::vector<std::string>> {
public:
    LineSyncJob(LineSyncSettings s, bool backup)
        : JobOf(std::move(s.keywords)), patterns_(std::move(s.patterns)), backup_(backup) {}
    RunOutcome Run(const RunInput& input) override {
        return MergeIntoTarget(input, [&](const std::string& source, const std::string& target) {
            return SyncLineFiles(settings, source, target, TargetOptions(input, backup_),
                                 patterns_ ? &*patterns_ : nullptr);
        });
    }
    std::vector<BatchFile> Rewrites(const std::vector<BatchFile>& files) const override {
        if (files.empty()) return {};
        return {files.back()};
    }

private:
    std::optional<KeywordPatterns> patterns_;
    bool backup_;
};

class LineSync : public Operation {
public:
    LineSync() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        LineSyncSettings s;
        return ReadSettings(v, s);
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        LineSyncSettings s;
        ReadSettings(v, s);
        return std::make_unique<LineSyncJob>(std::move(s), v.Flag("backup"));
    }
};

}  // namespace

const Operation& LineSyncOp() {
    static const LineSync op;
    return op;
}

}  // namespace ferro::ops
