// File times and the local clock. A FileTime is nanoseconds since
// 1970-01-01 00:00:00 UTC.
#pragma once

#include <cstdint>

namespace ferro {

using FileTime = int64_t;

struct DateTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

FileTime NowFileTime();
// Local calendar time of a file time, in the current time zone.
DateTime ToLocal(FileTime t);
// The file time of a local calendar time (a time that does not exist or is
// ambiguous because of a daylight-saving change resolves as mktime does).
FileTime FromLocal(const DateTime& local);
DateTime LocalNow();

// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);
int DaysInMonth(int year, int month);

// Windows FILETIME (100 ns since 1601) conversions, for records shared with
// Windows clients.
int64_t ToWindowsFileTime(FileTime t);
FileTime FromWindowsFileTime(int64_t ft);

}  // namespace ferro
