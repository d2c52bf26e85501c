// Line delete and line extract: by number, at an interval, by keyword, and
// what happens to blank lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "line_lists.h"
#include "textops/keywords.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::Lines;

using testing::Of;

const Lines kNine = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};

Lines Delete(const LineDeleteSettings& s, const Lines& in) {
    LineList out;
    DeleteLines(s, Of(in), out);
    return out.ToStrings();
}

Lines Extract(const LineExtractSettings& s, const Lines& in) {
    LineList out;
    ExtractLines(s, Of(in), out);
    return out.ToStrings();
}

LineDeleteSettings DeleteEvery(int period, int position) {
    LineDeleteSettings s;
    s.mode = LineDeleteMode::Interval;
    s.interval = LineInterval::Make(period, position);
    return s;
}

LineExtractSettings ExtractEvery(int period, int position) {
    LineExtractSettings s;
    s.mode = LineExtractMode::Interval;
    s.interval = LineInterval::Make(period, position);
    return s;
}

TEST(LineInterval, PositionsAreNormalised) {
    // 2/1: lines 1, 3, 5; 3/3 and 3/4 (or any larger position): 3, 6, 9;
    // a position of 0 or less counts as 1; a period of 1 hits every line.
    EXPECT_EQ(Delete(DeleteEvery(2, 1), kNine), (Lines{"2", "4", "6", "8"}));
    EXPECT_EQ(Extract(ExtractEvery(2, 1), kNine), (Lines{"1", "3", "5", "7", "9"}));
    for (int position : {3, 4, 100}) {
        EXPECT_EQ(Extract(ExtractEvery(3, position), kNine), (Lines{"3", "6", "9"})) << position;
        EXPECT_EQ(Delete(DeleteEvery(3, position), kNine), (Lines{"1", "2", "4", "5", "7", "8"}));
    }
    EXPECT_EQ(Extract(ExtractEvery(3, -5), kNine), (Lines{"1", "4", "7"}));
    EXPECT_EQ(Extract(ExtractEvery(4, 2), kNine), (Lines{"2", "6"}));
    EXPECT_TRUE(Delete(DeleteEvery(1, 1), kNine).empty());
    EXPECT_EQ(Extract(ExtractEvery(1, 1), kNine), kNine);
}

TEST(LineDelete, ByNumberKeywordAndBlankness) {
    LineDeleteSettings s;
    s.mode = LineDeleteMode::LineNumber;
    s.lineNumber = 2;
    EXPECT_EQ(Delete(s, {"a", "b", "c"}), (Lines{"a", "c"}));
    s.lineNumber = 9;  // beyond the end: the last line
    EXPECT_EQ(Delete(s, {"a", "b", "c"}), (Lines{"a", "b"}));
    s.lineNumber = -1;  // 0 or less: the first line
    EXPECT_EQ(Delete(s, {"a", "b", "c"}), (Lines{"b", "c"}));
    EXPECT_TRUE(Delete(s, {}).empty());

    // Either keyword deletes; matching is case-sensitive and byte-wise; an
    // empty keyword matches nothing.
    s.mode = LineDeleteMode::Keywords;
    s.keywords = SplitKeywords("ERROR warn;;");
    EXPECT_EQ(Delete(s, {"an ERROR here", "error small", "warning", "ERROR warn", "ok", ""}),
              (Lines{"error small", "ok", ""}));
    s.keywords = SplitKeywords(Gbk("文"));
    EXPECT_EQ(Delete(s, {Gbk("中文"), Gbk("中"), "x"}), (Lines{Gbk("中"), "x"}));

    // Blank lines: empty, spaces, tabs, other control bytes.
    s.mode = LineDeleteMode::BlankLines;
    EXPECT_EQ(Delete(s, {"a", "", "  ", "\t \x01", " b ", Gbk("　")}),
              (Lines{"a", " b ", Gbk("　")}));
}

