// The usage notes shipped with the program describe every operation and
// every entry of the template picker, in the words the picker uses.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/codec.h"
#include "regex/arguments.h"
#include "template/catalog.h"

namespace ferro {
namespace {

std::string ReadNotes() {
    std::ifstream in(FERRO_USAGE_NOTES, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(UsageNotes, CoverEveryOperationAndPickerEntry) {
    const std::string notes = ReadNotes();
    ASSERT_GT(notes.size(), 1000u) << FERRO_USAGE_NOTES;
    // UTF-8 as Linux editors expect, without a byte-order mark.
    EXPECT_NE(notes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(notes.find("Ferrovan文件批处理"), std::string::npos);

    for (const char* operation :
         {"更改文件扩展名", "更改文件名称", "更改文件或目录日期", "更改文件或目录属性",
          "文件信息统计", "合并关键字内容", "行内容截取字符", "行内容插入字符", "行模式替换字符",
          "内容按行删除", "内容按行提取", "按关键字同步行", "内容插入新行", "文件内容合并",
          "文件格式转换", "导出文件名", "导出目录名", "搜索文件"}) {
        EXPECT_NE(notes.find(operation), std::string::npos) << operation;
    }

    // Each entry: its caption, the text it writes and its help, in order,
    // and an example for every one.
    std::size_t at = 0;
    for (const CatalogEntry& e : TemplateCatalog()) {
        const std::size_t caption = notes.find(std::string("选择项：") + e.caption, at);
        ASSERT_NE(caption, std::string::npos) << e.caption;
        const std::size_t next = notes.find("选择项：", caption + 1);
        const std::string block = notes.substr(caption, next - caption);
        EXPECT_NE(block.find(std::string("写入：") + e.written + "\n"), std::string::npos)
            << e.caption;
        EXPECT_NE(block.find(e.help), std::string::npos) << e.caption;
        EXPECT_NE(block.find("例："), std::string::npos) << e.caption;
        at = caption + 1;
    }
    // The rename's own items after them, the same way.
    for (const CatalogEntry& e : NameItemCatalog()) {
        const std::size_t caption = notes.find(std::string("选择项：") + e.caption, at);
        ASSERT_NE(caption, std::string::npos) << e.caption;
        const std::size_t next = notes.find("选择项：", caption + 1);
        const std::string block = notes.substr(caption, next - caption);
        EXPECT_NE(block.find(std::string("写入：") + e.written + "\n"), std::string::npos) << e.caption;
        EXPECT_NE(block.find(e.help), std::string::npos) << e.caption;
        at = caption + 1;
    }
}

// How regular expressions are written (escapes in arguments, what "." takes)
// is told in the notes in the words the program uses elsewhere.
TEST(UsageNotes, TellHowRegularExpressionsAreWritten) {
    const std::string notes = ReadNotes();
    std::string told;
    ASSERT_TRUE(Gb18030ToUtf8Exact(RegexUsageNotes(), told));
    std::size_t lines = 0;
    for (std::size_t at = 0; at < told.size();) {
        std::size_t end = told.find("\r\n", at);
        if (end == std::string::npos) end = told.size();
        std::string line = told.substr(at, end - at);
        line.erase(0, line.find_first_not_of(' '));
        if (!line.empty()) {
            EXPECT_NE(notes.find(line), std::string::npos) << line;
            ++lines;
        }
        at = end + 2;
    }
    EXPECT_GE(lines, 5u);
}

}  // namespace
}  // namespace ferro
