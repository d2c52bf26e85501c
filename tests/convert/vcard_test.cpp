// The contact rules of the vCard table, on cards written here the way phones
// and address books export them: names composed for their script, addresses
// joined as their script writes them, every number and e-mail address, the
// many ways a mobile is marked, and the character sets of cards that do not
// name one.
#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "convert_testing.h"
#include "convert/source_text.h"
#include "convert/vcard.h"
#include "platform/codec.h"

using ferro::ReadVcards;
using ferro::VcardContact;
using ferro::testing::Gbk;
using ferro::testing::Qp;

namespace {

std::string Card(std::string_view version, std::string_view body) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(body) +
           "END:VCARD\r\n";
}

// Text in a legacy set, from UTF-8.
std::string In(const char* set, std::string_view utf8) {
    return ferro::EncodeCodePage(ferro::DecodeCodePage(utf8, "utf-8"), set);
}

// The one card of the bytes, its columns in UTF-8.
VcardContact Only(const std::string& bytes) {
    const std::vector<VcardContact> cards = ReadVcards(bytes);
    EXPECT_EQ(cards.size(), 1u);
    if (cards.empty()) return {};
    VcardContact c = cards[0];
    for (std::string* f : {&c.name, &c.cell, &c.tel, &c.email, &c.org, &c.addr})
        *f = ferro::GbkToUtf8(*f);
    return c;
}

}  // namespace

TEST(VcardNames, FnFirstElseNComposedForItsScript) {
    struct Case {
        const char* what;
        std::string card;
        const char* name;  // UTF-8
    } cases[] = {
        {"Latin N: given name, then family name", Card("3.0", "N:Smith;John;;;\r\n"),
         "John Smith"},
        {"Latin N with middle names, prefix and suffix in order",
         Card("3.0", "N:Smith;John;Quincy,Adam;Dr.;Jr.\r\n"), "Dr. John Quincy Adam Smith Jr."},
        {"CJK N: family name then given name, no space", Card("3.0", "N:王;芳;;;\r\n"), "王芳"},
        {"CJK N keeps its suffix after the name", Card("4.0", "N:王;芳;;;女士\r\n"), "王芳女士"},
        {"CJK N with a prefix", Card("3.0", "N:李;小龙;;博士;\r\n"), "博士李小龙"},
        {"FN wins over an N before it", Card("3.0", "N:Smith;John;;;\r\nFN:Johnny Smith\r\n"),
         "Johnny Smith"},
        {"FN wins over an N after it", Card("3.0", "FN:王芳\r\nN:王;芳;;;女士\r\n"), "王芳"},
        {"an empty FN gives way to N", Card("3.0", "FN:\r\nN:Doe;Jane;;;\r\n"), "Jane Doe"},
        {"the first FN", Card("3.0", "FN:One\r\nFN:Two\r\n"), "One"},
        {"escaped commas and semicolons are the characters",
         Card("3.0", "N:O\\;Neil;Mary\\, Ann;;;\r\n"), "Mary, Ann O;Neil"},
        {"2.1 quoted-printable UTF-8 N",
         Card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + Qp("欧阳") + ";" + Qp("娜娜") +
                         ";;;\r\n"),
         "欧阳娜娜"},
        {"2.1 N: commas are not lists", Card("2.1", "N:Smith;John,Paul;;;\r\n"),
         "John,Paul Smith"},
        {"a Japanese N", Card("4.0", "N:山田;太郎;;;\r\n"), "山田太郎"},
        {"a Korean N", Card("4.0", "N:김;철수;;;\r\n"), "김철수"},
        {"no name at all", Card("3.0", "TEL:1\r\n"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Only(c.card).name, c.name);
    }
}

