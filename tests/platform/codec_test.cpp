#include <gtest/gtest.h>

#include <QString>
#include <random>

#include "common/temp_folder.h"
#include "platform/codec.h"

using ferro::testing::Gbk;

TEST(Codec, GbkAndQStringRoundTrip) {
    const std::string gbk = Gbk("文件批处理 abc");
    EXPECT_EQ(gbk.size(), 14u);  // five characters of two bytes, a blank, three letters
    QString q = ferro::GbkToQString(gbk);
    EXPECT_EQ(q, QString::fromUtf8("文件批处理 abc"));
    EXPECT_EQ(ferro::QStringToGbk(q), gbk);
    // Characters outside GBK proper still round-trip through GB18030.
    QString rare = QString::fromUtf8("𠀀€");
    EXPECT_EQ(ferro::GbkToQString(ferro::QStringToGbk(rare)), rare);
}

TEST(Codec, DiskNamesRoundTripEvenWhenNotUtf8) {
    const std::string names[] = {
        "plain.txt", "\xE6\x96\x87\xE4\xBB\xB6.txt" /* 文件 */, "bad\xFF\xFE.txt",
        "half\xE6\x96.txt", "\xEF\x9E\x80pua.txt" /* U+F780 itself */, "\xC0\x80overlong"};
    for (const std::string& disk : names) {
        std::string gbk = ferro::DiskToGbk(disk);
        std::string back;
        ASSERT_TRUE(ferro::GbkToDisk(gbk, back)) << disk;
        EXPECT_EQ(back, disk);
    }
    EXPECT_EQ(ferro::DiskToGbk("\xE6\x96\x87\xE4\xBB\xB6"), Gbk("文件"));
}

TEST(Codec, InvalidGbkIsNoPath) {
    std::string out = "x";
    EXPECT_FALSE(ferro::GbkToDisk("abc\x81", out));  // a lone lead byte at the end
    EXPECT_TRUE(out.empty());
}

namespace {

void AppendUtf8(std::string& s, uint32_t c) {
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16Bytes(std::u16string_view u, bool bigEndian) {
    std::string s;
    for (char16_t c : u) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        s += bigEndian ? hi : lo;
        s += bigEndian ? lo : hi;
    }
    return s;
}

}  // namespace

// Every Unicode character, in every file encoding, converts to the bytes
// ICU's gb18030 gives it and back to exactly what it was.
TEST(Codec, FileContentsRoundTripEveryCharacterAsIcuMapsIt) {
    std::string utf8;
    std::u16string utf16;
    for (uint32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        AppendUtf8(utf8, c);
        if (c < 0x10000) {
            utf16 += static_cast<char16_t>(c);
        } else {
            utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    const std::string icu = ferro::EncodeCodePage(utf16, "gb18030");
    std::string gb;
    ASSERT_TRUE(ferro::Utf8ToGb18030(utf8, gb));
    EXPECT_TRUE(gb == icu);
    std::string back;
    ferro::Gb18030ToUtf8(gb, back);
    EXPECT_TRUE(back == utf8);
    EXPECT_TRUE(ferro::DecodeCodePage(gb, "gb18030") == utf16);
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "UTF-16 BE" : "UTF-16 LE");
        const std::string bytes = Utf16Bytes(utf16, bigEndian);
        std::string gb16;
        ASSERT_TRUE(ferro::Utf16ToGb18030(bytes, bigEndian, gb16));
        EXPECT_TRUE(gb16 == icu);
        std::string back16;
        ferro::Gb18030ToUtf16(gb16, bigEndian, back16);
        EXPECT_TRUE(back16 == bytes);
    }
}

// Every two-byte code and every four-byte code of the BMP range reads as
// ICU reads it, so text taken from a GBK file into a UTF-8 one is the same
// text.
TEST(Codec, EveryGbCodeReadsAsIcuReadsIt) {
    std::string codes;
    for (int b1 = 0x81; b1 <= 0xFE; ++b1)
        for (int b2 = 0x40; b2 <= 0xFE; ++b2) {
            if (b2 == 0x7F) continue;
            codes += static_cast<char>(b1);
            codes += static_cast<char>(b2);
        }
    for (int n = 0; n < 39420; ++n) {
        codes += static_cast<char>(0x81 + n / 12600);
        codes += static_cast<char>(0x30 + n / 1260 % 10);
        codes += static_cast<char>(0x81 + n / 10 % 126);
        codes += static_cast<char>(0x30 + n % 10);
    }
    std::string utf8;
    ferro::Gb18030ToUtf8(codes, utf8);
    std::string icu;
    for (char16_t c : ferro::DecodeCodePage(codes, "gb18030")) AppendUtf8(icu, c);
    EXPECT_TRUE(utf8 == icu);
}

