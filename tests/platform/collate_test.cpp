#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/collator_reference.h"
#include "common/temp_folder.h"
#include "platform/collate.h"

using ferro::testing::CollatorKey;
using ferro::testing::Gbk;
using ferro::testing::WordKeyFromCollator;

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

// Keys of plain ASCII texts are made without the collator: on a large mixed
// table they are the collator's keys byte for byte, and so are the keys of
// every other text (upper case, control characters, Chinese, characters of
// GBK alone, full-width forms, texts longer than the plain keys reach).
TEST(Collate, KeysAreTheCollatorsOwnOnAMixedTable) {
    // With this ICU the keys of plain texts are the program's own (a
    // million names sort in a fraction of the time).
    EXPECT_TRUE(ferro::PlainKeysInUse());
    std::vector<std::string> pieces;
    for (int c = 1; c < 0x80; ++c) pieces.emplace_back(1, static_cast<char>(c));
    for (const char* utf8 : {"中", "文", "报告", "啊", "爸", "镕", "堃", "喆", "犇", "〇", "Ａ", "ｚ",
                             "é", "ǎ", "·", "—", "…", "１", "，", "。", "α", "Я"})
        pieces.push_back(Gbk(utf8));
    std::vector<std::string> texts = {"", "a", "report_123456_file.txt.57", "a.b-c'd e", "-", "'"};
    std::mt19937 rng(7);
    for (int i = 0; i < 6000; ++i) {
        // Most texts plain lower-case ASCII, as most names are; some mixed.
        const bool plain = i % 3 != 0;
        const std::size_t length = i % 50 == 0 ? 400 + rng() % 300 : 1 + rng() % 30;
        std::string t;
        while (t.size() < length) {
            if (plain) {
                static const char kPlain[] = "abcdefghijklmnopqrstuvwxyz0123456789._-' ()[]~!@#$%&+=,;";
                t.push_back(kPlain[rng() % (sizeof kPlain - 1)]);
            } else {
                t += pieces[rng() % pieces.size()];
            }
        }
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        SCOPED_TRACE(testing::PrintToString(t));
        std::string want = CollatorKey(t);
        want.push_back('\0');
        want += t;
        ASSERT_EQ(ferro::CollationKey(t), want);
        ASSERT_EQ(ferro::WordSortKey(t), WordKeyFromCollator(t));
        std::string head = "x";
        ferro::AppendWordSortKeyHead(t, head);
        const std::string whole = WordKeyFromCollator(t);
        ASSERT_EQ(head.substr(1), whole.substr(0, whole.find('\0')));
    }
}
