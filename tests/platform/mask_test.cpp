#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/mask.h"

using ferro::MaskMatcher;
using ferro::testing::Gbk;

TEST(MaskMatcher, AgreesWithTheFindFirstMatching) {
    // The prepared matcher must give exactly MatchesMask's answers.
    // clang-format off
    std::vector<std::string> masks = {
        "*", "*.*", "*.txt", "*.TXT", "a?c", "*.", "readme", "re*me.t?t", "?", "??", "*a*b*",
        "x.", ".*", "*.t*", "", " *.ini", Gbk("报告*.txt"), Gbk("*表?.DAT"), "\xA3\xC1*",
    };
    std::vector<std::string> names = {
        "a.txt", "A.TXT", "abc", "ABC", "abcd", "readme", "README", "readme.txt", "x", "x.",
        ".hidden", "a.b.c", "noext", "ab", "aXb", "txt", " b.ini", "b.ini", "aab", "ba",
        Gbk("报告一.txt"), Gbk("报告.TXT"), Gbk("年表甲.dat"), Gbk("年表.dat"), Gbk("Ａ字"),
        Gbk("ａ字"), "\xB0" "c", "\xB0.txt", "a\xB0.TXT", "\x81" "0a.txt", "\x81\x30\x81\x30.txt",
    };
    // clang-format on
    std::mt19937 rng(7);
    const std::string alphabet = "aAbB.?*tx\xB0\xA3";
    for (int i = 0; i < 400; ++i) {
        std::string m, n;
        for (int k = rng() % 6; k > 0; --k) m.push_back(alphabet[rng() % alphabet.size()]);
        for (int k = rng() % 7; k > 0; --k) {
            char c = alphabet[rng() % alphabet.size()];
            if (c != '?' && c != '*') n.push_back(c);
        }
        // ASCII masks, the ones with a fast path; every fourth "*" and a tail.
        std::replace(m.begin(), m.end(), '\xA3', 'c');
        std::replace(m.begin(), m.end(), '\xB0', 'T');
        if (i % 4 == 1) {
            m.erase(std::remove_if(m.begin(), m.end(), [](char c) { return c == '*' || c == '?'; }),
                    m.end());
            m.insert(m.begin(), '*');
        }
        if (i % 2) masks.push_back(m);
        names.push_back(n);
    }
    for (const std::string& m : masks) {
        const MaskMatcher matcher(m);
        for (const std::string& n : names)
            EXPECT_EQ(matcher.Matches(n), ferro::MatchesMask(n, m))
                << "mask '" << m << "' name '" << n << "'";
    }
}
