// Field values as text: what remembered settings and presets keep, read
// back as they were; dates and times as the command line and the window's
// pickers give them.
#include <gtest/gtest.h>

#include "ops/registry.h"

namespace ferro::ops {
namespace {

const FieldTable kTable = {
    {.name = "text"},
    {.name = "memo", .kind = FieldKind::Memo},
    {.name = "flag", .kind = FieldKind::Flag, .fallback = "1"},
    {.name = "mode", .kind = FieldKind::Choice, .fallback = "a", .choices = {{"a", "A"}, {"b", "B"}}},
    {.name = "day", .kind = FieldKind::Date, .fallback = "2024-05-31"},
    {.name = "time", .kind = FieldKind::Time, .fallback = "17:30:00"},
};

TEST(FieldValues, RoundTripThroughText) {
    FieldValues v(kTable);
    v.Set("text", "a=b \\n\t\xD6\xD0");  // an "=", a backslash, a tab, GBK
    v.Set("memo", "line 1\r\nline 2\r\n");
    v.Set("flag", "0");
    v.Set("mode", "b");
    v.Set("day", "1999-12-01");
    v.Set("time", "07:08:09.250");
    const std::string text = ToText(v);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("memo=line 1\\r\\nline 2\\r\\n\n"), std::string::npos) << text;
    EXPECT_EQ(FromText(kTable, text), v);
    // Every operation's defaults too.
    for (const Operation* op : Operations()) {
        SCOPED_TRACE(op->info().name);
        EXPECT_EQ(FromText(op->fields(), ToText(op->Defaults())), op->Defaults());
    }
}

TEST(FieldValues, TextThatDoesNotFitIsLeftOut) {
    const struct Case {
        const char* name;
        const char* text;
        const char* field;
        const char* value;  // what the field holds afterwards
    } cases[] = {
        {"unknown field", "nothing=1\n", "text", ""},
        {"flag not 0 or 1", "flag=yes\n", "flag", "1"},
        {"not a choice", "mode=c\n", "mode", "a"},
        {"no such day", "day=2023-02-29\n", "day", "2024-05-31"},
        {"not a time", "time=24:00\n", "time", "17:30:00"},
        {"bad escape", "text=a\\qb\n", "text", ""},
        {"no equals sign", "text\n", "text", ""},
        {"last line without LF", "text=x", "text", "x"},
        {"value with equals", "text=a=b\n", "text", "a=b"},
        {"later line wins", "mode=b\nmode=a\n", "mode", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromText(kTable, c.text).Text(c.field), c.value);
    }
    FieldValues v(kTable);
    EXPECT_THROW(v.Text("nothing"), std::logic_error);
    EXPECT_THROW(v.Set("nothing", "x"), std::logic_error);
}

TEST(FieldValues, DatesAndTimes) {
    const struct Case {
        const char* text;
        bool ok;
        CalendarDate date;
    } dates[] = {
        {"2024-05-31", true, {2024, 5, 31}}, {" 2000-2-29 ", true, {2000, 2, 29}},
        {"2023-02-29", false, {}},           {"1600-12-31", false, {}},
        {"10000-01-01", false, {}},          {"2024-13-01", false, {}},
        {"2024-05", false, {}},              {"", false, {}},
    };
    for (const Case& c : dates) {
        SCOPED_TRACE(c.text);
        CalendarDate d;
        ASSERT_EQ(ReadDate(c.text, d), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(d.year, c.date.year);
        EXPECT_EQ(d.month, c.date.month);
        EXPECT_EQ(d.day, c.date.day);
    }
    EXPECT_EQ(DateText({987, 6, 5}), "0987-06-05");

    const struct TimeCase {
        const char* text;
        bool ok;
        TimeOfDay time;
        const char* written;
    } times[] = {
        {"17:30", true, {17, 30, 0, 0}, "17:30:00"},
        {"1:2:3", true, {1, 2, 3, 0}, "01:02:03"},
        {"23:59:59.5", true, {23, 59, 59, 500}, "23:59:59.500"},
        {"07:08:09.025", true, {7, 8, 9, 25}, "07:08:09.025"},
        {"24:00", false, {}, nullptr},
        {"12:60", false, {}, nullptr},
        {"12", false, {}, nullptr},
        {"1:2:3:4", false, {}, nullptr},
        {"1:2:3.1234", false, {}, nullptr},
        {"1:2.5", false, {}, nullptr},
    };
    for (const TimeCase& c : times) {
        SCOPED_TRACE(c.text);
        TimeOfDay t;
        ASSERT_EQ(ReadTime(c.text, t), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(t.hour, c.time.hour);
        EXPECT_EQ(t.minute, c.time.minute);
        EXPECT_EQ(t.second, c.time.second);
        EXPECT_EQ(t.millisecond, c.time.millisecond);
        EXPECT_EQ(TimeText(t), c.written);
    }
}

}  // namespace
}  // namespace ferro::ops
