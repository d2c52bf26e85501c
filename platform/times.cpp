#include "platform/times.h"

#include <ctime>

namespace ferro {

namespace {
constexpr int64_t kNsPerSec = 1000000000LL;
// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kWindowsEpochOffset = 116444736000000000LL;

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
}  // namespace

FileTime NowFileTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
}

DateTime ToLocal(FileTime t) {
    int64_t sec = FloorDiv(t, kNsPerSec);
    int64_t ns = t - sec * kNsPerSec;
    time_t tt = static_cast<time_t>(sec);
    tm lt{};
    localtime_r(&tt, &lt);
    DateTime d;
    d.year = lt.tm_year + 1900;
    d.month = lt.tm_mon + 1;
    d.day = lt.tm_mday;
    d.hour = lt.tm_hour;
    d.minute = lt.tm_min;
    d.second = lt.tm_sec;
    d.millisecond = static_cast<int>(ns / 1000000);
    return d;
}

FileTime FromLocal(const DateTime& local) {
    tm lt{};
    lt.tm_year = local.year - 1900;
    lt.tm_mon = local.month - 1;
    lt.tm_mday = local.day;
    lt.tm_hour = local.hour;
    lt.tm_min = local.minute;
    lt.tm_sec = local.second;
    lt.tm_isdst = -1;
    time_t tt = mktime(&lt);
    return static_cast<int64_t>(tt) * kNsPerSec + static_cast<int64_t>(local.millisecond) * 1000000;
}

DateTime LocalNow() { return ToLocal(NowFileTime()); }

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[(month - 1) % 12];
}

int64_t ToWindowsFileTime(FileTime t) { return FloorDiv(t, 100) + kWindowsEpochOffset; }

FileTime FromWindowsFileTime(int64_t ft) { return (ft - kWindowsEpochOffset) * 100; }

}  // namespace ferro
