#include "textops/key_merge.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/temp_folder.h"
#include "platform/text.h"

namespace ferro {
namespace {

using testing::Gbk;

// What a first-match scan from the top would do, line by line: the plain
// rule the indexed merge must reproduce exactly.
int NaiveMerge(const std::vector<std::string>& source, std::vector<std::string>& target) {
    auto nameOf = [](const std::string& line, std::string& name, std::string& value) {
        std::string_view n, v;
        if (!SplitKeyLine(line, n, v)) return false;
        name = n;
        value = v;
        return true;
    };
    int count = 0;
    for (const std::string& line : source) {
        std::string name, value, n, v;
        if (!nameOf(line, name, value)) continue;
        for (const std::string& s : source)
            if (nameOf(s, n, v) && SameTextIgnoreCase(n, name)) {
                value = v;
                break;
            }
        for (std::size_t i = 0; i < target.size(); ++i) {
            if (!nameOf(target[i], n, v) || !SameTextIgnoreCase(n, name)) continue;
            ++count;
            if (value.empty())
                target.erase(target.begin() + i);
            else
                target[i] = name + "=" + value;
            break;
        }
    }
    return count;
}

std::string Merge(std::string_view source, std::string_view target, int& count) {
    LineList t = LineList::FromText(target);
    count = MergeKeys(LineList::FromText(source), t);
    return t.ToText();
}

TEST(KeyMerge, NamesMatchWithoutCaseAndTakeTheSourceSpelling) {
    int n = 0;
    EXPECT_EQ(Merge("Size=10\r\n", "[s]\r\nsize=5\r\nother=1\r\n", n),
              "[s]\r\nSize=10\r\nother=1\r\n");
    EXPECT_EQ(n, 1);
    // Full-width letters fold too, Chinese names match as they are.
    EXPECT_EQ(Merge(Gbk("ＡＢ=1\r\n名称=新\r\n"), Gbk("ａｂ=0\r\n名称=旧\r\n"), n),
              Gbk("ＡＢ=1\r\n名称=新\r\n"));
    EXPECT_EQ(n, 2);
    // A value equal to the target's is rewritten and counted all the same.
    EXPECT_EQ(Merge("k=1", "k=1", n), "k=1\r\n");
    EXPECT_EQ(n, 1);
}

TEST(KeyMerge, EmptyValueRemovesTheTargetLine) {
    int n = 0;
    EXPECT_EQ(Merge("Key=\r\n", "a=1\r\nkey=2\r\nb=3\r\n", n), "a=1\r\nb=3\r\n");
    EXPECT_EQ(n, 1);
    // Twice in the source: the second removal reaches the next line of that name.
    EXPECT_EQ(Merge("k=\nk=x\n", "k=1\nk=2\nk=3\n", n), "k=3\r\n");
    EXPECT_EQ(n, 2);
}

TEST(KeyMerge, DuplicatesOnEitherSide) {
    int n = 0;
    // The source's first value wins both times, and both are counted.
    EXPECT_EQ(Merge("a=1\nA=2\n", "a=0\n", n), "A=1\r\n");
    EXPECT_EQ(n, 2);
    // In the target only the first line of a name changes.
    EXPECT_EQ(Merge("a=9\n", "a=1\na=2\n", n), "a=9\r\na=2\r\n");
    EXPECT_EQ(n, 1);
}

TEST(KeyMerge, WhatTakesNoPart) {
    int n = 0;
    // Keys only in the source are not added; lines without a name are kept.
    EXPECT_EQ(Merge("new=1\n[sec]\n=x\n", "[sec]\n;comment\n=y\nold=2", n),
              "[sec]\r\n;comment\r\n=y\r\nold=2\r\n");
    EXPECT_EQ(n, 0);
    // Spaces around "=" belong to name and value.
    EXPECT_EQ(Merge("Key = 1\n", "Key=2\nKey =3\n", n), "Key=2\r\nKey = 1\r\n");
    EXPECT_EQ(n, 1);
    // Only the first "=" splits; sections are not told apart.
    EXPECT_EQ(Merge("url=a=b\n", "[x]\nurl=1\n[y]\nurl=2\n", n),
              "[x]\r\nurl=a=b\r\n[y]\r\nurl=2\r\n");
    // A comment holding "=" is an entry like any other.
    EXPECT_EQ(Merge(";note=new\n", ";NOTE=old\n", n), ";note=new\r\n");
    // Empty lists.
    EXPECT_EQ(Merge("", "a=1", n), "a=1\r\n");
    EXPECT_EQ(Merge("a=1", "", n), "");
    EXPECT_EQ(n, 0);
}

TEST(KeyMerge, AgreesWithAFirstMatchScanOnRandomFiles) {
    std::mt19937 rng(7);
    const char* const names[] = {"a", "A", "b", "B", "c", "key", "KEY", "Key", " a", "a "};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> source, target;
        auto randomLine = [&] {
            switch (rng() % 8) {
                case 0:
                    return std::string("[section]");
                case 1:
                    return std::string("=v");
                default: {
                    std::string value = rng() % 3 == 0 ? "" : std::to_string(rng() % 5);
                    return std::string(names[rng() % 10]) + "=" + value;
                }
            }
        };
        for (int i = rng() % 12; i > 0; --i) source.push_back(randomLine());
        for (int i = rng() % 12; i > 0; --i) target.push_back(randomLine());
        LineList s, t;
        for (auto& l : source) s.push_back(l);
        for (auto& l : target) t.push_back(l);
        const int expected = NaiveMerge(source, target);
        ASSERT_EQ(MergeKeys(s, t), expected) << round;
        ASSERT_EQ(t.ToStrings(), target) << round;
    }
}

}  // namespace
}  // namespace ferro
