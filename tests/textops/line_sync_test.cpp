#include "textops/line_sync.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "textops/keywords.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Gbk;

std::string Sync(std::string_view keys, std::string_view source, std::string_view target,
                 int& count) {
    LineList t = LineList::FromText(target);
    count = SyncLinesByKeyword(SplitKeywords(keys), LineList::FromText(source), t);
    return t.ToText();
}

TEST(LineSync, ReplacesTheSameLineNumberInTheSourceSpelling) {
    int n = 0;
    EXPECT_EQ(Sync("abc", "x\nHas ABC\ny\n", "1\n2\n3\n4\n", n), "1\r\nHas ABC\r\n3\r\n4\r\n");
    EXPECT_EQ(n, 1);
    // Several keywords in one line: one copy, one count.
    EXPECT_EQ(Sync("a;b c", "a b c\nnone\n", "1\n2\n", n), "a b c\r\n2\r\n");
    EXPECT_EQ(n, 1);
    // Chinese keywords, and a quoted keyword holding a blank.
    EXPECT_EQ(Sync(Gbk("\"译 文\";中文"), Gbk("译 文:甲\n中文行\n译文\n"), "1\n2\n3\n", n),
              Gbk("译 文:甲\r\n中文行\r\n3\r\n"));
    EXPECT_EQ(n, 2);
}

TEST(LineSync, LinesPastTheTargetAndBlankKeywords) {
    int n = 0;
    // A matching line beyond the target's end is skipped and not counted.
    EXPECT_EQ(Sync("k", "k1\nk2\nk3\n", "a\n", n), "k1\r\n");
    EXPECT_EQ(n, 1);
    // Blanks only, or empty keywords: nothing matches, the target stays.
    EXPECT_EQ(Sync("   ", "x\n", "a\n", n), "a\r\n");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Sync(";;", "x\n", "a\n", n), "a\r\n");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Sync("x", "", "a\nb", n), "a\r\nb\r\n");
    EXPECT_EQ(n, 0);
}

}  // namespace
}  // namespace ferro