TEST(VcardAddresses, PartsJoinedAsTheirScriptWritesThem) {
    struct Case {
        const char* what;
        std::string card;
        const char* addr;
    } cases[] = {
        {"CJK: largest first, written together, the postal code ahead",
         Card("3.0", "ADR;TYPE=WORK:;;海淀区中关村大街1号;北京;;100080;中国\r\n"),
         "100080 中国北京海淀区中关村大街1号"},
        {"CJK without a postal code, a region equal to the locality once",
         Card("3.0", "ADR:;;南京西路1号;上海市;上海市;;\r\n"), "上海市南京西路1号"},
        {"CJK with the extended part after the street",
         Card("3.0", "ADR:;3单元501室;朝阳路2号;朝阳区;北京市;;\r\n"), "北京市朝阳区朝阳路2号3单元501室"},
        {"Latin: commas between parts, region and postal code together",
         Card("3.0", "ADR;TYPE=HOME:;Apt 2;1 Main St;Springfield;IL;62701;USA\r\n"),
         "1 Main St, Apt 2, Springfield, IL 62701, USA"},
        {"Latin with empty parts dropped", Card("3.0", "ADR:;;10 Downing St;London;;;\r\n"),
         "10 Downing St, London"},
        {"Latin post office box", Card("3.0", "ADR:PO Box 12;;;Berlin;;10115;Germany\r\n"),
         "PO Box 12, Berlin, 10115, Germany"},
        {"street lines as a 3.0 list", Card("3.0", "ADR:;;1 Main St,Floor 2;Springfield;;;\r\n"),
         "1 Main St, Floor 2, Springfield"},
        {"the first address with a value", Card("3.0", "ADR:;;;;;;\r\nADR:;;X Road;Y;;;\r\n"),
         "X Road, Y"},
        {"2.1 quoted-printable, folded by a soft break",
         Card("2.1", "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;" +
                         Qp("建国路").substr(0, 12) + "=\r\n" + Qp("建国路").substr(12) + ";" +
                         Qp("北京") + ";;;\r\n"),
         "北京建国路"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Only(c.card).addr, c.addr);
    }
}

