// Keywords as regular expressions in line delete, line extract and line
// sync: one pattern table on GBK, UTF-8 and UTF-16 copies of a text gives
// the same lines, whole files and files in pieces alike; with the choice
// off, a keyword is the classic byte text, metacharacters and all.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/codec.h"
#include "textops/keywords.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_sync.h"
#include "textops/text_batch.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::TempFolder;

// UTF-8 lines (this source file is UTF-8).
const std::vector<std::string> kLines = {
    "中文 错误 ab",  // 0
    "第二行:ok",     // 1
    "ERROR 42",      // 2
    "err_7 小写",    // 3
    "订单-2024-001", // 4
    "",              // 5
    "  ",            // 6
    "末行 END",      // 7
};

std::string Joined(const std::vector<std::string>& lines, const std::string& brk, bool last) {
    std::string s;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        s += lines[i];
        if (i + 1 < lines.size() || last) s += brk;
    }
    return s;
}

std::optional<KeywordPatterns> Patterns(std::string_view utf8Keywords, RegexFlags flags = {}) {
    std::string problem;
    auto p = KeywordPatterns::Compile(SplitKeywords(Gbk(utf8Keywords)), flags, problem);
    EXPECT_TRUE(p) << problem;
    return p;
}

// The three copies of lines: UTF-8 with LF and no last break, GBK with
// CR LF, UTF-16 LE with a mark and CR LF; rewritten by op, read back as the
// UTF-8 text each would be with LF breaks and no last one.
std::vector<std::string> ThreeWays(const std::vector<std::string>& lines, const LineOperation& op) {
    TempFolder t;
    const std::string u = t.Write("u.txt", Joined(lines, "\n", false));
    const std::string g = t.Write("g.txt", Gbk(Joined(lines, "\r\n", true)));
    const std::string w = t.Write("w.txt", testing::Utf16LeFile(Joined(lines, "\r\n", true)));
    const RunSummary r = RewriteTextFiles({{0, u}, {0, g}, {0, w}}, TextBatchOptions(), op, nullptr);
    EXPECT_EQ(r.done, 3) << r.error;
    std::string fromGbk, fromUtf16;
    Gb18030ToUtf8(t.Read("g.txt"), fromGbk);
    const std::string w16 = t.Read("w.txt");
    std::u16string units;
    for (std::size_t i = 2; i + 1 < w16.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(w16[i]) |
                                       (static_cast<unsigned char>(w16[i + 1]) << 8));
    Gb18030ToUtf8(Utf16ToGbk(units), fromUtf16);
    auto asLf = [](std::string s) {
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i)
            if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    };
    return {t.Read("u.txt"), asLf(fromGbk), asLf(fromUtf16)};
}

struct PatternCase {
    const char* keywords;  // UTF-8, split as the field is
    bool ignoreCase;
    std::vector<std::size_t> hits;  // lines of kLines that match
};

const PatternCase kCases[] = {
    {"ERR(OR|_[0-9]+)", false, {2}},
    {"(?i)ERR(OR|_[0-9]+)", false, {2, 3}},
    {"ERR(OR|_[0-9]+)", true, {2, 3}},
    {"^.{3}:ok$", false, {1}},  // three Chinese characters, each one "."
    {"^第.行", false, {1}},
    {"中.", false, {0}},
    {"\\d{4}", false, {4}},
    {"-(\\d+)-(\\d{3})$", false, {4}},
    {"^\\s*$", false, {5, 6}},
    {"^$", false, {5}},
    {"[小大]写$", false, {3}},
    {"\"\\w+ \\w+$\"", false, {0, 2, 3, 7}},  // quoted: the blank splits no keyword
    {"END$|^中", false, {0, 7}},
    {"\\bab\\b", false, {0}},
    {"ok;END", false, {1, 7}},  // two patterns: either one
    {"\\pN{3}$", false, {4}},
    {"错误", false, {0}},
    {"x{2,}", false, {}},
};

TEST(LineRegex, OnePatternTableOnGbkUtf8AndUtf16Files) {
    for (const PatternCase& c : kCases) {
        SCOPED_TRACE(std::string(c.keywords) + (c.ignoreCase ? " (case ignored)" : ""));
        std::vector<std::string> kept, taken;
        for (std::size_t i = 0; i < kLines.size(); ++i) {
            const bool hit = std::find(c.hits.begin(), c.hits.end(), i) != c.hits.end();
            (hit ? taken : kept).push_back(kLines[i]);
        }
        LineDeleteSettings del;
        del.mode = LineDeleteMode::Keywords;
        del.keywords = SplitKeywords(Gbk(c.keywords));
        del.patterns = Patterns(c.keywords, {.ignoreCase = c.ignoreCase});
        for (const std::string& result : ThreeWays(kLines, LineDeleteOperation(del)))
            EXPECT_EQ(result, Joined(kept, "\n", false));

        LineExtractSettings ext;
        ext.mode = LineExtractMode::Keywords;
        ext.keywords = del.keywords;
        ext.patterns = del.patterns;
        for (const std::string& result : ThreeWays(kLines, LineExtractOperation(ext)))
            EXPECT_EQ(result, Joined(taken, "\n", false));
    }
}

