// Tips lines, the targets a click may open, and where the tips file goes.
#include "help/tips.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "help/tips_file.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::TempFolder;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(TipLine, SplitsAtTheFirstMarkerOnly) {
    TipLine t = ParseTipLine(U("批量改名技巧@#$http://www.ferrovan.cn/a.htm"));
    EXPECT_EQ(t.text, U("批量改名技巧"));
    EXPECT_EQ(t.link, U("http://www.ferrovan.cn/a.htm"));

    t = ParseTipLine(U("提示@#$http://x.cn/?q=1@#$2"));
    EXPECT_EQ(t.text, U("提示"));
    EXPECT_EQ(t.link, U("http://x.cn/?q=1@#$2"));

    t = ParseTipLine(U("没有目标@#$"));
    EXPECT_EQ(t.text, U("没有目标"));
    EXPECT_TRUE(t.link.isEmpty());

    // No marker: the whole line is the tip, nothing to open.
    t = ParseTipLine(U("整行都是提示"));
    EXPECT_EQ(t.text, U("整行都是提示"));
    EXPECT_TRUE(t.link.isEmpty());

    t = ParseTipLine(U("@#$http://x.cn/"));
    EXPECT_TRUE(t.text.isEmpty());
    EXPECT_EQ(t.link, U("http://x.cn/"));
}

TEST(TipsLines, CutsLinesAndDecodesGbk) {
    EXPECT_TRUE(TipsLines("").isEmpty());
    EXPECT_EQ(TipsLines(Gbk("一@#$http://a/\r\n二@#$http://b/\r\n")),
              QStringList({U("一@#$http://a/"), U("二@#$http://b/")}));
    // LF, CR and a last line without a break each end a line; blank lines
    // carry no tip.
    EXPECT_EQ(TipsLines("a\nb\rc\r\n\r\n  \t\r\nd"), QStringList({"a", "b", "c", "d"}));
    // U+4E02 is 0x81 0x40 in GBK: its second byte is '@', yet "丂#$" holds
    // no marker.
    const std::string tricky = std::string("\x81\x40", 2) + "#$http://x/";
    const QStringList lines = TipsLines(tricky);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], U("丂#$http://x/"));
    EXPECT_EQ(ParseTipLine(lines[0]).link, QString());
}

TEST(TipWebAddress, OpensOnlyWebAddresses) {
    EXPECT_EQ(TipWebAddress(U("http://www.ferrovan.cn/tips/1.htm")),
              QUrl("http://www.ferrovan.cn/tips/1.htm"));
    EXPECT_EQ(TipWebAddress(U("https://example.com/a?b=c")), QUrl("https://example.com/a?b=c"));
    EXPECT_FALSE(TipWebAddress(U("HTTP://Example.com/")).isEmpty());
    EXPECT_FALSE(TipWebAddress(U("  http://example.com/ ")).isEmpty());
    for (const char* refused :
         {"", "calc.exe", "/usr/bin/xterm", "C:\\Windows\\notepad.exe", "file:///etc/passwd",
          "javascript:alert(1)", "ftp://example.com/x", "http://", "http:///path", "mailto:a@b.c",
          "smb://server/share/run.exe", "使用说明.txt"}) {
        EXPECT_TRUE(TipWebAddress(U(refused)).isEmpty()) << refused;
    }
}

TEST(TipsFile, GoesToTheFirstFolderThatTakesIt) {
    TempFolder tmp;
    const std::string program = tmp.MakeFolder("program") + "/";
    const std::string cache = tmp / "cache/ferrovan";  // not there yet
    // A regular file where a folder should be: nothing can be written below it.
    const std::string blocked = tmp.Write("blocked", "x") + "/";

    TipsFileResult r = WriteTipsFile(Gbk("一@#$http://a/\r\n"), {program, cache});
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.path, program + "tipsupd.dat");
    EXPECT_EQ(tmp.Read("program/tipsupd.dat"), Gbk("一@#$http://a/\r\n"));

    // An empty download replaces the old tips with an empty file.
    r = WriteTipsFile("", {program, cache});
    EXPECT_TRUE(r.written);
    EXPECT_TRUE(tmp.Exists("program/tipsupd.dat"));
    EXPECT_EQ(tmp.Read("program/tipsupd.dat"), "");

    // The program's folder refuses: the cache folder is made and takes it.
    r = WriteTipsFile("b", {blocked, cache});
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.path, cache + "/tipsupd.dat");
    EXPECT_EQ(tmp.Read("cache/ferrovan/tipsupd.dat"), "b");

    // A read-only tips file in the program's folder is not replaced either.
    tmp.SetMode("program/tipsupd.dat", 0444);
    r = WriteTipsFile("c", {program, cache});
    EXPECT_EQ(r.path, cache + "/tipsupd.dat");
    EXPECT_EQ(tmp.Read("program/tipsupd.dat"), "");
    EXPECT_EQ(tmp.Read("cache/ferrovan/tipsupd.dat"), "c");

    // Neither: the error names the file in the first folder.
    r = WriteTipsFile("d", {blocked, tmp.Write("blocked2", "x")});
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.path, blocked + "tipsupd.dat");
}

TEST(TipsFile, FoldersAreTheProgramsThenTheCache) {
    const std::vector<std::string> folders = TipsFolders();
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], ProgramDir());
    for (const std::string& f : folders) EXPECT_EQ(f.back(), '/') << f;
    EXPECT_NE(folders[1], folders[0]);
}

TEST(TipsAddress, SiteAndServiceShareOneHost) {
    EXPECT_EQ(HomePageUrl().scheme(), "http");
    EXPECT_EQ(DefaultTipsUrl().host(), HomePageUrl().host());
    EXPECT_EQ(DefaultTipsUrl().path(), "/tips.asp");
}

}  // namespace
}  // namespace ferro
