// The undo budget, decided once for both front ends: sizes as the user
// reads them, room made by dropping older runs, the test budget from the
// environment.
#include <gtest/gtest.h>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "ops/operation.h"
#include "ops/undo_budget.h"

namespace ferro::ops {
namespace {

using testing::ScopedEnv;
using testing::TempFolder;

TEST(UndoBudget, SizesReadAsTheUserReadsThem) {
    const struct {
        uint64_t bytes;
        const char* text;  // UTF-8
    } cases[] = {
        {0, "0 字节"},
        {1023, "1023 字节"},
        {1024, "1 KB"},
        {1025, "2 KB"},
        {uint64_t{1} << 20, "1.0 MB"},
        {(uint64_t{3} << 20) / 2, "1.5 MB"},
        {uint64_t{2} << 30, "2.0 GB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SizeText(c.bytes), FromUtf8(c.text));
    }
}

TEST(UndoBudget, OldContentsBeyondTheBudgetDoNotFit) {
    TempFolder t;
    Journal journal(t / "journal", 10);
    const std::vector<BatchFile> small = {{1, t.Write("a.txt", "12345")}};
    const std::vector<BatchFile> large = {{1, t.Write("b.txt", "12345678901")}};
    EXPECT_TRUE(MakeUndoRoom(journal, {}).fits);
    EXPECT_TRUE(MakeUndoRoom(journal, small).fits);
    const UndoRoom room = MakeUndoRoom(journal, large);
    EXPECT_FALSE(room.fits);
    EXPECT_EQ(room.bytes, 11u);
    EXPECT_EQ(room.budget, 10u);
    const std::string beyond = FromUtf8("这些文件的原内容共 11 字节，超出撤销记录的上限 10 字节，处理后将无法撤销。\n");
    EXPECT_EQ(UndoRoomQuestion(room), beyond + FromUtf8("是否继续处理（不保留撤销记录）？"));
    EXPECT_EQ(UndoRoomRefusal(room), beyond + FromUtf8("如果不需要撤销，请加上 --no-undo 再试。"));
}

TEST(UndoBudget, TestsSetASmallBudgetThroughTheEnvironment) {
    TempFolder t;
    ScopedEnv state("XDG_STATE_HOME", t.path());
    {
        ScopedEnv budget("FERRO_UNDO_BUDGET", "4096");
        EXPECT_EQ(OpenRunJournal()->budget(), 4096u);
    }
    for (const char* odd : {"", "12k", "-", "-5"}) {
        ScopedEnv budget("FERRO_UNDO_BUDGET", odd);
        EXPECT_EQ(OpenRunJournal()->budget(), Journal::kDefaultBudget) << odd;
    }
    EXPECT_EQ(OpenRunJournal()->folder(), Journal::DefaultFolder());
}

}  // namespace
}  // namespace ferro::ops
