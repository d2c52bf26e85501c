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
