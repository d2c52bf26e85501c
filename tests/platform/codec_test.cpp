#include <gtest/gtest.h>

#include <QString>

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
