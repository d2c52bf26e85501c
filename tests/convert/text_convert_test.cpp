#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "convert_testing.h"
#include "convert/convert.h"
#include "convert/source_text.h"
#include "convert/text_convert.h"
#include "platform/error.h"

using ferro::TextMode;
using ferro::TxtTo;
using ferro::VcfTo;
using ferro::testing::Gbk;
using ferro::testing::Qp;
using ferro::testing::TempFolder;

namespace {

// What a created table holds in each mode, from its UTF-8 lines (inner
// line breaks as "\n"); a comma-separated one made in the automatic mode
// starts with a byte-order mark.
std::string Expected(const std::vector<std::string>& utf8Lines, TextMode mode,
                     bool commaTable = false) {
    std::string out = commaTable && mode == TextMode::Auto ? "\xEF\xBB\xBF" : "";
    for (const std::string& line : utf8Lines) {
        if (mode == TextMode::Auto) {
            out += line + "\n";
            continue;
        }
        std::string crlf;
        for (char c : line) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        out += Gbk(crlf) + "\r\n";
    }
    return out;
}

const char* kCsvHeader = "Name,Cell,Tel,Email,Org,Address";
const char* kTxtHeader = "Name\tCell\tTel\tEmail\tOrg\tAddress";

struct CardCase {
    const char* what;
    std::string vcf;  // the file's bytes
    std::string csv;  // the row, UTF-8
    std::string txt;
};

std::vector<CardCase> CardCases() {
    const std::string addr = Qp("北京市朝阳区建国路");
    return {
        {"vCard 2.1 quoted-printable UTF-8 (a phone's export), soft line break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\n"
         "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" +
             Qp("张") + ";" + Qp("三") +
             ";;;\r\n"
             "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" +
             Qp("张三") +
             "\r\n"
             "TEL;CELL:13800000000\r\nTEL;HOME:010-12345678\r\n"
             "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;" +
             addr.substr(0, 27) + "=\r\n" + addr.substr(27) + Qp("一号") +
             ";;;;\r\n"
             "END:VCARD\r\n",
         "张三,13800000000,010-12345678,,,北京市朝阳区建国路一号",
         "张三\t13800000000\t010-12345678\t\t\t北京市朝阳区建国路一号"},
        {"vCard 3.0: TYPE=CELL,VOICE, group prefixes, escapes, structured parts",
         "BEGIN:VCARD\nVERSION:3.0\nN:Li;Si;;;\nFN:Li Si\nORG:Acme\\, Inc.;Sales\n"
         "item1.TEL;type=pref:+86 10 1234\nTEL;TYPE=CELL,VOICE:139 0000 0000\n"
         "item2.EMAIL;type=INTERNET;type=WORK:li@example.com\n"
         "item3.ADR;type=HOME:;;1 Main St\\nFloor 2;Springfield;;;\nEND:VCARD\n",
         "Li Si,139 0000 0000,+86 10 1234,li@example.com,\"Acme, Inc. Sales\","
         "\"1 Main St\nFloor 2, Springfield\"",
         "Li Si\t139 0000 0000\t+86 10 1234\tli@example.com\tAcme, Inc. Sales\t"
         "\"1 Main St\nFloor 2, Springfield\""},
        {"vCard 4.0: quoted TYPE lists, tel: URIs, FN before N",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Wang Wu\r\nN:Wang;Wu;;;\r\n"
         "TEL;VALUE=uri;TYPE=\"voice,work\":tel:+1-555-0100\r\n"
         "TEL;VALUE=uri;TYPE=\"cell\":tel:+1-555-0199\r\n"
         "EMAIL;TYPE=work:wang@example.com\r\nEND:VCARD\r\n",
         "Wang Wu,+1-555-0199,+1-555-0100,wang@example.com,,",
         "Wang Wu\t+1-555-0199\t+1-555-0100\twang@example.com\t\t"},
        {"folded lines",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zhao\r\n  Liu\r\nEMAIL:zhao@exa\r\n\tmple.com\r\n"
         "TEL;TYPE=WORK:\r\n 1\r\n 2\r\nEND:VCARD\r\n",
         "Zhao Liu,,12,zhao@example.com,,", "Zhao Liu\t\t12\tzhao@example.com\t\t"},
        {"lower-case names and parameters",
         "begin:vcard\nversion:3.0\nfn:Sun Qi\ntel;type=cell:1\nTel;Type=Work:2\n"
         "email;type=internet:s@example.com\nend:vcard\n",
         "Sun Qi,1,2,s@example.com,,", "Sun Qi\t1\t2\ts@example.com\t\t"},
        {"FN over N, every other number, commas, quotes, a line without a colon",
         "BEGIN:VCARD\nN;CHARSET=UTF-8:Li;Si;;;\nFN:Li Si\nTEL;HOME:1\nTEL:2\nTEL;TYPE=CELL:3\n"
         "ORG:Acme, Inc.\nADR:say \"hi\"\nthis line has no colon\nEND:VCARD\n",
         "Li Si,3,1; 2,,\"Acme, Inc.\",\"say \"\"hi\"\"\"",
         "Li Si\t3\t1; 2\t\tAcme, Inc.\t\"say \"\"hi\"\"\""},
        {"GBK values, a GBK charset and base64",
         Gbk("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=GBK:王;五\r\nTEL;PREF;CELL;VOICE:1\r\n") +
             "ORG;CHARSET=UTF-8;ENCODING=BASE64:5YWs5Y+4\r\nEND:VCARD\r\n",
         "王五,1,,,公司,", "王五\t1\t\t\t公司\t"},
        {"a character GBK cannot hold",
         "BEGIN:VCARD\nVERSION:3.0\nFN:笑😀\nEND:VCARD\n", "笑😀,,,,,", "笑😀\t\t\t\t\t"},
    };
}

}  // namespace

