#include "textops/new_lines.h"

#include <gtest/gtest.h>

#include <set>

#include "common/temp_folder.h"
#include "platform/error.h"
#include "platform/random.h"
#include "textops/keywords.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Gbk;

std::string Insert(const NewLinesSettings& s, std::string_view block, std::string_view file) {
    const LineList in = LineList::FromText(file);
    LineList out;
    InsertNewLines(s, NewLineBlock::Parse(block).ForFile(in), in, out);
    return out.ToText();
}

NewLinesSettings AtLine(int n) {
    return MakeNewLinesSettings(NewLineMode::kAtLine, n, 2, 1, {});
}
NewLinesSettings Every(int p, int q) {
    return MakeNewLinesSettings(NewLineMode::kInterval, 0, p, q, {});
}
NewLinesSettings Keys(std::string_view keys) {
    return MakeNewLinesSettings(NewLineMode::kKeywords, 0, 2, 1, SplitKeywords(keys));
}

// Which lines got the block "+" before them, as a string of line texts.
std::string Marked(const NewLinesSettings& s) {
    std::string result;
    for (const std::string& line :
         LineList::FromText(Insert(s, "+", "1\n2\n3\n4\n5\n6\n7\n")).ToStrings())
        result += line == "+" ? "+" : line;
    return result;
}

TEST(NewLines, LineNumberMode) {
    EXPECT_EQ(Insert(AtLine(0), "new", "a\nb"), "new\r\na\r\nb\r\n");
    EXPECT_EQ(Insert(AtLine(9), "new", "a\nb"), "a\r\nb\r\nnew\r\n");
    EXPECT_EQ(Insert(AtLine(-3), "new", "a\nb"), "new\r\na\r\nb\r\n");
    // An empty file receives only the block.
    EXPECT_EQ(Insert(AtLine(5), "new", ""), "new\r\n");
}

TEST(NewLines, IntervalMode) {
    EXPECT_EQ(Marked(Every(2, 1)), "+12+34+56+7");
    EXPECT_EQ(Marked(Every(3, 3)), "12+345+67");
    EXPECT_EQ(Marked(Every(3, 7)), "12+345+67");
    EXPECT_EQ(Marked(Every(3, 0)), "+123+456+7");
    EXPECT_EQ(Marked(Every(3, -4)), "+123+456+7");
    EXPECT_EQ(Marked(Every(1, 1)), "+1+2+3+4+5+6+7");
    EXPECT_EQ(Insert(Every(2, 1), "+", ""), "");
}

TEST(NewLines, KeywordMode) {
    EXPECT_EQ(Insert(Keys("red;blue"), "+", "red\ngreen\nblue\nred blue\n"),
              "+\r\nred\r\ngreen\r\n+\r\nblue\r\n+\r\nred blue\r\n");
    // Case-sensitive; blanks only give no keyword; an empty file stays empty.
    EXPECT_EQ(Insert(Keys("Red"), "+", "red\n"), "red\r\n");
    EXPECT_EQ(Insert(Keys("   "), "+", "a\n"), "a\r\n");
    EXPECT_EQ(Insert(Keys("a"), "+", ""), "");
}

TEST(NewLines, EscapesAndMemoLines) {
    EXPECT_EQ(Insert(AtLine(0), "x\\ty", "a"), "x\ty\r\na\r\n");
    EXPECT_EQ(Insert(AtLine(0), "x\\Ty\\Nz\\r", "a"), "x\ty\nz\r\r\na\r\n");
    EXPECT_EQ(Insert(AtLine(0), "one\r\ntwo", "a"), "one\r\ntwo\r\na\r\n");
    // No escape for the backslash itself; a trail byte 0x5C is no backslash.
    EXPECT_EQ(Insert(AtLine(0), "\\\\n", "a"), "\\\n\r\na\r\n");
    const std::string kanji =
        "\x81\x5c"
        "n";  // a double-byte character ending in 0x5C, then n
    EXPECT_EQ(Insert(AtLine(0), kanji, "a"), kanji + "\r\na\r\n");
    // Other ${...} text goes in as typed.
    EXPECT_EQ(Insert(AtLine(0), "${Filename}", "a"), "${Filename}\r\na\r\n");
}

