#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "convert/convert.h"
#include "convert/text_convert.h"
#include "platform/error.h"

using ferro::TxtTo;
using ferro::VcfTo;
using ferro::testing::Gbk;
using ferro::testing::TempFolder;

TEST(TxtTo, TabsToCommasOrACopy) {
    TempFolder dir;
    const std::string src = dir.Write("t.txt", Gbk("姓名\t电话\t地址,一号\n第二行\r\n\tx\t"));
    dir.Write("t.csv", "old contents that must go");
    EXPECT_EQ(TxtTo(src, " .CSV"), dir / "t.csv");
    EXPECT_EQ(dir.Read("t.csv"), Gbk("姓名,电话,地址,一号\r\n第二行\r\n,x,\r\n"));
    EXPECT_EQ(TxtTo(src, "htm"), dir / "t.htm");
    EXPECT_EQ(dir.Read("t.htm"), Gbk("姓名\t电话\t地址,一号\r\n第二行\r\n\tx\t\r\n"));
    // The same extension rewrites the source where it is, with CR LF.
    EXPECT_EQ(TxtTo(src, "txt"), src);
    EXPECT_EQ(dir.Read("t.txt"), Gbk("姓名\t电话\t地址,一号\r\n第二行\r\n\tx\t\r\n"));
    EXPECT_EQ(TxtTo(src, ""), "");
    EXPECT_THROW(TxtTo(dir / "missing.txt", "csv"), ferro::Error);
    EXPECT_FALSE(dir.Exists("missing.csv"));
}

TEST(VcfTo, CardsToTableLines) {
    TempFolder dir;
    const std::string card =
        Gbk("BEGIN:VCARD\r\nVERSION:2.1\r\n"
            "N:张;三;;;\r\nTEL;CELL:13800000000\r\nEND:VCARD\r\n"
            // Name with parameters: only FN fills it. Home telephone, vCard 3.0
            // types: no column. EMAIL with a parameter.
            "BEGIN:VCARD\r\nN;CHARSET=GBK:李;四\r\nFN:李四\r\nTEL;HOME:1\r\nTEL;TYPE=CELL:2\r\n"
            "EMAIL;INTERNET:li@example.com\r\nEMAIL:second@example.com\r\nEND:VCARD\r\n"
            // A comma shifts the columns; ORG and ADR; first of a kind wins.
            "BEGIN:VCARD\r\nFN:Wang\r\nN:ignored\r\nTEL;WORK;VOICE:010-1\r\nORG:A,B\r\n"
            "ADR;WORK:;;街道;城市\r\nEND:VCARD\r\n"
            // Nothing recognised, and a value holding placeholder-like text.
            "BEGIN:VCARD\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nN:${Tel}\r\nTEL;WORK:9\r\nEND:VCARD\r\n"
            "N:after the last card is lost\r\n");
    const std::string src = dir.Write("c.vcf", card);
    EXPECT_EQ(VcfTo(src, "csv"), dir / "c.csv");
    EXPECT_EQ(dir.Read("c.csv"), Gbk("Name,Cell,Tel,Email,Org,Address\r\n"
                                     "张三,13800000000,,,,\r\n"
                                     "李四,,,li@example.com,,\r\n"
                                     "Wang,,010-1,,A,B,街道城市\r\n"
                                     ",,,,,\r\n"
                                     "${Tel},,9,,,\r\n"));
    EXPECT_EQ(VcfTo(src, ".TXT"), dir / "c.txt");
    EXPECT_EQ(dir.Read("c.txt").substr(0, 40),
              Gbk("Name\tCell\tTel\tEmail\tOrg\tAddress\r\n张三\t138").substr(0, 40));
    EXPECT_EQ(dir.Read("c.vcf"), card);
    // Other targets write nothing.
    EXPECT_EQ(VcfTo(src, "xls"), "");
    EXPECT_EQ(VcfTo(src, ""), "");
    EXPECT_FALSE(dir.Exists("c.xls"));
}

TEST(VcfTo, CountsLinesAndMissingEnds) {
    TempFolder dir;
    std::string three;
    for (int i = 0; i < 3; ++i) three += "BEGIN:VCARD\nFN:n" + std::to_string(i) + "\nEND:VCARD\n";
    ferro::ConvertContext ctx;
    const auto out = ferro::ConvertFile(dir.Write("three.vcf", three), "${VcfTo(CSV)}", ctx);
    EXPECT_EQ(out.newPath, dir / "three.csv");
    EXPECT_EQ(dir.Read("three.csv"),
              "Name,Cell,Tel,Email,Org,Address\r\nn0,,,,,\r\nn1,,,,,\r\nn2,,,,,\r\n");
    // Without any "END:" line only the header is written.
    VcfTo(dir.Write("open.vcf", "BEGIN:VCARD\nFN:x\n"), "csv");
    EXPECT_EQ(dir.Read("open.csv"), "Name,Cell,Tel,Email,Org,Address\r\n");
    EXPECT_THROW(VcfTo(dir / "none.vcf", "csv"), ferro::Error);
}
