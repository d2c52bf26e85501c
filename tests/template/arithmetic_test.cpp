#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "template/arithmetic.h"

namespace ferro {
namespace {

TEST(Arithmetic, PrecedenceAndAssociativity) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("7-1"), 6);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("2+3*4"), 14);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("8-3-2"), 3);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("(1+2)*3"), 9);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("10/4"), 2.5);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("2*3+4*5"), 26);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("12/2/3"), 2);
}

TEST(Arithmetic, Signs) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("2*-3"), -6);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("-5+2"), -3);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("+4"), 4);
    // A sign in front of a parenthesis is lost.
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("-(2)"), 2);
    // After ")" a sign is an operator.
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("(2)-1"), 1);
}

TEST(Arithmetic, DivisionByZeroOrNegativeGivesZero) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("7/0"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("6/(1-3)"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("6/-2"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1/0.0000001"), 0);
}

TEST(Arithmetic, BlanksAndCommasAreIgnored) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1 000"), 1000);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1 2"), 12);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1,000+1"), 1001);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic(" , "), 0);
}

TEST(Arithmetic, NonNumbersAndUnbalancedInputDoNotFail) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic(""), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("abc"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("3x"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("5("), 5);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("3)"), 3);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("3+"), 3);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("*"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("((("), 0);
}

TEST(Arithmetic, NumberForms) {
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("2.5*2"), 5);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1e2"), 100);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic(".5+.5"), 1);
    // Not numbers: hexadecimal, words from_chars would take, a bare exponent.
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("0x10"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("inf"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("nan"), 0);
    EXPECT_DOUBLE_EQ(EvaluateArithmetic("1e"), 0);
}

// A number, or two with one operator, is worked out without the stacks:
// the same value as the general reading (which a leading blank forces),
// for every operator, lengths up to the 15-digit bound and past it, zeros,
// and the near misses that must take the general way.
TEST(Arithmetic, ShortFormsGiveWhatTheGeneralReadingGives) {
    std::vector<std::string> texts;
    const char* numbers[] = {"0", "7", "12", "007", "999999999999999", "1000000000000000",
                             "12345678901234567890", "1.5", "3e2"};
    for (const char* a : numbers) {
        texts.push_back(a);
        for (const char* op : {"+", "-", "*", "/", "--", "*-", "+(", ")", "x"})
            for (const char* b : numbers) texts.push_back(std::string(a) + op + b);
    }
    for (const char* odd : {"12-", "-12", "+", "*3", "1-2-3", "4/0", "0/0", "1e", "12 - 1"})
        texts.push_back(odd);
    for (const std::string& t : texts) {
        SCOPED_TRACE(t);
        const double quick = EvaluateArithmetic(t), general = EvaluateArithmetic(" " + t);
        if (std::isnan(general)) EXPECT_TRUE(std::isnan(quick));
        else EXPECT_EQ(quick, general);
    }
}

}  // namespace
}  // namespace ferro