TEST(Codec, InvalidFileContentsAreRefusedOrMarked) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case badUtf8[] = {
        {"lone trail byte", "a\x80"},
        {"overlong two-byte", "\xC0\x80"},
        {"overlong three-byte", "\xE0\x80\x80"},
        {"surrogate", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
        {"no such lead", "\xF8\x88\x80\x80\x80"},
        {"cut short at the end", "ok\xE4\xB8"},
        {"cut short by ASCII", "\xE4\xB8x"},
        {"GBK text", "\xD6\xD0\xCE\xC4"},
    };
    // Also after a run of ASCII, which is taken sixteen bytes at a time.
    const std::string kRun(21, 'a');
    for (const Case& c : badUtf8) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_FALSE(ferro::Utf8ToGb18030(c.bytes, out));
        EXPECT_FALSE(ferro::Utf8ToGb18030(kRun + c.bytes + kRun, out));
        std::size_t consumed = 0;
        EXPECT_FALSE(ferro::Utf8PieceValid(c.bytes, true, consumed));
        EXPECT_FALSE(ferro::Utf8PieceValid(kRun + c.bytes + kRun, true, consumed));
    }
    const Case badUtf16[] = {
        {"odd length", std::string("a\0b", 3)},
        {"high surrogate at the end", std::string("a\0\x00\xD8", 4)},
        {"low surrogate alone", std::string("\x00\xDC" "a\0", 4)},
        {"high surrogate before a letter", std::string("\x00\xD8" "a\0", 4)},
    };
    for (const Case& c : badUtf16) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_FALSE(ferro::Utf16ToGb18030(c.bytes, false, out));
    }
    // Bytes a rule left that begin no character are written as U+FFFD, one
    // for each byte; what follows them is read again.
    const Case badGb[] = {
        {"a lead byte at the end", Gbk("中") + "\xD6"},
        {"0x80 and 0xFF", "\x80" "a\xFF"},
        {"a lead byte before a blank", "\xD6 x"},
        {"half a four-byte code", "\x81\x30x"},
    };
    const char* expected[] = {"中\xEF\xBF\xBD", "\xEF\xBF\xBD" "a\xEF\xBF\xBD",
                              "\xEF\xBF\xBD x", "\xEF\xBF\xBD" "0x"};
    for (std::size_t i = 0; i < std::size(badGb); ++i) {
        SCOPED_TRACE(badGb[i].name);
        std::string out;
        ferro::Gb18030ToUtf8(badGb[i].bytes, out);
        EXPECT_EQ(out, expected[i]);
        out.clear();
        ferro::Gb18030ToUtf8(kRun + badGb[i].bytes, out);
        EXPECT_EQ(out, kRun + expected[i]);
    }
}

// The check that keeps a UTF-8 file as it is must take exactly what the
// converter takes (less NUL bytes when asked), wherever a fault falls in its
// sixteen-byte blocks and however the file is cut into pieces.
TEST(Codec, Utf8CheckAgreesWithTheConverter) {
  for (const bool narrow : {false, true}) {
    SCOPED_TRACE(narrow ? "sixteen bytes at a time" : "widest");
    ferro::SetNarrowUtf8CheckForTesting(narrow);
    std::mt19937 random(936);
    const std::string kinds[] = {"a",           "\xC3\xA9",     "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                 "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "\xE0\xA0\x80",
                                 "\xF0\x90\x80\x80", "\xC2\x80", "\r\n", std::string(1, '\0')};
    int valid = 0, invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int chars = static_cast<int>(random() % 40);
        for (int i = 0; i < chars; ++i) text += kinds[random() % std::size(kinds)];
        // Most texts get one byte changed or cut: any byte value, anywhere.
        const unsigned fault = random() % 4;
        if (fault > 0 && !text.empty()) {
            const std::size_t at = random() % text.size();
            if (fault == 3) text.resize(at);
            else text[at] = static_cast<char>(random() % 256);
        }
        std::string converted;
        const bool expected = ferro::Utf8ToGb18030(text, converted);
        (expected ? valid : invalid)++;
        std::size_t consumed = 0;
        ASSERT_EQ(ferro::Utf8PieceValid(text, true, consumed), expected) << ::testing::PrintToString(text);
        // Asked for text, a NUL byte is a fault as well.
        const bool text0 = expected && text.find('\0') == std::string::npos;
        ASSERT_EQ(ferro::Utf8PieceValid(text, true, consumed, true), text0)
            << ::testing::PrintToString(text);
        // In two pieces: the first leaves a character cut off for the second.
        const std::size_t cut = text.empty() ? 0 : random() % text.size();
        bool pieces = ferro::Utf8PieceValid(std::string_view(text).substr(0, cut), false, consumed);
        if (pieces) {
            ASSERT_LE(cut - consumed, 3u);
            pieces = ferro::Utf8PieceValid(std::string_view(text).substr(consumed), true, consumed);
        }
        ASSERT_EQ(pieces, expected) << ::testing::PrintToString(text) << " cut at " << cut;
    }
    // Both outcomes were tried often.
    EXPECT_GT(valid, 4000);
    EXPECT_GT(invalid, 4000);
  }
  ferro::SetNarrowUtf8CheckForTesting(false);
}
