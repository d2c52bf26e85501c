#include "regex/arguments.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "regex/regex.h"

namespace ferro {
namespace {

using testing::Gbk;

constexpr auto npos = std::string_view::npos;

TEST(RegexArguments, UnescapingKeepsThePatternsOwnEscapes) {
    struct Case {
        const char *argument, *pattern;
    };
    const Case cases[] = {
        {"[0-9]{2\\,4\\}", "[0-9]{2,4}"},
        {"a\\,b", "a,b"},
        {"x\\}", "x}"},
        {"\\(\\d+\\)", "\\(\\d+\\)"},
        {"(a|b)", "(a|b)"},
        {"\\\\", "\\\\"},
        {"\\\\\\,", "\\\\,"},
        {"\\{2\\}", "\\{2}"},
        {"a\\", "a\\"},
        {"", ""},
        {"中\\,文", "中,文"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(UnescapeTemplateArgument(Gbk(c.argument)), Gbk(c.pattern));
    }
}

// "乗" is 81 5C in GBK and "亇" 81 7D: their second bytes are no "\" and no "}".
TEST(RegexArguments, SecondBytesOfChineseCharactersAreNoEscapes) {
    const std::string slashTrail = "\x81\x5C";
    const std::string braceTrail = "\x81\x7D";
    EXPECT_EQ(UnescapeTemplateArgument(slashTrail + ","), slashTrail + ",");
    EXPECT_EQ(UnescapeTemplateArgument(slashTrail + "\\,"), slashTrail + ",");
    EXPECT_EQ(FindUnescaped(slashTrail + ",", ','), 2u);
    EXPECT_EQ(FindUnescaped(braceTrail + "}", '}'), 2u);
    EXPECT_EQ(FindUnescaped(braceTrail, '}'), npos);
}

TEST(RegexArguments, FindUnescapedSkipsBackslashUnits) {
    struct Case {
        const char* text;
        char c;
        std::size_t from, at;
    };
    const Case cases[] = {
        {"a,b", ',', 0, 1},          {"a\\,b,c", ',', 0, 4},   {"a\\\\,b", ',', 0, 3},
        {"{2\\,4\\}}", '}', 0, 7},   {"a,b,c", ',', 2, 3},     {"\\}", '}', 0, npos},
        {"abc", ',', 0, npos},       {"a\\", '\\', 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FindUnescaped(c.text, c.c, c.from), c.at);
    }
}

// What a user types into ${RegGet(...)} is what the engine is given.
TEST(RegexArguments, AnEscapedArgumentMatchesAsIntended) {
    const Regex years(UnescapeTemplateArgument("([0-9]{4\\})-([0-9]{1\\,2\\})"));
    RegexMatch m;
    ASSERT_TRUE(years.FirstMatch(Gbk("报告2024-5"), m));
    EXPECT_EQ(m.Group(Gbk("报告2024-5"), 2), "5");
    const Regex comma(UnescapeTemplateArgument("a\\,b\\}"));
    EXPECT_TRUE(comma.Matches("xa,b}"));
    EXPECT_TRUE(Regex(UnescapeTemplateArgument("\\(\\d\\)")).Matches("(1)"));
    EXPECT_FALSE(Regex(UnescapeTemplateArgument("\\(\\d\\)")).Matches("1"));
}

TEST(RegexArguments, HintAndNotesTellTheEscapes) {
    const std::string hint = RegexPickerHint(), notes = RegexUsageNotes();
    EXPECT_EQ(hint.find('\n'), npos);
    for (const std::string& text : {hint, notes}) {
        EXPECT_NE(text.find("\\,"), npos);
        EXPECT_NE(text.find("\\}"), npos);
    }
    EXPECT_NE(notes.find("[0-9]{2\\,4\\}"), npos);
    EXPECT_NE(notes.find(Gbk("正则表达式不正确")), npos);
}

}  // namespace
}  // namespace ferro
