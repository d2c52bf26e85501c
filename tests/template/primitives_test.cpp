#include <gtest/gtest.h>

#include "template/gbk.h"
#include "template/template.h"

namespace ferro {
namespace {

using test::Gbk;

TEST(Primitives, FindIsExactAndOneBased) {
    EXPECT_EQ(Find("report_2012", "_"), 7u);
    EXPECT_EQ(Find("report_2012", "r"), 1u);
    EXPECT_EQ(Find("ABC", "b"), 0u);
    EXPECT_EQ(Find("abc", ""), 0u);
    EXPECT_EQ(Find("", "a"), 0u);
}

TEST(Primitives, CopyEdges) {
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 4, 100), "def");
    // A start below 1 counts as 1 and keeps the whole count.
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
    EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 7, 1), "");
    EXPECT_EQ(Copy("abcdef", 6, 1), "f");
    EXPECT_EQ(Copy("abcdef", 1, 0), "");
    EXPECT_EQ(Copy("abcdef", 1, -1), "");
}

TEST(Primitives, DeleteEdges) {
    auto del = [](std::string s, long long start, long long count) {
        Delete(s, start, count);
        return s;
    };
    EXPECT_EQ(del("abcdef", 2, 2), "adef");
    EXPECT_EQ(del("abcdef", 5, 100), "abcd");
    EXPECT_EQ(del("abcdef", 0, 2), "abcdef");
    EXPECT_EQ(del("abcdef", 7, 1), "abcdef");
    EXPECT_EQ(del("abcdef", 6, 1), "abcde");
    EXPECT_EQ(del("abcdef", 1, 0), "abcdef");
}

TEST(Primitives, InsertEdges) {
    auto ins = [](std::string s, std::string_view part, long long at) {
        Insert(s, part, at);
        return s;
    };
    EXPECT_EQ(ins("abc", "X", 2), "aXbc");
    EXPECT_EQ(ins("abc", "X", 1), "Xabc");
    EXPECT_EQ(ins("abc", "X", -3), "Xabc");
    EXPECT_EQ(ins("abc", "X", 4), "abcX");
    EXPECT_EQ(ins("abc", "X", 99), "abcX");
}

TEST(ReplaceAll, IgnoresCaseAndDoesNotRescanInsertedText) {
    EXPECT_EQ(ReplaceAll("ABC", "b", "x"), "AxC");
    EXPECT_EQ(ReplaceAll("aAa", "A", "b"), "bbb");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("abab", "ab", ""), "");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("ab", "abc", "x"), "ab");
    // Full-width letters have a case too.
    EXPECT_EQ(ReplaceAll(Gbk(u"xＡy"), Gbk(u"ａ"), "-"), "x-y");
}

TEST(ReplaceAll, NeverMatchesInsideAMultiByteCharacter) {
    // 中文 is D6 D0 CE C4; D0 CE alone is 形, straddling the two characters.
    const std::string zhongwen = Gbk(u"中文");
    EXPECT_EQ(Find(zhongwen, Gbk(u"形")), 2u);
    EXPECT_EQ(ReplaceAll(zhongwen, Gbk(u"形"), "x"), zhongwen);
    EXPECT_EQ(ReplaceAll(zhongwen, Gbk(u"文"), "x"), Gbk(u"中") + "x");
    // Trail bytes in the ASCII range: 乤 is 81 61 ("a" as second byte).
    const std::string s = Gbk(u"乤") + "ab";
    EXPECT_EQ(ReplaceAll(s, "ab", "X"), Gbk(u"乤") + "X");
    EXPECT_EQ(ReplaceAll(s, "A", "-"), Gbk(u"乤") + "-b");
    // A GB18030 four-byte character is one character: its "0" bytes are no
    // match.
    const std::string four = "\x81\x30\x81\x30";
    EXPECT_EQ(ReplaceAll(four + "0", "0", "x"), four + "x");
    EXPECT_EQ(ReplaceAll(four, "\x30\x81", "x"), four);
    // A keyword ending on a lead byte: the scan goes on at the next
    // character, not at the trail byte it left.
    EXPECT_EQ(ReplaceAll("\xD6\xD0\xD0", "\xD6", "x"), "x\xD0\xD0");
    EXPECT_EQ(ReplaceAll("\xD6\xD0\xD0", "\xD0", "x"), "\xD6\xD0x");
}

TEST(ReplaceAll, InPlaceReportsWhetherItReplaced) {
    std::string s = "a_b_c";
    EXPECT_TRUE(ReplaceAllInPlace(s, "_", "--"));
    EXPECT_EQ(s, "a--b--c");
    EXPECT_FALSE(ReplaceAllInPlace(s, "x", "y"));
    EXPECT_EQ(s, "a--b--c");
}

}  // namespace
}  // namespace ferro
