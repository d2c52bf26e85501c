// Date change of the ticked rows' files (and, when asked, of the folders
// that hold them). Dates and the time of day are chosen in local time and
// written as UTC. The created time lives in the platform's record of it
// (see platform/fs.h), so it is only written when it is really changed.
#pragma once

#include <optional>
#include <string_view>

#include "fileops/filelist.h"
#include "fileops/ticked_rows.h"
#include "platform/fs.h"

namespace ferro {

struct CalendarDate {
    int year = 1970, month = 1, day = 1;
};

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct DateSettings {
    bool setModified = false;
    bool setCreated = false;
    bool setAccessed = false;
    // Use `time` as the time of day; without it each timestamp keeps its own.
    bool useTime = false;
    bool foldersToo = false;  // also each file's folder, once per run of rows
    CalendarDate modified, created, accessed;
    TimeOfDay time;

    bool AnyChosen() const { return setModified || setCreated || setAccessed || useTime; }
};

// The times to write for a file whose times are `old`; nullopt keeps one.
// A chosen date gets the chosen time of day (whole seconds), or the time of
// day the timestamp has now in local time. With no date chosen but the time,
// each timestamp keeps its local date and takes the time with milliseconds.
struct NewFileTimes {
    std::optional<FileTime> creation, lastAccess, lastWrite;
    bool Any() const { return creation || lastAccess || lastWrite; }
};
NewFileTimes ComputeNewTimes(const FileTimes& old, const DateSettings& settings);

// Reads a file's or folder's times and writes the new ones; the reason when
// they could not be read or written, or nothing was to change. `written`
// gets what was written. The recorder, when there is one, hears of the
// change before it is made.
Undone ApplyDates(std::string_view path, const DateSettings& settings,
                  NewFileTimes* written = nullptr, ChangeRecorder* recorder = nullptr);

// Every ticked row's file, then its folder when asked and not the folder
// just set (folders are not counted). The created and modified columns of a
// changed row show the new times when their dates were chosen.
RunSummary ChangeDates(FileList& files, const DateSettings& settings, RunHost* host = nullptr);

}  // namespace ferro
