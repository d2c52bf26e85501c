#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "platform/error.h"
#include "platform/text.h"

using ferro::testing::Gbk;

TEST(Text, CharLengthKnowsDoubleAndFourByteCharacters) {
    std::string s = "a" + Gbk("中") + Gbk("𠀀");
    ASSERT_EQ(s.size(), 7u);
    EXPECT_EQ(ferro::CharLength(s, 0), 1u);
    EXPECT_EQ(ferro::CharLength(s, 1), 2u);
    EXPECT_EQ(ferro::CharLength(s, 3), 4u);
    EXPECT_EQ(ferro::CharLength("\x81", 0), 1u);  // a lead byte with nothing after it
}

TEST(Text, TrimRemovesControlBytesAndBlanks) {
    EXPECT_EQ(ferro::Trim(std::string("\t \x01 a b\r\n\0", 11)), "a b");
    EXPECT_EQ(ferro::Trim("   "), "");
    EXPECT_EQ(ferro::TrimLeft("  a "), "a ");
    EXPECT_EQ(ferro::TrimRight("  a "), "  a");
}

TEST(Text, CaseMappingNeverTouchesTrailBytes) {
    // U+4E02 is 0x81 0x41 in GBK: its trail byte is an 'A'.
    std::string s = "ABC" + Gbk("丂") + "xyz";
    std::string lower = ferro::AnsiLower(s);
    EXPECT_EQ(lower, "abc" + Gbk("丂") + "xyz");
    EXPECT_EQ(ferro::AnsiUpper(lower), "ABC" + Gbk("丂") + "XYZ");
    // Full-width and Greek letters have a case too, at the same positions.
    EXPECT_EQ(ferro::AnsiLower(Gbk("ＡΩ")), Gbk("ａω"));
    EXPECT_EQ(ferro::AnsiUpper(Gbk("ａω")), Gbk("ＡΩ"));
    EXPECT_TRUE(ferro::SameTextIgnoreCase("Report.TXT", "report.txt"));
}

TEST(Text, StrToIntAcceptsWholeDecimalNumbersOnly) {
    EXPECT_EQ(ferro::StrToInt("42"), 42);
    EXPECT_EQ(ferro::StrToInt("  -7"), -7);
    EXPECT_EQ(ferro::StrToInt("+3"), 3);
    EXPECT_EQ(ferro::StrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", " ", "1 ", "1.5", "abc", "2147483648", "--1", "0x10"}) {
        try {
            ferro::StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const ferro::Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(Text, SplitFieldsTrimsAndKeepsEmptyFieldsBetweenSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ferro::SplitFields("C:/a; D:/b;", ";"), (V{"C:/a", "D:/b"}));
    EXPECT_EQ(ferro::SplitFields("a;;b", ";"), (V{"a", "", "b"}));
    EXPECT_EQ(ferro::SplitFields(";a", ";"), (V{"", "a"}));
    EXPECT_EQ(ferro::SplitFields("a   b\t c", " "), (V{"a", "b", "c"}));
    EXPECT_EQ(ferro::SplitFields("", ";"), (V{""}));
    EXPECT_EQ(ferro::SplitFields(" x ", ""), (V{" x "}));
    EXPECT_EQ(ferro::SplitFields("   ", ";"), V{});
}
