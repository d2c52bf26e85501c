#include "regex/regex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "platform/error.h"

namespace ferro {
namespace {

using testing::Gbk;

std::string ToUtf8(std::string_view gbk) {
    std::string out;
    Gb18030ToUtf8(gbk, out);
    return out;
}

// Lines as a line list holds them: CR LF, LF and CR each end one, a break
// at the very end adds none.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        if (text[i] != '\r' && text[i] != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        start = i;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// One text, its lines ending in CR LF, as the three kinds of file give it:
// GBK bytes, a UTF-8 file's own bytes, and UTF-16 read into GBK as the text
// pass reads it.
const char* const kLines[] = {
    "第1章 概述",      "订单ERR_42 客户张三", "ERROR: 金额 12-34", "abc ABC Abc",
    "全角ＡＢＣ　空格１２", "报告_2024.docx",     "𠀀古字",            "",
    "tab\there",       "中文中文",
};

struct Copies {
    std::string gbk, utf8, fromUtf16;
};

Copies TextCopies() {
    std::string utf8;
    for (const char* line : kLines) (utf8 += line) += "\r\n";
    Copies c;
    c.utf8 = utf8;
    c.gbk = Gbk(utf8);
    const std::u16string wide = GbkToUtf16(c.gbk);
    const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    EXPECT_TRUE(Utf16ToGb18030(utf16, false, c.fromUtf16));
    return c;
}

struct PatternCase {
    const char* pattern;  // UTF-8 source, GBK when compiled
    bool ignoreCase;
    std::vector<std::size_t> lines;  // the lines that match
    const char* first;               // the first match in the first of them
    int group;                       // the group of that match shown
};

const PatternCase kPatterns[] = {
    {"^第", false, {0}, "第", 0},
    {"张三$", false, {1}, "张三", 0},
    {"ERR(OR|_[0-9]+)", false, {1, 2}, "_42", 1},
    {"^$", false, {7}, "", 0},
    {"^.{4}$", false, {9}, "中文中文", 0},
    {"^...$", false, {6}, "𠀀古字", 0},
    {"^.", false, {0, 1, 2, 3, 4, 5, 6, 8, 9}, "第", 0},
    {"[概述]+", false, {0}, "概述", 0},
    {"[^a-zA-Z_0-9 .:]{3}", false, {1, 4, 6, 9}, "客户张", 0},
    {"(\\d+)-(\\d+)", false, {2}, "34", 2},
    {"\\d+", false, {0, 1, 2, 4, 5}, "1", 0},
    {"\\w+\\.docx", false, {5}, "报告_2024.docx", 0},
    {"\\s", false, {0, 1, 2, 3, 4, 8}, " ", 0},
    {"格\\S", false, {4}, "格１", 0},
    {"\\W", false, {0, 1, 2, 3, 4, 5, 8}, " ", 0},
    {"abc", true, {3}, "abc", 0},
    {"(?i)ａｂｃ", false, {4}, "ＡＢＣ", 0},
    {"ABC", false, {3}, "ABC", 0},
    {"A(?i:bc)", false, {3}, "ABC", 0},
    {"客户|概述", false, {0, 1}, "概述", 0},
    {"(中文){2}", false, {9}, "中文", 1},
    {"\\p{Han}{2}", false, {0, 1, 2, 4, 5, 6, 9}, "概述", 0},
    {"\\bERR", false, {1, 2}, "ERR", 0},
    {"here\\z", false, {8}, "here", 0},
    {"\\A订", false, {1}, "订", 0},
    {"(?m)^订", false, {1}, "订", 0},
    {"x*", false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "", 0},
    {"字$|^tab", false, {6, 8}, "字", 0},
};

TEST(RegexPatterns, SameMatchesOnGbkUtf8AndUtf16Copies) {
    const Copies c = TextCopies();
    ASSERT_EQ(c.fromUtf16, c.gbk);
    const std::vector<std::string> gbkLines = SplitLines(c.gbk), utf8Lines = SplitLines(c.utf8);
    ASSERT_EQ(gbkLines.size(), std::size(kLines));
    const RegexReplacement mark(Gbk("<\\0>"));
    for (const PatternCase& p : kPatterns) {
        SCOPED_TRACE(p.pattern);
        const Regex re(Gbk(p.pattern), RegexFlags{p.ignoreCase});
        std::vector<std::size_t> inGbk, inUtf8, inUtf16;
        re.MatchingLines(c.gbk, SubjectBytes::Gbk, inGbk);
        re.MatchingLines(c.utf8, SubjectBytes::Utf8, inUtf8);
        re.MatchingLines(c.fromUtf16, SubjectBytes::Gbk, inUtf16);
        EXPECT_EQ(inGbk, p.lines);
        EXPECT_EQ(inUtf8, p.lines);
        EXPECT_EQ(inUtf16, p.lines);
        for (std::size_t i = 0; i < gbkLines.size(); ++i) {
            SCOPED_TRACE(i);
            const std::string& g = gbkLines[i];
            const std::string& u = utf8Lines[i];
            const bool expected = std::find(p.lines.begin(), p.lines.end(), i) != p.lines.end();
            EXPECT_EQ(re.Matches(g), expected);
            EXPECT_EQ(re.Matches(u, SubjectBytes::Utf8), expected);
            RegexMatch mg, mu;
            EXPECT_EQ(re.FirstMatch(g, mg), expected);
            EXPECT_EQ(re.FirstMatch(u, SubjectBytes::Utf8, mu), expected);
            ASSERT_EQ(mg.groups.size(), mu.groups.size());
            for (std::size_t k = 0; k < mg.groups.size(); ++k)
                EXPECT_EQ(ToUtf8(mg.Group(g, k)), mu.Group(u, k));
            if (expected && i == p.lines.front()) {
                EXPECT_EQ(ToUtf8(mg.Group(g, static_cast<std::size_t>(p.group))), p.first);
            }
            EXPECT_EQ(ToUtf8(re.ReplaceAll(g, mark)), re.ReplaceAll(u, mark, SubjectBytes::Utf8));
        }
    }
}

TEST(RegexPositions, AreBytesOfTheSubjectsOwnEncoding) {
    const Regex re(Gbk("(文)(a+)"));
    RegexMatch m;
    const std::string gbk = Gbk("中文aab");
    ASSERT_TRUE(re.FirstMatch(gbk, m));
    ASSERT_EQ(m.groups.size(), 3u);
    EXPECT_EQ(m.groups[0].begin, 2u);
    EXPECT_EQ(m.groups[0].end, 6u);
    EXPECT_EQ(m.groups[1].begin, 2u);
    EXPECT_EQ(m.groups[2].begin, 4u);
    const std::string utf8 = "中文aab";
    ASSERT_TRUE(re.FirstMatch(utf8, SubjectBytes::Utf8, m));
    EXPECT_EQ(m.groups[0].begin, 3u);
    EXPECT_EQ(m.groups[0].end, 8u);
    EXPECT_EQ(m.groups[2].begin, 6u);
    EXPECT_EQ(re.groupCount(), 2);
}

TEST(RegexPositions, GroupsThatDidNotTakePartAreUnmatched) {
    const Regex re("(a)|(b)");
    RegexMatch m;
    ASSERT_TRUE(re.FirstMatch("xb", m));
    ASSERT_EQ(m.groups.size(), 3u);
    EXPECT_FALSE(m.groups[1].matched());
    EXPECT_EQ(m.Group("xb", 2), "b");
    EXPECT_EQ(m.Group("xb", 7), "");
    EXPECT_FALSE(re.FirstMatch("xyz", m));
    EXPECT_TRUE(m.groups.empty());
}

// Bytes that are no character, and the four-byte characters of GB18030.
TEST(RegexPositions, OddGbkBytesStayWhatTheyWere) {
    struct Case {
        std::string subject, pattern, replacement, replaced;
    };
    const std::string lone = "a\x81";              // a lead byte cut off at the end
    const std::string fffd = "\x84\x31\xA4\x37";   // U+FFFD itself
    const std::string bad = "\x81\x20";            // a lead byte before a space
    const std::string four = "\x95\x32\x82\x36";   // U+20000
    const Case cases[] = {
        {lone + " b", "a. b", "[\\0]", "[" + lone + " b]"},
        {"x" + lone, ".$", "<\\0>", "xa<\x81>"},
        {lone + " b", "[\\s\\S]", ".", "...."},
        {fffd + "z" + bad, "(.)z(.)", "\\2\\1", "\x81" + fffd + " "},
        {four + Gbk("中") + four, "^.(.)", "\\1", Gbk("中") + four},
        {"\x80" "q", ".q", "-", "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const Regex re(c.pattern);
        EXPECT_EQ(re.ReplaceAll(c.subject, RegexReplacement(c.replacement)), c.replaced);
    }
}

TEST(RegexReplace, GroupsBackslashesAndEmptyMatches) {
    struct Case {
        const char *pattern, *subject, *replacement, *result;
    };
    const Case cases[] = {
        {"([0-9]+)-([0-9]+)", "a 12-34 b 5-6", "\\2-\\1", "a 34-12 b 6-5"},
        {"(中)(文)", "中文中文", "\\2\\1", "文中文中"},
        {"文", "中文", "[\\0]", "中[文]"},
        {"a", "aXa", "\\\\", "\\X\\"},
        {"a", "a", "\\n\\x", "\\n\\x"},
        {"a(b)?", "ac", "<\\1\\5>", "<>c"},
        {"a*", "baaac", "-", "-b-c-"},
        {"", "中文", "|", "|中|文|"},
        {"x", "中文", "y", "中文"},
        {"(?i)abc", "ABCabc", "d", "dd"},
        {"^", "ab", ">", ">ab"},
        {"$", "ab", "<", "ab<"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const Regex re(Gbk(c.pattern));
        const RegexReplacement r(Gbk(c.replacement));
        EXPECT_EQ(re.ReplaceAll(Gbk(c.subject), r), Gbk(c.result));
        EXPECT_EQ(re.ReplaceAll(c.subject, r, SubjectBytes::Utf8), c.result);
    }
    EXPECT_EQ(RegexReplacement("\\3\\1").highestGroup(), 3);
    EXPECT_EQ(RegexReplacement("x\\\\9").highestGroup(), -1);
    EXPECT_TRUE(RegexReplacement(Gbk("中")).exactInUtf8());
    EXPECT_FALSE(RegexReplacement("\x81").exactInUtf8());
}

TEST(RegexReplace, AppendsToWhatIsThere) {
    const Regex re("b");
    std::string out = "x";
    re.ReplaceAll("abc", SubjectBytes::Gbk, RegexReplacement("B"), out);
    EXPECT_EQ(out, "xaBc");
}

TEST(RegexFlags, IgnoreCaseByFlagAndInline) {
    EXPECT_FALSE(Regex("err").Matches("ERROR"));
    EXPECT_TRUE(Regex("err", RegexFlags{true}).Matches("ERROR"));
    EXPECT_TRUE(Regex("(?i)err").Matches("ERROR"));
    EXPECT_FALSE(Regex("(?i)e(?-i)rr").Matches("ERROR"));
    EXPECT_TRUE(Regex(Gbk("ｅｒｒ"), RegexFlags{true}).Matches(Gbk("ＥＲＲ")));
    EXPECT_TRUE(Regex(Gbk("я"), RegexFlags{true}).Matches(Gbk("Я")));
}

TEST(RegexRefusal, BadPatternsSayWhyInChinese) {
    struct Case {
        std::string pattern;
        const char* message;
    };
    const Case cases[] = {
        {"(abc", "正则表达式不正确：缺少右括号 )：“(abc”"},
        {"abc)", "正则表达式不正确：多了右括号 )：“abc)”"},
        {"[a-", "正则表达式不正确：缺少右方括号 ]：“[a-”"},
        {"[z-a]", "正则表达式不正确：字符范围不正确：“z-a”"},
        {"*a", "正则表达式不正确：重复符号前面没有内容：“*”"},
        {"a**", "正则表达式不正确：重复符号用法不正确：“**”"},
        {"a{2000}", "正则表达式不正确：重复次数不正确（至多 1000）：“{2000}”"},
        {"a\\", "正则表达式不正确：末尾多了反斜杠 \\"},
        {"\\1", "正则表达式不正确：转义序列不正确：“\\1”"},
        {"(?<n>a)", "正则表达式不正确：(? 后的写法不受支持：“(?<”"},
        {"\\C", "正则表达式不正确：不支持 \\C（单个字节会切开汉字）"},
        {"[^\\W_]", "正则表达式不正确：[^...] 中不能使用 \\W"},
        {"[^a\\S]", "正则表达式不正确：[^...] 中不能使用 \\S"},
        {"a\x81", "正则表达式不正确：含有无法识别的字符"},
        {Gbk("((中文"), "正则表达式不正确：缺少右括号 )：“((中文”"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::string message;
        EXPECT_FALSE(Regex::Compile(c.pattern, {}, message).has_value());
        EXPECT_EQ(message, Gbk(c.message));
        try {
            Regex re(c.pattern);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), Gbk(c.message));
        }
    }
    std::string message = "old";
    EXPECT_TRUE(Regex::Compile("a{2,4}", {}, message).has_value());
    EXPECT_EQ(message, "");
}

// Exponential for a backtracking engine; linear here.
TEST(RegexPathological, NestedRepetitionEndsWithTheRightAnswer) {
    const Regex re("(a+)+$");
    const std::string as(10000, 'a');
    EXPECT_TRUE(re.Matches(as));
    EXPECT_FALSE(re.Matches(as + "!"));
    RegexMatch m;
    ASSERT_TRUE(re.FirstMatch(as + "!" + as, m));
    EXPECT_EQ(m.groups[0].begin, 10001u);
    EXPECT_EQ(re.ReplaceAll(as + "!" + as, RegexReplacement("x")), as + "!x");

    // A 10 MB line, and the same among others.
    const std::string line(10 << 20, 'a');
    std::vector<std::size_t> lines;
    re.MatchingLines(line + "b\r\n", SubjectBytes::Gbk, lines);
    EXPECT_TRUE(lines.empty());
    re.MatchingLines("b\r\n" + line + "\r\nab", SubjectBytes::Utf8, lines);
    EXPECT_EQ(lines, (std::vector<std::size_t>{1}));
    EXPECT_FALSE(Regex("(a|aa)*c").Matches(line));
    EXPECT_FALSE(Regex("(x+x+)+y").Matches(std::string(10 << 20, 'x')));
}

// The scan of a piece against the same lines one by one.
TEST(RegexLines, ScanOfAPieceEqualsLineByLine) {
    std::mt19937 rng(33);
    const std::vector<std::string> atoms = {"a", "b", "A", "1", "9", " ", "\t", Gbk("中"),
                                            Gbk("文"), "-", "\x95\x32\x82\x36", "ab"};
    const std::vector<std::string> breaks = {"\r\n", "\n", "\r"};
    const std::vector<std::string> patterns = {
        "^$",     "^a",      "b$",  "a.b",       "^.$",     Gbk("中+"), "\\d{2}",
        "(?i)A$", "\\s",     "[^a]", "\\Ab",     "a\\z",    "x?",       "",
        "$",      "^",       "^\\s*$", "a\\s+b", "[\\s\\S]", "(?s).",   "a|^1|9$",
        "\\bb\\b", "(?m)^b", "(?-m)^b$", "\\x{A}", "\\r", "^.{40,}$",
        // With a literal every match holds, looked for first.
        "ab", "^ab", "ab$", Gbk("中文"), Gbk("文a"), "1 a", "b\\s*A",
    };
    for (int round = 0; round < 60; ++round) {
        std::string gbk;
        const int count = static_cast<int>(rng() % 40);
        for (int l = 0; l < count; ++l) {
            // Lines of every length: empty, short, and now and then long.
            const int kind = static_cast<int>(rng() % 10);
            const int length = kind < 2 ? 0 : kind < 8 ? static_cast<int>(rng() % 8)
                                                      : static_cast<int>(rng() % 300);
            for (int k = 0; k < length; ++k) gbk += atoms[rng() % atoms.size()];
            if (l + 1 < count || rng() % 2) gbk += breaks[rng() % breaks.size()];
        }
        const std::string utf8 = ToUtf8(gbk);
        const std::vector<std::string> lines = SplitLines(gbk);
        for (const std::string& pattern : patterns) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " pattern " << pattern);
            const Regex re(pattern);
            std::vector<std::size_t> expected;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (re.Matches(lines[i])) expected.push_back(i);
            std::vector<std::size_t> got;
            re.MatchingLines(gbk, SubjectBytes::Gbk, got);
            EXPECT_EQ(got, expected);
            got.clear();
            re.MatchingLines(utf8, SubjectBytes::Utf8, got);
            EXPECT_EQ(got, expected);
        }
    }
}

// Where the literal turns up in most lines, and where its bytes lie
// across GBK characters: "丒" is 81 45, its second byte an "E".
TEST(RegexLines, LiteralSearchEqualsLineByLine) {
    const std::string across = "\x81\x45RR";
    std::string gbk;
    std::vector<std::size_t> expected;
    for (int i = 0; i < 3000; ++i) {
        const int kind = i % 7;
        gbk += kind == 0 ? across : kind == 1 ? std::string("ERR") : kind < 5 ? "xERRy" : "abc";
        if (kind == 1 || (kind >= 2 && kind < 5)) expected.push_back(static_cast<std::size_t>(i));
        gbk += i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r";
    }
    const std::string utf8 = ToUtf8(gbk);
    const Regex re("ERR");
    EXPECT_FALSE(re.Matches(across));
    auto lineByLine = [&](std::string_view text, SubjectBytes bytes) {
        std::vector<std::size_t> hits;
        const std::vector<std::string> lines = SplitLines(text);
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (re.Matches(lines[i], bytes)) hits.push_back(i);
        return hits;
    };
    EXPECT_EQ(lineByLine(gbk, SubjectBytes::Gbk), expected);
    // Whole, and cut short before the literal is found often enough to
    // give way to the scan of the whole text.
    for (std::size_t piece : {std::size_t{200}, std::size_t{2000}, gbk.size()}) {
        SCOPED_TRACE(piece);
        const std::string_view g = std::string_view(gbk).substr(0, piece);
        const std::string_view u = std::string_view(utf8).substr(0, piece);
        std::vector<std::size_t> inGbk, inUtf8;
        re.MatchingLines(g, SubjectBytes::Gbk, inGbk);
        re.MatchingLines(u, SubjectBytes::Utf8, inUtf8);
        EXPECT_EQ(inGbk, lineByLine(g, SubjectBytes::Gbk));
        EXPECT_EQ(inUtf8, lineByLine(u, SubjectBytes::Utf8));
    }
}

TEST(RegexLines, AppendsAndKnowsTheLastLine) {
    const Regex re("^$");
    std::vector<std::size_t> lines = {7};
    re.MatchingLines("", SubjectBytes::Gbk, lines);
    re.MatchingLines("a\r\n", SubjectBytes::Gbk, lines);
    EXPECT_EQ(lines, (std::vector<std::size_t>{7}));
    re.MatchingLines("a\r\n\r\n", SubjectBytes::Utf8, lines);
    re.MatchingLines("\r", SubjectBytes::Utf8, lines);
    re.MatchingLines("\n\r", SubjectBytes::Gbk, lines);
    EXPECT_EQ(lines, (std::vector<std::size_t>{7, 1, 0, 0, 1}));
}

}  // namespace
}  // namespace ferro
