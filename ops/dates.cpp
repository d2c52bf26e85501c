// 更改文件或目录日期: sets the modified, created and accessed times of the
// ticked files (and of their folders when asked).
#include "fileops/date_change.h"
#include "fileops/preview.h"
#include "ops/units.h"

namespace ferro::ops {
namespace {

const OperationInfo kInfo = {
    .name = "dates",
    .caption = "更改文件或目录日期",
    .page = "TabSheet9",
    .pageCaption = "更改文件或目录日期",
    .summary = "设定文件的修改、创建和访问日期。",
    .preview = PreviewKind::Names,
    .previewColumn = "新时间",
};

// A date is chosen by its box; on the command line giving the date ticks it.
Field DateField(const char* name, const char* caption, const char* option, const char* help,
                const char* box) {
    return {.name = name,
            .kind = FieldKind::Date,
            .caption = caption,
            .options = {{.name = option, .value = "日期", .help = help, .alsoField = box, .alsoValue = "1"}}};
}

Field Box(const char* name, const char* caption) {
    return {.name = name, .kind = FieldKind::Flag, .fallback = "0", .caption = caption};
}

const FieldTable kFields = {
    Box("setModified", "修改日期"),
    DateField("modified", "新的修改日期", "--modified", "新的修改日期，如 2024-05-31", "setModified"),
    Box("setCreated", "创建日期"),
    DateField("created", "新的创建日期", "--created", "新的创建日期", "setCreated"),
    Box("setAccessed", "访问日期"),
    DateField("accessed", "新的访问日期", "--accessed", "新的访问日期", "setAccessed"),
    Box("useTime", "修改时间"),
    {.name = "time",
     .kind = FieldKind::Time,
     .caption = "新的时刻",
     .options = {{.name = "--time",
                  .value = "时刻",
                  .help = "同时设定时刻，如 17:30:00；不指定时保持原来的时刻",
                  .alsoField = "useTime",
                  .alsoValue = "1"}}},
    {.name = "folders",
     .kind = FieldKind::Flag,
     .fallback = "0",
     .caption = "同时修改文件所在目录日期",
     .options = {{.name = "--folders", .help = "同时修改文件所在目录的日期", .sets = "1"}}},
};

// The settings from the fields; a date or time that is chosen but not a
// real one is refused. Dates that are not chosen keep the values given
// when they are real ones.
std::optional<Refusal> ReadSettings(const FieldValues& v, DateSettings& s) {
    s.setModified = v.Flag("setModified");
    s.setCreated = v.Flag("setCreated");
    s.setAccessed = v.Flag("setAccessed");
    s.useTime = v.Flag("useTime");
    s.foldersToo = v.Flag("folders");
    if (!s.AnyChosen()) return Refuse(FromUtf8("请选择新的日期或时间！"));
    const std::pair<const char*, std::pair<bool, CalendarDate*>> dates[] = {
        {"modified", {s.setModified, &s.modified}},
        {"created", {s.setCreated, &s.created}},
        {"accessed", {s.setAccessed, &s.accessed}},
    };
    for (const auto& [name, date] : dates) {
        if (ReadDate(v.Text(name), *date.second) || !date.first) continue;
        return Refuse(FromUtf8("日期不正确：") + v.Text(name) +
                          FromUtf8("（格式为 年-月-日，如 2024-05-31）"),
                      name);
    }
    if (!ReadTime(v.Text("time"), s.time) && s.useTime)
        return Refuse(FromUtf8("时刻不正确：") + v.Text("time") +
                          FromUtf8("（格式为 时:分:秒，如 17:30:00）"),
                      "time");
    return std::nullopt;
}

class DatesJob : public JobOf<DateSettings> {
public:
    using JobOf::JobOf;
    RunOutcome Run(const RunInput& input) override {
        RunOutcome o;
        o.summary = ChangeDates(input.list, settings, input.host);
        o.closing = FilesClosing(o.summary.done);
        return o;
    }
    std::unique_ptr<ChangePreview> PreviewNames(const FileList& list) override {
        return ChangePreview::ForDates(list, settings);
    }
};

class Dates : public Operation {
public:
    Dates() : Operation(kInfo, kFields) {}
    std::optional<Refusal> Check(const FieldValues& v) const override {
        DateSettings s;
        return ReadSettings(v, s);
    }
    std::unique_ptr<Job> Prepare(const FieldValues& v) const override {
        DateSettings s;
        ReadSettings(v, s);
        return std::make_unique<DatesJob>(s);
    }
};

}  // namespace

const Operation& DatesOp() {
    static const Dates op;
    return op;
}

}  // namespace ferro::ops