TEST(LineExtract, ByNumberKeywordAndBlankLines) {
    LineExtractSettings s;
    s.mode = LineExtractMode::LineNumber;
    s.lineNumber = 2;
    s.keepBlank = false;  // no part in line-number mode
    EXPECT_EQ(Extract(s, {"a", " ", "c"}), (Lines{" "}));
    s.lineNumber = 7;
    EXPECT_EQ(Extract(s, {"a", "b", "c"}), (Lines{"c"}));
    s.lineNumber = 0;
    EXPECT_EQ(Extract(s, {"a", "b", "c"}), (Lines{"a"}));
    EXPECT_TRUE(Extract(s, {}).empty());

    // Blank lines are kept while allowed; left out otherwise, and the later
    // lines keep their numbers.
    const Lines gaps = {"", "2", " ", "4", "5"};
    auto every = ExtractEvery(2, 1);
    EXPECT_EQ(Extract(every, gaps), (Lines{"", " ", "5"}));
    every.keepBlank = false;
    EXPECT_EQ(Extract(every, gaps), (Lines{"5"}));

    // A line with several keywords comes once; nothing matching gives an
    // empty file.
    s.mode = LineExtractMode::Keywords;
    s.keepBlank = true;
    s.keywords = SplitKeywords("a;b \"c d\"");
    EXPECT_EQ(Extract(s, {"ab", "x", "A", "c d", "c", "d"}), (Lines{"ab", "c d"}));
    s.keywords = SplitKeywords("zzz");
    EXPECT_TRUE(Extract(s, {"ab", "x"}).empty());
    // A keyword of spaces finds blank lines only when they may be kept.
    s.keywords = {" "};
    EXPECT_EQ(Extract(s, {"a b", "  ", "c"}), (Lines{"a b", "  "}));
    s.keepBlank = false;
    EXPECT_EQ(Extract(s, {"a b", "  ", "c"}), (Lines{"a b"}));
}

// Keywords match byte-wise, so also from inside a character: "丒" is
// 81 45 in GBK, so "丒RROR" holds "ERROR", and "爸形摹" holds "中文" from its
// second byte on. In a UTF-8 file's own lines a keyword matches exactly
// where it matches in the same lines as GBK: random lines of such
// characters, and keywords cut from them at any byte.
TEST(LineKeywords, InUtf8LinesAsInTheirGbkBytes) {
    EXPECT_EQ(Delete([] {
        LineDeleteSettings s;
        s.mode = LineDeleteMode::Keywords;
        s.keywords = SplitKeywords(Gbk("ERROR;中文"));
        return s;
    }(), {Gbk("丒RROR"), Gbk("x"), Gbk("爸形摹")}), (Lines{Gbk("x")}));

    const char* pool[] = {"丒", "R", "E", "O", "爸", "形", "摹", "中", "文", "😀", "9", " ", "é", "\x7F"};
    std::mt19937 random(1225);
    auto line = [&] {
        std::string utf8;
        for (int n = static_cast<int>(random() % 12); n > 0; --n) utf8 += pool[random() % std::size(pool)];
        return utf8;
    };
    int usable = 0, matched = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string gbk = Gbk(line() + line());
        if (gbk.empty()) continue;
        const std::size_t from = random() % gbk.size();
        const std::vector<std::string> keywords = {gbk.substr(from, 1 + random() % 6)};
        const KeywordMatcher inUtf8(keywords, LineBytes::Utf8);
        if (!inUtf8.usable()) continue;
        ++usable;
        for (int i = 0; i < 20; ++i) {
            const std::string utf8 = line() + line();
            const bool expected = ContainsAnyKeyword(Gbk(utf8), keywords);
            matched += expected;
            ASSERT_EQ(inUtf8.AnyIn(utf8), expected)
                << ::testing::PrintToString(keywords[0]) << " in " << utf8;
        }
    }
    EXPECT_GT(usable, 500);
    EXPECT_GT(matched, 500);
}

}  // namespace
}  // namespace ferro
