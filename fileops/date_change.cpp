#include "fileops/date_change.h"

#include <string>

namespace ferro {
namespace {

FileTime WithDate(FileTime old, const CalendarDate& date, const DateSettings& s) {
    DateTime local;
    local.year = date.year;
    local.month = date.month;
    local.day = date.day;
    if (s.useTime) {
        local.hour = s.time.hour;
        local.minute = s.time.minute;
        local.second = s.time.second;
    } else {
        const DateTime before = ToLocal(old);
        local.hour = before.hour;
        local.minute = before.minute;
        local.second = before.second;
    }
    return FromLocal(local);
}

FileTime WithTimeOfDay(FileTime old, const TimeOfDay& time) {
    DateTime local = ToLocal(old);
    local.hour = time.hour;
    local.minute = time.minute;
    local.second = time.second;
    local.millisecond = time.millisecond;
    return FromLocal(local);
}

}  // namespace

NewFileTimes ComputeNewTimes(const FileTimes& old, const DateSettings& s) {
    NewFileTimes t;
    if (s.setModified) t.lastWrite = WithDate(old.lastWrite, s.modified, s);
    if (s.setCreated) t.creation = WithDate(old.creation, s.created, s);
    if (s.setAccessed) t.lastAccess = WithDate(old.lastAccess, s.accessed, s);
    if (!s.setModified && !s.setCreated && !s.setAccessed && s.useTime) {
        t.lastWrite = WithTimeOfDay(old.lastWrite, s.time);
        t.creation = WithTimeOfDay(old.creation, s.time);
        t.lastAccess = WithTimeOfDay(old.lastAccess, s.time);
    }
    return t;
}

Undone ApplyDates(std::string_view path, const DateSettings& settings, NewFileTimes* written,
                  ChangeRecorder* recorder) {
    FileTimes old;
    if (!GetFileTimes(path, old)) return UndoneFromFs(LastFsProblem(), Undone::CannotRead);
    const NewFileTimes t = ComputeNewTimes(old, settings);
    if (!t.Any()) return Undone::Unchanged;
    if (recorder && !recorder->WillSetTimes(path)) return Undone::NotRecorded;
    if (!SetFileTimes(path, t.creation, t.lastAccess, t.lastWrite)) {
        const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
        if (recorder) recorder->NotChanged();
        return why;
    }
    if (recorder) recorder->Changed();
    if (written) *written = t;
    return Undone::None;
}

RunSummary ChangeDates(FileList& files, const DateSettings& settings, RunHost* host) {
    if (!settings.AnyChosen()) return RunSummary{};
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    PlanTickedChanges(files, recorder, ChangeRecorder::Change::Times, settings.foldersToo);
    auto changeFile = [&](int row) {
        NewFileTimes t;
        const Undone why = ApplyDates(files.Path(row), settings, &t, recorder);
        if (why != Undone::None) return why;
        // The list shows what was written; with the time alone the columns
        // stay as they are.
        if (settings.setModified && t.lastWrite)
            files.SetCell(kColModified, row, PackedTimeText(PackLocalTime(*t.lastWrite)));
        if (settings.setCreated && t.creation)
            files.SetCell(kColCreated, row, PackedTimeText(PackLocalTime(*t.creation)));
        return Undone::None;
    };
    std::function<bool(const std::string&)> changeFolder;
    if (settings.foldersToo)
        changeFolder = [&](const std::string& folder) {
            return ApplyDates(folder, settings, nullptr, recorder) == Undone::None;
        };
    return ForEachTickedFile(files, changeFile, changeFolder, host);
}

}  // namespace ferro