TEST(VcardNumbers, EveryMobileInCellEveryOtherNumberInTel) {
    struct Case {
        const char* what;
        std::string card;
        const char* cell;
        const char* tel;
    } cases[] = {
        {"two mobiles, a home and a work number, in the card's order",
         Card("3.0",
              "TEL;TYPE=CELL:13800000001\r\nTEL;TYPE=HOME:010-1111\r\n"
              "TEL;TYPE=cell:13800000002\r\nTEL;TYPE=WORK,VOICE:010-2222\r\n"),
         "13800000001; 13800000002", "010-1111; 010-2222"},
        {"2.1 bare types", Card("2.1", "TEL;CELL;VOICE:1\r\nTEL;HOME:2\r\nTEL;WORK:3\r\n"), "1",
         "2; 3"},
        {"MOBILE, lower case, quoted 4.0 lists and tel: URIs",
         Card("4.0",
              "TEL;VALUE=uri;TYPE=\"voice,mobile\":tel:+1-555-0100\r\n"
              "TEL;VALUE=uri;TYPE=\"home,voice\":tel:+1-555-0101\r\n"),
         "+1-555-0100", "+1-555-0101"},
        {"vendor types naming a mobile",
         Card("3.0",
              "TEL;TYPE=X-MOBILE:1001\r\nTEL;TYPE=x-cellular:1002\r\nTEL;TYPE=IPHONE:1003\r\n"
              "TEL;TYPE=X-WORK-MOBILE:1004\r\nTEL;TYPE=X-手机:1005\r\nTEL;TYPE=MOBILE_HOME:1006\r\n"
              "TEL;TYPE=X-OTHER:2001\r\nTEL;TYPE=X-EXCELLENT:2002\r\n"),
         "1001; 1002; 1003; 1004; 1005; 1006", "2001; 2002"},
        {"Android's custom label, quoted-printable",
         Card("2.1", "TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE," + Qp("手机") +
                         "):1390000\r\nTEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE," +
                         Qp("公司") + "):0210000\r\n"),
         "1390000", "0210000"},
        {"Apple's labels tied by group",
         Card("3.0",
              "item1.TEL:+86 21 5555\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\n"
              "item2.TEL:400-000\r\nitem2.X-ABLabel:手机\r\n"
              "item3.TEL:13900000003\r\nitem3.X-ABLabel:_$!<Other>!$_\r\n"),
         "+86 21 5555; 400-000", "13900000003"},
        {"untyped numbers shaped like a mobile of China",
         Card("3.0",
              "TEL:13912345678\r\nTEL;TYPE=VOICE:+86 139-1234-5679\r\nTEL:008613912345670\r\n"
              "TEL;TYPE=PREF:(+86)159 1234 5671\r\nTEL:010-62345678\r\nTEL:12912345678\r\n"
              "TEL:1391234567\r\nTEL;TYPE=HOME:13912345672\r\n"),
         "13912345678; +86 139-1234-5679; 008613912345670; (+86)159 1234 5671",
         "010-62345678; 12912345678; 1391234567; 13912345672"},
        {"the same number twice, and as a mobile and another kind",
         Card("3.0",
              "TEL;TYPE=HOME:138 0000 0009\r\nTEL;TYPE=CELL:13800000009\r\n"
              "TEL;TYPE=CELL:138-0000-0009\r\nTEL;TYPE=WORK:5\r\nTEL;TYPE=FAX:5\r\n"),
         "13800000009", "5"},
        {"one number of each, as the table always had it",
         Card("3.0", "TEL;TYPE=CELL:139 0000 0000\r\nitem1.TEL;type=pref:+86 10 1234\r\n"),
         "139 0000 0000", "+86 10 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const VcardContact contact = Only(c.card);
        EXPECT_EQ(contact.cell, c.cell);
        EXPECT_EQ(contact.tel, c.tel);
    }
}

TEST(VcardEmails, EveryAddressOnce) {
    const VcardContact c = Only(Card(
        "3.0",
        "EMAIL;TYPE=INTERNET,WORK:li@example.com\r\nitem2.EMAIL;type=INTERNET:li.si@example.org\r\n"
        "EMAIL:LI@EXAMPLE.COM\r\nEMAIL;TYPE=HOME:\r\nEMAIL;PREF:third@example.net\r\n"
        "ORG:Acme\\, Inc.;Sales\r\nORG:Second\r\n"));
    EXPECT_EQ(c.email, "li@example.com; li.si@example.org; third@example.net");
    EXPECT_EQ(c.org, "Acme, Inc. Sales");
    EXPECT_EQ(Only(Card("3.0", "ORG:北京公司;销售部\r\n")).org, "北京公司销售部");
}

TEST(VcardCharsets, CardsWithoutACharsetAreUtf8GbkOrTheLegacySetTheDetectorIsSureOf) {
    const std::string utf8Card = Card("3.0", "FN:张三\r\nADR:;;建国路;北京;;;\r\n");
    const std::string gbkCard = Gbk(Card("2.1", "FN:王芳\r\nTEL;CELL:1\r\n"));
    // Several cards in Big5 and in Shift-JIS, as an old phone of Taiwan or
    // Japan writes them: enough text for the detector.
    std::string big5, sjis;
    for (const char* name : {"陳大文", "林志玲", "周杰倫"})
        big5 += In("Big5", Card("2.1", std::string("FN:") + name + "\r\nADR:;;信義路五段7號;台北市;;;\r\n"));
    for (const char* name : {"山田太郎", "鈴木一郎", "田中花子"})
        sjis += In("Shift_JIS", Card("2.1", std::string("FN:") + name + "\r\nORG:株式会社東京\r\n"));
    const std::string latin = In("windows-1252", Card("2.1", "FN:Jürgen Müller\r\nADR:;;Königstraße 5;München;;;\r\n"));
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;  // UTF-8
    } cases[] = {
        {"UTF-8", utf8Card, {"张三"}},
        {"GBK without a CHARSET", gbkCard, {"王芳"}},
        {"a UTF-8 card and a GBK card in one file", utf8Card + gbkCard, {"张三", "王芳"}},
        {"Big5 cards", big5, {"陳大文", "林志玲", "周杰倫"}},
        {"Shift-JIS cards", sjis, {"山田太郎", "鈴木一郎", "田中花子"}},
        {"a Latin card in windows-1252", latin, {"Jürgen Müller"}},
        {"short GBK names alone stay GBK", Gbk(Card("2.1", "FN:张三\r\n") + Card("2.1", "FN:李四\r\n")),
         {"张三", "李四"}},
        {"a CHARSET is taken at its word",
         Card("2.1", "FN;CHARSET=BIG5:" + In("Big5", "陳大文") + "\r\n") +
             Card("2.1", "FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:" + Qp(In("Shift_JIS", "山田")) + "\r\n"),
         {"陳大文", "山田"}},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + utf8Card, {"张三"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<VcardContact> cards = ReadVcards(c.bytes);
        ASSERT_EQ(cards.size(), c.names.size());
        for (std::size_t i = 0; i < cards.size(); ++i)
            EXPECT_EQ(ferro::GbkToUtf8(cards[i].name), c.names[i]);
    }
    EXPECT_EQ(ferro::GbkToUtf8(ReadVcards(big5)[0].addr), "台北市信義路五段7號");
    EXPECT_EQ(ferro::GbkToUtf8(ReadVcards(latin)[0].addr), "Königstraße 5, München");
}

TEST(VcardCharsets, TheDetectorTakesOnlyWhatItIsSureOf) {
    using ferro::DetectLegacyCharset;
    struct Case {
        const char* what;
        std::string bytes;
        const char* expected;  // "" for GBK
    } cases[] = {
        {"ASCII", "Smith John", ""},
        {"UTF-8", "张三", ""},
        {"a short GBK name", Gbk("张三"), ""},
        {"short GBK names the detector takes for single-byte sets", Gbk("刘德华 陈奕迅 马云"), ""},
        {"a GBK address", Gbk("北京市海淀区中关村大街一号 深圳市南山区科技园"), ""},
        {"Big5 text", In("Big5", "陳大文 台北市信義區市府路1號 臺灣積體電路製造股份有限公司"), "Big5"},
        {"Shift-JIS text", In("Shift_JIS", "山田太郎 東京都千代田区丸の内1丁目 株式会社"),
         "Shift_JIS"},
        {"a short Big5 name: not sure", In("Big5", "陳大文"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DetectLegacyCharset(c.bytes), c.expected);
    }
}

TEST(VcardRobustness, DamagedCardsAreReadWithoutFault) {
    // Cards of every kind above, cut and with bytes changed at random: no
    // more rows than lines that could end a card (an END line holds a ":"),
    // and nothing read out of bounds (the sanitizers watch).
    const std::string cards =
        Card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + Qp("欧阳") + ";=\r\n=E5;;;\r\n"
                    "TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,=E6=89):1\r\n") +
        Card("3.0", "item1.TEL:+86 21\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\nADR:;;a\\;b;c\\\r\n") +
        Card("4.0", "FN:\"x\r\n TEL;TYPE=\"cell:1\r\nORG:\\\r\nEMAIL;TYPE=,,:\r\n") +
        Gbk(Card("2.1", "N:王;芳\r\nADR:;;路;北京;;100;中国\r\n")) + In("Big5", Card("2.1", "FN:陳大文\r\n"));
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = cards.substr(0, next() % (cards.size() + 1));
        for (int k = next() % 6; k > 0 && !bytes.empty(); --k)
            bytes[next() % bytes.size()] = static_cast<char>(next() >> 16);
        std::size_t ends = 0;
        for (std::size_t at = 0; (at = bytes.find(':', at)) != std::string::npos; ++at) ++ends;
        EXPECT_LE(ReadVcards(bytes).size(), ends);
    }
}
