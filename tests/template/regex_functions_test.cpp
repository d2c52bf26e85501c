// ${RegRep(..)} and ${RegGet(..)}: what a user writes gives what the usage
// notes promise, in both evaluators, with commas, braces and parentheses
// in patterns, nested in other calls and after them; a bad pattern is
// refused, a pathological one ends at once, and a replacement cannot grow
// without bound.
#include <gtest/gtest.h>

#include <chrono>

#include "template/functions.h"
#include "template/gbk.h"
#include "template/template.h"

namespace ferro {
namespace {

using test::Gbk;

// The value both evaluators give (they must agree), or "<refused>".
std::string Value(std::string_view subject, std::string_view expression) {
    std::string reference, compiled;
    try {
        reference = EvaluateTemplate(subject, expression);
    } catch (const TemplateError& e) {
        reference = std::string("<refused>") + e.what();
    }
    CompiledTemplate t(expression);
    for (int round = 0; round < 2; ++round) {
        try {
            compiled = std::string(t.Evaluate(subject));
        } catch (const TemplateError& e) {
            compiled = std::string("<refused>") + e.what();
        }
        EXPECT_EQ(compiled, reference) << "round " << round;
    }
    return reference;
}

TEST(RegexFunctions, ReplaceAndGetAsWritten) {
    struct Case {
        std::u16string subject, expression, expected;
    };
    const Case cases[] = {
        // Groups in the replacement, every match replaced.
        {u"a12-34b 5-6", u"${RegRep(([0-9]+)-([0-9]+),\\2-\\1)}", u"a34-12b 6-5"},
        {u"IMG_0001", u"${RegRep(^IMG_(\\d+)$,照片\\1)}", u"照片0001"},
        // One "." is one character, a Chinese one included.
        {u"会议纪要", u"${RegRep(^..,)}", u"纪要"},
        {u"会议纪要2024", u"${RegGet(\\p{Han}+,0)}", u"会议纪要"},
        // A comma and a closing brace in the pattern, escaped.
        {u"报告2024-05", u"${RegGet([0-9]{4\\},0)}", u"2024"},
        {u"a,b,c", u"${RegRep(\\,,;)}", u"a;b;c"},
        {u"x{1}y", u"${RegRep(\\{1\\},!)}", u"x!y"},
        {u"f(1)", u"${RegRep(\\((\\d)\\),[\\1])}", u"f[1]"},
        {u"ab12", u"${RegGet([a-z]{1\\,2\\}(\\d),1)}", u"1"},
        // The replacement keeps further commas; \\ is one backslash.
        {u"a-b", u"${RegRep(-,\\,x,y)}", u"a,x,yb"},
        {u"a/b", u"${RegRep(/,\\\\)}", u"a\\b"},
        // Group 0 is the whole match, the default; a group that is not
        // there, or no match, gives nothing.
        {u"v12.5", u"${RegGet(\\d+)}", u"12"},
        {u"abc", u"${RegGet(a(b),5)}", u""},
        {u"abc", u"${RegGet(z,0)}", u""},
        {u"abc", u"${RegGet((x)?b,1)}", u""},
        // Letters mean what they say; (?i) ignores case.
        {u"IMG_1 img_2", u"${RegRep(img,pic)}", u"IMG_1 pic_2"},
        {u"IMG_1 img_2", u"${RegRep((?i)img,pic)}", u"pic_1 pic_2"},
        // Empty matches, as sed gives them.
        {u"abc", u"${RegRep(x*,-)}", u"-a-b-c-"},
        // Nested in another call, and after it.
        {u"v2024x", u"${AddLeft(${RegGet([0-9]{2\\,4\\},0)}_)}", u"2024_v2024x"},
        {u"ab12cd", u"${RegGet(\\d+,0)}_${RegRep(\\d+,)}", u"12_abcd"},
        {u"第3章", u"${RegRep(${GetLeft(2)},A)}", u"A3章"},
        // Two calls that differ only in letter case are two patterns.
        {u"aA", u"${AddLeft(${RegGet(a,0)}${RegGet(A,0)})}", u"aAaA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Gbk(c.expression));
        EXPECT_EQ(Value(Gbk(c.subject), Gbk(c.expression)), Gbk(c.expected));
    }
}

// One compiled template over many subjects in a row, as a run uses it:
// nothing of one subject's matches is left for the next.
TEST(RegexFunctions, EachSubjectHasItsOwnMatches) {
    CompiledTemplate t(Gbk(u"${RegGet([0-9]{4\\},0)}_${RegRep(\\,.*|^\\D+,)}"));
    const std::u16string subjects[][2] = {{u"v1999,final", u"1999_1999"}, {u"IMG_0042", u"0042_0042"},
                                          {u"报告2024年", u"2024_2024年"}, {u"无数字", u"_"},
                                          {u"IMG_0042", u"0042_0042"}};
    for (int round = 0; round < 2; ++round)
        for (const auto& s : subjects) EXPECT_EQ(t.Evaluate(Gbk(s[0])), Gbk(s[1]));
}

TEST(RegexFunctions, BadPatternsAreRefused) {
    std::string message;
    EXPECT_TRUE(CheckTemplatePatterns("${RegRep([0-9]{2\\,4\\},x)}_${Sn(1,3)}", message));
    EXPECT_TRUE(message.empty());
    for (const char* bad : {"${RegRep(a(b,c)}", "x_${regget([z-a],0)}", "${AddLeft(${RegGet(*,0)})}",
                            "${RegGet((?<n>a),1)}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(CheckTemplatePatterns(bad, message));
        EXPECT_EQ(message.rfind(Gbk(u"正则表达式不正确："), 0), 0u) << message;
        // Evaluated anyway, the pattern throws rather than passing as a value.
        EXPECT_EQ(Value("abc", bad).rfind("<refused>" + Gbk(u"正则表达式不正确："), 0), 0u);
    }
    // A pattern made of a value is known per subject only.
    EXPECT_TRUE(CheckTemplatePatterns("${RegRep(${LineOrg()},x)}", message));
    try {
        EvaluateTemplate("a(b", "${RegRep(${LineOrg()},x)}");
        ADD_FAILURE() << "no error";
    } catch (const PatternError& e) {
        EXPECT_FALSE(e.reason().empty());
        EXPECT_EQ(std::string(e.what()), Gbk(u"正则表达式不正确：") + std::string(e.reason()));
    }
    EXPECT_EQ(Value("a.b", "${RegRep(${GetMid(2,1)},-)}"), "---");
}

TEST(RegexFunctions, NoPatternHoldsUpAndNoValueGrowsUnbounded) {
    const std::string as(10000, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Value(as, "${RegRep((a+)+$,x)}"), "x");
    EXPECT_EQ(Value(as + "b", "${RegGet((a|aa)*c,0)}"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    detail::SetValueLimitForTesting(1000);
    EXPECT_EQ(Value(std::string(200, 'a'), "${RegRep(,0123456789)}").rfind("<refused>", 0), 0u);
    EXPECT_EQ(Value(std::string(20, 'a'), "${RegRep(,01)}").size(), 62u);
    detail::SetValueLimitForTesting(0);
}

TEST(RegexFunctions, CallSpans) {
    // Where the calls are whose letters a lower-cased pattern keeps.
    const auto spans = RegexCallSpans("a${RegGet(x\\}y)}b${GetLeft(1)}${regrep(Q,)}");
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0], std::make_pair(std::size_t{1}, std::size_t{16}));
    EXPECT_EQ(spans[1].first, 30u);
}

}  // namespace
}  // namespace ferro
