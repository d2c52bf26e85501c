#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ferro