TEST(VcfTo, CardsOfEveryVersionToBothTablesInBothModes) {
    for (const CardCase& c : CardCases()) {
        for (TextMode mode : {TextMode::Auto, TextMode::ClassicGbk}) {
            SCOPED_TRACE(std::string(c.what) +
                         (mode == TextMode::Auto ? " (auto)" : " (classic)"));
            TempFolder dir;
            const std::string src = dir.Write("c.vcf", c.vcf);
            ASSERT_EQ(VcfTo(src, "csv", mode), dir / "c.csv");
            EXPECT_EQ(dir.Read("c.csv"), Expected({kCsvHeader, c.csv}, mode, true));
            ASSERT_EQ(VcfTo(src, "txt", mode), dir / "c.txt");
            EXPECT_EQ(dir.Read("c.txt"), Expected({kTxtHeader, c.txt}, mode));
        }
    }
}

TEST(VcfTo, ClassicCardsGiveTheClassicBytes) {
    TempFolder dir;
    const std::string card =
        Gbk("BEGIN:VCARD\r\nVERSION:2.1\r\n"
            "N:张;三;;;\r\nTEL;CELL:13800000000\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:李四\r\nN:李;四\r\nTEL;WORK;VOICE:010-1\r\n"
            "EMAIL;INTERNET:li@example.com\r\nEMAIL:second@example.com\r\nORG:公司\r\n"
            "ADR;WORK:;;街道;城市\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nEND:VCARD\r\n"
            "N:after the last card is lost\r\n");
    const std::string src = dir.Write("c.vcf", card);
    EXPECT_EQ(VcfTo(src, " .CSV", TextMode::ClassicGbk), dir / "c.csv");
    EXPECT_EQ(dir.Read("c.csv"), Gbk("Name,Cell,Tel,Email,Org,Address\r\n"
                                     "张三,13800000000,,,,\r\n"
                                     "李四,,010-1,li@example.com; second@example.com,公司,城市街道\r\n"
                                     ",,,,,\r\n"));
    EXPECT_EQ(VcfTo(src, "txt", TextMode::ClassicGbk), dir / "c.txt");
    EXPECT_EQ(dir.Read("c.txt"), Gbk("Name\tCell\tTel\tEmail\tOrg\tAddress\r\n"
                                     "张三\t13800000000\t\t\t\t\r\n"
                                     "李四\t\t010-1\tli@example.com; second@example.com\t公司\t城市街道\r\n"
                                     "\t\t\t\t\t\r\n"));
    EXPECT_EQ(dir.Read("c.vcf"), card);
    // The same cards in the automatic mode: the same table in UTF-8 with LF,
    // marked as UTF-8.
    VcfTo(src, "csv");
    EXPECT_EQ(dir.Read("c.csv"), "\xEF\xBB\xBFName,Cell,Tel,Email,Org,Address\n张三,13800000000,,,,\n"
                                 "李四,,010-1,li@example.com; second@example.com,公司,城市街道\n"
                                 ",,,,,\n");
    // Other targets write nothing; a file without END holds the header only.
    EXPECT_EQ(VcfTo(src, "xls"), "");
    EXPECT_EQ(VcfTo(src, ""), "");
    EXPECT_FALSE(dir.Exists("c.xls"));
    VcfTo(dir.Write("open.vcf", "BEGIN:VCARD\nFN:x\n"), "csv");
    EXPECT_EQ(dir.Read("open.csv"), "\xEF\xBB\xBFName,Cell,Tel,Email,Org,Address\n");
    EXPECT_THROW(VcfTo(dir / "none.vcf", "csv"), ferro::Error);
}

