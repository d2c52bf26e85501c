#include <gtest/gtest.h>

#include "template/arithmetic.h"
#include "template/gbk.h"

namespace ferro {
namespace {

using test::Gbk;

std::string Numerals(std::u16string_view text) {
    return ConvertChineseNumerals(Gbk(text));
}

TEST(ChineseNumerals, CharacterByCharacter) {
    EXPECT_EQ(Numerals(u"二零一二"), "2012");
    EXPECT_EQ(Numerals(u"一百零五"), "105");
    EXPECT_EQ(Numerals(u"二十三"), "23");
    // Multipliers vanish; the value is not read.
    EXPECT_EQ(Numerals(u"二十"), "2");
    EXPECT_EQ(Numerals(u"十五"), "5");
    EXPECT_EQ(Numerals(u"十"), "");
    EXPECT_EQ(Numerals(u"三千万亿兆"), "3");
}

TEST(ChineseNumerals, FinancialFormsAndOtherCharacters) {
    EXPECT_EQ(Numerals(u"壹贰叁肆伍陆柒捌玖拾"), "123456789");
    EXPECT_EQ(Numerals(u"第三章"), Gbk(u"第3章"));
    EXPECT_EQ(Numerals(u"壹佰"), "1" + Gbk(u"佰"));
    EXPECT_EQ(Numerals(u"佰仟〇"), Gbk(u"佰仟〇"));
    EXPECT_EQ(Numerals(u"report_2012"), "report_2012");
    EXPECT_EQ(Numerals(u""), "");
}

TEST(ChineseNumerals, OnlyWholeCharactersAreReplaced) {
    // 一 is D2 BB; here its bytes straddle two characters (xD2 BBxx).
    const std::string s = "\x81\xD2\xBB\xA1";
    EXPECT_EQ(ConvertChineseNumerals(s), s);
}

TEST(Big5, SimplifiedToTraditionalBytes) {
    EXPECT_EQ(ConvertGbToBig5(Gbk(u"简体中文")), "\xC2\xB2\xC5\xE9\xA4\xA4\xA4\xE5");
    EXPECT_EQ(ConvertGbToBig5("report_2012"), "report_2012");
    EXPECT_EQ(ConvertGbToBig5(""), "");
}

TEST(Big5, RoundTripGivesSimplifiedText) {
    for (std::u16string_view text :
         {u"简体中文", u"发展", u"头发", u"后来", u"里面", u"台湾", u"文件批处理", u"电脑软件",
          u"时间日期", u"报告2012年.txt", u"学习汉语很有意思", u"东西南北，长短。"}) {
        const std::string gbk = Gbk(text);
        const std::string big5 = ConvertGbToBig5(gbk);
        EXPECT_NE(big5, gbk);
        EXPECT_EQ(ConvertBig5ToGb(big5), gbk) << Gbk(text);
    }
}

TEST(Big5, TraditionalToSimplified) {
    // 發展頭髮後來 in Big5.
    EXPECT_EQ(ConvertBig5ToGb("\xB5\x6F\xAE\x69\xC0\x59\xBE\x76\xAB\xE1\xA8\xD3"),
              Gbk(u"发展头发后来"));
}

}  // namespace
}  // namespace ferro
