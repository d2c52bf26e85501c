#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/temp_folder.h"
#include "platform/collate.h"

using ferro::testing::Gbk;

TEST(Collate, ChineseOrderAndKeysAgree) {
    // Pinyin order: a (啊), ba (爸), zhong (中); Latin before Han.
    std::vector<std::string> words = {Gbk("中"), Gbk("爸"), "b", Gbk("啊"), "A", "a"};
    std::vector<std::string> byCompare = words, byKey = words;
    std::sort(byCompare.begin(), byCompare.end(),
              [](const auto& x, const auto& y) { return ferro::CompareLocale(x, y) < 0; });
    std::sort(byKey.begin(), byKey.end(), [](const auto& x, const auto& y) {
        return ferro::CollationKey(x) < ferro::CollationKey(y);
    });
    EXPECT_EQ(byCompare, byKey);
    std::vector<std::string> han(byCompare.end() - 3, byCompare.end());
    EXPECT_EQ(han, (std::vector<std::string>{Gbk("啊"), Gbk("爸"), Gbk("中")}));
    EXPECT_NE(ferro::CompareLocale("a", "A"), 0);
}

TEST(Collate, SameTextLocaleIgnoresCase) {
    EXPECT_TRUE(ferro::SameTextLocale("/data/A", "/data/a"));
    EXPECT_FALSE(ferro::SameTextLocale("/data/A", "/data/b"));
}

TEST(Collate, WordSortLeavesOutHyphensAndApostrophesUnlessNothingElseDiffers) {
    // A dot is no hyphen: it still counts ("a.txt" first). "co-op" and
    // "coop", "报-告" and "报告" differ by the hyphen alone: the whole texts
    // decide, and the hyphen sorts first.
    const std::vector<std::string> sorted = {"a.txt", "ab",   "a-c", "ad",         "co-op",    "coop",
                                             "oa",    "o'b",  "oc",  Gbk("报-告"), Gbk("报告")};
    std::vector<std::string> words(sorted.rbegin(), sorted.rend());
    std::rotate(words.begin(), words.begin() + 4, words.end());
    std::sort(words.begin(), words.end(), [](const auto& x, const auto& y) {
        return ferro::WordSortKey(x) < ferro::WordSortKey(y);
    });
    EXPECT_EQ(words, sorted);
}

TEST(Collate, FileNamesInTheOrderOfAWindowsFolderListing) {
    // Upper-cased UTF-16 code units compared as numbers: '_' (0x5F) after
    // 'A' (0x41); 'é' (0xC9 upper-cased) after 'Z'; Han by code point, not
    // by pinyin; a character outside the BMP by its surrogates (0xD83D),
    // before the full-width 'Ａ' (0xFF21).
    const std::vector<std::string> sorted = {"A.txt",    "a.txt",     "b10.txt",     "B2.txt",
                                             "Z.txt",    "_x.txt",    Gbk("é.txt"),  Gbk("中.txt"),
                                             Gbk("啊.txt"), Gbk("😀.txt"), Gbk("Ａ.txt")};
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        for (std::size_t j = 0; j < sorted.size(); ++j) {
            SCOPED_TRACE(sorted[i] + " / " + sorted[j]);
            const int c = ferro::CompareFileNames(sorted[i], sorted[j]);
            EXPECT_EQ(c < 0, i < j);
            EXPECT_EQ(c == 0, i == j);
        }
    }
}