// Files of many pieces: the scan of each piece gives what a loop over the
// lines gives, and every encoding the same lines.
TEST(LineRegex, FilesInPiecesGiveTheLinesOfALineLoop) {
    std::vector<std::string> lines;
    for (int i = 0; lines.size() < 120000; ++i) {
        lines.push_back("行 " + std::to_string(i) + (i % 7 == 0 ? " ERR_" + std::to_string(i) : " ok"));
        if (i % 13 == 0) lines.push_back(i % 2 ? "" : "ERROR 中文 " + std::to_string(i));
        if (i % 17 == 0) lines.push_back("ERR ERR_ ERRO");
    }
    for (const char* keywords : {"ERR(OR|_[0-9]+)", "\"^行 \\d*5 \"", "中文|^$"}) {
        SCOPED_TRACE(keywords);
        const std::optional<KeywordPatterns> patterns = Patterns(keywords);
        std::vector<std::string> kept;
        for (const std::string& l : lines)
            if (!patterns->AnyIn(Gbk(l), LineBytes::Gbk)) kept.push_back(l);
        ASSERT_LT(kept.size(), lines.size());
        LineDeleteSettings del;
        del.mode = LineDeleteMode::Keywords;
        del.keywords = SplitKeywords(Gbk(keywords));
        del.patterns = patterns;
        for (const std::string& result : ThreeWays(lines, LineDeleteOperation(del)))
            EXPECT_TRUE(result == Joined(kept, "\n", false));
    }
}

// A list cut from a text is scanned whole, one built line by line is
// matched line by line: both give the same lines, several patterns merged.
TEST(LineRegex, ListsOfEitherFormGiveTheSameLines) {
    const std::optional<KeywordPatterns> patterns = Patterns("^b;a$;^$;\\d");
    const LineList cut = LineList::FromText(Gbk("a\r\nb\n\rba\r\r\n1中\nxb\n"));
    LineList built;
    for (const std::string_view line : cut) built.push_back(line);
    ASSERT_TRUE(built.UnbrokenText().empty());
    for (const LineList* list : {static_cast<const LineList*>(&cut), static_cast<const LineList*>(&built)}) {
        SCOPED_TRACE(list == &cut ? "cut" : "built");
        KeywordPatterns::Hits hits = patterns->Scan(*list, LineBytes::Gbk);
        std::vector<bool> got;
        for (std::size_t i = 0; i < list->size(); ++i) got.push_back(hits.At(i));
        EXPECT_EQ(got, (std::vector<bool>{true, true, true, true, true, true, false}));
    }
}

// Without the choice a keyword is its bytes: "." and "(" stand for
// themselves, and nothing is compiled.
TEST(LineRegex, OffTheKeywordsAreTheClassicBytes) {
    const std::vector<std::string> lines = {"a.b", "axb", "(x", "x", "A.B"};
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = SplitKeywords("a.b;(x");
    for (const std::string& result : ThreeWays(lines, LineDeleteOperation(del)))
        EXPECT_EQ(result, "axb\nx\nA.B");
    del.patterns = Patterns("a.b;\\(x");
    for (const std::string& result : ThreeWays(lines, LineDeleteOperation(del)))
        EXPECT_EQ(result, "x\nA.B");
}

TEST(LineRegex, BadPatternsAreRefusedWithTheirReason) {
    for (const char* keywords : {"ERR(", "ok;[a-", "a{2,1}", "(?<x)", "\\"}) {
        SCOPED_TRACE(keywords);
        std::string problem;
        EXPECT_FALSE(KeywordPatterns::Compile(SplitKeywords(keywords), {}, problem));
        EXPECT_EQ(problem.rfind(Gbk("正则表达式不正确："), 0), 0u) << problem;
    }
    std::string problem = "x";
    EXPECT_TRUE(KeywordPatterns::Compile(SplitKeywords(";ok;"), {}, problem));  // empty ones left out
}

// (a+)+$ on a 10 MB line of a's that ends otherwise: linear time, done in
// well under a second (even in a sanitized build), nothing deleted.
TEST(LineRegex, APathologicalPatternEndsQuickly) {
    TempFolder t;
    const std::string line(10 << 20, 'a');
    const std::string path = t.Write("a.txt", "start\r\n" + line + "!\r\naaaa\r\n");
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = {"(a+)+$"};
    del.patterns = Patterns("(a+)+$");
    const auto t0 = std::chrono::steady_clock::now();
    const RunSummary r = RewriteTextFiles({{0, path}}, TextBatchOptions(), LineDeleteOperation(del), nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(r.done, 1) << r.error;
    EXPECT_EQ(t.Read("a.txt"), "start\r\n" + line + "!\r\n");
    EXPECT_LT(seconds, 10.0);
}

// Line sync ignores case in patterns as in keywords, and copies the lines
// whose source matches.
TEST(LineRegex, LineSyncCopiesTheMatchingSourceLines) {
    const LineList source = LineList::FromText(Gbk("a1\r\nERR_2\r\n中文3\r\nerror 4\r\n"));
    const std::optional<KeywordPatterns> patterns = Patterns("err(or|_\\d)$;^中.\\d", {.ignoreCase = true});
    LineList target = LineList::FromText("t1\r\nt2\r\nt3\r\nt4\r\n");
    EXPECT_EQ(SyncLinesByKeyword({}, source, target, &*patterns), 2);
    EXPECT_EQ(target.ToStrings(), (std::vector<std::string>{"t1", "ERR_2", Gbk("中文3"), "t4"}));
}

}  // namespace
}  // namespace ferro
