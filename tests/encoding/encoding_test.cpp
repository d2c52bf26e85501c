// Finding a file's encoding and line breaks from its bytes, and the way back.
#include "encoding/encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "common/temp_folder.h"

namespace ferro {
namespace {

using testing::Gbk;

const std::string kUtf8Bom = "\xEF\xBB\xBF";
const std::string kUtf8Text = "中文 ok\n";  // this file is UTF-8

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string s;
    for (char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        s += bigEndian ? hi : lo;
        s += bigEndian ? lo : hi;
    }
    return s;
}

TEST(Encoding, DetectedFromTheBytesAlone) {
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        std::size_t bom;
    };
    const Case cases[] = {
        {"empty", "", TextEncoding::Ascii, 0},
        {"plain ASCII", "abc\r\n", TextEncoding::Ascii, 0},
        {"UTF-8", kUtf8Text, TextEncoding::Utf8, 0},
        {"UTF-8 with a mark", kUtf8Bom + kUtf8Text, TextEncoding::Utf8, 3},
        {"a mark before ASCII", kUtf8Bom + "abc", TextEncoding::Utf8, 3},
        {"a UTF-8 mark before GBK text", kUtf8Bom + Gbk("中文"), TextEncoding::Gbk, 0},
        {"UTF-16 LE", "\xFF\xFE" + Utf16(u"中文\r\n", false), TextEncoding::Utf16Le, 2},
        {"UTF-16 BE", "\xFE\xFF" + Utf16(u"中文\n", true), TextEncoding::Utf16Be, 2},
        {"UTF-16 of odd length", "\xFF\xFE" + Utf16(u"ab", false) + "c", TextEncoding::Gbk, 0},
        {"UTF-16 with a lone surrogate", "\xFF\xFE" + Utf16(u"a\xD800z", false),
         TextEncoding::Gbk, 0},
        {"UTF-16 without a mark", Utf16(u"ab", false), TextEncoding::Ascii, 0},
        {"GBK", Gbk("中文\r\n"), TextEncoding::Gbk, 0},
        // Valid UTF-8 for a while, then a sequence that is not: GBK.
        {"GBK after UTF-8-looking bytes", kUtf8Text + Gbk("中文"), TextEncoding::Gbk, 0},
        {"GBK whose pairs all look like UTF-8 but the last", "\xC3\xA9\xC3\xA9\xC3",
         TextEncoding::Gbk, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DetectedEncoding d = DetectTextEncoding(c.bytes);
        EXPECT_EQ(d.encoding, c.encoding);
        EXPECT_EQ(d.bomLength, c.bom);
    }
}

TEST(Encoding, DecodedToGbkAndWrittenBackAsFound) {
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        bool bom;
    };
    const std::string text = "第一行 line\r\n😀 二\r\n";
    const Case cases[] = {
        {"UTF-8", text, TextEncoding::Utf8, false},
        {"UTF-8 with a mark", kUtf8Bom + text, TextEncoding::Utf8, true},
        {"UTF-16 LE", "\xFF\xFE" + Utf16(u"第一行 line\r\n😀 二\r\n", false),
         TextEncoding::Utf16Le, true},
        {"UTF-16 BE", "\xFE\xFF" + Utf16(u"第一行 line\r\n😀 二\r\n", true),
         TextEncoding::Utf16Be, true},
        {"GBK", Gbk(text), TextEncoding::Gbk, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextFormat f;
        const std::string gbk = DecodeToGbk(std::string(c.bytes), TextMode::Auto, f);
        EXPECT_EQ(gbk, Gbk(text));
        EXPECT_EQ(f.encoding, c.encoding);
        EXPECT_EQ(f.bom, c.bom);
        EXPECT_EQ(f.lineBreak, LineBreak::CrLf);
        EXPECT_TRUE(f.finalBreak);
        EXPECT_FALSE(f.classic);
        EXPECT_EQ(EncodeFromGbk(gbk, f), c.bytes);
    }
    // Bytes that are no valid text in any encoding come back untouched.
    const std::string junk = "\x80\xFF\xFE" + Gbk("中") + "\xD6";
    TextFormat f;
    EXPECT_EQ(DecodeToGbk(std::string(junk), TextMode::Auto, f), junk);
    EXPECT_EQ(f.encoding, TextEncoding::Gbk);
    EXPECT_EQ(EncodeFromGbk(junk, f), junk);
    // The classic mode takes every file as code page 936 bytes, a mark
    // included.
    EXPECT_EQ(DecodeToGbk(kUtf8Bom + text, TextMode::ClassicGbk, f), kUtf8Bom + text);
    EXPECT_EQ(f, TextFormat::Classic());
}

TEST(Encoding, LineBreaksFromTheFirstBreak) {
    struct Case {
        const char* text;
        LineBreak lineBreak;
        bool finalBreak;
    };
    const Case cases[] = {
        {"a\r\nb\nc", LineBreak::CrLf, false}, {"a\nb\r\n", LineBreak::Lf, true},
        {"a\rb\r", LineBreak::Cr, true},        {"a\r", LineBreak::Cr, true},
        {"abc", LineBreak::Lf, false},          {"", LineBreak::Lf, true},
        {"\n\r\n", LineBreak::Lf, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TextFormat f;
        FindLineBreaks(c.text, f);
        EXPECT_EQ(f.lineBreak, c.lineBreak);
        EXPECT_EQ(f.finalBreak, c.finalBreak);
    }
}

TEST(Encoding, NewFilesAreUtf8WithLfUnlessClassic) {
    const TextFormat utf8 = TextFormat::ForNewFile(TextMode::Auto);
    EXPECT_EQ(utf8.encoding, TextEncoding::Utf8);
    EXPECT_EQ(utf8.lineBreak, LineBreak::Lf);
    EXPECT_FALSE(utf8.bom);
    EXPECT_EQ(EncodeFromGbk(Gbk("中文"), utf8), "中文");
    EXPECT_EQ(TextFormat::ForNewFile(TextMode::ClassicGbk), TextFormat::Classic());
    // An ASCII file that gains other text is written as UTF-8.
    TextFormat ascii;
    ascii.encoding = TextEncoding::Ascii;
    EXPECT_EQ(EncodeFromGbk(Gbk("中文"), ascii), "中文");
}

// Files are decoded as they are read, a megabyte at a time: whatever falls on
// the pieces' edges, the result is the one the whole bytes give.
TEST(Encoding, ReadPieceByPieceAsFromTheWholeBytes) {
    const std::size_t mib = 1 << 20;
    const std::string ascii(mib - 1, 'a');
    const std::string chinese = [] {
        std::string s;
        while (s.size() < (3 << 20) / 2) s += "中文行 ok\n";
        return s;
    }();
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"empty", "", TextEncoding::Ascii},
        {"two bytes", "ab", TextEncoding::Ascii},
        {"a lone mark", kUtf8Bom, TextEncoding::Utf8},
        {"small UTF-8", kUtf8Text, TextEncoding::Utf8},
        {"UTF-8 across the edges", chinese + chinese, TextEncoding::Utf8},
        {"a character on the first edge", ascii + "中" + ascii, TextEncoding::Utf8},
        {"four bytes on the first edge", ascii + "😀" + ascii, TextEncoding::Utf8},
        {"ASCII, then GBK in a later piece", ascii + ascii + Gbk("中文"), TextEncoding::Gbk},
        {"ASCII, then a lead byte cut off at the end", ascii + "\xE4\xB8", TextEncoding::Gbk},
        {"UTF-8, then GBK in a later piece", chinese + ascii + Gbk("中文"), TextEncoding::Gbk},
        {"marked UTF-8, then GBK", kUtf8Bom + chinese + Gbk("中文"), TextEncoding::Gbk},
        {"GBK", Gbk("中文\r\n") + ascii + Gbk("中文"), TextEncoding::Gbk},
        {"UTF-16 LE", "\xFF\xFE" + Utf16(u"中文\r\n", false), TextEncoding::Utf16Le},
        // Pieces after the first are full of zero bytes, and no NUL.
        {"UTF-16 LE across the edges", "\xFF\xFE" + Utf16(u"中文 ok\r\n", false) + Utf16(std::u16string(mib, u'a'), false),
         TextEncoding::Utf16Le},
        {"CR LF across the edge", ascii + "\r\nb", TextEncoding::Ascii},
        {"a lone CR at the edge", ascii + "\rb\r\n", TextEncoding::Ascii},
    };
    testing::TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("t.txt", c.bytes);
        TextFormat expected, got;
        const std::string whole = DecodeToGbk(std::string(c.bytes), TextMode::Auto, expected);
        std::string text = "left over";
        ASSERT_TRUE(ReadTextFile(path, TextMode::Auto, text, got));
        EXPECT_EQ(got.encoding, c.encoding);
        EXPECT_EQ(got, expected);
        EXPECT_TRUE(text == whole);  // not EXPECT_EQ: megabytes in a failure message
        // Kept in its own bytes, UTF-8 is not converted; nothing else changes.
        text = "left over";
        ASSERT_TRUE(ReadTextFile(path, TextMode::Auto, text, got, true));
        EXPECT_EQ(got, expected);
        if (got.encoding == TextEncoding::Utf8)
            EXPECT_TRUE(text == std::string_view(c.bytes).substr(got.bom ? 3 : 0));
        else
            EXPECT_TRUE(text == whole);
        // Read through without being held, the file is found the same way.
        TextScan scan;
        ASSERT_TRUE(ScanTextFile(path, TextMode::Auto, scan));
        EXPECT_EQ(scan.whole, c.encoding == TextEncoding::Utf16Le);
        EXPECT_EQ(scan.size, c.bytes.size());
        if (!scan.whole) {
            EXPECT_EQ(scan.format, expected);
            EXPECT_EQ(scan.markLength, expected.bom ? 3u : 0u);
        }
        EXPECT_FALSE(scan.nul);
        ASSERT_TRUE(ReadTextFile(path, TextMode::ClassicGbk, text, got));
        EXPECT_TRUE(text == c.bytes);
        EXPECT_TRUE(got.classic);
    }
    // A NUL byte is found wherever it is, whatever the encoding.
    const std::string nul(1, '\0');
    for (const std::string& bytes : {chinese + nul + chinese, ascii + ascii + nul,
                                     Gbk("中文") + chinese + nul}) {
        TextScan scan;
        ASSERT_TRUE(ScanTextFile(dir.Write("nul.txt", bytes), TextMode::Auto, scan));
        EXPECT_TRUE(scan.nul);
    }
    std::string text;
    TextFormat format;
    EXPECT_FALSE(ReadTextFile(dir.path() + "/missing.txt", TextMode::Auto, text, format));
}

}  // namespace
}  // namespace ferro
