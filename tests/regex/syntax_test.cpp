#include "regex/syntax.h"

#include <gtest/gtest.h>

#include "regex/regex.h"

namespace ferro {
namespace {

using regex_detail::PatternForms;
using regex_detail::RewritePattern;

TEST(RegexSyntax, OnlyClassesAndAnchorsChange) {
    struct Case {
        const char *pattern, *whole, *lines;
    };
    const Case cases[] = {
        {"a^b$", "a^b$", "a(?m:^)b(?m:$)"},
        {"\\Ax\\z", "\\Ax\\z", "(?m:^)x(?m:$)"},
        {"\\d\\D", "\\p{Nd}\\P{Nd}", "\\p{Nd}\\P{Nd}"},
        {"\\w", "[\\p{L}\\p{N}_]", "[\\p{L}\\p{N}_]"},
        {"[\\w-]", "[\\p{L}\\p{N}_-]", "[\\p{L}\\p{N}_-]"},
        {"[^\\d]", "[^\\p{Nd}]", "[^\\p{Nd}]"},
        {"\\\\d\\\\", "\\\\d\\\\", "\\\\d\\\\"},
        {"\\Q^\\d$\\E$", "\\Q^\\d$\\E$", "\\Q^\\d$\\E(?m:$)"},
        {"[]^$]", "[]^$]", "[]^$]"},
        {"[^]\\w]", "[^]\\p{L}\\p{N}_]", "[^]\\p{L}\\p{N}_]"},
        {"[[:digit:]^]$", "[[:digit:]^]$", "[[:digit:]^](?m:$)"},
        {"[a\\S]", "(?:[a]|[^\\t\\n\\v\\f\\r \\x{85}\\p{Z}])", "(?:[a]|[^\\t\\n\\v\\f\\r \\x{85}\\p{Z}])"},
        {"[\\W]", "(?:[^\\p{L}\\p{N}_])", "(?:[^\\p{L}\\p{N}_])"},
        {"\\x{41}\\pL\\p{Han}", "\\x{41}\\pL\\p{Han}", "\\x{41}\\pL\\p{Han}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        PatternForms forms;
        std::u16string problem;
        ASSERT_TRUE(RewritePattern(c.pattern, forms, problem));
        EXPECT_EQ(forms.whole, c.whole);
        EXPECT_EQ(forms.lines, c.lines);
    }
}

TEST(RegexSyntax, RequiredLiteralIsInEveryMatch) {
    struct Case {
        const char *pattern, *literal;
    };
    const Case cases[] = {
        {"ERR(OR|_[0-9]+)", "ERR"}, {"a|bc", ""},           {"(?i)abc", ""},
        {"x(?i:abc)", ""},         {"ab?cd", "cd"},        {"订单.*ERROR", "订单"},
        {"xx{2}yz", "yz"},         {"a{,2}", ",2}"},       {"\\.txt$", ".txt"},
        {"[abc]def", "def"},       {"(ab)+cd", "cd"},      {"ab+", "ab"},
        {"ab*", "a"},              {"\\Qabc\\E", ""},    {"(?P<id>x)yy", ""},
        {"\\d+", ""},              {"[]x]yz", "yz"},       {"(a|b)", ""},
        // An escape's own letters and digits are no literal.
        {"\\pNab", "ab"},          {"\\p{Han}x", "x"},     {"\\x41BC", "BC"},
        {"\\x{4E2D}yz", "yz"},     {"\\101xy", "xy"},      {"\\PLq", "q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(regex_detail::RequiredLiteral(c.pattern), c.literal);
    }
}

// The classes as users meet them: Unicode's digits, letters and spaces.
TEST(RegexSyntax, UnicodeClassesInUse) {
    struct Case {
        const char* pattern;
        const char* subject;  // UTF-8
        bool matches;
    };
    const Case cases[] = {
        {"^\\w+$", "报告_2024", true},  {"^\\w+$", "报告 2024", false},
        {"^\\d+$", "１２３", true},      {"^\\s$", "\u3000", true},
        {"^\\S+$", "中文", true},        {"[\\s\\S]", "中", true},
        {"^[\\W]+$", "。，！", true},    {"^[^\\s]+$", "a\u3000b", false},
        {"^[\\]\\d]+$", "]5", true},     {"^\\D+$", "五", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pattern << " on " << c.subject);
        EXPECT_EQ(Regex(c.pattern).Matches(c.subject, SubjectBytes::Utf8), c.matches);
    }
}

}  // namespace
}  // namespace ferro