TEST(VcfTo, SourceEncodings) {
    const std::string card = "BEGIN:VCARD\nFN:张三\nEND:VCARD\n";
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-8", card},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + card},
        {"GBK", Gbk(card)},
        {"UTF-16 LE with BOM", std::string("\xFF\xFE", 2) + [&] {
             std::string s;
             for (char16_t c : ferro::DecodeCodePage(card, "utf-8")) {
                 s.push_back(static_cast<char>(c & 0xFF));
                 s.push_back(static_cast<char>(c >> 8));
             }
             return s;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        VcfTo(dir.Write("c.vcf", c.bytes), "csv", TextMode::ClassicGbk);
        EXPECT_EQ(dir.Read("c.csv"), Gbk("Name,Cell,Tel,Email,Org,Address\r\n张三,,,,,\r\n"));
    }
    TempFolder dir;
    EXPECT_THROW(VcfTo(dir.Write("nul.vcf", std::string("FN:a\0b\nEND:\n", 12)), "csv"),
                 ferro::Error);
    EXPECT_FALSE(dir.Exists("nul.csv"));
}

TEST(TxtTo, TabsToQuotedCommasOrACopyInBothModes) {
    TempFolder dir;
    const std::string gbk = Gbk("姓名\t电话\t地址,一号\n第二行\r\n\tx\t\n说\"好\"\tb");
    const std::string src = dir.Write("t.txt", gbk);
    dir.Write("t.csv", "old contents that must go");
    EXPECT_EQ(TxtTo(src, " .CSV", TextMode::ClassicGbk), dir / "t.csv");
    EXPECT_EQ(dir.Read("t.csv"),
              Gbk("姓名,电话,\"地址,一号\"\r\n第二行\r\n,x,\r\n\"说\"\"好\"\"\",b\r\n"));
    EXPECT_EQ(TxtTo(src, "csv"), dir / "t.csv");
    EXPECT_EQ(dir.Read("t.csv"),
              "\xEF\xBB\xBF姓名,电话,\"地址,一号\"\n第二行\n,x,\n\"说\"\"好\"\"\",b\n");
    EXPECT_EQ(TxtTo(dir.Write("u.txt", "a\tb,c\td"), "csv"), dir / "u.csv");
    EXPECT_EQ(dir.Read("u.csv"), "\xEF\xBB\xBF" "a,\"b,c\",d\n");
    // A UTF-8 source: read as UTF-8, written as the mode says.
    const std::string utf8 = dir.Write("w.txt", "甲\t乙\r\n");
    TxtTo(utf8, "csv", TextMode::ClassicGbk);
    EXPECT_EQ(dir.Read("w.csv"), Gbk("甲,乙\r\n"));
    TxtTo(utf8, "htm");
    EXPECT_EQ(dir.Read("w.htm"), "甲\t乙\n");

    EXPECT_EQ(TxtTo(src, "htm", TextMode::ClassicGbk), dir / "t.htm");
    EXPECT_EQ(dir.Read("t.htm"), Gbk("姓名\t电话\t地址,一号\r\n第二行\r\n\tx\t\r\n说\"好\"\tb\r\n"));
    // The same extension: the automatic mode leaves the file as it is, the
    // classic one rewrites it with CR LF.
    EXPECT_EQ(TxtTo(src, "txt"), src);
    EXPECT_EQ(dir.Read("t.txt"), gbk);
    EXPECT_EQ(TxtTo(src, "txt", TextMode::ClassicGbk), src);
    EXPECT_EQ(dir.Read("t.txt"), Gbk("姓名\t电话\t地址,一号\r\n第二行\r\n\tx\t\r\n说\"好\"\tb\r\n"));
    EXPECT_EQ(TxtTo(src, ""), "");
    EXPECT_THROW(TxtTo(dir / "missing.txt", "csv"), ferro::Error);
    EXPECT_FALSE(dir.Exists("missing.csv"));
}

TEST(CommaTextToTabText, EveryRowWholeAndQuotedWhereNeeded) {
    TempFolder dir;
    const std::string src =
        dir.Write("a.csv", Gbk("姓名,备注\r\n张三,\"含,逗号\"\r\n\"两\r\n行\",\"a\tb\"\r\n\r\n1.50,x"));
    EXPECT_EQ(ferro::CommaTextToTabText(src, dir / "a.txt", TextMode::ClassicGbk), dir / "a.txt");
    EXPECT_EQ(dir.Read("a.txt"),
              Gbk("姓名\t备注\r\n张三\t含,逗号\r\n\"两\r\n行\"\t\"a\tb\"\r\n\r\n1.50\tx\r\n"));
    ferro::CommaTextToTabText(src, dir / "a.txt", TextMode::Auto);
    EXPECT_EQ(dir.Read("a.txt"), "姓名\t备注\n张三\t含,逗号\n\"两\n行\"\t\"a\tb\"\n\n1.50\tx\n");
}

TEST(SourceText, EncodingIsFoundFromTheBytes) {
    using ferro::FoundEncoding;
    struct Case {
        const char* what;
        std::string bytes;
        FoundEncoding expected;
    } cases[] = {
        {"ASCII", "abc", FoundEncoding::Gbk},
        {"UTF-8", "中文", FoundEncoding::Utf8},
        {"UTF-8 BOM", "\xEF\xBB\xBF" "abc", FoundEncoding::Utf8Bom},
        {"UTF-16 LE", "\xFF\xFE" "a", FoundEncoding::Utf16Le},
        {"UTF-16 BE", "\xFE\xFF", FoundEncoding::Utf16Be},
        {"GBK", Gbk("中文"), FoundEncoding::Gbk},
        {"valid UTF-8 in places, then an invalid sequence", "中文" + Gbk("中"),
         FoundEncoding::Gbk},
        {"UTF-8 cut in a character", std::string("中文").substr(0, 5), FoundEncoding::Gbk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ferro::DetectEncoding(c.bytes), c.expected);
    }
}

namespace {

// The rows a real CSV reader (Python's csv module) finds in a table file,
// each field as the hex of its UTF-8; empty when Python cannot be run.
std::vector<std::string> RowsByPython(const std::string& path, char separator) {
    const std::string script =
        "import csv,sys\n"
        "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
        "    for row in csv.reader(f, delimiter=sys.argv[2]):\n"
        "        print('|'.join(x.encode().hex() for x in row))\n";
    TempFolder dir;
    const std::string py = dir.Write("read.py", script);
    const std::string command = "python3 '" + py + "' '" + path + "' '" +
                                std::string(1, separator) + "' 2>/dev/null";
    std::vector<std::string> rows;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return rows;
    std::string out;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    if (pclose(p) != 0) return {};
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        rows.push_back(out.substr(start, end - start));
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return rows;
}

std::string HexRow(const std::vector<std::string>& utf8Fields) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < utf8Fields.size(); ++i) {
        if (i) out.push_back('|');
        for (unsigned char c : utf8Fields[i]) {
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

}  // namespace

TEST(VcfTo, BothTablesReadBackByACsvReaderRowForRowAndFieldForField) {
    // Fields holding tabs, quotes, commas and line breaks, in both forms of
    // the table and both text modes.
    const std::string cards =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:say \"hi\"\r\nTEL;TYPE=CELL:1\r\nTEL:2\r\n"
        "ORG:a\tb\r\nADR:;;1 Main St\\nFloor 2;Springfield;;;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\"quoted\"\r\nEMAIL:x@example.com\r\nORG:Acme\\, Inc.\r\n"
        "END:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:王;芳;;;\r\nADR:;;中关村大街1号;北京;;;\r\nEND:VCARD\r\n";
    const std::vector<std::vector<std::string>> expected = {
        {"Name", "Cell", "Tel", "Email", "Org", "Address"},
        {"say \"hi\"", "1", "2", "", "a\tb", "1 Main St\nFloor 2, Springfield"},
        {"\"quoted\"", "", "", "x@example.com", "Acme, Inc.", ""},
        {"王芳", "", "", "", "", "北京中关村大街1号"},
    };
    for (TextMode mode : {TextMode::Auto, TextMode::ClassicGbk}) {
        for (const char* ext : {"csv", "txt"}) {
            SCOPED_TRACE(std::string(ext) + (mode == TextMode::Auto ? " (auto)" : " (classic)"));
            TempFolder dir;
            const std::string table = VcfTo(dir.Write("c.vcf", cards), ext, mode);
            ASSERT_FALSE(table.empty());
            const std::string bytes = dir.Read(std::string("c.") + ext);
            // Only the comma table of the automatic mode is marked as UTF-8.
            EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0,
                      mode == TextMode::Auto && std::string(ext) == "csv");
            // Python reads UTF-8; the classic table is GBK.
            std::string readable = dir / "utf8.txt";
            dir.Write("utf8.txt", mode == TextMode::Auto ? bytes : ferro::GbkToUtf8(bytes));
            const std::vector<std::string> rows =
                RowsByPython(readable, std::string(ext) == "csv" ? ',' : '\t');
            if (rows.empty()) GTEST_SKIP() << "python3 cannot be run";
            ASSERT_EQ(rows.size(), expected.size());
            for (std::size_t r = 0; r < rows.size(); ++r) {
                SCOPED_TRACE("row " + std::to_string(r));
                std::vector<std::string> fields = expected[r];
                // The classic table's breaks are CR LF, inside fields too.
                if (mode == TextMode::ClassicGbk)
                    for (std::string& f : fields)
                        for (std::size_t at = f.find('\n'); at != std::string::npos;
                             at = f.find('\n', at + 2))
                            f.insert(at, 1, '\r');
                EXPECT_EQ(rows[r], HexRow(fields));
            }
        }
    }
}
