#include "textops/file_combine.h"

#include <gtest/gtest.h>

namespace ferro {
namespace {

LineList Lines(std::string_view text) {
    return LineList::FromText(text);
}

TEST(FileCombine, AppendsWholeLinesInOrder) {
    LineList combined;
    AppendFileLines(combined, Lines("a1\na2"));  // no final break
    AppendFileLines(combined, Lines(""));
    AppendFileLines(combined, Lines("b1\r\n\r\n"));
    AppendFileLines(combined, Lines("c1\rc2\r\n"));
    EXPECT_EQ(combined.ToText(), "a1\r\na2\r\nb1\r\n\r\nc1\r\nc2\r\n");
}

}  // namespace
}  // namespace ferro
