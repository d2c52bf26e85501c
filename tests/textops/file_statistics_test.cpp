#include "textops/file_statistics.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"

namespace ferro {
namespace {

using testing::Gbk;

FileStatistics Count(const std::string& bytes) {
    return CountFileStatistics(LineList::FromText(bytes), static_cast<int64_t>(bytes.size()));
}

void ExpectFigures(const FileStatistics& s, std::initializer_list<int64_t> figures) {
    const int64_t got[] = {s.size,    s.allLines, s.emptyLines, s.dataLines,
                           s.longest, s.shortest, s.average};
    int i = 0;
    for (int64_t f : figures) EXPECT_EQ(got[i++], f) << "figure " << i;
}

TEST(FileStatistics, LinesLengthsAndAverage) {
    // ab, an empty line, 汉字 (two double-byte characters), no final break.
    ExpectFigures(Count(Gbk("ab\r\n\r\n汉字")), {10, 3, 1, 2, 4, 2, 5});
    // A line of blanks is a data line; a final break adds no empty line.
    ExpectFigures(Count("   \n"), {4, 1, 0, 1, 3, 3, 4});
    // The shortest is the true minimum, whatever the lengths.
    ExpectFigures(
        Count(std::string(80, 'x') + "\n" + std::string(60, 'y') + "\n" + std::string(70, 'z')),
        {212, 3, 0, 3, 80, 60, 70});
}

TEST(FileStatistics, FilesWithoutDataLinesShowZeros) {
    ExpectFigures(Count(""), {0, 0, 0, 0, 0, 0, 0});
    ExpectFigures(Count("\r\n\r\n"), {4, 2, 2, 0, 0, 0, 0});
}

}  // namespace
}  // namespace ferro
