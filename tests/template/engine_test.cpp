#include <gtest/gtest.h>

#include "platform/times.h"
#include "template/datetime_format.h"
#include "template/functions.h"
#include "template/gbk.h"
#include "template/template.h"

namespace ferro {
namespace {

using test::Gbk;

constexpr std::string_view kReport = "report_2012";

std::string Eval(std::string_view expression, std::string_view subject = kReport) {
    return EvaluateTemplate(subject, expression);
}

TEST(TemplateExamples, TakeAndDelete) {
    EXPECT_EQ(Eval("${getleft(6)}"), "report");
    EXPECT_EQ(Eval("${getright(4)}"), "2012");
    EXPECT_EQ(Eval("${delleft(7)}"), "2012");
}

TEST(TemplateExamples, NestedItems) {
    EXPECT_EQ(Eval("${getleft(${pos(_)}-1)}"), "report");
    EXPECT_EQ(Eval("${getright(${len(${lineorg()})}-7)}"), "2012");
}

TEST(TemplateExamples, ReplaceSwapInsertAndMarkers) {
    EXPECT_EQ(Eval("${repstr(_,-)}"), "report-2012");
    EXPECT_EQ(Eval("${xchg(report,2012)}"), "2012_report");
    EXPECT_EQ(Eval("${addmid2(_,1,v)}"), "report_v2012");
    EXPECT_EQ(Eval("${getstr2(r,t)}"), "report");
}

TEST(TemplateExamples, PlainTextAndUnknownNames) {
    EXPECT_EQ(Eval("${len(abc)}"), "3");
    EXPECT_EQ(Eval("abc"), "abc");
    EXPECT_EQ(Eval("${foo(1)}"), "report_2012");
    EXPECT_EQ(Eval("${abc}"), "abc");
    EXPECT_EQ(Eval(""), "");
    EXPECT_EQ(Eval("${"), "");
}

TEST(TemplateEdges, NamesInAnyCaseButNotPadded) {
    EXPECT_EQ(Eval("${GetLeft(3)}"), "rep");
    EXPECT_EQ(Eval("${GETLEFT(3)}"), "rep");
    EXPECT_EQ(Eval("${ getleft(3)}"), "report_2012");
    EXPECT_EQ(Eval("${getleft (3)}"), "report_2012");
}

TEST(TemplateEdges, MarkersAreCaseSensitiveReplacementsAreNot) {
    EXPECT_EQ(Eval("${pos(b)}", "ABC"), "0");
    EXPECT_EQ(Eval("${repstr(b,x)}", "ABC"), "AxC");
    EXPECT_EQ(Eval("${xchg(a,c)}", "ABC"), "cBa");
    EXPECT_EQ(Eval("${getstr(b,2)}", "ABC"), "ABC");
    EXPECT_EQ(Eval("${delstrr(b)}", "ABC"), "ABC");
    EXPECT_EQ(Eval("${delstr(b)}", "AbBc"), "Ac");
}

TEST(TemplateEdges, ChineseCharactersCountAsTwoBytes) {
    const std::string s = Gbk(u"中文ab");
    EXPECT_EQ(Eval("${getleft(2)}", s), Gbk(u"中"));
    EXPECT_EQ(Eval("${getright(2)}", s), "ab");
    EXPECT_EQ(Eval(Gbk(u"${len(中)}"), s), "2");
    EXPECT_EQ(Eval(Gbk(u"${pos(文)}"), s), "3");
}

TEST(TemplateEdges, CountsBeyondTheText) {
    const std::string ten = "0123456789";
    EXPECT_EQ(Eval("${delright(20)}", ten), ten);
    EXPECT_EQ(Eval("${delright(10)}", ten), "");
    EXPECT_EQ(Eval("${delleft(20)}", ten), "");
    EXPECT_EQ(Eval("${delleft(0)}", ten), ten);
    EXPECT_EQ(Eval("${getleft(20)}", ten), ten);
    EXPECT_EQ(Eval("${getright(20)}", ten), ten);
    EXPECT_EQ(Eval("${getleft(-1)}", ten), ten);
    EXPECT_EQ(Eval("${getmid(11,2)}", ten), "");
    EXPECT_EQ(Eval("${getmid(0,2)}", ten), ten);
    EXPECT_EQ(Eval("${delmid(3,2)}", ten), "01456789");
    EXPECT_EQ(Eval("${delmid(11,2)}", ten), ten);
    EXPECT_EQ(Eval("${addmid(0,x)}", ten), ten);
    EXPECT_EQ(Eval("${addmid(99,x)}", ten), ten + "x");
}

TEST(TemplateEdges, Escapes) {
    EXPECT_EQ(Eval("${addleft(\\t)}", "a"), "\ta");
    EXPECT_EQ(Eval("${addright(\\R\\N)}", "a"), "a\r\n");
    EXPECT_EQ(Eval("x\\ty"), "x\ty");
    // The subject keeps its backslashes, also when it passes through a
    // nested item.
    EXPECT_EQ(Eval("${lineorg()}", "a\\tb"), "a\\tb");
    EXPECT_EQ(Eval("${len(${lineorg()})}", "C:\\temp\\new"), "11");
}

TEST(TemplateEdges, ArgumentsSplitAtTheFirstTwoCommasAfterNesting) {
    EXPECT_EQ(Eval("${getmid(2,3,4)}", "abcdef"), "bcd");
    EXPECT_EQ(Eval("${addmid2(a,1,x,y)}", "abc"), "ax,ybc");
    EXPECT_EQ(Eval("${addleft(${lineorg()})}", "a,b"), "aa,b");
    EXPECT_EQ(Eval("${addleft()}", "a"), "a");
}

TEST(TemplateEdges, NumberArgumentsAreArithmetic) {
    EXPECT_EQ(Eval("${getleft(2*3)}"), Eval("${getleft(6)}"));
    EXPECT_EQ(Eval("${getleft(abc)}"), "report_2012");
    EXPECT_EQ(Eval("${getleft(13/2)}"), "report");
    EXPECT_EQ(Eval("${getleft(1e300*1e300)}"), "report_2012");
    EXPECT_EQ(Eval("${getright(1e300*1e300-1e300*1e300)}"), "report_2012");
}

TEST(TemplateEdges, TextBeforeTheCallIsDropped) {
    EXPECT_EQ(Eval("xyz${getleft(3)}"), "rep");
}

TEST(TemplateFunctions, Keywords) {
    EXPECT_EQ(Eval("${delrange(p,_)}"), "re2012");
    EXPECT_EQ(Eval("${delrange(_,r)}"), "report_2012");  // no r after the _
    EXPECT_EQ(Eval("${delrange(x,_)}"), "report_2012");
    EXPECT_EQ(Eval("${getstr(_,3)}"), "_20");
    EXPECT_EQ(Eval("${getstr(_,0)}"), "report_2012");
    EXPECT_EQ(Eval("${getstr2(_,x)}"), "report_2012");
    EXPECT_EQ(Eval("${addmid2(_,0,v)}"), "reportv_2012");
    EXPECT_EQ(Eval("${addmid2(_,-9,v)}"), "vreport_2012");
    EXPECT_EQ(Eval("${addmid2(x,1,v)}"), "report_2012");
    EXPECT_EQ(Eval("${getmid2(_,1,2)}"), "20");
    EXPECT_EQ(Eval("${getmid2(_,-7,2)}"), "report_2012");  // p + n = 0
    EXPECT_EQ(Eval("${getmid2(_,-6,2)}"), "re");
    EXPECT_EQ(Eval("${getmid2(_,1,0)}"), "report_2012");
    EXPECT_EQ(Eval("${pos(x)}"), "0");
    EXPECT_EQ(Eval("${pos()}"), "0");
    EXPECT_EQ(Eval("${delstrr(_)}"), "report");
    EXPECT_EQ(Eval("${delstrl(_)}"), "2012");
}

TEST(TemplateFunctions, DelStrLRemovesALongerKeywordWhole) {
    EXPECT_EQ(Eval("${delstrl(t_2)}"), "012");
    EXPECT_EQ(Eval(Gbk(u"${delstrl(的)}"), Gbk(u"我的文件")), Gbk(u"文件"));
    EXPECT_EQ(Eval("${delstrl(x)}"), "report_2012");
}

TEST(TemplateFunctions, Xchg) {
    // Empty a1 deletes every a2 and the other way round.
    EXPECT_EQ(Eval("${xchg(,_)}"), "report2012");
    EXPECT_EQ(Eval("${xchg(_,)}"), "report2012");
    // The marker text already in the subject turns into a2 too.
    EXPECT_EQ(Eval("${xchg(a,b)}", "(!@#$%^&*)"), "b");
}

TEST(TemplateFunctions, LengthsAndConversions) {
    EXPECT_EQ(Eval("${len()}"), "0");
    EXPECT_EQ(Eval("${lineorg()}"), "report_2012");
    EXPECT_EQ(Eval("${chs2num(${lineorg()})}", Gbk(u"第三章")), Gbk(u"第3章"));
    EXPECT_EQ(Eval(Gbk(u"${chs2num(二十三)}")), "23");
    EXPECT_EQ(Eval("${gb2big(ignored)}", Gbk(u"发展")), "\xB5\x6F\xAE\x69");
    EXPECT_EQ(Eval("${big2gb()}", "\xB5\x6F\xAE\x69"), Gbk(u"发展"));
}

TEST(TemplateFunctions, NewLine) {
    EXPECT_EQ(Eval("${newline(4)}", "abcdefghij"), "abcd\r\nefgh\r\nij");
    EXPECT_EQ(Eval("${newline(4)}", "abcd"), "abcd");
    EXPECT_EQ(Eval("${newline(0)}", "abcdefghij"), "abcdefghij");
    EXPECT_EQ(Eval("${newline(2)}", "abcd"), "ab\r\ncd");
    // Byte 3 is a lead byte: pieces of two bytes, no character split.
    EXPECT_EQ(Eval("${newline(3)}", Gbk(u"中文中文中")), Gbk(u"中") + "\r\n" + Gbk(u"文") + "\r\n" +
                                                             Gbk(u"中") + "\r\n" + Gbk(u"文") +
                                                             "\r\n" + Gbk(u"中"));
    EXPECT_EQ(Eval("${newline(3)}", "a" + Gbk(u"中文")), "a" + Gbk(u"中") + "\r\n" + Gbk(u"文"));
}

TEST(TemplateFunctions, DateAndTime) {
    // Time codes of a date are midnight; date codes of a time are the zero
    // date.
    EXPECT_EQ(Eval("${date(hh:nn:ss)}"), "00:00:00");
    EXPECT_EQ(Eval("${time(yyyy-mm-dd)}"), "1899-12-30");
    EXPECT_EQ(Eval("${date(yyyy)}").size(), 4u);

    // Around midnight the two clock readings may fall on different days;
    // one of them must match.
    DateTime before = LocalNow();
    const std::string today = Eval("${date()}");
    DateTime after = LocalNow();
    EXPECT_TRUE(today == FormatDateTime("yyyy-mm-dd", before) ||
                today == FormatDateTime("yyyy-mm-dd", after))
        << today;

    const std::string now = Eval("${time()}");
    ASSERT_GE(now.size(), 10u);
    EXPECT_EQ(now.substr(0, 10), "1899-12-30");
    if (now.size() > 10) {
        EXPECT_EQ(now.size(), 19u) << now;
        EXPECT_EQ(now[10], ' ');
        EXPECT_EQ(now[13], ':');
    }
}

TEST(TemplateTermination, StrayClosingBraces) {
    // A "}" that closes nothing and does not follow ")" is text of the
    // argument; text after the call's closing brace is kept.
    EXPECT_EQ(Eval("${getleft(3)}_x"), "rep_x");
    EXPECT_EQ(Eval("${addleft(a}b)}", "s"), "a}bs");
    EXPECT_EQ(Eval("${addleft(}}})}", "s"), "}}}s");
    EXPECT_EQ(Eval("${addleft(${len(ab)}})}", "s"), "2}s");
}

TEST(TemplateTermination, ValuesHoldingMarkupStayText) {
    EXPECT_EQ(Eval("${len(${lineorg()})}", "a}b"), "3");
    EXPECT_EQ(Eval("${addleft(${lineorg()})}", "{a}"), "{a}{a}");
    // A subject that looks like a template is not evaluated again, so the
    // evaluation cannot feed on itself.
    EXPECT_EQ(Eval("${addleft(${lineorg()})}", "x${lineorg()}"), "x${lineorg()}x${lineorg()}");
    EXPECT_EQ(Eval("${addleft(${lineorg()}${lineorg()})}", "${len(a)}"),
              "${len(a)}${len(a)}${len(a)}");
    // Nor when the enclosing item is evaluated.
    EXPECT_EQ(Eval("${len(${lineorg()})}", "${len(a)}"), "9");
}

// Both evaluators, so that the bound holds the same in each.
std::string EvalBoth(std::string_view expression, std::string_view subject) {
    const std::string plain = EvaluateTemplate(subject, expression);
    CompiledTemplate compiled(expression);
    EXPECT_EQ(compiled.Evaluate(subject), plain);
    return plain;
}

void ExpectTooLong(std::string_view expression, std::string_view subject) {
    EXPECT_THROW(EvaluateTemplate(subject, expression), ValueTooLong);
    CompiledTemplate compiled(expression);
    EXPECT_THROW(compiled.Evaluate(subject), ValueTooLong);
}

DateTime FixedNow() { return DateTime{2026, 12, 9, 8, 30, 0, 0}; }

TEST(TemplateTextAfterCall, IsKeptAndItsCallsEvaluated) {
    detail::SetClockForTesting(FixedNow);
    struct Case {
        const char* name;
        std::string expression, subject, value;
    };
    const Case cases[] = {
        {"text after a call", "${getleft(3)}_x", "report_2012", "rep_x"},
        {"a date then a number", "${date(yyyy-mm-dd)}_001", "a", "2026-12-09_001"},
        {"two calls", "${getleft(6)}.${getright(4)}", "report_2012", "report.2012"},
        {"calls side by side", "${getright(4)}${getleft(6)}", "report_2012", "2012report"},
        {"text before the first call is still dropped", "x${getleft(3)}_y", "report_2012",
         "rep_y"},
        {"text between calls stays", "${len(ab)}x${len(abc)}", "", "2x3"},
        {"nested items in the first call", "${getleft(${pos(_)}-1)}-${len(${lineorg()})}",
         "report_2012", "report-11"},
        {"a name without arguments", "${abc}_x", "s", "abc_x"},
        {"an unknown function after", "${getleft(3)}_${foo(1)}", "report_2012",
         "rep_report_2012"},
        {"a stray brace after", "${getleft(3)}}", "report_2012", "rep}"},
        {"a close after", "${getleft(3)})}", "report_2012", "rep)}"},
        {"an unclosed call after is text", "${getleft(3)}_${len(ab)", "report_2012",
         "rep_${len(ab)"},
        {"a lone opening after is text", "${getleft(3)}_${", "report_2012", "rep_${"},
        {"escapes after the call", "${getleft(3)}\\t", "report_2012", "rep\t"},
        {"Chinese text after the call", Gbk(u"${getleft(2)}中文"), Gbk(u"中文ab"),
         Gbk(u"中中文")},
        // 亇 is 81 7D: its trail byte is no closing brace.
        {"a brace inside a character after", Gbk(u"${getleft(1)}亇)}"), "ab",
         Gbk(u"a亇)}")},
        {"a value holding markup is not read again", "${lineorg()}_${len(a)}", "${len(xy)}",
         "${len(xy)}_1"},
        // Braces that belong to the argument keep the whole call as before.
        {"a brace in the argument", "${addleft(a}b)}", "s", "a}bs"},
        {"a closed item in the argument", "${addleft(${len(ab)}})}", "s", "2}s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EvalBoth(c.expression, c.subject), c.value);
    }
    detail::SetClockForTesting(nullptr);
}

TEST(TemplateTextAfterCall, CallsAfterTheFirstShareTheBound) {
    struct LowBound {
        LowBound() { detail::SetValueLimitForTesting(1000); }
        ~LowBound() { detail::SetValueLimitForTesting(0); }
    } lowBound;
    const std::string subject(400, 'a');
    // Each value is within the bound, the three together are not.
    EvalBoth("${lineorg()}${lineorg()}", subject);
    ExpectTooLong("${lineorg()}${lineorg()}${lineorg()}", subject);
}

TEST(TemplateBound, LongLinesAreReplacedWhole) {
    // A megabyte line whose every byte becomes twenty stays far below the
    // bound.
    const std::string line(1 << 20, 'a');
    const std::string twenty = "abcdefghijklmnopqrst";
    const std::string r = EvalBoth("${repstr(a," + twenty + ")}", line);
    ASSERT_EQ(r.size(), line.size() * 20);
    EXPECT_EQ(r.substr(0, 40), twenty + twenty);
    EXPECT_EQ(r.substr(r.size() - 20), twenty);
}

TEST(TemplateBound, GrowthPastTheBoundThrows) {
    // A thousandfold each level: a gigabyte at the second, refused before
    // anything of that size is made.
    const std::string a(1000, 'a');
    EXPECT_EQ(EvalBoth("${repstr(a,${lineorg()})}", a), std::string(1000000, 'a'));
    ExpectTooLong("${repstr(a,${repstr(a,${lineorg()})})}", a);
    ExpectTooLong("${xchg(a,${repstr(a,${lineorg()})})}", a);
    ExpectTooLong("${addleft(${repstr(a,${repstr(a,${lineorg()})})})}", a);
}

TEST(TemplateBound, TheBoundItself) {
    struct LowBound {
        LowBound() { detail::SetValueLimitForTesting(1000); }
        ~LowBound() { detail::SetValueLimitForTesting(0); }
    } lowBound;
    struct Case {
        const char* expression;
        std::size_t subjectLength;
        bool tooLong;
    };
    const Case cases[] = {
        {"${repstr(a,xx)}", 500, false},  // exactly the bound
        {"${repstr(a,xx)}", 501, true},
        // A swap goes through a ten-byte marker, whose text counts too.
        {"${xchg(a,b)}", 100, false},
        {"${xchg(a,b)}", 101, true},
        {"${xchg(bb,a)}", 500, false},
        {"${xchg(bb,a)}", 501, true},  // the second pass grows it
        // A text already past the bound may be replaced as long as it does
        // not grow.
        {"${repstr(a,b)}", 5000, false},
        {"${repstr(a,)}", 5000, false},
        {"${repstr(x,yy)}", 5000, false},  // no match, no growth
        {"${repstr(a,bb)}", 5000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        SCOPED_TRACE(c.subjectLength);
        const std::string subject(c.subjectLength, 'a');
        if (c.tooLong)
            ExpectTooLong(c.expression, subject);
        else
            EvalBoth(c.expression, subject);
    }
}

TEST(TemplateTermination, BracesInsideDoubleByteCharacters) {
    // 亇 is 81 7D: its second byte is "}", yet it closes nothing.
    EXPECT_EQ(Eval(Gbk(u"${len(亇)}")), "2");
    EXPECT_EQ(Eval(Gbk(u"${addleft(${len(亇)})}"), "s"), "2s");
}

TEST(TemplateTermination, NewLineWidthOneTakesWholeCharacters) {
    EXPECT_EQ(Eval("${newline(1)}", Gbk(u"中文")), Gbk(u"中") + "\r\n" + Gbk(u"文"));
    EXPECT_EQ(Eval("${newline(1)}", "a" + Gbk(u"中") + "b"), "a\r\n" + Gbk(u"中") + "\r\nb");
    // A four-byte character is never split either.
    const std::string four = "\x81\x30\x81\x30";
    EXPECT_EQ(Eval("${newline(2)}", four + four), four + "\r\n" + four);
}

TEST(TemplateTermination, DeepAndWideNesting) {
    std::string deep;
    for (int i = 0; i < 2000; ++i) deep += "${addleft(";
    deep += "x";
    for (int i = 0; i < 2000; ++i) deep += ")}";
    EXPECT_EQ(Eval(deep, "s"), "x" + std::string(2000, 's'));

    std::string wide = "${addleft(";
    for (int i = 0; i < 1000; ++i) wide += "${len(ab)}";
    wide += ")}";
    EXPECT_EQ(Eval(wide, ""), std::string(1000, '2'));
}

TEST(TemplateNesting, EqualItemsInAnyCaseShareTheFirstValue) {
    // Every occurrence of an item is replaced by the value of the first.
    EXPECT_EQ(Eval("${addleft(${repstr(a,x)}${REPSTR(A,X)})}", "a"), "xxa");
}

}  // namespace
}  // namespace ferro