TEST(NewLines, LineItems) {
    // The second line as it was before the insertion, in any spelling.
    EXPECT_EQ(Insert(AtLine(0), "<${LineStr(2)}>", "a\nb\nc"), "<b>\r\na\r\nb\r\nc\r\n");
    EXPECT_EQ(Insert(AtLine(0), "${LINESTR(2)}|${linestr(2)}", "a\nb"), "b|b\r\na\r\nb\r\n");
    // No such line: the item stays as typed.
    EXPECT_EQ(Insert(AtLine(0), "${LineStr(2)}", "one"), "${LineStr(2)}\r\none\r\n");
    EXPECT_EQ(Insert(AtLine(0), "${LineStr(0)}", "one"), "${LineStr(0)}\r\none\r\n");
    // The first line holding the keyword, case-sensitive, or the item as typed.
    EXPECT_EQ(Insert(AtLine(9), Gbk("${LineStr2(名)}"), Gbk("x\n姓名:张\n名")),
              Gbk("x\r\n姓名:张\r\n名\r\n姓名:张\r\n"));
    EXPECT_EQ(Insert(AtLine(0), "${LineStr2(Q)}", "q"), "${LineStr2(Q)}\r\nq\r\n");
    // A "}" that is a trail byte does not end the item (0x817D is one character).
    const std::string key = "\x81\x7d";
    EXPECT_EQ(Insert(AtLine(0), "${LineStr2(" + key + ")}", "x\ny" + key),
              "y" + key + "\r\nx\r\ny" + key + "\r\n");
    // Only the first occurrence of a name is an item; later ones are text.
    EXPECT_EQ(Insert(AtLine(0), "${LineStr(1)}${LineStr(2)}", "a\nb"),
              "a${LineStr(2)}\r\na\r\nb\r\n");
    // Each item from its own rule; a line put in is not searched again.
    EXPECT_EQ(Insert(AtLine(9), "${LineStr(1)}/${LineStr2(z)}", "${LINESTR2(Z)}\nz=1"),
              "${LINESTR2(Z)}\r\nz=1\r\n${LINESTR2(Z)}/z=1\r\n");
    // Escapes are not applied inside a line taken from the file.
    EXPECT_EQ(Insert(AtLine(0), "${LineStr(1)}\\t", "a\\nb"), "a\\nb\t\r\na\\nb\r\n");
}

TEST(NewLines, RandomLineAndBadArguments) {
    SeedRandom(11);
    std::set<std::string> seen;
    for (int i = 0; i < 60; ++i) seen.insert(Insert(AtLine(9), "${LineRandStr()}", "a\nb\nc"));
    EXPECT_EQ(seen, (std::set<std::string>{"a\r\nb\r\nc\r\na\r\n", "a\r\nb\r\nc\r\nb\r\n",
                                           "a\r\nb\r\nc\r\nc\r\n"}));
    // One draw per file: every occurrence gets the same line.
    const std::string twice = Insert(AtLine(9), "${LineRandStr()}${linerandstr()}", "q\nr");
    EXPECT_TRUE(twice == "q\r\nr\r\nqq\r\n" || twice == "q\r\nr\r\nrr\r\n") << twice;
    // An empty file has no line to draw: the item stays as typed.
    EXPECT_EQ(Insert(AtLine(0), "${LineRandStr()}", ""), "${LineRandStr()}\r\n");
    // A line number that is not a whole number is refused before any file.
    EXPECT_THROW(NewLineBlock::Parse("${LineStr(x)}"), Error);
    EXPECT_THROW(NewLineBlock::Parse("${LineStr()}"), Error);
    try {
        NewLineBlock::Parse("${LineStr(2a)}");
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'2a' is not a valid integer value");
    }
    // Without a closing "}" nothing is an item.
    EXPECT_EQ(Insert(AtLine(0), "${LineStr(1", "a"), "${LineStr(1\r\na\r\n");
}

}  // namespace
}  // namespace ferro
