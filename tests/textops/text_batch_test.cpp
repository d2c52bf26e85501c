// The run of a line operation over many files: what is written as the lines
// come, what a backup holds, and the files a run leaves undone.
#include "textops/text_batch.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "template/template.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::TempFolder;

TEST(TextBatch, EachFileIsWrittenWholeOrLeftAsItWas) {
    TempFolder t;
    const std::vector<BatchFile> files = {{1, t.Write("a.txt", "a\nlong\n")},
                                          {2, t.Write("b.txt", "b\nlong\n")},
                                          {3, t.Write("c.txt", "c\n")}};
    TextBatchOptions options;
    options.backup = true;
    // Lines are upper-cased; a file whose second line grows too long is
    // refused part-way through, after its first line went out.
    const RunSummary r = RewriteTextFiles(
        files, options,
        [](const LineList& in, LineSink& out) {
            for (std::string_view line : in) {
                if (line == "long" && in.front() == "b") throw ValueTooLong();
                std::string upper(line);
                for (char& ch : upper) ch = static_cast<char>(std::toupper(ch));
                out.push_back(upper);
            }
        },
        nullptr);
    EXPECT_EQ(r.done, 2);
    EXPECT_TRUE(r.error.empty());
    ASSERT_EQ(r.undone.size(), 1u);
    EXPECT_EQ(r.undone[0].row, 2);
    EXPECT_EQ(r.undone[0].why, Undone::TooLong);
    EXPECT_EQ(t.Read("a.txt"), "A\nLONG\n");
    EXPECT_EQ(t.Read("a.txt.bak"), "a\nlong\n");
    EXPECT_EQ(t.Read("b.txt"), "b\nlong\n");
    EXPECT_EQ(t.Read("c.txt"), "C\n");
    // Nothing half-written is left behind.
    EXPECT_EQ(Entries(t.path()), (std::vector<std::string>{"a.txt", "a.txt.bak", "b.txt",
                                                           "b.txt.bak", "c.txt", "c.txt.bak"}));
}

TEST(TextBatch, AFileThatCannotBeReadEndsTheRun) {
    TempFolder t;
    const std::vector<BatchFile> files = {
        {1, t.Write("a.txt", "a\n")}, {2, t / "missing.txt"}, {3, t.Write("c.txt", "c\n")}};
    const RunSummary r = RewriteTextFiles(
        files, TextBatchOptions(),
        [](const LineList& in, LineSink& out) { out.push_back("x"); }, nullptr);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(r.error, "Cannot open file " + t / "missing.txt");
    ASSERT_EQ(r.undone.size(), 2u);
    EXPECT_EQ(r.undone[0].why, Undone::Missing);
    EXPECT_EQ(r.undone[1].why, Undone::NotReached);
    EXPECT_EQ(t.Read("a.txt"), "x\n");
    EXPECT_EQ(t.Read("c.txt"), "c\n");
}

}  // namespace
}  // namespace ferro
