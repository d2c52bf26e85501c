#include <gtest/gtest.h>

#include "template/datetime_format.h"
#include "template/gbk.h"

namespace ferro {
namespace {

using test::Gbk;

// A Tuesday afternoon.
const DateTime kT{2012, 5, 1, 15, 7, 9, 7};

std::string F(std::string_view format, const DateTime& t = kT) {
    return FormatDateTime(format, t);
}

TEST(DateTimeFormat, NumberCodes) {
    EXPECT_EQ(F("yyyy-mm-dd"), "2012-05-01");
    EXPECT_EQ(F("yyyymmdd"), "20120501");
    EXPECT_EQ(F("yy.m.d"), "12.5.1");
    EXPECT_EQ(F("hh:nn:ss"), "15:07:09");
    EXPECT_EQ(F("h:n:s"), "15:7:9");
    EXPECT_EQ(F("hhnnss.zzz"), "150709.007");
    EXPECT_EQ(F("z"), "7");
    EXPECT_EQ(F("YYYY-MM-DD HH:NN"), "2012-05-01 15:07");
    EXPECT_EQ(F("yyyy", DateTime{987, 1, 1}), "0987");
}

TEST(DateTimeFormat, MonthCodeAfterAnHourMeansMinutes) {
    EXPECT_EQ(F("hh:mm:ss"), "15:07:09");
    EXPECT_EQ(F("yyyymmddhhmmss"), "20120501150709");
    EXPECT_EQ(F("hh dd mm"), "15 01 05");
    EXPECT_EQ(F("h'h'm"), "15h7");
}

TEST(DateTimeFormat, ChineseNames) {
    EXPECT_EQ(F("mmmm"), Gbk(u"五月"));
    EXPECT_EQ(F("mmm"), Gbk(u"五月"));
    EXPECT_EQ(F("yyyy-mmm-dd"), "2012-" + Gbk(u"五月") + "-01");
    EXPECT_EQ(F("mmm", DateTime{2012, 12, 1}), Gbk(u"十二月"));
    EXPECT_EQ(F("ddd"), Gbk(u"周二"));
    EXPECT_EQ(F("dddd"), Gbk(u"星期二"));
    EXPECT_EQ(F("dddd", DateTime{1899, 12, 30}), Gbk(u"星期六"));
    EXPECT_EQ(F("dddddd"), Gbk(u"2012年5月1日"));
    EXPECT_EQ(F("ampm"), Gbk(u"下午"));
}

TEST(DateTimeFormat, TwelveHourClock) {
    EXPECT_EQ(F("hh am/pm"), "03 pm");
    EXPECT_EQ(F("h:nn AM/PM"), "3:07 PM");
    EXPECT_EQ(F("h a/p", DateTime{2012, 5, 1, 0, 30}), "12 a");
    EXPECT_EQ(F("h", DateTime{2012, 5, 1, 0, 30}), "0");
}

TEST(DateTimeFormat, LiteralsAndSeparators) {
    EXPECT_EQ(F("'yyyy'\"mm\"dd"), "yyyymm01");
    EXPECT_EQ(F("yyyy/mm/dd"), "2012-05-01");
    EXPECT_EQ(F(Gbk(u"yyyy年mm月dd日")), Gbk(u"2012年05月01日"));
    EXPECT_EQ(F("'open"), "open");
    EXPECT_EQ(F("x_#"), "x_#");
    // 乨 is 81 64: its second byte is "d", but it is no day code.
    EXPECT_EQ(F(Gbk(u"乨")), Gbk(u"乨"));
}

TEST(DateTimeFormat, EmptyFormatIsShortDateAndLongTime) {
    EXPECT_EQ(F(""), "2012-05-01 15:07:09");
    EXPECT_EQ(F("", DateTime{2012, 5, 1}), "2012-05-01");
    EXPECT_EQ(F("", DateTime{1899, 12, 30, 8, 0, 1}), "1899-12-30 08:00:01");
    EXPECT_EQ(F("ddddd"), "2012-05-01");
    EXPECT_EQ(F("t"), "15:07");
    EXPECT_EQ(F("tt"), "15:07:09");
}

}  // namespace
}  // namespace ferro
