// Line pattern replace: the separator a run decides, the numbered fields and
// the template items evaluated against the text built so far.
#include "textops/pattern_replace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "line_lists.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::Lines;

using testing::Of;

PatternReplaceSettings With(const std::string& pattern, const std::string& prefix = "$",
                            int count = 3) {
    PatternReplaceSettings s;
    s.pattern = pattern;
    s.prefix = prefix;
    s.count = count;
    return s;
}

Lines Rewrite(const PatternReplaceSettings& s, PatternReplaceState& state, const Lines& in) {
    LineList out;
    ReplaceByPattern(s, state, Of(in), out);
    return out.ToStrings();
}

Lines Rewrite(const PatternReplaceSettings& s, const Lines& in) {
    PatternReplaceState state;
    return Rewrite(s, state, in);
}

TEST(PatternReplace, TheSeparatorIsDecidedOnceForTheWholeRun) {
    // Fields beyond the count have no name.
    EXPECT_EQ(Rewrite(With("$2 $1"), {"a;b;c"}), (Lines{"b a"}));
    // The first line has no separator yet; the second decides on the space,
    // which stays for the next file of the run.
    PatternReplaceState state;
    EXPECT_EQ(Rewrite(With("$1"), state, {"x", "a b"}), (Lines{"x", "a"}));
    EXPECT_EQ(state.separator, " ");
    EXPECT_EQ(Rewrite(With("$1"), state, {"c;d e"}), (Lines{"c;d"}));
    // A tab wins over ";" even when the ";" comes first; then ":" and space.
    PatternReplaceState tab;
    EXPECT_EQ(Rewrite(With("[$1][$2]"), tab, {"a;b\tc"}), (Lines{"[a;b][c]"}));
    EXPECT_EQ(tab.separator, "\t");
    EXPECT_EQ(Rewrite(With("[$1][$2]"), {"a b:c"}), (Lines{"[a b][c]"}));
    // Runs of spaces are one separator; ";;" gives an empty field; blank lines
    // vanish and every line is trimmed first.
    EXPECT_EQ(Rewrite(With("[$1][$2][$3]"), {"  a   b  c  ", "", " \t ", "d e f"}),
              (Lines{"[a][b][c]", "[d][e][f]"}));
    EXPECT_EQ(Rewrite(With("[$1][$2][$3]"), {"a;;b"}), (Lines{"[a][][b]"}));
    // A name whose field the line lacks stays as typed.
    EXPECT_EQ(Rewrite(With("$1-$2-$3"), {"a;b"}), (Lines{"a-b-$3"}));
}

TEST(PatternReplace, NamesArePrefixAndNumber) {
    // The prefix is matched in any letter case, and may be empty.
    EXPECT_EQ(Rewrite(With("P1+p2", "p"), {"a b"}), (Lines{"a+b"}));
    EXPECT_EQ(Rewrite(With("1-2-x2", ""), {"a b"}), (Lines{"a-b-xb"}));
    EXPECT_EQ(Rewrite(With(Gbk("甲1甲2"), Gbk("甲")), {"a b"}), (Lines{"ab"}));
    // A count of 0 or less names nothing.
    EXPECT_EQ(Rewrite(With("$1", "$", 0), {"a b"}), (Lines{"$1"}));
    // Names go in order: with ten and more, "$10" is caught by "$1" (the
    // first field and a 0); counts beyond sixteen are used all the same.
    std::string line;
    for (int k = 1; k <= 20; ++k) line += "f" + std::to_string(k) + ";";
    EXPECT_EQ(Rewrite(With("$10|$2|$17", "$", 20), {line}), (Lines{"f10|f2|f17"}));
    EXPECT_EQ(Rewrite(With("$20", "$", 20), {line}), (Lines{"f20"}));
    EXPECT_EQ(Rewrite(With("$12", "$", 3), {"a;b;c"}), (Lines{"a2"}));
    // A field whose text is a later name is replaced again by that field.
    EXPECT_EQ(Rewrite(With("$1 $2"), {"$2;z"}), (Lines{"z z"}));
}

TEST(PatternReplace, ItemsSeeTheTextBuiltSoFar) {
    // The item takes the first two bytes of "xy ${GetLeft(2)}", not of the line.
    EXPECT_EQ(Rewrite(With("$2 ${GetLeft(2)}"), {"abcd;xy"}), (Lines{"xy xy"}));
    // Nested items first; every item once; escapes inside items only.
    EXPECT_EQ(Rewrite(With("$1:${Len(${GetLeft(2)})}"), {"abcd"}), (Lines{"abcd:2"}));
    EXPECT_EQ(Rewrite(With("$1\\t${Len(\\t)}"), {"abc"}), (Lines{"abc\\t1"}));
    // A pattern of several lines makes several lines of each input line; a
    // final break adds an empty line after each.
    LineList out;
    PatternReplaceState state;
    ReplaceByPattern(With("$1\r\n$2"), state, Of({"a b", "c d"}), out);
    EXPECT_EQ(out.ToText(), "a\r\nb\r\nc\r\nd\r\n");
    out.clear();
    ReplaceByPattern(With("$1\r\n"), state, Of({"a b"}), out);
    EXPECT_EQ(out.ToText(), "a\r\n\r\n");
}

TEST(PatternReplace, TheItemPassAlwaysEnds) {
    // A "}" that closes nothing stays, and later items are still evaluated.
    EXPECT_EQ(EvaluatePatternItems("a}b ${Len(xyz)}"), "a}b 3");
    EXPECT_EQ(EvaluatePatternItems("}}}"), "}}}");
    // An unknown function stays as typed (its value would be the whole text
    // again, without end).
    EXPECT_EQ(EvaluatePatternItems("x ${Foo(1)} y"), "x ${Foo(1)} y");
    EXPECT_EQ(EvaluatePatternItems("${Sn(1,3)}"), "${Sn(1,3)}");
    // ${word} without a parenthesis gives the word.
    EXPECT_EQ(EvaluatePatternItems("<${abc}>"), "<abc>");
    // A value holding "${" or a whole item is final text.
    EXPECT_EQ(Rewrite(With("${GetLeft(2)}$1"), {"a}"}), (Lines{"${a}"}));
    EXPECT_EQ(EvaluatePatternItems("${LineOrg()}!"), "${LineOrg()}!!");
    // Fields full of braces from the line itself.
    EXPECT_EQ(Rewrite(With("[$1] ${GetLeft(3)}"), {"}{${"}), (Lines{"[}{${] [}{"}));
    // An unclosed "${" is text.
    EXPECT_EQ(EvaluatePatternItems("${GetLeft(1"), "${GetLeft(1");
    // GBK trail bytes that look like braces are part of their character.
    const std::string brace = "\x81}\x81{";
    EXPECT_EQ(EvaluatePatternItems("${Len(" + brace + ")}"), "4");
}

}  // namespace
}  // namespace ferro
