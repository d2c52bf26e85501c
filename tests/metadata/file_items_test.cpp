// The template items over what files hold: where a pattern has them, the
// text each gives (fit for a name), the reason a file has none, and the
// picker's entries and their lines in the usage notes.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "common/temp_folder.h"
#include "metadata/file_items.h"
#include "platform/codec.h"
#include "platform/text.h"
#include "template/catalog.h"

namespace ferro {
namespace {

using testing::Gbk;

std::string Kinds(const FileItems& items) {
    std::string out;
    for (const FileItem& i : items.items()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(static_cast<int>(i.kind)) + "@" + std::to_string(i.at) + "+" +
               std::to_string(i.length) + ":" + i.format;
        if (i.digits) out += "#" + std::to_string(i.digits);
        if (i.orModified) out += "!";
    }
    return out;
}

TEST(FileItems, FoundWhereverThePatternHasThem) {
    struct Case {
        const char* name;
        const char* pattern;
        const char* items;
        FileValueSet wanted;
    };
    const Case cases[] = {
        {"a date taken", "${takentime(yyyymmdd)}", "2@0+22:yyyymmdd", Bit(FileValue::TakenTime)},
        {"with the modified time standing in", "${takentime(yyyy-mm, 1 )}", "2@0+25:yyyy-mm!",
         Bit(FileValue::TakenTime)},
        {"a flag of 0", "${takentime(yyyy,0)}", "2@0+20:yyyy", Bit(FileValue::TakenTime)},
        {"file times need no library", "${modtime(yyyy)}_${cretime()}", "0@0+16:yyyy 1@17+12:", 0},
        {"bare and with empty brackets", "${camera}${camera()}", "3@0+9: 3@9+11:",
         Bit(FileValue::Camera)},
        {"a track padded", "${track(3)}-${track}", "10@0+11:#3 10@12+8:", Bit(FileValue::Track)},
        {"inside a function's argument", "${addleft(${title}_)}", "7@10+8:", Bit(FileValue::Title)},
        {"after other text and items", "x${sn(1,2)}${md5}${crc32}", "15@11+6: 16@17+8:",
         Bit(FileValue::Md5) | Bit(FileValue::Crc32)},
        {"an argument an item does not take", "${camera(x)}", "", 0},
        {"an unclosed item", "${takentime(yyyy}", "", 0},
        {"longer names are not items", "${titles}${md5x}${doctitle}", "12@16+11:",
         Bit(FileValue::DocTitle)},
        {"the engine's own functions", "${date(yyyy)}${getleft(3)}", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileItems items(c.pattern);
        EXPECT_EQ(Kinds(items), c.items);
        EXPECT_EQ(items.wanted(), c.wanted);
    }
    const FileItems items("a${year}b${pages}");
    EXPECT_EQ(items.ItemAt(1), 0);
    EXPECT_EQ(items.ItemAt(9), 1);
    EXPECT_EQ(items.ItemAt(2), -1);
}

TEST(FileItems, TextsOfAFilesValues) {
    FileValues v;
    v.facts.exists = true;
    v.facts.modified = FromLocal({2023, 7, 8, 9, 10, 11});
    v.facts.created = FromLocal({2022, 1, 2, 3, 4, 5});
    v.taken = DateTime{2024, 5, 1, 10, 20, 30};
    v.camera = "Canon EOS 80D";
    v.width = 6000;
    v.height = 4000;
    v.artist = "AC/DC";
    v.title = "  " + Gbk("晴天") + " ";
    v.album = "a:b*c?\"<>|\\";
    v.year = 2003;
    v.track = 7;
    v.durationMs = 3723400;
    v.docTitle = Gbk("年度报告");
    v.author = "Zhang\tSan";
    v.pages = 12;
    v.md5 = "900150983cd24fb0d6963f7d28e17f72";
    v.crc32 = "352441c2";
    struct Case {
        const char* pattern;
        std::string text;
    };
    const Case cases[] = {
        {"${modtime(yyyy-mm-dd hh:nn:ss)}", "2023-07-08 09_10_11"},
        {"${cretime(yyyymmdd)}", "20220102"},
        {"${takentime(yyyymmdd_hhnnss)}", "20240501_102030"},
        {"${takentime(mmm)}", Gbk("五月")},
        {"${camera}", "Canon EOS 80D"},
        {"${width}", "6000"},
        {"${height}", "4000"},
        {"${artist}", "AC_DC"},
        {"${title}", Gbk("晴天")},
        {"${album}", "a_b_c______"},
        {"${year}", "2003"},
        {"${track(3)}", "007"},
        {"${track}", "7"},
        {"${duration(hh-nn-ss)}", "01-02-03"},
        {"${duration(nn)}", "62"},
        {"${duration()}", "010203"},
        {"${doctitle}", Gbk("年度报告")},
        {"${author}", "Zhang_San"},
        {"${pages}", "12"},
        {"${md5}", "900150983cd24fb0d6963f7d28e17f72"},
        {"${crc32}", "352441c2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const ItemTexts t = FileItems(c.pattern).TextsOf(v);
        ASSERT_TRUE(t.ok());
        ASSERT_EQ(t.texts.size(), 1u);
        EXPECT_EQ(t.texts[0], c.text);
    }
}

TEST(FileItems, AFileLackingAValueHasItsReason) {
    FileValues none;
    none.facts.exists = true;
    none.facts.modified = FromLocal({2023, 7, 8, 9, 10, 11});
    none.title = "   ";  // nothing once trimmed
    struct Case {
        const char* pattern;
        Undone why;
        const char16_t* detail;
    };
    const Case cases[] = {
        {"${takentime(yyyy)}", Undone::NoValue, u"没有拍摄时间"},
        {"${camera}", Undone::NoValue, u"没有相机型号"},
        {"${width}", Undone::NoValue, u"没有宽度"},
        {"${height}", Undone::NoValue, u"没有高度"},
        {"${artist}", Undone::NoValue, u"没有艺术家"},
        {"${title}", Undone::NoValue, u"没有标题"},
        {"${album}", Undone::NoValue, u"没有专辑"},
        {"${year}", Undone::NoValue, u"没有年份"},
        {"${track(2)}", Undone::NoValue, u"没有音轨号"},
        {"${duration(nnss)}", Undone::NoValue, u"没有时长"},
        {"${doctitle}", Undone::NoValue, u"没有文档标题"},
        {"${author}", Undone::NoValue, u"没有作者"},
        {"${pages}", Undone::NoValue, u"没有页数"},
        {"${md5}", Undone::CannotRead, u""},
        {"${crc32}", Undone::CannotRead, u""},
        // The first item the file lacks gives the reason.
        {"${modtime(yyyy)}_${artist}_${title}", Undone::NoValue, u"没有艺术家"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const ItemTexts t = FileItems(c.pattern).TextsOf(none);
        EXPECT_EQ(t.why, c.why);
        EXPECT_EQ(t.detail, Utf16ToGbk(c.detail));
        EXPECT_TRUE(t.texts.empty());
    }
    // The modified time stands in where asked.
    const ItemTexts fallback = FileItems("${takentime(yyyymmdd,1)}").TextsOf(none);
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(fallback.texts[0], "20230708");

    FileValues gone;
    EXPECT_EQ(FileItems("${modtime(yyyy)}").TextsOf(gone).why, Undone::Missing);
}

TEST(FileItems, TextsAreMadeFitForAName) {
    struct Case {
        const char* name;
        std::string in, out;
    };
    const Case cases[] = {
        {"a separator", "AC/DC", "AC_DC"},
        {"what Windows refuses", "a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
        {"control characters", "a\r\nb\x7F", "a__b_"},
        {"blanks at the ends", " \t x y \t", "x y"},
        // 0x81 0x5C and 0x81 0x7C are characters whose second byte reads as
        // "\" or "|": they stay whole.
        {"trail bytes that look like markers", "\x81\x5C\x81\x7C/", "\x81\x5C\x81\x7C_"},
        {"Chinese", Gbk("年度/报告"), Gbk("年度_报告")},
        {"nothing left", " / ", "_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FitForName(c.in), c.out);
    }
}

TEST(FileItems, DurationFormats) {
    struct Case {
        const char* format;
        std::int64_t ms;
        const char* text;
    };
    const Case cases[] = {
        {"hh:nn:ss", 3723400, "01:02:03"}, {"nn-ss", 4500000, "75-00"}, {"ss", 61000, "61"},
        {"h", 36000000 * 3, "30"},          {"HHNNSS", 5000, "000005"},  {"", 59999, "000059"},
        {"n'm's", 61000, "1'm'1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(FormatDuration(c.format, c.ms), c.text);
    }
}

TEST(FileItems, PutInValuesInOnePass) {
    const FileItems items("${title}-${ext}-${year}");
    const std::vector<std::string> texts{"${ext}", "2003"};
    // A text put in is never read again.
    EXPECT_EQ(PutInValues("${title}-${ext}-${year}", {{"${ext}", "mp3"}}, items, texts),
              "${ext}-mp3-2003");
}

std::string Notes() {
    std::ifstream in(FERRO_USAGE_NOTES, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FileItemCatalog, EveryEntryIsAnItemAndInTheUsageNotes) {
    const std::string notes = Notes();
    std::set<int> kinds;
    std::size_t at = notes.find("40. 选择项：");
    ASSERT_NE(at, std::string::npos);
    for (const CatalogEntry& e : FileItemCatalog()) {
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(e.kind, CatalogKind::kFileItem);
        // What the entry writes and the sample of its caption are items of
        // that name, in any letter case, and of no other.
        const std::string caption = e.caption;
        for (const std::string& text : {std::string(e.written), caption.substr(0, caption.find(": "))}) {
            const FileItems items(AnsiLower(CatalogTextGbk(text.c_str())));
            ASSERT_EQ(items.items().size(), 1u) << text;
            EXPECT_EQ(items.items()[0].length, CatalogTextGbk(text.c_str()).size());
            kinds.insert(static_cast<int>(items.items()[0].kind));
        }
        EXPECT_EQ(AnsiLower(caption.substr(2, caption.find_first_of("(}") - 2)), e.name);
        // In the notes after the forty, in order, as they are written.
        const std::size_t entry = notes.find(std::string("选择项：") + e.caption, at);
        ASSERT_NE(entry, std::string::npos);
        const std::size_t next = notes.find("选择项：", entry + 1);
        const std::string block = notes.substr(entry, next - entry);
        EXPECT_NE(block.find(std::string("写入：") + e.written + "\n"), std::string::npos);
        EXPECT_NE(block.find(e.help), std::string::npos);
        at = entry + 1;
    }
    EXPECT_EQ(kinds.size(), FileItemCatalog().size());
    EXPECT_EQ(FileItemCatalog().size(), 17u);
}

}  // namespace
}  // namespace ferro
