// Line cut and line insert: which lines a template reaches, what the file
// keeps, and the per-file numbering of the insert.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "line_lists.h"
#include "platform/error.h"
#include "textops/line_cut.h"
#include "textops/line_insert.h"
#include "template/functions.h"
#include "template/template.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::Lines;

using testing::Of;

Lines Cut(const LineCutSettings& s, const Lines& in) {
    LineList out;
    CutLines(s, Of(in), out);
    return out.ToStrings();
}

Lines Insert(const LineInsertSettings& s, const Lines& in) {
    LineList out;
    InsertIntoLines(s, Of(in), out);
    return out.ToStrings();
}

LineCutSettings CutWith(const std::string& format, bool keepCut, LineChoice choice) {
    LineCutSettings s;
    s.format = format;
    s.keepCut = keepCut;
    s.choice = choice;
    return s;
}

LineInsertSettings InsertWith(const std::string& format, LineChoice choice) {
    LineInsertSettings s;
    s.format = format;
    s.choice = choice;
    s.sequence = FindSequenceItem(format);
    return s;
}

std::string ConversionError(std::string_view format) {
    try {
        FindSequenceItem(format);
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(LineCut, KeepCutKeepsOnlyResultsThatDifferFromTheirLine) {
    const Lines in = {"abcdef", "", "  ", "ab", "key:xyz"};
    // Text lines: the empty line is not treated and vanishes; a result equal
    // to its line ("ab", and "  " cut to two bytes) vanishes too.
    EXPECT_EQ(Cut(CutWith("${GetLeft(2)}", true, LineChoice::TextLines), in), (Lines{"ab", "ke"}));
    // A line of spaces is text: it is treated.
    EXPECT_EQ(Cut(CutWith("${GetLeft(1)}", true, LineChoice::TextLines), in),
              (Lines{"a", " ", "a", "k"}));
    // Keyword mode: lines without the keyword vanish; the keyword is one
    // string, a ";" in it included.
    auto s = CutWith("${DelLeft(4)}", true, LineChoice::Keyword);
    s.keyword = "key:";
    EXPECT_EQ(Cut(s, in), (Lines{"xyz"}));
    s.keyword = "b;c";
    EXPECT_EQ(Cut(s, {"ab;cd", "abcd"}), (Lines{"d"}));
    // All lines: the empty line is treated too.
    EXPECT_EQ(Cut(CutWith("${AddRight(!)}", true, LineChoice::AllLines), {"a", ""}),
              (Lines{"a!", "!"}));
}

TEST(LineCut, KeepRestRemovesTheFirstOccurrenceOfTheResult) {
    // Every line stays; only the first occurrence of the cut part goes.
    EXPECT_EQ(
        Cut(CutWith("${GetRight(2)}", false, LineChoice::TextLines), {"abab", "", "xyz", "ab"}),
        (Lines{"ab", "", "x", "ab"}));
    // A result that does not occur in the line leaves it whole.
    EXPECT_EQ(Cut(CutWith("${AddLeft(q)}", false, LineChoice::AllLines), {"abc"}), (Lines{"abc"}));
    // An empty result leaves the line whole.
    EXPECT_EQ(Cut(CutWith("${DelLeft(9)}", false, LineChoice::AllLines), {"abc"}), (Lines{"abc"}));
    // Chinese text: positions are bytes.
    EXPECT_EQ(Cut(CutWith("${GetLeft(2)}", false, LineChoice::TextLines), {Gbk("中文中")}),
              (Lines{Gbk("文中")}));
}

TEST(LineCut, LineNumberModeTreatsOneClampedLine) {
    const Lines in = {"first", "", "third"};
    auto s = CutWith("${GetLeft(2)}", true, LineChoice::LineNumber);
    s.lineNumber = 3;
    EXPECT_EQ(Cut(s, in), (Lines{"first", "", "th"}));
    s.lineNumber = 99;  // beyond the end: the last line
    EXPECT_EQ(Cut(s, in), (Lines{"first", "", "th"}));
    s.lineNumber = -4;  // 0 or less: the first line
    EXPECT_EQ(Cut(s, in), (Lines{"fi", "", "third"}));
    // The treated line is replaced even when its result is the line itself.
    s.format = "${GetLeft(20)}";
    EXPECT_EQ(Cut(s, in), in);
    // Keep-rest: the result is removed from the line; a whole-line result
    // leaves an empty line.
    s.keepCut = false;
    EXPECT_EQ(Cut(s, in), (Lines{"", "", "third"}));
    s.format = "${GetRight(3)}";
    s.lineNumber = 3;
    EXPECT_EQ(Cut(s, in), (Lines{"first", "", "th"}));
    // An empty file stays empty.
    EXPECT_TRUE(Cut(s, {}).empty());
}

TEST(LineInsert, ChoosesLinesAndKeepsEveryLine) {
    const Lines in = {"a", "", "key b", "  "};
    EXPECT_EQ(Insert(InsertWith("${AddLeft(>)}", LineChoice::TextLines), in),
              (Lines{">a", "", ">key b", ">  "}));
    EXPECT_EQ(Insert(InsertWith("${AddLeft(>)}", LineChoice::AllLines), in),
              (Lines{">a", ">", ">key b", ">  "}));
    auto s = InsertWith("${AddRight(<)}", LineChoice::Keyword);
    s.keyword = "key";
    EXPECT_EQ(Insert(s, in), (Lines{"a", "", "key b<", "  "}));
    // The template may put several lines into one, or a tab in.
    EXPECT_EQ(Insert(InsertWith("${NewLine(2)}", LineChoice::TextLines), {"abcd"}),
              (Lines{"ab\r\ncd"}));
    EXPECT_EQ(Insert(InsertWith("${AddLeft(\\t)}", LineChoice::TextLines), {"x"}), (Lines{"\tx"}));
    // Line-number mode, clamped both ways; an empty file stays empty.
    s = InsertWith("${AddLeft(#)}", LineChoice::LineNumber);
    s.lineNumber = 50;
    EXPECT_EQ(Insert(s, in), (Lines{"a", "", "key b", "#  "}));
    s.lineNumber = 0;
    EXPECT_EQ(Insert(s, in), (Lines{"#a", "", "key b", "  "}));
    EXPECT_TRUE(Insert(s, {}).empty());
}

// A template that is one ${RegRep(..)} is run by the engine's replacement
// directly; it gives what the template gives, line choice for line choice,
// and grows no line beyond the bound either.
TEST(LineInsert, ASingleRegRepGivesWhatTheTemplateGives) {
    const Lines in = {Gbk("订单 12-34"), "", Gbk("无号 错误"), "5-6 7-8", "  ", Gbk("第二行:ok")};
    const char* const formats[] = {"${RegRep(([0-9]+)-([0-9]+),\\2-\\1)}", "${RegRep(^,> )}",
                                   "${RegRep(.,\\\\)}", "${RegRep(\\s+$,)}", "${RegRep(\\d,\\r\\n)}"};
    for (const char* format : formats) {
        for (LineChoice choice : {LineChoice::AllLines, LineChoice::TextLines, LineChoice::Keyword,
                                  LineChoice::LineNumber}) {
            SCOPED_TRACE(std::string(format) + " " + std::to_string(int(choice)));
            LineInsertSettings s = InsertWith(Gbk(format), choice);
            s.keyword = Gbk("错误");
            s.lineNumber = 4;
            LineList out;
            LineInsertOperation(s).gbk(Of(in), out);
            EXPECT_EQ(out.ToStrings(), Insert(s, in));
        }
    }
    detail::SetValueLimitForTesting(1000);
    LineInsertSettings s = InsertWith("${RegRep(,0123456789)}", LineChoice::AllLines);
    LineList out;
    EXPECT_THROW(LineInsertOperation(s).gbk(Of({std::string(200, 'a')}), out), ValueTooLong);
    EXPECT_THROW(Insert(s, {std::string(200, 'a')}), ValueTooLong);
    detail::SetValueLimitForTesting(0);
}

TEST(LineInsert, SequenceNumbersPerFile) {
    // Start 1, width 3, inside the add-left function; numbering restarts in
    // the next file (each call is one file).
    auto s = InsertWith("${AddLeft(${Sn(1,3)}-)}", LineChoice::TextLines);
    EXPECT_EQ(s.sequence.text, "${Sn(1,3)}");
    EXPECT_EQ(Insert(s, {"a", "", "b", "c"}), (Lines{"001-a", "", "002-b", "003-c"}));
    EXPECT_EQ(Insert(s, {"x"}), (Lines{"001-x"}));
    // Keyword mode numbers only the lines with the keyword.
    s.choice = LineChoice::Keyword;
    s.keyword = "k";
    EXPECT_EQ(Insert(s, {"k1", "no", "k2"}), (Lines{"001-k1", "no", "002-k2"}));

    // Numbers longer than the width are not cut: 01..99, then 100.
    s = InsertWith("${AddLeft(${sn(1,2)} )}", LineChoice::AllLines);
    Lines many(120, "l");
    const Lines out = Insert(s, many);
    EXPECT_EQ(out[0], "01 l");
    EXPECT_EQ(out[98], "99 l");
    EXPECT_EQ(out[99], "100 l");
    EXPECT_EQ(out[119], "120 l");

    // Any letter case of the name; two copies of the item get the same
    // number; a width of 0 or less gives the plain number.
    s = InsertWith("${AddLeft(${SN(7, 0)}${sN(7, 0)}:)}", LineChoice::AllLines);
    EXPECT_EQ(s.sequence.start, 7);
    EXPECT_EQ(Insert(s, {"a", "b"}), (Lines{"77:a", "88:b"}));

    // Line-number mode gives its one line the start number.
    s = InsertWith("${AddLeft(${Sn(5,2)}.)}", LineChoice::LineNumber);
    s.lineNumber = 2;
    EXPECT_EQ(Insert(s, {"a", "b", "c"}), (Lines{"a", "05.b", "c"}));
}

TEST(LineInsert, SequenceItemPaddingAndItsErrors) {
    EXPECT_EQ(SequenceNumberText(5, 3), "005");
    EXPECT_EQ(SequenceNumberText(1234, 3), "1234");
    EXPECT_EQ(SequenceNumberText(5, 0), "5");
    EXPECT_EQ(SequenceNumberText(5, -2), "5");
    // At most sixteen zeros are added.
    EXPECT_EQ(SequenceNumberText(5, 20), std::string(16, '0') + "5");
    EXPECT_EQ(SequenceNumberText(5, 17), std::string(16, '0') + "5");

    // No item: nothing to number.
    EXPECT_TRUE(FindSequenceItem("${AddLeft(x)}").text.empty());
    // Start and width must be whole numbers (blanks around them allowed).
    const SequenceItem item = FindSequenceItem("${AddLeft(${Sn( 10 , 4 )})}");
    EXPECT_EQ(item.start, 10);
    EXPECT_EQ(item.width, 4);
    EXPECT_EQ(ConversionError("${AddLeft(${Sn(a,2)})}"), "'a' is not a valid integer value");
    EXPECT_EQ(ConversionError("${AddLeft(${Sn(1,x)})}"), "'x' is not a valid integer value");
    EXPECT_EQ(ConversionError("${AddLeft(${Sn(1)})}"), "'' is not a valid integer value");
    EXPECT_EQ(ConversionError("${Sn(1,2,3)}"), "'2,3' is not a valid integer value");
    // Never closed: the typed rest is named.
    EXPECT_EQ(ConversionError("x${Sn(1,2)"), "'${Sn(1,2)' is not a valid integer value");
}

}  // namespace
}  // namespace ferro
